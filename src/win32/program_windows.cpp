// The program's windows themselves: opening, geometry, state, the status bar and the end.
#include "win32/program_windows.h"

#include <algorithm>
#include <string>

#include "ui/ids.h"
#include "win32/win32_layer.h"

namespace vistrelle::win32 {

namespace {

constexpr DWORD kMainStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kDialogStyle = WS_CAPTION;

DWORD styleOf(int32_t window) {
    return window == kMainWindow ? kMainStyle : kDialogStyle;
}

Size frameFor(Size client, DWORD style, DWORD exStyle) {
    RECT rect{0, 0, client.width, client.height};
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return {rect.right - rect.left, rect.bottom - rect.top};
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

HBRUSH Windows::whiteBrushFor(HWND control) const {
    const bool white = control && std::find(whiteControls_.begin(), whiteControls_.end(),
                                            control) != whiteControls_.end();
    return white ? whiteBrush_ : nullptr;
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

HWND Windows::openWindow(int32_t window, std::string_view title, const Rect& frame, DWORD style,
                         HWND owner) {
    if (!registerWindowClasses())
        return nullptr;
    const std::string text(title);
    // The window procedure tells the windows apart from their first message on: the id comes
    // with the creation.
    HWND hwnd =
        CreateWindowExA(0, kWindowClass, text.c_str(), style, frame.left, frame.top, frame.width,
                        frame.height, owner, nullptr, GetModuleHandleA(nullptr),
                        reinterpret_cast<void*>(static_cast<intptr_t>(window + 1)));
    if (!hwnd)
        return nullptr;
    windows_[window] = hwnd;
    addTabAccelerators(window);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    return hwnd;
}

bool Windows::createMainWindow(const Rect& frame, std::string_view title) {
    return openWindow(kMainWindow, title, frame, kMainStyle, nullptr) != nullptr;
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

void Windows::setStatusText(std::string_view text) {
    if (!status_)
        return;
    const std::string copy(text);
    SendMessageA(status_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(copy.c_str()));
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

void Windows::setTopmost(bool topmost) {
    if (HWND main = windows_[kMainWindow]) {
        SetWindowPos(main, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE);
    }
}

int64_t Windows::nativeHandle() {
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(windows_[kMainWindow]));
}

bool Windows::openDialog(int32_t window, std::string_view title, const Rect& frame) {
    if (window != kSettingsWindow && window != kAboutWindow)
        return false;
    if (windows_[window])
        return false;
    return openWindow(window, title, frame, kDialogStyle, windows_[kMainWindow]) != nullptr;
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
        list_.forget();
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
}

}  // namespace vistrelle::win32
