// countrySelector: the drop-down list of "Favorites", "All countries" and the countries.
#include "win32/combo_box.h"

#include <string>

namespace vistrelle::win32 {

void ComboBox::appendItem(std::string_view text) {
    if (!hwnd)
        return;
    const std::string copy(text);
    SendMessageA(hwnd, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(copy.c_str()));
}

int32_t ComboBox::selectedIndex() {
    if (!hwnd)
        return -1;
    const LRESULT index = SendMessageA(hwnd, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int32_t>(index);
}

void ComboBox::select(int32_t index) {
    if (hwnd)
        SendMessageA(hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string ComboBox::selectedText() {
    const int32_t index = selectedIndex();
    if (index < 0)
        return {};
    const LRESULT length = SendMessageA(hwnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length < 0)
        return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT got = SendMessageA(hwnd, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                     reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == CB_ERR || got < 0 ? 0 : static_cast<size_t>(got));
    return text;
}

}  // namespace vistrelle::win32
