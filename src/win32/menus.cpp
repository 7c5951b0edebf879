// The menu bar, the two pop-up menus and the check mark of "Always on top".
#include <string>

#include "ui/ids.h"
#include "win32/win32_layer.h"

namespace vistrelle::win32 {

namespace {

HMENU buildMenu(HMENU menu, const MenuDef& def) {
    for (const MenuItemDef& item : def.items) {
        const std::string text(item.text);
        AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(item.command), text.c_str());
    }
    return menu;
}

}  // namespace

void Windows::createMenus() {
    HWND main = windows_[kMainWindow];
    menuBar_ = CreateMenu();
    if (menuBar_) {
        for (const MenuDef& def : menuBarDef()) {
            HMENU popup = CreatePopupMenu();
            if (!popup)
                continue;
            buildMenu(popup, def);
            const std::string title(def.title);
            AppendMenuA(menuBar_, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(popup),
                        title.c_str());
        }
        if (main)
            SetMenu(main, menuBar_);
    }
    for (int32_t menu : {kPopupMenuChannel, kPopupMenuFavorite}) {
        if (HMENU popup = CreatePopupMenu())
            popups_[menu] = buildMenu(popup, popupMenuDef(menu));
    }
}

bool Windows::menuItemChecked(int32_t command) {
    if (!menuBar_)
        return false;
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE;
    if (!GetMenuItemInfoA(menuBar_, static_cast<UINT>(command), FALSE, &info))
        return false;
    return (info.fState & MFS_CHECKED) != 0;
}

void Windows::setMenuItemChecked(int32_t command, bool checked) {
    if (!menuBar_)
        return;
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE;
    if (!GetMenuItemInfoA(menuBar_, static_cast<UINT>(command), FALSE, &info))
        return;
    info.fState = (info.fState & ~static_cast<UINT>(MFS_CHECKED)) | (checked ? MFS_CHECKED : 0);
    SetMenuItemInfoA(menuBar_, static_cast<UINT>(command), FALSE, &info);
}

void Windows::showPopupMenu(int32_t menu, PopupPlace place) {
    HWND main = windows_[kMainWindow];
    if (!main || menu < 0 || menu >= static_cast<int32_t>(popups_.size()) || !popups_[menu]) {
        return;
    }
    POINT at{};
    GetCursorPos(&at);
    at.x -= 1;
    at.y -= 1;
    const int row = list_.hwnd ? ListView_GetNextItem(list_.hwnd, -1, LVNI_SELECTED) : -1;
    if (place == PopupPlace::SelectedRow && row >= 0) {
        // Below the selected row, at the list's left edge, once the row is in view.
        ListView_EnsureVisible(list_.hwnd, row, FALSE);
        RECT bounds{};
        if (ListView_GetItemRect(list_.hwnd, row, &bounds, LVIR_BOUNDS)) {
            at = POINT{bounds.left > 0 ? bounds.left : 0, bounds.bottom};
            ClientToScreen(list_.hwnd, &at);
        }
    }
    SetForegroundWindow(main);
    TrackPopupMenu(popups_[menu], TPM_RIGHTBUTTON, at.x, at.y, 0, main, nullptr);
}

}  // namespace vistrelle::win32
