#include "gtk/faults.h"

#include <gtk/gtk.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "gtk/session_bus.h"
#include "ui/display_text.h"


namespace vistrelle::gtk {

namespace {

// The program's exception codes.
constexpr uint32_t kIntegerDivideByZero = 0xC0000094;
constexpr uint32_t kIntegerOverflow = 0xC0000095;
constexpr uint32_t kAccessViolation = 0xC0000005;
constexpr uint32_t kStackOverflow = 0xC00000FD;
constexpr uint32_t kFloatDivideByZero = 0xC000008E;
constexpr uint32_t kFloatInexactResult = 0xC000008F;
constexpr uint32_t kFloatInvalidOperation = 0xC0000090;
constexpr uint32_t kFloatOverflow = 0xC0000091;
constexpr uint32_t kFloatUnderflow = 0xC0000093;
constexpr uint32_t kArrayBoundsExceeded = 0xC000008C;
constexpr uint32_t kPrivilegedInstruction = 0xC0000096;
constexpr uint32_t kIllegalInstruction = 0xC000001D;
constexpr uint32_t kBreakpoint = 0x80000003;
constexpr uint32_t kSingleStep = 0x80000004;

constexpr std::array<int, 5> kFaultSignals{SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP};

// How close to the stack's edge, or to the stack pointer, a faulting address counts as the stack
// running out.
constexpr uintptr_t kStackSlack = 64 * 1024;
constexpr uintptr_t kGuardGap = 1024 * 1024;
constexpr size_t kAlternateStackSize = 1024 * 1024;

// Everything the signal handler reads is set up before it can run.
void (*gHandler)(uint32_t) = nullptr;
std::array<struct sigaction, kFaultSignals.size()> gPrevious{};
bool gInstalled = false;
void* gAlternateStack = nullptr;
uintptr_t gStackLow = 0;  // the lowest address of the installing thread's stack
std::atomic<bool> gFaulted{false};
thread_local bool tReporting = false;

// The report's texts, copied without allocating before the report process is started.
constexpr size_t kReportTextSize = 16 * 1024;
char gTitle[256];
char gText[kReportTextSize];
char gStyle[32];

void copyText(char* target, size_t size, std::string_view text) {
    size_t length = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(target, text.data(), length);
    target[length] = '\0';
}

// The box's look as one argument of the report process: the icon's word, a space, the buttons'.
constexpr std::string_view kIconWords[] = {"none", "warning", "information"};
constexpr std::string_view kButtonWords[] = {"ok", "yes-no"};

void formatStyle(char* target, size_t size, MessageIcon icon, MessageButtons buttons) {
    const std::string_view iconWord = kIconWords[static_cast<size_t>(icon)];
    const std::string_view buttonWord = kButtonWords[static_cast<size_t>(buttons)];
    copyText(target, size, iconWord);
    const size_t used = iconWord.size();
    if (used + 1 < size) {
        target[used] = ' ';
        copyText(target + used + 1, size - used - 1, buttonWord);
    }
}

uintptr_t stackPointer(void* context) {
    const auto* user = static_cast<const ucontext_t*>(context);
    if (user == nullptr) {
        return 0;
    }
#if defined(__x86_64__)
    return static_cast<uintptr_t>(user->uc_mcontext.gregs[REG_RSP]);
#elif defined(__i386__)
    return static_cast<uintptr_t>(user->uc_mcontext.gregs[REG_ESP]);
#elif defined(__aarch64__)
    return static_cast<uintptr_t>(user->uc_mcontext.sp);
#else
    return 0;
#endif
}

bool isStackOverflow(uintptr_t address, void* context) {
    // Just below the installing thread's stack (its guard region) or at its lowest end.
    if (gStackLow != 0 && address < gStackLow + kStackSlack &&
        address + kGuardGap + kStackSlack >= gStackLow) {
        return true;
    }
    // Next to the faulting thread's stack pointer: a call or a large local array ran off the
    // end of whichever stack it was on.
    uintptr_t sp = stackPointer(context);
    return sp != 0 && address + kStackSlack >= sp && address <= sp + kStackSlack;
}

void onFault(int signal, siginfo_t* info, void* context) {
    if (tReporting) {
        // A fault while this thread reports one: end the way the report would have ended.
        _exit(0);
    }
    tReporting = true;
    gFaulted.store(true);
    bool overflow = false;
    if ((signal == SIGSEGV || signal == SIGBUS) && info != nullptr && info->si_code > 0) {
        overflow = isStackOverflow(reinterpret_cast<uintptr_t>(info->si_addr), context);
    }
    uint32_t code = faultCodeFor(signal, info != nullptr ? info->si_code : 0, overflow);
    if (gHandler != nullptr) {
        gHandler(code);  // never returns
    }
    _exit(0);
}

void recordStack() {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) {
        return;
    }
    void* low = nullptr;
    size_t size = 0;
    if (pthread_attr_getstack(&attributes, &low, &size) == 0 && low != nullptr && size != 0) {
        gStackLow = reinterpret_cast<uintptr_t>(low);
    }
    pthread_attr_destroy(&attributes);
}

void useAlternateStack() {
    if (gAlternateStack == nullptr) {
        void* memory = mmap(nullptr, kAlternateStackSize, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            return;
        }
        gAlternateStack = memory;
    }
    stack_t stack{};
    stack.ss_sp = gAlternateStack;
    stack.ss_size = kAlternateStackSize;
    stack.ss_flags = 0;
    sigaltstack(&stack, nullptr);
}

// Shows the report as a modal box with the icon and buttons `style` names (formatStyle); 0 when
// it was dismissed.
int showReportBox(int argc, char** argv, const std::string& title, const std::string& text,
                  std::string_view style) {
    if (!gtk_init_check(&argc, &argv)) {
        return 1;
    }
    const std::string_view icon = style.substr(0, style.find(' '));
    const GtkMessageType type = icon == kIconWords[1]   ? GTK_MESSAGE_WARNING
                                : icon == kIconWords[2] ? GTK_MESSAGE_INFO
                                                        : GTK_MESSAGE_OTHER;
    const bool yesNo = style.ends_with(kButtonWords[1]);
    GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, type,
                                            yesNo ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK, "%s",
                                            displayText(text).c_str());
    gtk_window_set_title(GTK_WINDOW(box), displayText(title).c_str());
    gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    return 0;
}

