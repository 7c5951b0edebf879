// The real Windows program on a thread of the test, and what drives it: its catalogue, the
// messages its thread takes, keys through the input queue.
#pragma once

#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "driver.h"
#include "fake/sandbox.h"
#include "win32/win32_layer.h"

namespace vistrelle::testing {

inline constexpr const char* kCatalogue =
    "Austria|Donau Info|96|News||http://s.example.org/donau.asx|\r\n"
    "Austria|Alpen TV|300|TV|Mountains|http://s.example.org/alpen.asx|\r\n"
    "Norway|Fjord "
    "Radio|128|Music|Coast|http://s.example.org/fjord.m3u|http://fjord.example.org/\r\n"
    "Norway|Bergen Jazz|64|Jazz|Late|http://s.example.org/bergen.asx|\r\n";

// What the program's thread takes from its queue, and the close requests sent to its windows,
// in the order they happen: the hooks run on the program's thread.
struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
};
inline std::mutex seenMutex;
inline std::vector<Seen> seen;

inline void record(HWND hwnd, UINT message, WPARAM wParam) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_SYSCOMMAND:
        case WM_CLOSE:
        case WM_NCLBUTTONDOWN:
            break;
        default:
            return;
    }
    std::lock_guard lock(seenMutex);
    seen.push_back({hwnd, message, wParam});
}

inline LRESULT CALLBACK recordTaken(int code, WPARAM removal, LPARAM lParam) {
    if (code == HC_ACTION && removal == PM_REMOVE) {
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg->message != WM_CLOSE)
            record(msg->hwnd, msg->message, msg->wParam);
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

inline LRESULT CALLBACK recordSent(int code, WPARAM current, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (sent->message == WM_CLOSE)
            record(sent->hwnd, sent->message, sent->wParam);
    }
    return CallNextHookEx(nullptr, code, current, lParam);
}

// A key press as the keyboard driver reports it to the window that has the focus.
inline void postKey(HWND to, WPARAM key, bool alt) {
    const auto scan = static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(key), MAPVK_VK_TO_VSC));
    const LPARAM down = 1 | (scan << 16) | (alt ? (1 << 29) : 0);
    const LPARAM up = down | (LPARAM{1} << 30) | (LPARAM{1} << 31);
    PostMessageA(to, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, down);
    PostMessageA(to, alt ? WM_SYSKEYUP : WM_KEYUP, key, up);
}

// Keys pressed in order and released in reverse through the system's input queue.
inline bool typeKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *it;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
           inputs.size();
}

class ProgramTest : public SandboxTest {
protected:
    void SetUp() override { sandbox.write("channels.dat", kCatalogue); }

    void TearDown() override {
        for (HHOOK hook : hooks_)
            UnhookWindowsHookEx(hook);
        if (program_.joinable()) {
            // Leave no program behind, whatever the test did.
            if (IsWindow(main_))
                PostMessageA(main_, WM_COMMAND, MAKEWPARAM(1, 0), 0);
            program_.join();
        }
    }

    void start() {
        program_ = std::thread([this] { exitCode_ = win32::runProgram(); });
        ASSERT_TRUE(eventually([this] {
            main_ = FindWindowA(win32::kWindowClass, "Vistrelle v1.0 Beta 3");
            return main_ && statusText(main_).find("channels loaded") != std::string::npos;
        })) << "the main window did not come up";
        list_ = GetDlgItem(main_, 2);
        combo_ = GetDlgItem(main_, 1);
        ASSERT_TRUE(list_ && combo_);
    }

    // Waits for the program to end; its exit code.
    int finish() {
        program_.join();
        return exitCode_;
    }

    // Waits until the program has taken every message posted so far: a harmless marker (a
    // width of the last column) goes through its queue behind them.
    void settle() {
        static int marker = 150;
        const int width = ++marker;
        PostMessageA(list_, LVM_SETCOLUMNWIDTH, 3, MAKELPARAM(width, 0));
        ASSERT_TRUE(
            eventually([&] { return SendMessageA(list_, LVM_GETCOLUMNWIDTH, 3, 0) == width; }));
    }

    void menu(int command) {
        PostMessageA(main_, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        settle();
    }
    // Menu commands that end the program: nothing to wait for.
    void exitBy(int command) { PostMessageA(main_, WM_COMMAND, MAKEWPARAM(command, 0), 0); }

    void chooseCountry(int index) {
        SendMessageA(combo_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        PostMessageA(main_, WM_COMMAND, MAKEWPARAM(1, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo_));
        settle();
    }

    void clickHeader(int column) {
        NMHEADERA header{};
        header.hdr.hwndFrom = reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0));
        header.hdr.code = HDN_ITEMCLICKA;
        header.iItem = column;
        SendMessageA(main_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    }

    HWND dialog(const char* title) { return FindWindowA(win32::kWindowClass, title); }

    DWORD programThread() { return GetWindowThreadProcessId(main_, nullptr); }

    // From here on the messages the program takes and the close requests it gets are recorded.
    void watchMessages() {
        {
            std::lock_guard lock(seenMutex);
            seen.clear();
        }
        for (int kind : {WH_GETMESSAGE, WH_CALLWNDPROC}) {
            HHOOK hook = SetWindowsHookExA(kind, kind == WH_GETMESSAGE ? recordTaken : recordSent,
                                           nullptr, programThread());
            ASSERT_NE(hook, nullptr);
            hooks_.push_back(hook);
        }
    }

    // The message the program took last before `window` was asked to close; none when it was not.
    std::optional<Seen> takenBeforeClose(HWND window) {
        std::lock_guard lock(seenMutex);
        std::optional<Seen> last;
        for (const Seen& entry : seen) {
            if (entry.message == WM_CLOSE && entry.hwnd == window)
                return last;
            if (entry.message != WM_CLOSE)
                last = entry;
        }
        return std::nullopt;
    }

    // The window of the program's thread that has the keyboard focus.
    HWND focus() {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(programThread(), &info) ? info.hwndFocus : nullptr;
    }
    HWND active() {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(programThread(), &info) ? info.hwndActive : nullptr;
    }

    // Brings `window` to the front so that the keyboard reaches it.
    void makeForeground(HWND window) {
        ASSERT_TRUE(eventually([&] {
            if (GetForegroundWindow() != window)
                SetForegroundWindow(window);
            return GetForegroundWindow() == window && active() == window;
        })) << "the window never became the active foreground window";
    }

    std::vector<HHOOK> hooks_;

    DialogWatcher watcher_;
    std::thread program_;
    int exitCode_ = -1;
    HWND main_ = nullptr;
    HWND list_ = nullptr;
    HWND combo_ = nullptr;
};

using Texts = std::vector<std::string>;

}  // namespace vistrelle::testing
