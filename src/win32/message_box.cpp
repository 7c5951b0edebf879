// The program's modal message box: MessageBox, owned by the program's active window, with the
// program's other windows disabled while it is up.
#include "win32/message_box.h"

#include <string>
#include <vector>

#include "win32/win32_layer.h"

namespace vistrelle::win32 {

UINT messageBoxFlags(MessageIcon icon, MessageButtons buttons) {
    UINT flags = buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK;
    switch (icon) {
        case MessageIcon::Warning:
            flags |= MB_ICONEXCLAMATION;
            break;
        case MessageIcon::Information:
            flags |= MB_ICONINFORMATION;
            break;
        case MessageIcon::Plain:
            break;
    }
    return flags;
}

MessageAnswer messageAnswer(int pressed) {
    switch (pressed) {
        case IDYES:
            return MessageAnswer::Yes;
        case IDNO:
            return MessageAnswer::No;
        default:
            return MessageAnswer::Ok;
    }
}

MessageAnswer Windows::showMessage(std::string_view title, std::string_view text, MessageIcon icon,
                                   MessageButtons buttons) {
    const HWND foreground = GetForegroundWindow();
    std::vector<WindowState> states;
    for (int32_t id = 0; id < kWindowCount; ++id) {
        if (HWND hwnd = windows_[id]) {
            states.push_back({id, hwnd == foreground, IsWindowVisible(hwnd) != FALSE,
                              IsWindowEnabled(hwnd) != FALSE});
        }
    }
    const MessageBoxOwnership ownership = messageBoxOwnership(states);
    HWND owner = ownership.owner >= 0 ? windows_[ownership.owner] : nullptr;
    std::vector<HWND> disabled;
    for (int32_t id : ownership.disabled) {
        EnableWindow(windows_[id], FALSE);
        disabled.push_back(windows_[id]);
    }
    const std::string textCopy(text);
    const std::string titleCopy(title);
    const int pressed =
        MessageBoxA(owner, textCopy.c_str(), titleCopy.c_str(), messageBoxFlags(icon, buttons));
    for (HWND hwnd : disabled) {
        if (IsWindow(hwnd))
            EnableWindow(hwnd, TRUE);
    }
    return messageAnswer(pressed);
}

}  // namespace vistrelle::win32
