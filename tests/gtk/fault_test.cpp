// The fault handler: signals turned into the program's exception codes, the handler reached on
// its own stack, and the real program reporting a fault and ending with exit code 0.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fake/sandbox.h"
#include "gtk/faults.h"

namespace vistrelle::gtk {
namespace {

namespace fs = std::filesystem;

struct CodeCase {
    int signal;
    int signalCode;
    bool stackOverflow;
    uint32_t code;
};

class FaultCodeTest : public ::testing::TestWithParam<CodeCase> {};

TEST_P(FaultCodeTest, SignalMapsToTheProgramsExceptionCode) {
    const CodeCase& c = GetParam();
    EXPECT_EQ(faultCodeFor(c.signal, c.signalCode, c.stackOverflow), c.code)
        << "signal " << c.signal << " code " << c.signalCode;
}

INSTANTIATE_TEST_SUITE_P(Table, FaultCodeTest,
                         ::testing::Values(CodeCase{SIGFPE, FPE_INTDIV, false, 0xC0000094},
                                           CodeCase{SIGSEGV, SEGV_MAPERR, false, 0xC0000005},
                                           CodeCase{SIGSEGV, SEGV_ACCERR, false, 0xC0000005},
                                           CodeCase{SIGSEGV, SI_KERNEL, false, 0xC0000005},
                                           CodeCase{SIGBUS, BUS_ADRERR, false, 0xC0000005},
                                           CodeCase{SIGSEGV, SEGV_MAPERR, true, 0xC00000FD},
                                           CodeCase{SIGBUS, BUS_ADRERR, true, 0xC00000FD},
                                           CodeCase{SIGFPE, FPE_FLTDIV, false, 0xC000008E},
                                           CodeCase{SIGFPE, FPE_FLTOVF, false, 0xC0000091},
                                           CodeCase{SIGFPE, FPE_FLTUND, false, 0xC0000093},
                                           CodeCase{SIGFPE, FPE_FLTRES, false, 0xC000008F},
                                           CodeCase{SIGFPE, FPE_FLTINV, false, 0xC0000090},
                                           CodeCase{SIGILL, ILL_PRVOPC, false, 0xC0000096},
                                           CodeCase{SIGILL, ILL_PRVREG, false, 0xC0000096},
                                           CodeCase{SIGILL, ILL_ILLOPC, false, 0xC000001D},
                                           CodeCase{SIGILL, ILL_ILLOPN, false, 0xC000001D},
                                           CodeCase{SIGTRAP, TRAP_BRKPT, false, 0x80000003},
                                           CodeCase{SIGTRAP, TRAP_TRACE, false, 0x80000004},
                                           // Not in the report's table: "UNKNOWN Error".
                                           CodeCase{SIGFPE, FPE_INTOVF, false, 0xC0000095},
                                           CodeCase{SIGTRAP, 0x7f, false, kUnknownFaultCode},
                                           // Sent by a program rather than raised by the processor.
                                           CodeCase{SIGSEGV, SI_USER, false, kUnknownFaultCode},
                                           CodeCase{SIGFPE, SI_TKILL, false, kUnknownFaultCode},
                                           CodeCase{SIGILL, SI_QUEUE, false, kUnknownFaultCode}));

// --- The installed handler, in a child process that faults for real.

int gReportPipe = -1;
volatile int gZero = 0;
volatile int gOne = 1;  // a constant dividend would let the compiler skip the division
volatile bool gKeepGoing = true;

void reportCode(uint32_t code) {
    ssize_t written = ::write(gReportPipe, &code, sizeof code);
    _exit(written == sizeof code ? 0 : 3);
}

int recurse(int depth) {
    volatile char frame[4096];
    frame[0] = static_cast<char>(depth);
    if (gKeepGoing) {
        return recurse(depth + 1) + frame[0];
    }
    return frame[0];
}

enum class Fault { Divide, NullWrite, StackOverflow, Raise, Trap };

struct ChildResult {
    int status = 0;
    bool reported = false;
    uint32_t code = 0;
};

// Runs `fault` in a child with the handler installed (or installed, then restored).
ChildResult faultInChild(Fault fault, bool restoreFirst = false) {
    int pipeEnds[2];
    EXPECT_EQ(::pipe(pipeEnds), 0);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeEnds[0]);
        gReportPipe = pipeEnds[1];
        GtkFaults faults;
        faults.install(reportCode);
        if (restoreFirst) {
            faults.restore();
        }
        switch (fault) {
            case Fault::Divide:
                gZero = gOne / gZero;
                break;
            case Fault::NullWrite: {
                volatile int* volatile target = nullptr;  // the store itself must not be dropped
                *target = 1;
                break;
            }
            case Fault::StackOverflow:
                recurse(0);
                break;
            case Fault::Raise:
                ::raise(SIGSEGV);
                break;
            case Fault::Trap:
                __builtin_trap();
        }
        _exit(4);
    }
    ::close(pipeEnds[1]);
    ChildResult result;
    uint32_t code = 0;
    if (::read(pipeEnds[0], &code, sizeof code) == sizeof code) {
        result.reported = true;
        result.code = code;
    }
    ::close(pipeEnds[0]);
    ::waitpid(pid, &result.status, 0);
    return result;
}

