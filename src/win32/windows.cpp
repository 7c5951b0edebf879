// MainWindow, SettingsWindow and AboutWindow: windows, menus, controls and the message box.
#include <windows.h>

#include <algorithm>
#include <string>

#include "ui/find_row.h"
#include "win32/win32_layer.h"

namespace vistrelle::win32 {

namespace {

constexpr DWORD kMainStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kDialogStyle = WS_CAPTION;
constexpr intptr_t kNoControlId = 0xFFFF;  // IDC_STATIC

DWORD styleOf(int32_t window) {
    return window == kMainWindow ? kMainStyle : kDialogStyle;
}

Size frameFor(Size client, DWORD style, DWORD exStyle) {
    RECT rect{0, 0, client.width, client.height};
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

HMENU buildMenu(HMENU menu, const MenuDef& def) {
    for (const MenuItemDef& item : def.items) {
        const std::string text(item.text);
        AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(item.command), text.c_str());
    }
    return menu;
}

HFONT createProductFont() {
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    return CreateFontA(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, "Arial");
}

}  // namespace

Windows::Windows() {
    whiteBrush_ = CreateSolidBrush(RGB(255, 255, 255));
}

Windows::~Windows() {
    destroyAllWindows();
    if (whiteBrush_)
        DeleteObject(whiteBrush_);
}

int32_t Windows::windowId(HWND hwnd) const {
    if (!hwnd)
        return -1;
    for (int32_t id = 0; id < kWindowCount; ++id) {
        if (windows_[id] == hwnd)
            return id;
    }
    return -1;
}

void Windows::adoptWindow(int32_t window, HWND hwnd) {
    windows_[window] = hwnd;
}

HWND Windows::window(int32_t id) const {
    return id >= 0 && id < kWindowCount ? windows_[id] : nullptr;
}

HWND Windows::control(int32_t id) const {
    return id >= 0 && id < kControlIdCount ? controls_[id] : nullptr;
}

HACCEL Windows::acceleratorsOf(HWND hwnd) const {
    const int32_t id = windowId(hwnd);
    return id >= 0 ? acceleratorTables_[id] : nullptr;
}

bool Windows::hasWhiteBackground(HWND control) const {
    return control &&
           std::find(whiteControls_.begin(), whiteControls_.end(), control) != whiteControls_.end();
}

void Windows::forgetWindow(HWND hwnd) {
    const int32_t id = windowId(hwnd);
    if (id < 0)
        return;
    destroyControlsOf(id);
    windows_[id] = nullptr;
}

Size Windows::screenSize() {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

Size Windows::frameSizeForClient(int32_t window, Size client, bool tool) {
    return frameFor(client, styleOf(window), tool ? WS_EX_TOOLWINDOW : 0);
}

bool Windows::createMainWindow(const Rect& frame, std::string_view title) {
    if (!registerWindowClasses())
        return false;
    const std::string text(title);
    HWND hwnd =
        CreateWindowExA(0, kWindowClass, text.c_str(), kMainStyle, frame.left, frame.top,
                        frame.width, frame.height, nullptr, nullptr, GetModuleHandleA(nullptr),
                        reinterpret_cast<void*>(static_cast<intptr_t>(kMainWindow + 1)));
    if (!hwnd)
        return false;
    windows_[kMainWindow] = hwnd;
    addAccelerator(kMainWindow, ACCEL{FVIRTKEY, VK_TAB, kTabNextCommand});
    addAccelerator(kMainWindow, ACCEL{FVIRTKEY | FSHIFT, VK_TAB, kTabPreviousCommand});
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    return true;
}

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

void Windows::createStatusBar() {
    HWND main = windows_[kMainWindow];
    if (!main)
        return;
    status_ = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "", main, kStatusBarId);
    if (status_) {
        int whole = -1;
        SendMessageA(status_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&whole));
        SendMessageA(status_, WM_SETFONT,
                     reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    }
}

HWND Windows::makeControl(int32_t window, const ControlDef& def, HWND parent, bool startsGroup) {
    DWORD style = WS_CHILD | WS_VISIBLE;
    if (def.tabStop)
        style |= WS_TABSTOP;
    if (def.groupStart || startsGroup)
        style |= WS_GROUP;
    DWORD exStyle = 0;
    const char* cls = "STATIC";
    switch (def.kind) {
        case ControlKind::WebView:
            return nullptr;  // made by BrowserView
        case ControlKind::PushButton:
            cls = "BUTTON";
            style |= BS_PUSHBUTTON;
            break;
        case ControlKind::DefaultPushButton:
            cls = "BUTTON";
            style |= BS_DEFPUSHBUTTON;
            break;
        case ControlKind::DropDownList:
            cls = "COMBOBOX";
            style |= CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::ListView:
            cls = WC_LISTVIEWA;
            style |= LVS_REPORT | LVS_SINGLESEL | LVS_OWNERDATA;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::GroupBox:
            cls = "BUTTON";
            style |= BS_GROUPBOX;
            break;
        case ControlKind::StaticText:
            style |= SS_LEFT;
            break;
        case ControlKind::CentredText:
            style |= SS_CENTER;
            break;
        case ControlKind::RadioButton:
            cls = "BUTTON";
            style |= BS_AUTORADIOBUTTON;
            break;
        case ControlKind::Panel:
            cls = kPanelClass;
            break;
        case ControlKind::Separator:
            exStyle = WS_EX_STATICEDGE;
            break;
    }
    const std::string caption(def.caption);
    HMENU id = reinterpret_cast<HMENU>(def.id == kNoControl ? kNoControlId
                                                            : static_cast<intptr_t>(def.id));
    HWND hwnd = CreateWindowExA(exStyle, cls, caption.c_str(), style, def.rect.left, def.rect.top,
                                def.rect.width, def.rect.height, parent, id,
                                GetModuleHandleA(nullptr), nullptr);
    if (!hwnd)
        return nullptr;
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (def.font == FontKind::ProductBold) {
        if (!productFont_)
            productFont_ = createProductFont();
        if (productFont_)
            font = productFont_;
    }
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (def.whiteBackground)
        whiteControls_.push_back(hwnd);
    if (def.kind == ControlKind::ListView) {
        SendMessageA(hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE,
                     LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP,
                     LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
        int index = 0;
        for (const ColumnDef& column : channelListColumns()) {
            std::string title(column.title);
            LVCOLUMNA lvc{};
            lvc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
            lvc.pszText = title.data();
            lvc.cx = column.width;
            lvc.iSubItem = index;
            SendMessageA(hwnd, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&lvc));
            ++index;
        }
        subclassListView(hwnd);
        list_.hwnd = hwnd;
    }
    if (def.kind == ControlKind::DropDownList && def.id == kCountrySelector)
        combo_.hwnd = hwnd;
    (void)window;
    return hwnd;
}

bool Windows::createControls(int32_t window) {
    HWND hwnd = this->window(window);
    if (!hwnd)
        return false;
    const WindowDef& def = windowDef(window);
    bool afterRadio = false;
    for (const ControlDef& control : def.controls) {
        const bool isRadio = control.kind == ControlKind::RadioButton;
        // A group of option buttons ends at the first control after it.
        const bool startsGroup = afterRadio && !isRadio;
        afterRadio = isRadio;
        HWND parent = control.parent >= 0 ? this->control(control.parent) : hwnd;
        if (!parent)
            return false;
        if (control.kind == ControlKind::WebView) {
            // A web view that cannot be made is left out; the rest is still built.
            if (web_.create(parent, control.rect, control.id)) {
                controls_[control.id] = web_.hwnd;
                creationOrder_[window].push_back(web_.hwnd);
                if (control.tabStop)
                    tabStops_[window].push_back(web_.hwnd);
            }
            continue;
        }
        HWND made = makeControl(window, control, parent, startsGroup);
        if (!made)
            return false;
        if (control.id >= 0 && control.id < kControlIdCount)
            controls_[control.id] = made;
        creationOrder_[window].push_back(made);
        if (control.tabStop)
            tabStops_[window].push_back(made);
    }
    return true;
}

void Windows::addAccelerator(int32_t window, ACCEL accel) {
    auto& list = accelerators_[window];
    list.push_back(accel);
    if (acceleratorTables_[window])
        DestroyAcceleratorTable(acceleratorTables_[window]);
    acceleratorTables_[window] =
        CreateAcceleratorTableA(list.data(), static_cast<int>(list.size()));
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

Rect Windows::windowFrame(int32_t window) {
    RECT rect{};
    if (HWND hwnd = this->window(window))
        GetWindowRect(hwnd, &rect);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

Size Windows::layoutSize() {
    RECT client{};
    GetClientRect(windows_[kMainWindow], &client);
    return {client.right, client.bottom + GetSystemMetrics(SM_CYMENU)};
}

bool Windows::isMaximized() {
    return windows_[kMainWindow] && IsZoomed(windows_[kMainWindow]);
}

void Windows::setClientWidth(int32_t width) {
    HWND main = windows_[kMainWindow];
    if (!main)
        return;
    RECT outer;
    RECT client;
    GetWindowRect(main, &outer);
    GetClientRect(main, &client);
    const int outerWidth = (outer.right - outer.left) + (width - client.right);
    SetWindowPos(main, nullptr, outer.left, outer.top, outerWidth, outer.bottom - outer.top,
                 SWP_NOACTIVATE | SWP_NOZORDER);
}

void Windows::redrawNow() {
    if (windows_[kMainWindow])
        RedrawWindow(windows_[kMainWindow], nullptr, nullptr, RDW_UPDATENOW);
}

void Windows::placeControl(int32_t control, const Rect& rect) {
    if (HWND hwnd = this->control(control)) {
        MoveWindow(hwnd, rect.left, rect.top, rect.width, rect.height, TRUE);
    }
}

void Windows::setControlVisible(int32_t control, bool visible) {
    if (HWND hwnd = this->control(control))
        ShowWindow(hwnd, visible ? SW_SHOW : SW_HIDE);
}

void Windows::setControlText(int32_t control, std::string_view text, std::string_view) {
    // A button's accessible name is its caption here.
    if (HWND hwnd = this->control(control))
        SetWindowTextA(hwnd, std::string(text).c_str());
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

void Windows::setTopmost(bool topmost) {
    if (HWND main = windows_[kMainWindow]) {
        SetWindowPos(main, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE);
    }
}

void Windows::showPopupMenu(int32_t menu) {
    HWND main = windows_[kMainWindow];
    if (!main || menu < 0 || menu >= static_cast<int32_t>(popups_.size()) || !popups_[menu]) {
        return;
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    SetForegroundWindow(main);
    TrackPopupMenu(popups_[menu], TPM_RIGHTBUTTON, cursor.x - 1, cursor.y - 1, 0, main, nullptr);
}

int64_t Windows::nativeHandle() {
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(windows_[kMainWindow]));
}

void Windows::setStatusText(std::string_view text) {
    if (!status_)
        return;
    const std::string copy(text);
    SendMessageA(status_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(copy.c_str()));
}

bool Windows::openDialog(int32_t window, std::string_view title, const Rect& frame) {
    if (window != kSettingsWindow && window != kAboutWindow)
        return false;
    if (windows_[window] || !registerWindowClasses())
        return false;
    const std::string text(title);
    HWND hwnd = CreateWindowExA(0, kWindowClass, text.c_str(), kDialogStyle, frame.left, frame.top,
                                frame.width, frame.height, windows_[kMainWindow], nullptr,
                                GetModuleHandleA(nullptr),
                                reinterpret_cast<void*>(static_cast<intptr_t>(window + 1)));
    if (!hwnd)
        return false;
    windows_[window] = hwnd;
    addAccelerator(window, ACCEL{FVIRTKEY, VK_TAB, kTabNextCommand});
    addAccelerator(window, ACCEL{FVIRTKEY | FSHIFT, VK_TAB, kTabPreviousCommand});
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    return true;
}

void Windows::makeToolWindow(int32_t window, Size client) {
    HWND hwnd = this->window(window);
    if (!hwnd)
        return;
    const LONG_PTR exStyle = GetWindowLongPtrA(hwnd, GWL_EXSTYLE) | WS_EX_TOOLWINDOW;
    SetWindowLongPtrA(hwnd, GWL_EXSTYLE, exStyle);
    const Size outer = frameFor(client, static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)),
                                static_cast<DWORD>(exStyle));
    SetWindowPos(hwnd, nullptr, 0, 0, outer.width, outer.height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void Windows::destroyControlsOf(int32_t window) {
    for (HWND control : creationOrder_[window]) {
        for (HWND& slot : controls_) {
            if (slot == control)
                slot = nullptr;
        }
        std::erase(whiteControls_, control);
    }
    creationOrder_[window].clear();
    tabStops_[window].clear();
    accelerators_[window].clear();
    if (acceleratorTables_[window])
        DestroyAcceleratorTable(acceleratorTables_[window]);
    acceleratorTables_[window] = nullptr;
    if (window == kAboutWindow && productFont_) {
        // The product font lives as long as the About window that uses it.
        DeleteObject(productFont_);
        productFont_ = nullptr;
    }
    if (window == kMainWindow) {
        web_.destroy();
        list_.hwnd = nullptr;
        list_.rows = nullptr;
        combo_.hwnd = nullptr;
        status_ = nullptr;
        menuBar_ = nullptr;  // destroyed with the window
    }
}

void Windows::closeDialog(int32_t window) {
    HWND hwnd = this->window(window);
    if (!hwnd || window == kMainWindow)
        return;
    if (HWND main = windows_[kMainWindow])
        SetActiveWindow(main);
    DestroyWindow(hwnd);
}

void Windows::setWindowEnabled(int32_t window, bool enabled) {
    if (HWND hwnd = this->window(window))
        EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

bool Windows::isWindowOpen(int32_t window) {
    HWND hwnd = this->window(window);
    return hwnd && IsWindow(hwnd);
}

void Windows::setOptionChecked(int32_t control, bool checked) {
    HWND hwnd = this->control(control);
    if (!hwnd)
        return;
    SendMessageA(hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!checked)
        return;
    // Checking one option button clears the others of its group, as a click would.
    HWND parent = GetParent(hwnd);
    for (HWND other = GetNextDlgGroupItem(parent, hwnd, FALSE); other && other != hwnd;
         other = GetNextDlgGroupItem(parent, other, FALSE)) {
        if ((GetWindowLongA(other, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
            SendMessageA(other, BM_SETCHECK, BST_UNCHECKED, 0);
        }
    }
}

bool Windows::optionChecked(int32_t control) {
    HWND hwnd = this->control(control);
    return hwnd && SendMessageA(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int32_t Windows::showMessage(std::string_view title, std::string_view text, uint32_t flags) {
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
    const int result = MessageBoxA(owner, textCopy.c_str(), titleCopy.c_str(), flags);
    for (HWND hwnd : disabled) {
        if (IsWindow(hwnd))
            EnableWindow(hwnd, TRUE);
    }
    return result;
}

void Windows::destroyAllWindows() {
    for (int32_t window : {kSettingsWindow, kAboutWindow, kMainWindow}) {
        if (HWND hwnd = windows_[window]) {
            if (IsWindow(hwnd))
                DestroyWindow(hwnd);
            forgetWindow(hwnd);
            windows_[window] = nullptr;
        }
    }
    for (HMENU& popup : popups_) {
        if (popup)
            DestroyMenu(popup);
        popup = nullptr;
    }
    if (productFont_)
        DeleteObject(productFont_);
    productFont_ = nullptr;
    callbackInstalled_ = false;
    reducedErase_ = false;
}

// channelList: a virtual list over the program's rows.

void ListView::rowsReset(const ListRows& newRows) {
    rows = &newRows;
    if (!hwnd)
        return;
    // The selection is gone with the old rows. Only the one selected row is cleared: asking the
    // list to clear every row costs a visit of each of a million rows on some systems.
    if (SendMessageA(hwnd, LVM_GETSELECTEDCOUNT, 0, 0) > 0) {
        LRESULT selected =
            SendMessageA(hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
        if (selected >= 0) {
            LVITEMA none{};
            none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageA(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(selected),
                         reinterpret_cast<LPARAM>(&none));
        }
    }
    SendMessageA(hwnd, LVM_SETITEMCOUNT, static_cast<WPARAM>(newRows.count()), 0);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void ListView::rowRemoved(const ListRows& newRows, int32_t row) {
    rows = &newRows;
    if (!hwnd)
        return;
    SendMessageA(hwnd, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    if (SendMessageA(hwnd, LVM_GETITEMCOUNT, 0, 0) != newRows.count()) {
        SendMessageA(hwnd, LVM_SETITEMCOUNT, static_cast<WPARAM>(newRows.count()), 0);
    }
    InvalidateRect(hwnd, nullptr, TRUE);
}

void ListView::rowRepaint(const ListRows& newRows, int32_t row) {
    rows = &newRows;
    if (!hwnd || row < 0 || row >= newRows.count())
        return;
    SendMessageA(hwnd, LVM_REDRAWITEMS, static_cast<WPARAM>(row), static_cast<LPARAM>(row));
}

int32_t ListView::selectedRow() {
    if (!hwnd)
        return -1;
    return static_cast<int32_t>(
        SendMessageA(hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ListView::selectRow(int32_t row) {
    if (!hwnd)
        return;
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    SendMessageA(hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

void ListView::fillDisplayInfo(NMHDR* header) {
    if (header->code == LVN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
        if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax <= 0) {
            return;
        }
        info->item.pszText[0] = 0;
        if (!rows || info->item.iItem < 0 || info->item.iItem >= rows->count())
            return;
        const std::string text = rows->columnText(info->item.iItem, info->item.iSubItem);
        const int written =
            MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                info->item.pszText, info->item.cchTextMax - 1);
        info->item.pszText[std::max(written, 0)] = 0;
        return;
    }
    auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
    if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax <= 0)
        return;
    info->item.pszText[0] = 0;
    if (!rows || info->item.iItem < 0 || info->item.iItem >= rows->count())
        return;
    const std::string text = rows->columnText(info->item.iItem, info->item.iSubItem);
    lstrcpynA(info->item.pszText, text.c_str(), info->item.cchTextMax);
}

namespace {

std::string utf8Text(const wchar_t* text) {
    if (!text)
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(size - 1));
    return utf8;
}

std::string utf8Text(const char* text) {
    if (!text)
        return {};
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (size <= 1)
        return {};
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), size);
    return utf8Text(wide.c_str());
}

}  // namespace

LRESULT ListView::findItem(NMHDR* header) {
    UINT flags = 0;
    int start = 0;
    std::string text;
    if (header->code == LVN_ODFINDITEMW) {
        const auto* find = reinterpret_cast<const NMLVFINDITEMW*>(header);
        flags = find->lvfi.flags;
        start = find->iStart;
        if (flags & (LVFI_STRING | LVFI_PARTIAL))
            text = utf8Text(find->lvfi.psz);
    } else {
        const auto* find = reinterpret_cast<const NMLVFINDITEMA*>(header);
        flags = find->lvfi.flags;
        start = find->iStart;
        if (flags & (LVFI_STRING | LVFI_PARTIAL))
            text = utf8Text(find->lvfi.psz);
    }
    // The list asks with LVFI_PARTIAL | LVFI_WRAP while the user types; nothing else asks.
    if (!rows || !(flags & LVFI_PARTIAL))
        return -1;
    const int32_t found = findTypedChannelRow(*rows, text, start);
    if (found < 0 && !text.empty())
        MessageBeep(MB_OK);
    return found;
}

LRESULT ListView::customDraw(NMLVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return CDRF_NOTIFYSUBITEMDRAW;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
            const auto row = static_cast<int32_t>(draw->nmcd.dwItemSpec);
            const int32_t column = draw->iSubItem;
            draw->clrTextBk = CLR_DEFAULT;
            draw->clrText = CLR_DEFAULT;
            if (rows && row >= 0 && row < rows->count() && column >= 0 && column < kColumnCount) {
                const RowColours colours = rows->colours(row);
                if (const auto& back = colours.background[column]) {
                    draw->clrTextBk = RGB(back->red, back->green, back->blue);
                }
                if (const auto& fore = colours.text[column]) {
                    draw->clrText = RGB(fore->red, fore->green, fore->blue);
                }
            }
            return CDRF_NEWFONT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

// countrySelector.

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
