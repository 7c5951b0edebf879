// A build of the program for the tests that end it from outside:
//   fault_probe divide|access|thread|session-about|session-box
// It starts like the program and makes changes that a normal exit would save (a favourite and
// the setting). Then it faults (the report must end it with code 0 and save nothing), or runs
// its loop until the session ends.
#include <windows.h>
// clang-format off
#include <commctrl.h>
#include <ole2.h>
// clang-format on

#include <cstring>
#include <thread>

#include "app/app.h"
#include "win32/win32_layer.h"

namespace {

volatile int zero = 0;
volatile int* volatile nowhere = nullptr;  // the stores through it must not be dropped

DWORD WINAPI faultingThread(void*) {
    *nowhere = 1;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "divide";
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    OleInitialize(nullptr);
    vistrelle::win32::Win32Layer layer;
    vistrelle::App app(layer);
    if (!app.startUp())
        return 3;

    HWND list = GetDlgItem(FindWindowA(vistrelle::win32::kWindowClass, nullptr), 2);
    LVITEMA item{};
    item.state = item.stateMask = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    app.dispatchMenuCommand(vistrelle::kCmdFavorite);
    app.playerVersion = 2;

    if (std::strncmp(mode, "session", 7) == 0) {
        // From the loop: "session-about" opens the About window, "session-box" the "Info" box
        // of "Check for updates" (the box's own loop then runs).
        const bool box = std::strcmp(mode, "session-box") == 0;
        PostMessageA(FindWindowA(vistrelle::win32::kWindowClass, nullptr), WM_COMMAND,
                     box ? vistrelle::kCmdCheckForUpdates : vistrelle::kCmdAbout, 0);
        app.runEventLoop();
        app.shutDown();
        return 5;  // the session's end does not come back here
    }
    if (std::strcmp(mode, "access") == 0) {
        *nowhere = 1;
    } else if (std::strcmp(mode, "thread") == 0) {
        HANDLE thread = CreateThread(nullptr, 0, faultingThread, nullptr, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
    } else {
        return 100 / zero;
    }
    return 4;  // not reached: the report ends the process
}
