// AboutWindow: product, version, copyright notice and the button to the program's web page.
#include "app/app.h"
#include "app/ids.h"
#include "settings/settings.h"

namespace vistrelle {

void App::openAboutWindow() {
    if (windows_.isWindowOpen(kAboutWindow)) {
        return;  // there is only ever one
    }
    const WindowDef& def = aboutWindowDef();
    Rect frame = centreOver(windows_.windowFrame(kMainWindow),
                            windows_.frameSizeForClient(kAboutWindow, def.client, false));
    if (!windows_.openDialog(kAboutWindow, def.title, frame)) {
        return;
    }
    windows_.setWindowEnabled(kMainWindow, false);
    // The smaller tool-window caption would shrink the client area: set it again.
    windows_.makeToolWindow(kAboutWindow, def.client);
    if (!windows_.createControls(kAboutWindow)) {
        windows_.closeDialog(kAboutWindow);
        windows_.setWindowEnabled(kMainWindow, true);
    }
}

void App::closeAboutWindow() {
    if (!windows_.isWindowOpen(kAboutWindow)) {
        return;
    }
    windows_.closeDialog(kAboutWindow);
    windows_.setWindowEnabled(kMainWindow, true);
}

}  // namespace vistrelle
