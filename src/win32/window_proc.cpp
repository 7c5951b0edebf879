// The window procedures: Win32 messages become the program's events.
#include <windows.h>

#include <optional>
#include <utility>

#include "ui/ids.h"
#include "win32/win32_layer.h"

namespace vistrelle::win32 {

namespace {

Win32Layer* currentLayer = nullptr;
WNDPROC originalListViewProcedure = nullptr;

// Header item clicks (ANSI or Unicode notification), seen before anything else handles the
// message, which goes on as usual.
void reportHeaderClick(Win32Layer& layer, UINT message, LPARAM lParam) {
    if (message != WM_NOTIFY || !layer.sink())
        return;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header)
        return;
    if (header->code == HDN_ITEMCLICKA || header->code == HDN_ITEMCLICKW) {
        const auto* item = reinterpret_cast<const NMHEADERA*>(lParam);
        layer.sink()->headerClicked(item->iItem);
    }
}

// The colours of a static control drawn on white (the About window's texts): null for the
// others, which keep the system's.
HBRUSH whiteStaticColours(Win32Layer& layer, WPARAM dc, LPARAM control) {
    HBRUSH white = layer.ui().whiteBrushFor(reinterpret_cast<HWND>(control));
    if (white)
        SetBkColor(reinterpret_cast<HDC>(dc), RGB(255, 255, 255));
    return white;
}

// Fills the client area with the button face, leaving the visible children alone.
void eraseAroundChildren(HWND hwnd, HDC dc) {
    RECT client;
    GetClientRect(hwnd, &client);
    const int saved = SaveDC(dc);
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child))
            continue;
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&rect), 2);
        ExcludeClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
    }
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    RestoreDC(dc, saved);
}

