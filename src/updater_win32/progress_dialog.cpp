#include "updater_win32/progress_dialog.h"

#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "updater/texts.h"
#include "updater_win32/resources.h"
#include "updater_win32/winhttp_network.h"

namespace vistrelle::updater {

namespace {

// What the worker posts to the window; each carries a heap text the window takes over.
constexpr UINT kStageMessage = WM_APP + 1;
constexpr UINT kProgressMessage = WM_APP + 2;
constexpr UINT kFinishedMessage = WM_APP + 3;  // wParam: 1 when the update succeeded

struct Dialog {
    Dialog(const Options& given, const NetworkLimits& caps) : options(given), limits(caps) {}
    const Options& options;
    NetworkLimits limits;
    HWND hwnd = nullptr;
    std::atomic<bool> cancel{false};
    bool finished = false;
    int status = 1;
    std::thread worker;
};

class WindowReporter : public Reporter {
public:
    explicit WindowReporter(Dialog& dialog) : dialog_(dialog) {}
    void stage(const std::string& text) override { post(kStageMessage, text); }
    void progress(const std::string& text) override {
        // The window needs no more than a few updates a second.
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(100)) {
            return;
        }
        last_ = now;
        post(kProgressMessage, text);
    }
    bool cancelled() override { return dialog_.cancel.load(); }

private:
    void post(UINT message, const std::string& text) {
        auto* copy = new std::string(text);
        if (!PostMessageA(dialog_.hwnd, message, 0, reinterpret_cast<LPARAM>(copy))) {
            delete copy;
        }
    }
    Dialog& dialog_;
    std::chrono::steady_clock::time_point last_{};
};

void setText(HWND dialog, int control, const std::string& text) {
    SetDlgItemTextA(dialog, control, text.c_str());
}

// Centres the window over the program's window that started it (its handle as the program
// passed it), within the work area of that window's monitor. The window stays a window of its
// own: owning it across processes would tie the two programs' input together.
void placeOver(HWND window, uint64_t handle) {
    HWND program = reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(handle)));
    RECT over{};
    if (!IsWindow(program) || !GetWindowRect(program, &over)) {
        return;
    }
    RECT own{};
    GetWindowRect(window, &own);
    const LONG width = own.right - own.left;
    const LONG height = own.bottom - own.top;
    LONG left = over.left + (over.right - over.left - width) / 2;
    LONG top = over.top + (over.bottom - over.top - height) / 2;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromRect(&over, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& area = monitor.rcWork;
        left = std::max(area.left, std::min(left, area.right - width));
        top = std::max(area.top, std::min(top, area.bottom - height));
    }
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void finish(Dialog& d, bool ok, std::string text) {
    d.finished = true;
    d.status = ok ? 0 : 1;
    if (ok && d.options.hasWindow) {
        text += "\n" + nextStartText();
    }
    setText(d.hwnd, IDC_STAGE, text);
    SetWindowTextA(d.hwnd, std::string(ok ? kDoneTitle : kFailedTitle).c_str());
    setText(d.hwnd, IDC_DETAIL, ok ? "Done" : "");
    HWND bar = GetDlgItem(d.hwnd, IDC_BAR);
    SendMessageA(bar, PBM_SETMARQUEE, FALSE, 0);
    SetWindowLongPtrA(bar, GWL_STYLE, GetWindowLongPtrA(bar, GWL_STYLE) & ~PBS_MARQUEE);
    SendMessageA(bar, PBM_SETRANGE32, 0, 100);
    SendMessageA(bar, PBM_SETPOS, ok ? 100 : 0, 0);
    HWND button = GetDlgItem(d.hwnd, IDCANCEL);
    SetWindowTextA(button, "Close");
    EnableWindow(button, TRUE);
    SendMessageA(d.hwnd, DM_SETDEFID, IDCANCEL, 0);
    SendMessageA(d.hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(button), TRUE);
}

INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* d = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            d = reinterpret_cast<Dialog*>(lParam);
            SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
            d->hwnd = hwnd;
            HINSTANCE instance = GetModuleHandleA(nullptr);
            for (auto [which, size] : {std::pair{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}}) {
                HANDLE icon = LoadImageA(instance, MAKEINTRESOURCEA(1), IMAGE_ICON,
                                         GetSystemMetrics(size), GetSystemMetrics(size), 0);
                SendMessageA(hwnd, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
            }
            SendDlgItemMessageA(hwnd, IDC_BAR, PBM_SETMARQUEE, TRUE, 30);
            if (d->options.hasWindow) {
                placeOver(hwnd, d->options.window);
            }
            d->worker = std::thread([d] {
                WindowReporter reporter(*d);
                RunResult result;
                {
                    WinHttpNetwork network(d->cancel, d->limits);
                    result = runUpdate(d->options, network, reporter);
                }
                auto* text = new std::string(result.message);
                if (!PostMessageA(d->hwnd, kFinishedMessage, result.ok ? 1 : 0,
                                  reinterpret_cast<LPARAM>(text))) {
                    delete text;
                }
            });
            return TRUE;
        }
        case kStageMessage:
        case kProgressMessage:
        case kFinishedMessage: {
            std::unique_ptr<std::string> text(reinterpret_cast<std::string*>(lParam));
            if (message == kFinishedMessage) {
                finish(*d, wParam == 1, *text);
            } else if (message == kProgressMessage) {
                setText(hwnd, IDC_DETAIL, *text);
            } else if (!d->cancel.load()) {
                setText(hwnd, IDC_STAGE, *text);
                setText(hwnd, IDC_DETAIL, "");
            }
            return TRUE;
        }
        case WM_COMMAND:
            // The button, Esc and the close box all come as IDCANCEL.
            if (LOWORD(wParam) == IDCANCEL) {
                if (d->finished) {
                    EndDialog(hwnd, d->status);
                } else if (!d->cancel.exchange(true)) {
                    setText(hwnd, IDC_STAGE, "Cancelling...");
                    EnableWindow(GetDlgItem(hwnd, IDCANCEL), FALSE);
                }
                return TRUE;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

int runWithWindow(const Options& options, const NetworkLimits& limits) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);
    Dialog dialog(options, limits);
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, dialogProc,
                    reinterpret_cast<LPARAM>(&dialog));
    // The window ends only once the worker has finished (or never opened): nothing is left to
    // wait for but the thread's own end.
    dialog.cancel = true;
    if (dialog.worker.joinable()) {
        dialog.worker.join();
    }
    return dialog.status;
}

}  // namespace vistrelle::updater
