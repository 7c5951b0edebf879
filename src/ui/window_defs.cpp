#include "ui/window_defs.h"

#include <array>

#include "ui/ids.h"

namespace vistrelle {

namespace {

constexpr std::array kFileItems{
    MenuItemDef{"Update channel list", kCmdUpdateChannelList, false},
    MenuItemDef{"Exit", kCmdExit, false},
};

constexpr std::array kOptionsItems{
    MenuItemDef{"Always on top", kCmdAlwaysOnTop, true},
    MenuItemDef{"Settings", kCmdSettings, false},
};

constexpr std::array kHelpItems{
    MenuItemDef{"Help...\tF1", kCmdHelp, false},
    MenuItemDef{"Check for updates", kCmdCheckForUpdates, false},
    MenuItemDef{"About", kCmdAbout, false},
};

constexpr std::array kMenuBarTitles{
    MenuDef{"File", kFileItems},
    MenuDef{"Options", kOptionsItems},
    MenuDef{"Help", kHelpItems},
};

constexpr std::array kChannelPopupItems{
    MenuItemDef{"Watch", kCmdWatch, false},
    MenuItemDef{"Visit homepage", kCmdVisitHomepage, false},
    MenuItemDef{"Add to favorites", kCmdFavorite, false},
};

constexpr std::array kFavoritePopupItems{
    MenuItemDef{"Watch", kCmdWatch, false},
    MenuItemDef{"Visit homepage", kCmdVisitHomepage, false},
    MenuItemDef{"Remove from favorites", kCmdFavorite, false},
};

constexpr MenuDef kChannelPopup{"", kChannelPopupItems};
constexpr MenuDef kFavoritePopup{"", kFavoritePopupItems};

constexpr std::array kMainControls{
    ControlDef{
        .id = kWebView, .kind = ControlKind::WebView, .rect = {5, 5, 270, 290}, .caption = ""},
    ControlDef{.id = kPanelToggle,
               .kind = ControlKind::PushButton,
               .rect = {278, 5, 15, 290},
               .caption = "<",
               .tabStop = true,
               .accessibleName = "Hide the channel list"},
    ControlDef{.id = kCountrySelector,
               .kind = ControlKind::DropDownList,
               .rect = {295, 5, 200, 160},
               .caption = "",
               .tabStop = true},
    // The search row below the list takes 25 pixels of the list's height.
    ControlDef{.id = kChannelList,
               .kind = ControlKind::ListView,
               .rect = {295, 30, 200, 242},
               .caption = "",
               .tabStop = true},
    ControlDef{.id = kSearchLabel,
               .kind = ControlKind::FieldLabel,
               .rect = {295, 277, 42, 15},
               .caption = "&Search:"},
    ControlDef{.id = kSearchField,
               .kind = ControlKind::SearchField,
               .rect = {339, 274, 156, 21},
               .caption = "",
               .tabStop = true,
               .accessibleName = "Search channels",
               .placeholder = "Name, category, comment",
               .focusKey = 'F'},
};

constexpr WindowDef kMainWindowDef{kMainWindow, kMainWindowTitle, {500, 340}, kMainControls};

constexpr std::array kSettingsControls{
    ControlDef{.id = kNoControl,
               .kind = ControlKind::GroupBox,
               .rect = {5, 5, 185, 110},
               .caption = "WMP Version"},
    ControlDef{.id = kNoControl,
               .kind = ControlKind::StaticText,
               .rect = {15, 20, 170, 40},
               .caption = "If you have compatibility issues you might want to try another "
                          "version of Windows Media Player:"},
    ControlDef{.id = kOptionNewest,
               .kind = ControlKind::RadioButton,
               .rect = {15, 63, 165, 15},
               .caption = "7 and newer",
               .tabStop = true,
               .groupStart = true},
    ControlDef{.id = kOption64,
               .kind = ControlKind::RadioButton,
               .rect = {15, 78, 165, 15},
               .caption = "6.4",
               .tabStop = true},
    ControlDef{.id = kOptionOlder,
               .kind = ControlKind::RadioButton,
               .rect = {15, 93, 165, 15},
               .caption = "Older",
               .tabStop = true},
    ControlDef{.id = kSettingsOk,
               .kind = ControlKind::DefaultPushButton,
               .rect = {5, 120, 90, 20},
               .caption = "Ok",
               .tabStop = true},
    ControlDef{.id = kSettingsCancel,
               .kind = ControlKind::PushButton,
               .rect = {100, 120, 90, 20},
               .caption = "Cancel",
               .tabStop = true},
};

constexpr WindowDef kSettingsWindowDef{kSettingsWindow, " Settings", {195, 145}, kSettingsControls};

constexpr std::array kAboutControls{
    ControlDef{.id = kAboutPanel,
               .kind = ControlKind::Panel,
               .rect = {0, 0, 220, 90},
               .caption = "",
               .whiteBackground = true},
    ControlDef{.id = kAboutProduct,
               .kind = ControlKind::CentredText,
               .rect = {5, 5, 210, 13},
               .caption = kProductName,
               .parent = kAboutPanel,
               .font = FontKind::ProductBold,
               .whiteBackground = true},
    ControlDef{.id = kAboutText,
               .kind = ControlKind::CentredText,
               .rect = {5, 18, 210, 70},
               .caption = "v1.0 Beta 3\n"
                          "Copyright (c) 2006 The Vistrelle developers\n"
                          "\n"
                          "If you like this free program then please visit my webpage and "
                          "donate!",
               .parent = kAboutPanel,
               .whiteBackground = true},
    ControlDef{
        .id = kNoControl, .kind = ControlKind::Separator, .rect = {0, 90, 220, 2}, .caption = ""},
    ControlDef{.id = kAboutWebpage,
               .kind = ControlKind::PushButton,
               .rect = {5, 95, 70, 20},
               .caption = "Webpage",
               .tabStop = true},
    ControlDef{.id = kAboutClose,
               .kind = ControlKind::PushButton,
               .rect = {145, 95, 70, 20},
               .caption = "Close",
               .tabStop = true},
};

constexpr WindowDef kAboutWindowDef{kAboutWindow, " About", {220, 120}, kAboutControls};

constexpr std::array kColumns{
    ColumnDef{"Channel", 80},
    ColumnDef{"Category", 70},
    ColumnDef{"Bitrate", 42},
    ColumnDef{"Comment", 180},
};

constexpr std::array<std::string_view, 2> kInitialCountryItems{"Favorites", "All countries"};

}  // namespace

std::span<const MenuDef> menuBarDef() {
    return kMenuBarTitles;
}

const MenuDef& popupMenuDef(int32_t menu) {
    return menu == kPopupMenuFavorite ? kFavoritePopup : kChannelPopup;
}

const WindowDef& mainWindowDef() {
    return kMainWindowDef;
}
const WindowDef& settingsWindowDef() {
    return kSettingsWindowDef;
}
const WindowDef& aboutWindowDef() {
    return kAboutWindowDef;
}

std::span<const ColumnDef> channelListColumns() {
    return kColumns;
}

std::span<const std::string_view> initialCountryItems() {
    return kInitialCountryItems;
}

const WindowDef& windowDef(int32_t window) {
    switch (window) {
        case kSettingsWindow:
            return settingsWindowDef();
        case kAboutWindow:
            return aboutWindowDef();
        default:
            return mainWindowDef();
    }
}

std::string_view panelToggleCaption(bool listShown) {
    return listShown ? "<" : ">";
}

std::string_view panelToggleAccessibleName(bool listShown) {
    return listShown ? "Hide the channel list" : "Show the channel list";
}

char accessKeyOf(std::string_view caption) {
    for (size_t at = 0; at + 1 < caption.size(); ++at) {
        if (caption[at] != '&') {
            continue;
        }
        const char key = caption[at + 1];
        if (key == '&') {
            ++at;  // an ampersand shown as such
            continue;
        }
        return key >= 'a' && key <= 'z' ? static_cast<char>(key - 'a' + 'A') : key;
    }
    return 0;
}

int32_t nextTabStop(int32_t count, int32_t current, bool forward) {
    if (count <= 0) {
        return -1;
    }
    if (current < 0 || current >= count) {
        return forward ? 0 : count - 1;
    }
    return forward ? (current + 1) % count : (current + count - 1) % count;
}

MessageBoxOwnership messageBoxOwnership(std::span<const WindowState> windows) {
    MessageBoxOwnership result;
    for (const WindowState& state : windows) {
        if (state.active) {
            result.owner = state.window;
        }
    }
    for (const WindowState& state : windows) {
        if (state.window != result.owner && state.visible && state.enabled) {
            result.disabled.push_back(state.window);
        }
    }
    return result;
}

}  // namespace vistrelle
