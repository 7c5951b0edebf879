#include "app/app.h"

#include <cstdlib>

#include "settings/launch.h"
#include "settings/settings.h"
#include "ui/ids.h"
#include "ui/texts.h"

namespace vistrelle {

namespace {

// The program whose run is under way; the fault handler reaches it through this pointer.
App* runningApp = nullptr;

void reportFault(uint32_t code) {
    if (runningApp != nullptr) {
        runningApp->showFatalError(code);
    }
}

}  // namespace

App::App(WindowLayer& layer)
    : layer_(layer),
      windows_(layer.windows()),
      pump_(layer.events()),
      launcher_(layer.launcher()),
      faults_(layer.faults()) {
    media = std::make_shared<MediaSession>(layer.mediaControls());
    layer_.attach(*this);
}

App::~App() {
    if (runningApp == this) {
        runningApp = nullptr;
    }
}

int32_t App::run() {
    if (startUp()) {
        runEventLoop();
        shutDown();
    } else {
        endServices();
    }
    return 0;
}

void App::resetState() {
    catalog = Catalog{};
    listPanelVisible = 1;
    panelWidth = 200;
    playerVersion = 0;
    fault = FaultState{};
    queue.discardAll();
    controlRects = {};
}

bool App::startUp() {
    phase = Phase::Starting;
    runningApp = this;
    launcher_.loadHelpViewer();
    faults_.install(&reportFault);
    resetState();
    if (!buildMainWindow()) {
        showMessage(windows_, texts::kWindowNotOpened);
        return false;
    }
    showWelcomePage(windows_, *this, pump_);
    loadCatalog(catalog, windows_, launcher_);
    playerVersion = loadSettings();
    media->setRowCount(catalog.shownChannels.size());
    return true;
}

void App::runEventLoop() {
    phase = Phase::Running;
    while (step()) {
    }
}

bool App::step() {
    const bool going = takeEvents();
    media->setRowCount(catalog.shownChannels.size());
    return going;
}

bool App::takeEvents() {
    if (queue.hasQueued()) {
        return routeEvent(queue.takeQueued());
    }
    // Menu commands and control events delivered while a message box or another inner loop
    // was pumping.
    if (queue.hasDelivered()) {
        return routeEvent(queue.takeDelivered());
    }
    if (!pump_.dispatchNext(true)) {
        // The platform has nothing left to give (its connection is gone): end as after Exit, so
        // that nothing is lost.
        return false;
    }
    while (queue.hasDelivered()) {
        if (!routeEvent(queue.takeDelivered())) {
            return false;
        }
    }
    return true;
}

bool App::routeEvent(const Event& event) {
    switch (event.kind) {
        case EventKind::CloseRequest:
            if (event.window == kAboutWindow) {
                closeAboutWindow();
                return true;
            }
            return !isUserClose(event);
        case EventKind::SizeChange:
            // The main window is re-laid out whichever window changed size.
            layoutMainWindow();
            return true;
        case EventKind::MenuCommand:
            return !dispatchMenuCommand(event.id);
        case EventKind::ControlEvent:
            dispatchControlEvent(event.id, event.action);
            return true;
        case EventKind::MediaCommand:
            return !dispatchMediaCommand(static_cast<MediaCommand>(event.id), event.value);
        case EventKind::None:
            break;
    }
    return true;
}

void App::shutDown() {
    phase = Phase::ShuttingDown;
    saveFavorites(catalog, windows_);
    saveSettings(playerVersion);
    endServices();
}

void App::endServices(bool displayGone) {
    faults_.restore();
    launcher_.closeHelpViewer();
    if (!displayGone) {
        windows_.destroyAllWindows();
    }
    if (runningApp == this) {
        runningApp = nullptr;
    }
}

void App::showFatalError(uint32_t code) {
    phase = Phase::ShuttingDown;  // a fault saves nothing, whatever comes after it
    fault.faultCount++;
    fault.faultCode = code;
    faults_.showReport(texts::kFaultReportTitle, faultReportText(fault), MessageIcon::Plain,
                       MessageButtons::Ok);
    endServices();
    faults_.exitProcess(0);
    std::abort();  // exitProcess does not come back
}

// --- EventSink

void App::closeRequested(int32_t window, CloseSource source) {
    queue.postClose(window, source);
}

void App::sizeChanged(int32_t window) {
    queue.postSize(window);
}

void App::menuCommand(int32_t command) {
    queue.deliver(menuCommandEvent(command));
}

void App::controlEvent(int32_t control, ControlAction action) {
    queue.deliver(controlEventOf(control, action));
}

void App::mediaCommand(MediaCommand command, double value) {
    queue.deliver(mediaCommandEvent(static_cast<int32_t>(command), value));
}

void App::headerClicked(int32_t column) {
    if (column >= 0 && column < kColumnCount) {
        sortByColumn(catalog, windows_, column);
    }
}

void App::sessionEnding(bool displayGone) {
    switch (phase) {
        case Phase::Starting:
            // Nothing can have changed yet, and what is in memory may be only half loaded.
            phase = Phase::ShuttingDown;
            endServices(displayGone);
            break;
        case Phase::Running:
            // Whatever inner loop is running (a message box, the Settings window, a wait), the
            // run ends here as after Exit; the loop is never returned to.
            phase = Phase::ShuttingDown;
            saveFavorites(catalog, windows_, displayGone);
            saveSettings(playerVersion);
            endServices(displayGone);
            break;
        case Phase::ShuttingDown:
            // A second end while the first is still under way (or during a fault report): at
            // once, without touching anything more.
            break;
    }
    faults_.exitProcess(0);
    std::abort();  // exitProcess does not come back
}

// --- EventDrain

void App::drainPendingEvents() {
    while (pump_.dispatchNext(false)) {
    }
    queue.discardAll();
}

}  // namespace vistrelle