// What a channelList notification tells the program; nullopt for notifications that tell
// nothing.
std::optional<ControlAction> listAction(const NMHDR& header) {
    switch (header.code) {
        case NM_CLICK:
            return ControlAction::Click;
        case NM_RCLICK:
            return ControlAction::RightClick;
        case NM_DBLCLK:
            return ControlAction::DoubleClick;
        case NM_RDBLCLK:
            return ControlAction::RightDoubleClick;
        case NM_RETURN:
            return ControlAction::EnterKey;
        case LVN_BEGINDRAG:
            return ControlAction::DragStart;
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            const bool selectionChanged = (change.uChanged & LVIF_STATE) &&
                                          ((change.uOldState ^ change.uNewState) & LVIS_SELECTED);
            if (selectionChanged)
                return ControlAction::SelectionChange;
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

// WM_NOTIFY of channelList; `handled` tells whether the result is the list's answer.
LRESULT listNotification(Win32Layer& layer, HWND hwnd, NMHDR* header, bool& handled) {
    ListView& list = layer.ui().list();
    handled = true;
    switch (header->code) {
        case LVN_GETDISPINFOA:
        case LVN_GETDISPINFOW:
            list.fillDisplayInfo(header);
            return 0;
        case NM_CUSTOMDRAW:
            return list.customDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
        case LVN_ODFINDITEMA:
        case LVN_ODFINDITEMW:
            return list.findItem(header);
        default:
            break;
    }
    if (const std::optional<ControlAction> action = listAction(*header))
        PostMessageA(hwnd, kListEventMessage, static_cast<WPARAM>(*action), 0);
    handled = false;
    return 0;
}

}  // namespace

Win32Layer::Win32Layer() {
    currentLayer = this;
}

Win32Layer::~Win32Layer() {
    windows_.destroyAllWindows();
    if (currentLayer == this)
        currentLayer = nullptr;
}

Win32Layer* Win32Layer::current() {
    return currentLayer;
}

bool registerWindowClasses() {
    static bool registered = false;
    if (registered)
        return true;
    HINSTANCE instance = GetModuleHandleA(nullptr);

    WNDCLASSEXA main{};
    main.cbSize = sizeof main;
    main.style = CS_DBLCLKS;
    main.lpfnWndProc = windowProcedure;
    main.hInstance = instance;
    main.hIcon = static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(1), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    main.hIconSm = static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(1), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    main.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    main.lpszClassName = kWindowClass;
    if (!RegisterClassExA(&main) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;

    WNDCLASSEXA panel{};
    panel.cbSize = sizeof panel;
    panel.lpfnWndProc = panelProcedure;
    panel.hInstance = instance;
    panel.hCursor = main.hCursor;
    panel.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    panel.lpszClassName = kPanelClass;
    if (!RegisterClassExA(&panel) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;

    registered = true;
    return true;
}

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Win32Layer* layer = currentLayer;
    if (message == WM_NCCREATE && layer) {
        // Windows are told apart from their first message on: the id comes with the creation.
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        const auto id = static_cast<int32_t>(reinterpret_cast<intptr_t>(create->lpCreateParams));
        if (id >= 1 && id <= kWindowCount)
            layer->ui().adoptWindow(id - 1, hwnd);
    }
    if (!layer)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    const int32_t window = layer->ui().windowId(hwnd);
    reportHeaderClick(*layer, message, lParam);
    EventSink* sink = layer->sink();

    switch (message) {
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                // The close box, the window menu's Close and Alt+F4 all come this way; the close
                // request the default handling sends is the user's.
                HWND outer = std::exchange(layer->ui().userClosing, hwnd);
                const LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
                layer->ui().userClosing = outer;
                return result;
            }
            break;
        case WM_CLOSE:
            // Never destroyed here: the program decides on the request.
            if (sink && window >= 0) {
                sink->closeRequested(window, layer->ui().userClosing == hwnd ? CloseSource::User
                                                                             : CloseSource::Other);
            }
            return 0;
        case WM_SIZE:
            if (window == kMainWindow && layer->ui().statusBar()) {
                SendMessageA(layer->ui().statusBar(), WM_SIZE, 0, 0);
            }
            if (sink && window >= 0 && wParam != SIZE_MINIMIZED)
                sink->sizeChanged(window);
            return 0;
        case WM_COMMAND:
            if (!sink)
                break;
            if (lParam == 0) {
                const WORD command = LOWORD(wParam);
                const bool accelerator = HIWORD(wParam) == 1;
                if (accelerator && (command == kTabNextCommand || command == kTabPreviousCommand)) {
                    layer->ui().moveFocus(window, command == kTabNextCommand);
                } else if (accelerator && layer->ui().focusByShortcut(window, command)) {
                    // the focus moved
                } else {
                    sink->menuCommand(command);
                }
            } else {
                sink->controlEvent(static_cast<int16_t>(LOWORD(wParam)), ControlAction::Used);
            }
            return 0;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header && header->hwndFrom == layer->ui().list().hwnd) {
                bool handled = false;
                const LRESULT result = listNotification(*layer, hwnd, header, handled);
                if (handled)
                    return result;
            }
            break;
        }
        case WM_CONTEXTMENU:
            // The context-menu key or Shift+F10 in the list (a mouse's comes with its position
            // and was told as a right click).
            if (reinterpret_cast<HWND>(wParam) == layer->ui().list().hwnd &&
                static_cast<int16_t>(LOWORD(lParam)) == -1 &&
                static_cast<int16_t>(HIWORD(lParam)) == -1) {
                PostMessageA(hwnd, kListEventMessage, static_cast<WPARAM>(ControlAction::MenuKey),
                             0);
                return 0;
            }
            break;
        case kListEventMessage:
            if (sink)
                sink->controlEvent(kChannelList, static_cast<ControlAction>(wParam));
            return 0;
        case WM_ERASEBKGND:
            // The main window leaves its children alone, so that they do not flicker.
            if (window == kMainWindow) {
                eraseAroundChildren(hwnd, reinterpret_cast<HDC>(wParam));
                return 1;
            }
            break;
        case WM_CTLCOLORSTATIC:
            if (HBRUSH white = whiteStaticColours(*layer, wParam, lParam))
                return reinterpret_cast<LRESULT>(white);
            break;
        case WM_QUERYENDSESSION:
            // The session may end: what must survive is saved when it does.
            return TRUE;
        case WM_ENDSESSION:
            // Windows ends the process once this returns: the program saves and ends first,
            // also from inside a message box's or dialog's own loop.
            if (wParam && sink && window >= 0)
                sink->sessionEnding(false);
            return 0;
        case WM_NCDESTROY:
            layer->ui().forgetWindow(hwnd);
            break;
        default:
            break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK panelProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Win32Layer* layer = currentLayer;
    if (!layer)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    reportHeaderClick(*layer, message, lParam);
    switch (message) {
        case WM_ERASEBKGND:
            if (HBRUSH white = layer->ui().whiteBrushFor(hwnd)) {
                RECT client;
                GetClientRect(hwnd, &client);
                FillRect(reinterpret_cast<HDC>(wParam), &client, white);
                return 1;
            }
            break;
        case WM_CTLCOLORSTATIC:
            if (HBRUSH white = whiteStaticColours(*layer, wParam, lParam))
                return reinterpret_cast<LRESULT>(white);
            break;
        case WM_COMMAND:
        case WM_NOTIFY:
            // The panel's controls belong to the panel's window.
            return SendMessageA(GetParent(hwnd), message, wParam, lParam);
        default:
            break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK listViewProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (Win32Layer* layer = currentLayer) {
        // The header's item clicks reach the list, not the window: they are seen here.
        reportHeaderClick(*layer, message, lParam);
        ListView& list = layer->ui().list();
        const auto time = static_cast<uint32_t>(GetMessageTime());
        switch (message) {
            case WM_KEYDOWN:
                if (list.keyDown(wParam, time))
                    return 0;
                break;
            case WM_CHAR:
                if (list.character(wParam, time))
                    return 0;
                break;
            case WM_SYSKEYDOWN:
            case WM_LBUTTONDOWN:
            case WM_RBUTTONDOWN:
            case WM_MBUTTONDOWN:
            case WM_KILLFOCUS:
                list.endSearch();
                break;
            default:
                break;
        }
    }
    return CallWindowProcW(originalListViewProcedure, hwnd, message, wParam, lParam);
}

void subclassListView(HWND list) {
    // A Unicode procedure: typed characters arrive as UTF-16.
    const auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&listViewProcedure)));
    if (previous != &listViewProcedure)
        originalListViewProcedure = previous;
}

}  // namespace vistrelle::win32
