// The search field below channelList on Win32: a one-line edit control that reports what is
// typed (through its parent's notifications) and Escape (through its own window procedure).
#pragma once

#include <windows.h>

#include <string>

#include "ui/window_layer.h"

namespace vistrelle::win32 {

class SearchField final : public SearchFieldUi {
public:
    std::string text() override;
    void clear() override;

    // Gives an edit control just made its placeholder, no length limit, and its Escape key.
    void adopt(HWND edit, const ControlDef& def);
    void forget() { hwnd = nullptr; }

    HWND hwnd = nullptr;
};

}  // namespace vistrelle::win32
