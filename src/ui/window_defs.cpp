#include "ui/window_defs.h"

#include <array>

#include "ui/ids.h"
#include "ui/texts.h"

namespace vistrelle {

namespace {

constexpr std::array kFileItems{
    MenuItemDef{texts::kUpdateChannelList, kCmdUpdateChannelList, false},
    MenuItemDef{texts::kExit, kCmdExit, false},
};

constexpr std::array kOptionsItems{
    MenuItemDef{texts::kAlwaysOnTop, kCmdAlwaysOnTop, true},
    MenuItemDef{texts::kSettings, kCmdSettings, false},
};

constexpr std::array kHelpItems{
    MenuItemDef{texts::kHelpItem, kCmdHelp, false},
    MenuItemDef{texts::kCheckForUpdates, kCmdCheckForUpdates, false},
    MenuItemDef{texts::kAbout, kCmdAbout, false},
};

constexpr std::array kMenuBarTitles{
    MenuDef{texts::kFileMenu, kFileItems},
    MenuDef{texts::kOptionsMenu, kOptionsItems},
    MenuDef{texts::kHelpMenu, kHelpItems},
};

constexpr std::array kChannelPopupItems{
    MenuItemDef{texts::kWatch, kCmdWatch, false},
    MenuItemDef{texts::kVisitHomepage, kCmdVisitHomepage, false},
    MenuItemDef{texts::kAddToFavorites, kCmdFavorite, false},
};

constexpr std::array kFavoritePopupItems{
    MenuItemDef{texts::kWatch, kCmdWatch, false},
    MenuItemDef{texts::kVisitHomepage, kCmdVisitHomepage, false},
    MenuItemDef{texts::kRemoveFromFavorites, kCmdFavorite, false},
};

constexpr MenuDef kChannelPopup{"", kChannelPopupItems};
constexpr MenuDef kFavoritePopup{"", kFavoritePopupItems};

constexpr std::array kMainControls{
    ControlDef{
        .id = kWebView, .kind = ControlKind::WebView, .rect = {5, 5, 270, 290}, .caption = ""},
    ControlDef{.id = kPanelToggle,
               .kind = ControlKind::PushButton,
               .rect = {278, 5, 15, 290},
               .caption = texts::kHideListCaption,
               .tabStop = true,
               .accessibleName = texts::kHideList},
    ControlDef{.id = kCountrySelector,
               .kind = ControlKind::DropDownList,
               .rect = {295, 5, 200, 160},
               .caption = "",
               .tabStop = true},
    ControlDef{.id = kChannelList,
               .kind = ControlKind::ListView,
               .rect = {295, 30, 200, 267},
               .caption = "",
               .tabStop = true},
};

constexpr WindowDef kMainWindowDef{kMainWindow, texts::kMainWindowTitle, {500, 340}, kMainControls};

constexpr std::array kSettingsControls{
    ControlDef{.id = kNoControl,
               .kind = ControlKind::GroupBox,
               .rect = {5, 5, 185, 110},
               .caption = texts::kPlayerVersionGroup},
    ControlDef{.id = kNoControl,
               .kind = ControlKind::StaticText,
               .rect = {15, 20, 170, 40},
               .caption = texts::kPlayerVersionExplanation},
    ControlDef{.id = kOptionNewest,
               .kind = ControlKind::RadioButton,
               .rect = {15, 63, 165, 15},
               .caption = texts::kPlayerNewest,
               .tabStop = true,
               .groupStart = true},
    ControlDef{.id = kOption64,
               .kind = ControlKind::RadioButton,
               .rect = {15, 78, 165, 15},
               .caption = texts::kPlayer64,
               .tabStop = true},
    ControlDef{.id = kOptionOlder,
               .kind = ControlKind::RadioButton,
               .rect = {15, 93, 165, 15},
               .caption = texts::kPlayerOlder,
               .tabStop = true},
    ControlDef{.id = kSettingsOk,
               .kind = ControlKind::DefaultPushButton,
               .rect = {5, 120, 90, 20},
               .caption = texts::kOk,
               .tabStop = true},
    ControlDef{.id = kSettingsCancel,
               .kind = ControlKind::PushButton,
               .rect = {100, 120, 90, 20},
               .caption = texts::kCancel,
               .tabStop = true},
};

constexpr WindowDef kSettingsWindowDef{
    kSettingsWindow, texts::kSettingsWindowTitle, {195, 145}, kSettingsControls};

constexpr std::array kAboutControls{
    ControlDef{.id = kAboutPanel,
               .kind = ControlKind::Panel,
               .rect = {0, 0, 220, 90},
               .caption = "",
               .whiteBackground = true},
    ControlDef{.id = kAboutProduct,
               .kind = ControlKind::CentredText,
               .rect = {5, 5, 210, 13},
               .caption = texts::kProductName,
               .parent = kAboutPanel,
               .font = FontKind::ProductBold,
               .whiteBackground = true},
    ControlDef{.id = kAboutText,
               .kind = ControlKind::CentredText,
               .rect = {5, 18, 210, 70},
               .caption = texts::kAboutText,
               .parent = kAboutPanel,
               .whiteBackground = true},
    ControlDef{
        .id = kNoControl, .kind = ControlKind::Separator, .rect = {0, 90, 220, 2}, .caption = ""},
    ControlDef{.id = kAboutWebpage,
               .kind = ControlKind::PushButton,
               .rect = {5, 95, 70, 20},
               .caption = texts::kWebpage,
               .tabStop = true},
    ControlDef{.id = kAboutClose,
               .kind = ControlKind::PushButton,
               .rect = {145, 95, 70, 20},
               .caption = texts::kClose,
               .tabStop = true},
};

constexpr WindowDef kAboutWindowDef{
    kAboutWindow, texts::kAboutWindowTitle, {220, 120}, kAboutControls};

constexpr std::array kColumns{
    ColumnDef{texts::kChannelColumn, 80},
    ColumnDef{texts::kCategoryColumn, 70},
    ColumnDef{texts::kBitrateColumn, 42},
    ColumnDef{texts::kCommentColumn, 180},
};

constexpr std::array<std::string_view, 2> kInitialCountryItems{texts::kFavoritesItem,
                                                               texts::kAllCountriesItem};

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
    return listShown ? texts::kHideListCaption : texts::kShowListCaption;
}

std::string_view panelToggleAccessibleName(bool listShown) {
    return listShown ? texts::kHideList : texts::kShowList;
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
