// Every menu command and control event, turned into the operation of the part that owns it.
#include "app/app.h"
#include "catalog/channel.h"
#include "settings/launch.h"
#include "settings/settings.h"
#include "ui/ids.h"
#include "ui/texts.h"

namespace vistrelle {

int32_t App::selectedChannelRow() {
    int32_t row = windows_.channelList().selectedRow();
    if (row < 0 || static_cast<size_t>(row) >= catalog.shownChannels.size()) {
        return -1;
    }
    return row;
}

bool App::dispatchMenuCommand(int32_t command) {
    switch (command) {
        case kCmdUpdateChannelList: {
            // The updater's one argument: the main window's handle as signed 32-bit decimal.
            std::string handle = decimalText(static_cast<int32_t>(windows_.nativeHandle()));
            startUpdaterOrWarn(windows_, launcher_, handle, false);
            return false;
        }
        case kCmdExit:
            return true;
        case kCmdAlwaysOnTop:
            toggleAlwaysOnTop();
            return false;
        case kCmdSettings:
            openSettingsWindow(windows_, playerVersion);
            return false;
        case kCmdHelp:
            openHelp(windows_, launcher_);
            return false;
        case kCmdCheckForUpdates:
            showMessage(windows_, texts::kNotImplemented);
            return false;
        case kCmdAbout:
            openAboutWindow();
            return false;
        case kCmdWatch:
            // The pop-up menus appear only over a selected row; a selection that has gone since
            // is left alone.
            if (selectedChannelRow() >= 0) {
                watchSelectedChannel(catalog, windows_, playerVersion, *this, pump_, media);
            }
            return false;
        case kCmdFavorite: {
            int32_t row = selectedChannelRow();
            if (row < 0) {
                return false;
            }
            // The selector decides, not the item text: the favourites view removes.
            if (windows_.countrySelector().selectedIndex() == 0) {
                removeFavorite(catalog, windows_, row);
            } else {
                addFavorite(catalog, row);
            }
            return false;
        }
        case kCmdVisitHomepage:
            visitHomepage();
            return false;
        default:
            return false;
    }
}

void App::visitHomepage() {
    int32_t row = selectedChannelRow();
    if (row < 0) {
        return;
    }
    const Channel& channel = catalog.shownChannels[static_cast<size_t>(row)];
    if (channel.homepage().empty()) {
        showMessage(windows_, texts::kNoHomepage);
        return;
    }
    openUrl(launcher_, channel.homepage());
}

void App::dispatchControlEvent(int32_t control, ControlAction action) {
    switch (control) {
        case kCountrySelector:
            applyFilter(catalog, windows_);
            break;
        case kChannelList: {
            // A double click or Enter watches the selected row; a right click, the context-menu
            // key or Shift+F10 opens its pop-up menu (by the keyboard, beside the row). Without
            // a selected row they do nothing.
            const bool watch =
                action == ControlAction::DoubleClick || action == ControlAction::EnterKey;
            const bool menu =
                action == ControlAction::RightClick || action == ControlAction::MenuKey;
            if ((!watch && !menu) || selectedChannelRow() < 0) {
                break;
            }
            if (watch) {
                watchSelectedChannel(catalog, windows_, playerVersion, *this, pump_, media);
            } else {
                const bool favoritesView = windows_.countrySelector().selectedIndex() == 0;
                windows_.showPopupMenu(favoritesView ? kPopupMenuFavorite : kPopupMenuChannel,
                                       action == ControlAction::MenuKey ? PopupPlace::SelectedRow
                                                                        : PopupPlace::MouseCursor);
            }
            break;
        }
        case kPanelToggle:
            togglePanel();
            break;
        case kSearchField:
            // Whatever happened to the field, the view follows its text; Escape empties it.
            if (action == ControlAction::Cancel) {
                windows_.searchField().clear();
            }
            applySearch(catalog, windows_);
            break;
        case kSettingsOk:
            // Ok and Cancel act only on a Settings window that is open.
            if (windows_.isWindowOpen(kSettingsWindow)) {
                acceptSettings(windows_, playerVersion);
            }
            break;
        case kSettingsCancel:
            if (windows_.isWindowOpen(kSettingsWindow)) {
                cancelSettings(windows_);
            }
            break;
        case kAboutWebpage:
            openUrl(launcher_, kHomepageAddress);
            break;
        case kAboutClose:
            closeAboutWindow();
            break;
        default:
            break;
    }
}

}  // namespace vistrelle
