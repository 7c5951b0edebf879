// Keyboard shortcuts (F1, and Tab and Shift+Tab as accelerators of every window) and the focus
// moves Tab makes.
#include <vector>

#include "win32/win32_layer.h"

namespace vistrelle::win32 {

HACCEL Windows::acceleratorsOf(HWND hwnd) const {
    const int32_t id = windowId(hwnd);
    return id >= 0 ? acceleratorTables_[id] : nullptr;
}

void Windows::addAccelerator(int32_t window, ACCEL accel) {
    auto& list = accelerators_[window];
    list.push_back(accel);
    if (acceleratorTables_[window])
        DestroyAcceleratorTable(acceleratorTables_[window]);
    acceleratorTables_[window] =
        CreateAcceleratorTableA(list.data(), static_cast<int>(list.size()));
}

void Windows::addTabAccelerators(int32_t window) {
    addAccelerator(window, ACCEL{FVIRTKEY, VK_TAB, kTabNextCommand});
    addAccelerator(window, ACCEL{FVIRTKEY | FSHIFT, VK_TAB, kTabPreviousCommand});
}

void Windows::addHelpAccelerator(int32_t window, int32_t command) {
    if (window < 0 || window >= kWindowCount)
        return;
    addAccelerator(window, ACCEL{FVIRTKEY, VK_F1, static_cast<WORD>(command)});
}

void Windows::moveFocus(int32_t window, bool forward) {
    if (window < 0 || window >= kWindowCount)
        return;
    std::vector<HWND> stops;
    for (HWND control : tabStops_[window]) {
        if (IsWindow(control) && IsWindowVisible(control) && IsWindowEnabled(control))
            stops.push_back(control);
    }
    if (stops.empty())
        return;
    HWND focus = GetFocus();
    int32_t current = -1;
    for (size_t at = 0; at < stops.size(); ++at) {
        if (stops[at] == focus || IsChild(stops[at], focus))
            current = static_cast<int32_t>(at);
    }
    const int32_t next = nextTabStop(static_cast<int32_t>(stops.size()), current, forward);
    if (next >= 0)
        SetFocus(stops[static_cast<size_t>(next)]);
}

}  // namespace vistrelle::win32
