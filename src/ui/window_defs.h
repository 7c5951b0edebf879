// What the program's windows hold: menus, controls, columns, captions and positions. The
// window layer builds its widgets from these tables and decides nothing of its own.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vistrelle {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct MenuItemDef {
    std::string_view text;  // "Help...\tF1": the text after the tab is drawn right-aligned
    int32_t command;
    bool checkable;  // a check mark item, initially off
};

struct MenuDef {
    std::string_view title;  // empty for the two pop-up menus
    std::span<const MenuItemDef> items;
};

// The three titles of menuBar, in order.
std::span<const MenuDef> menuBarDef();
// kPopupMenuChannel or kPopupMenuFavorite.
const MenuDef& popupMenuDef(int32_t menu);

enum class ControlKind {
    WebView,            // the embedded browser
    PushButton,         //
    DefaultPushButton,  // the window's default button
    DropDownList,       // a drop-down list, not sorted, vertical scroll bar, sunken edge
    ListView,           // report mode, single full-row selection, draggable headers, sunken edge
    GroupBox,           // a frame with a caption
    StaticText,         // left-aligned text that wraps within its rectangle
    CentredText,        // centred text that wraps within its rectangle
    RadioButton,        // automatic option button
    Panel,              // a borderless container
    Separator,          // a horizontal line with the static-edge border
};

enum class FontKind {
    DefaultGui,   // the system's default GUI font
    ProductBold,  // "Arial", 8 points, bold
};

struct ControlDef {
    int32_t id;  // kNoControl for controls that have none
    ControlKind kind;
    Rect rect;  // client coordinates of the parent
    std::string_view caption;
    bool tabStop = false;
    int32_t parent = -1;  // a control id (a Panel), or -1 for the window itself
    FontKind font = FontKind::DefaultGui;
    bool whiteBackground = false;
    bool groupStart = false;  // the first option button of a group
    // What the control is for, for screen readers, where its caption does not say it.
    std::string_view accessibleName = {};
};

struct ColumnDef {
    std::string_view title;
    int32_t width;
};

struct WindowDef {
    int32_t id;
    std::string_view title;
    Size client;
    std::span<const ControlDef> controls;  // in creation order
};

// MainWindow: client 500 x 340, its controls in creation order (webView, panelToggle,
// countrySelector, channelList).
const WindowDef& mainWindowDef();
const WindowDef& settingsWindowDef();
const WindowDef& aboutWindowDef();
// The table of a window by its identifier; MainWindow's for any other number.
const WindowDef& windowDef(int32_t window);

// The panel button's caption and accessible name while the channel list is shown or hidden.
std::string_view panelToggleCaption(bool listShown);
std::string_view panelToggleAccessibleName(bool listShown);

// Tab and Shift+Tab: the index of the stop that takes the focus next, among `count` stops that
// can take it now (in creation order), when stop `current` has it (-1: none of them). Wraps at
// both ends; -1 when there is no stop.
int32_t nextTabStop(int32_t count, int32_t current, bool forward);

// The message box's owner and the windows it disables while it is up.
struct WindowState {
    int32_t window = 0;
    bool active = false;  // the foreground window
    bool visible = false;
    bool enabled = false;
};
struct MessageBoxOwnership {
    int32_t owner = -1;             // the active program window, -1 for none
    std::vector<int32_t> disabled;  // the other visible, enabled windows, to enable again after
};
MessageBoxOwnership messageBoxOwnership(std::span<const WindowState> windows);
// "Channel" 80, "Category" 70, "Bitrate" 42, "Comment" 180.
std::span<const ColumnDef> channelListColumns();
// "Favorites", "All countries".
std::span<const std::string_view> initialCountryItems();
inline constexpr int32_t kInitialCountrySelection = 1;

}  // namespace vistrelle