#ifdef VISTRELLE_FAULT_TESTING
int divideByZero(gpointer) {
    // Both operands unknown to the compiler, so that the division really runs.
    volatile int one = 1;
    volatile int zero = 0;
    volatile int result = one / zero;
    return result;
}

int writeThroughNull(gpointer) {
    volatile int* volatile target = nullptr;  // the store itself must not be dropped
    *target = 1;
    return G_SOURCE_REMOVE;
}

constexpr guint kTestFaultDelayMs = 300;
#endif

}  // namespace

uint32_t faultCodeFor(int signal, int signalCode, bool stackOverflow) {
    if (signalCode <= 0) {
        // Sent by a program (kill, raise, sigqueue), not raised by the processor.
        return kUnknownFaultCode;
    }
    switch (signal) {
        case SIGSEGV:
        case SIGBUS:
            return stackOverflow ? kStackOverflow : kAccessViolation;
        case SIGFPE:
            switch (signalCode) {
                case FPE_INTDIV:
                    return kIntegerDivideByZero;
                case FPE_INTOVF:
                    return kIntegerOverflow;
                case FPE_FLTDIV:
                    return kFloatDivideByZero;
                case FPE_FLTOVF:
                    return kFloatOverflow;
                case FPE_FLTUND:
                    return kFloatUnderflow;
                case FPE_FLTRES:
                    return kFloatInexactResult;
                case FPE_FLTINV:
                    return kFloatInvalidOperation;
                case FPE_FLTSUB:
                    return kArrayBoundsExceeded;
                default:
                    return kUnknownFaultCode;
            }
        case SIGILL:
            return (signalCode == ILL_PRVOPC || signalCode == ILL_PRVREG) ? kPrivilegedInstruction
                                                                          : kIllegalInstruction;
        case SIGTRAP:
            switch (signalCode) {
                case TRAP_BRKPT:
                case SI_KERNEL:  // int3 on x86
                    return kBreakpoint;
                case TRAP_TRACE:
                    return kSingleStep;
                default:
                    return kUnknownFaultCode;
            }
        default:
            return kUnknownFaultCode;
    }
}

