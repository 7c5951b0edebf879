// The real Windows program on a thread of the test, driven with messages: the fixture of the
// window, closing and keyboard tests.
#pragma once

#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "driver.h"
#include "fake/sandbox.h"
#include "win32/win32_layer.h"

namespace vistrelle::testing {

// Four channels of two countries, as the program starts with them.
extern const char* const kCatalogue;

// A message the program's thread took from its queue, or a close request sent to one of its
// windows.
struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
};

// A key press as the keyboard driver reports it to the window that has the focus.
void postKey(HWND to, WPARAM key, bool alt);
// Keys pressed in order and released in reverse through the system's input queue.
bool typeKeys(std::initializer_list<WORD> keys);

// The ways a user ends the program. Alt+F4 reaches the program as a key message that the
// default window procedure turns into the system Close command; the window menu's Close is
// that command itself.
enum class Ending { Exit, AltF4Posted, AltF4Typed, WindowMenuClose };

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

    // Asks `window` to close that way (Exit: the main window's menu command), the keys with the
    // window in front.
    void closeBy(Ending ending, HWND window) {
        if (ending == Ending::Exit) {
            exitBy(1);
        } else if (ending == Ending::WindowMenuClose) {
            PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else {
            makeForeground(window);
            if (ending == Ending::AltF4Posted)
                postKey(focus() ? focus() : window, VK_F4, true);
            else
                ASSERT_TRUE(typeKeys({VK_MENU, VK_F4}));
        }
    }

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
    void watchMessages();
    // The message the program took last before `window` was asked to close; none when it was not.
    std::optional<Seen> takenBeforeClose(HWND window);

    // The windows of the program's thread that have the keyboard focus and that are active.
    HWND focus() { return threadInfo().hwndFocus; }
    HWND active() { return threadInfo().hwndActive; }
    GUITHREADINFO threadInfo() {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(programThread(), &info) ? info : GUITHREADINFO{};
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
