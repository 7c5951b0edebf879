#include "win32/process_services.h"

// clang-format off
#include <commctrl.h>
#include <ole2.h>
// clang-format on

namespace vistrelle::win32 {

ProcessServices::ProcessServices() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC =
        ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);
    ole_ = OleInitialize(nullptr);
}

ProcessServices::~ProcessServices() {
    if (SUCCEEDED(ole_))
        OleUninitialize();
}

}  // namespace vistrelle::win32
