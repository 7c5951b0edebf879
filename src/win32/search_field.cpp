#include "win32/search_field.h"

// clang-format off
#include <commctrl.h>
// clang-format on

#include "ui/display_text.h"
#include "ui/ids.h"
#include "win32/win32_layer.h"

namespace vistrelle::win32 {

namespace {

WNDPROC originalEditProcedure = nullptr;

std::wstring wideText(std::string_view utf8) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                            size);
    }
    return wide;
}

// Escape in the field is the program's to act on; the edit control would only beep at it (and
// at Enter).
LRESULT CALLBACK searchFieldProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        if (Win32Layer* layer = Win32Layer::current(); layer && layer->sink())
            layer->sink()->controlEvent(kSearchField, ControlAction::Cancel);
        return 0;
    }
    if (message == WM_CHAR && (wParam == 0x1B || wParam == '\r'))
        return 0;
    return CallWindowProcW(originalEditProcedure, hwnd, message, wParam, lParam);
}

}  // namespace

std::string SearchField::text() {
    if (!hwnd)
        return {};
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, wide.data(), length + 1);
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), got, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), got, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

void SearchField::clear() {
    if (hwnd)
        SetWindowTextW(hwnd, L"");
}

void SearchField::adopt(HWND edit, const ControlDef& def) {
    hwnd = edit;
    // As long a text as the user pastes.
    SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
    const std::wstring placeholder = wideText(displayText(def.placeholder));
    SendMessageW(edit, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(placeholder.c_str()));
    const auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&searchFieldProcedure)));
    if (previous != &searchFieldProcedure)
        originalEditProcedure = previous;
}

}  // namespace vistrelle::win32
