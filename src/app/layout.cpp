// MainWindow: building it, placing its controls, the list panel and the topmost state.
#include <algorithm>

#include "app/app.h"
#include "ui/ids.h"

namespace vistrelle {

bool App::buildMainWindow() {
    const WindowDef& def = mainWindowDef();

    // Centred on the screen, the outer size first reduced to the screen where it is larger.
    Size screen = windows_.screenSize();
    Size outer = windows_.frameSizeForClient(kMainWindow, def.client, false);
    outer.width = std::min(outer.width, screen.width);
    outer.height = std::min(outer.height, screen.height);
    Rect frame{(screen.width - outer.width) / 2, (screen.height - outer.height) / 2, outer.width,
               outer.height};
    if (!windows_.createMainWindow(frame, def.title)) {
        return false;
    }

    windows_.createMenus();
    windows_.createStatusBar();
    if (!windows_.createControls(kMainWindow)) {
        return false;
    }
    CountrySelectorUi& selector = windows_.countrySelector();
    for (std::string_view item : initialCountryItems()) {
        selector.appendItem(item);
    }
    selector.select(kInitialCountrySelection);
    windows_.addHelpAccelerator(kMainWindow, kCmdHelp);

    for (const ControlDef& control : def.controls) {
        if (control.id >= 0 && static_cast<size_t>(control.id) < controlRects.size()) {
            controlRects[static_cast<size_t>(control.id)] = control.rect;
        }
    }
    return true;
}

void App::placeControl(int32_t control, Rect rect) {
    // A window smaller than the panel leaves no room: a control is then zero wide or high.
    rect.width = std::max(rect.width, 0);
    rect.height = std::max(rect.height, 0);
    controlRects[static_cast<size_t>(control)] = rect;
    if (control == kWebView && windows_.webView() == nullptr) {
        return;  // no browser could be made: its area stays empty
    }
    windows_.placeControl(control, rect);
}

void App::placeMainControls(bool panelVisible) {
    Size layout = windows_.layoutSize();
    int32_t w = layout.width;
    int32_t h = layout.height;
    int32_t p = panelWidth;
    const Rect selector = controlRects[kCountrySelector];
    const Rect list = controlRects[kChannelList];
    const Rect toggle = controlRects[kPanelToggle];
    const Rect web = controlRects[kWebView];
    if (panelVisible) {
        placeControl(kCountrySelector, {w - p - 5, selector.top, selector.width, selector.height});
        placeControl(kChannelList, {w - p - 5, list.top, list.width, h - 75});
        placeControl(kPanelToggle, {w - p - 22, toggle.top, toggle.width, h - 50});
        placeControl(kWebView, {web.left, web.top, w - p - 30, h - 50});
    } else {
        placeControl(kWebView, {web.left, web.top, w - 25, h - 50});
        placeControl(kPanelToggle, {w - 17, toggle.top, toggle.width, h - 50});
    }
}

void App::layoutMainWindow() {
    // Pending paints first, so that moving the controls does not flicker.
    windows_.redrawNow();
    placeMainControls(listPanelVisible == 1);
}

void App::togglePanel() {
    bool hiding = listPanelVisible == 1;
    windows_.setControlVisible(kCountrySelector, !hiding);
    windows_.setControlVisible(kChannelList, !hiding);
    windows_.setControlText(kPanelToggle, panelToggleCaption(!hiding),
                            panelToggleAccessibleName(!hiding));
    if (windows_.isMaximized()) {
        placeMainControls(!hiding);
    } else {
        // The window itself narrows or widens by the panel; the size change that follows
        // re-lays out the controls with the new state.
        int32_t width = windows_.layoutSize().width;
        windows_.setClientWidth(hiding ? width - panelWidth - 5 : width + panelWidth + 5);
    }
    listPanelVisible = hiding ? 0 : 1;
}

void App::toggleAlwaysOnTop() {
    bool topmost = !windows_.menuItemChecked(kCmdAlwaysOnTop);
    windows_.setMenuItemChecked(kCmdAlwaysOnTop, topmost);
    windows_.setTopmost(topmost);
}

}  // namespace vistrelle
