// AboutWindow: product, version, copyright notice and the button to the program's web page.
#include "app/app.h"
#include "settings/settings.h"
#include "ui/ids.h"

namespace vistrelle {

void App::openAboutWindow() {
    if (windows_.isWindowOpen(kAboutWindow)) {
        return;  // there is only ever one
    }
    openOwnedDialog(windows_, aboutWindowDef());
}

void App::closeAboutWindow() {
    if (!windows_.isWindowOpen(kAboutWindow)) {
        return;
    }
    closeOwnedDialog(windows_, kAboutWindow);
}

}  // namespace vistrelle
