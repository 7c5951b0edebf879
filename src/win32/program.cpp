// The program on Windows: the common controls, OLE, the window layer and the program itself.
#include <windows.h>
// clang-format off
#include <commctrl.h>
#include <ole2.h>
// clang-format on

#include "app/app.h"
#include "win32/win32_layer.h"

namespace vistrelle::win32 {

int runProgram() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC =
        ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);
    const HRESULT ole = OleInitialize(nullptr);
    int code = 0;
    {
        Win32Layer layer;
        App app(layer);
        code = app.run();
    }
    if (SUCCEEDED(ole))
        OleUninitialize();
    return code;
}

}  // namespace vistrelle::win32
