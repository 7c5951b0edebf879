// The Win32 window layer: USER32, COMCTL32 version 6, GDI32, the WebBrowser control in an ATL
// host, the shell and HTML Help. It carries out the program's requests and reports what its
// windows see; every decision stays with the program.
#pragma once

#include <windows.h>

#include "ui/ids.h"
#include "ui/window_layer.h"
#include "win32/faults.h"
#include "win32/launcher.h"
#include "win32/message_pump.h"
#include "win32/program_windows.h"

namespace vistrelle::win32 {

// The window classes of the program's windows and of the borderless panel.
inline constexpr const char* kWindowClass = "VistrelleWindow";
inline constexpr const char* kPanelClass = "VistrellePanel";
// Posted to MainWindow for a channelList notification, once the list has updated its selection;
// wParam is the ControlAction.
inline constexpr UINT kListEventMessage = WM_APP + 1;
// Accelerator commands that move the keyboard focus (never reported to the program).
inline constexpr WORD kTabNextCommand = 0xFFF0;
inline constexpr WORD kTabPreviousCommand = 0xFFF1;
inline constexpr int kStatusBarId = 100;

class Win32Layer final : public WindowLayer {
public:
    Win32Layer();
    ~Win32Layer() override;
    Win32Layer(const Win32Layer&) = delete;
    Win32Layer& operator=(const Win32Layer&) = delete;

    void attach(EventSink& sink) override { sink_ = &sink; }
    WindowUi& windows() override { return windows_; }
    EventPump& events() override { return pump_; }
    Launcher& launcher() override { return launcher_; }
    FaultHook& faults() override { return faults_; }

    EventSink* sink() const { return sink_; }
    Windows& ui() { return windows_; }

    // The layer of this process (one at a time), for the window procedures.
    static Win32Layer* current();

private:
    EventSink* sink_ = nullptr;
    Windows windows_;
    MessagePump pump_{windows_};
    ShellLauncher launcher_;
    ExceptionFilter faults_;
};

// Registers the program's window classes once per process.
bool registerWindowClasses();

// The window procedures (one for all program windows, one for the panel, one for channelList).
LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK panelProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK listViewProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Routes channelList's own messages through listViewProcedure first.
void subclassListView(HWND list);

// The whole program on the calling thread: common controls, OLE, the layer and the program.
// Returns the exit code.
int runProgram();

}  // namespace vistrelle::win32