bool faultReportActive() {
    return gFaulted.load();
}

void GtkFaults::install(void (*handler)(uint32_t code)) {
    gHandler = handler;
    recordStack();
    useAlternateStack();
    struct sigaction action {};
    action.sa_sigaction = onFault;
    // SA_NODEFER: a second fault inside the handler reaches it again and ends the process
    // instead of being killed by the kernel.
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < kFaultSignals.size(); ++i) {
        struct sigaction previous {};
        sigaction(kFaultSignals[i], &action, &previous);
        if (!gInstalled) {
            gPrevious[i] = previous;
        }
    }
    gInstalled = true;
}

void GtkFaults::restore() {
    if (!gInstalled) {
        return;
    }
    for (size_t i = 0; i < kFaultSignals.size(); ++i) {
        sigaction(kFaultSignals[i], &gPrevious[i], nullptr);
    }
    gInstalled = false;
    gHandler = nullptr;
}

void GtkFaults::showReport(std::string_view title, std::string_view text, MessageIcon icon,
                           MessageButtons buttons) {
    // Nothing of this process's toolkit is touched: it may be what faulted. A fresh process of
    // the program shows the box, and this one waits for it.
    gFaulted.store(true);
    copyText(gTitle, sizeof gTitle, title);
    copyText(gText, sizeof gText, text);
    formatStyle(gStyle, sizeof gStyle, icon, buttons);
    static char program[] = "vistrelle";
    static char argument[kFaultReportArgument.size() + 1];
    copyText(argument, sizeof argument, kFaultReportArgument);
    char* argv[] = {program, argument, gTitle, gText, gStyle, nullptr};

    pid_t pid = fork();
    if (pid == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execve("/proc/self/exe", argv, childEnvironment());
        _exit(127);
    }
    if (pid < 0) {
        return;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

void GtkFaults::exitProcess(int32_t code) {
    _exit(code);
}

std::optional<int> runFaultReportIfAsked(int argc, char** argv) {
    if (argc < 2 || argv[1] == nullptr || argv[1] != kFaultReportArgument) {
        return std::nullopt;
    }
    std::string title = argc > 2 ? argv[2] : "";
    std::string text = argc > 3 ? argv[3] : "";
    std::string style = argc > 4 ? argv[4] : "none ok";
#ifdef VISTRELLE_FAULT_TESTING
    // Tests read the report from a file instead of a box on the screen.
    if (const char* file = std::getenv("VISTRELLE_FAULT_REPORT_FILE"); file && *file) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << title << '\n' << style << '\n' << text;
        return out ? 0 : 1;
    }
#endif
    return showReportBox(argc, argv, title, text, style);
}

void scheduleTestFault() {
#ifdef VISTRELLE_FAULT_TESTING
    const char* kind = std::getenv("VISTRELLE_TEST_FAULT");
    if (kind == nullptr) {
        return;
    }
    if (std::strcmp(kind, "divide") == 0) {
        g_timeout_add(kTestFaultDelayMs, divideByZero, nullptr);
    } else if (std::strcmp(kind, "null") == 0) {
        g_timeout_add(kTestFaultDelayMs, writeThroughNull, nullptr);
    }
#endif
}

}  // namespace vistrelle::gtk