struct HandlerCase {
    Fault fault;
    uint32_t code;
};

class FaultHandlerTest : public ::testing::TestWithParam<HandlerCase> {};

TEST_P(FaultHandlerTest, ReachesTheHandlerWithTheCode) {
    ChildResult result = faultInChild(GetParam().fault);
    ASSERT_TRUE(result.reported);
    EXPECT_EQ(result.code, GetParam().code);
    EXPECT_TRUE(WIFEXITED(result.status) && WEXITSTATUS(result.status) == 0);
}

// An integer division by zero and ud2 trap only on x86; elsewhere they are no faults or other
// ones.
#if defined(__x86_64__) || defined(__i386__)
INSTANTIATE_TEST_SUITE_P(X86Faults, FaultHandlerTest,
                         ::testing::Values(HandlerCase{Fault::Divide, 0xC0000094},
                                           HandlerCase{Fault::Trap, 0xC000001D}));
#endif
INSTANTIATE_TEST_SUITE_P(Faults, FaultHandlerTest,
                         ::testing::Values(HandlerCase{Fault::NullWrite, 0xC0000005},
                                           HandlerCase{Fault::StackOverflow, 0xC00000FD},
                                           HandlerCase{Fault::Raise, kUnknownFaultCode}));

TEST(FaultHookTest, RestorePutsBackThePreviousAction) {
    ChildResult result = faultInChild(Fault::NullWrite, true);
    EXPECT_FALSE(result.reported);
    EXPECT_TRUE(WIFSIGNALED(result.status) && WTERMSIG(result.status) == SIGSEGV);
}

TEST(FaultHookTest, OnlyTheHiddenArgumentShowsAReport) {
    char program[] = "vistrelle";
    char other[] = "--other";
    char* plain[] = {program, nullptr};
    char* unknown[] = {program, other, nullptr};
    EXPECT_EQ(runFaultReportIfAsked(1, plain), std::nullopt);
    EXPECT_EQ(runFaultReportIfAsked(2, unknown), std::nullopt);
}

// --- The real program, built for fault testing.

constexpr auto kProgramLimit = std::chrono::seconds(90);

// The program beside the test's build folder, or the one VISTRELLE_PROGRAM names.
fs::path programPath() {
    if (const char* given = std::getenv("VISTRELLE_PROGRAM"); given && *given) {
        return given;
    }
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    return self.parent_path().parent_path().parent_path() / "vistrelle";
}

std::string fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct ProgramCase {
    const char* fault;
    const char* description;
};

class ProgramFaultTest : public testing::SandboxTest,
                         public ::testing::WithParamInterface<ProgramCase> {};

TEST_P(ProgramFaultTest, ReportsOnceExitsWithZeroAndSavesNothing) {
    fs::path program = programPath();
    ASSERT_TRUE(fs::exists(program)) << program << " (set VISTRELLE_PROGRAM)";

    fs::path folder = sandbox.path() / "run";
    fs::create_directory(folder);
    const std::string channels =
        "Norway|NRK 1|300|News||http://tv.example/nrk.asx|http://nrk.example/\r\n";
    const std::string favorites =
        "Sweden|SVT 1|250|News||http://tv.example/svt.asx|\r\n"
        "Denmark|DR 1|200|News||http://tv.example/dr.asx|\r\n";
    const std::string config = "[Settings]\r\nWMP Version=2\r\n";
    sandbox.write("run/channels.dat", channels);
    sandbox.write("run/favorites.dat", favorites);
    sandbox.write("run/Config.ini", config);
    auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    for (const char* name : {"favorites.dat", "Config.ini"}) {
        fs::last_write_time(folder / name, old);
    }
    fs::path report = sandbox.path() / "report.txt";

    pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(folder.c_str()) != 0) {
            _exit(120);
        }
        ::setenv("VISTRELLE_TEST_FAULT", GetParam().fault, 1);
        ::setenv("VISTRELLE_FAULT_REPORT_FILE", report.c_str(), 1);
        ::execl(program.c_str(), "vistrelle", static_cast<char*>(nullptr));
        _exit(121);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    auto end = std::chrono::steady_clock::now() + kProgramLimit;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            FAIL() << "the program did not end after its fault";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(fileBytes(report),
              std::string("Debugger\nnone ok\n") +
                  "Sorry there was an error:\n\nLine: -1\nDescription: " + GetParam().description +
                  "\nTotal number of errors: 1\n\nThe program will end now.");
    EXPECT_EQ(fileBytes(folder / "favorites.dat"), favorites);
    EXPECT_EQ(fileBytes(folder / "Config.ini"), config);
    for (const char* name : {"favorites.dat", "Config.ini"}) {
        EXPECT_EQ(fs::last_write_time(folder / name), old) << name;
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Config.ini", "channels.dat", "favorites.dat"}));
}

INSTANTIATE_TEST_SUITE_P(Program, ProgramFaultTest,
                         ::testing::Values(ProgramCase{"divide", "Attempted division by zero"},
                                           ProgramCase{
                                               "null",
                                               "An attemped read or write to/from an address to "
                                               "which that process isn't allowed"}));

}  // namespace
}  // namespace vistrelle::gtk
