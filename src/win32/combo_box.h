// countrySelector on Win32: a drop-down list combo box.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/window_layer.h"

namespace vistrelle::win32 {

class ComboBox final : public CountrySelectorUi {
public:
    void appendItem(std::string_view text) override;
    int32_t selectedIndex() override;
    void select(int32_t index) override;
    std::string selectedText() override;

    HWND hwnd = nullptr;
};

}  // namespace vistrelle::win32
