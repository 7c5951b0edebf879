// The program: its state, start-up, event loop, dispatch and shutdown.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "app/event_queue.h"
#include "app/media_session.h"
#include "catalog/catalog.h"
#include "fault/fault_report.h"
#include "player/web_writer.h"
#include "ui/window_defs.h"
#include "ui/window_layer.h"

namespace vistrelle {

class App final : public EventSink, public EventDrain {
public:
    // Attaches the program to the layer's events at once.
    explicit App(WindowLayer& layer);
    App(const App&) = delete;
    App& operator=(const App&) = delete;
    ~App() override;

    // The whole run: start-up, the event loop, shutdown. Returns the exit code (always 0).
    int32_t run();

    // Start-up steps and shutdown steps, in the program's order.
    bool startUp();  // false when the main window could not be opened (the user was told)
    void runEventLoop();
    void shutDown();  // saves favourites and setting, then endServices()
    // Restores the fault filter, closes help, destroys windows (unless the display is gone).
    void endServices(bool displayGone = false);

    // One turn of the loop; false when the loop ends.
    bool step();
    // What the loop does with one event; false when the loop ends.
    bool routeEvent(const Event& event);

    bool dispatchMenuCommand(int32_t command);  // true only for Exit
    void dispatchControlEvent(int32_t control, ControlAction action);
    void visitHomepage();
    // A command of the desktop's media controls; true only for Quit (which ends the loop).
    bool dispatchMediaCommand(MediaCommand command, double value);

    // MainWindow.
    bool buildMainWindow();
    void layoutMainWindow();
    void togglePanel();
    void toggleAlwaysOnTop();

    // About window.
    void openAboutWindow();
    void closeAboutWindow();

    // The fatal error report: counts, reports, ends the services and the process.
    [[noreturn]] void showFatalError(uint32_t code);

    // EventSink.
    void closeRequested(int32_t window, CloseSource source) override;
    void sizeChanged(int32_t window) override;
    void menuCommand(int32_t command) override;
    void controlEvent(int32_t control, ControlAction action) override;
    void headerClicked(int32_t column) override;
    // The end of the desktop session: during the run, the shutdown's saves and the end of the
    // services; before the run (nothing changed yet), only the end of the services; during a
    // shutdown or a fault report, nothing more. Then the process ends with exit code 0.
    [[noreturn]] void sessionEnding(bool displayGone) override;
    void mediaCommand(MediaCommand command, double value) override;

    // EventDrain.
    void drainPendingEvents() override;

    // Where the run is: start-up, the event loop, or the shutdown (also after a fault).
    enum class Phase { Starting, Running, ShuttingDown };
    Phase phase = Phase::Starting;

    // Program-wide state.
    Catalog catalog;
    uint8_t listPanelVisible = 1;
    int32_t panelWidth = 200;
    int8_t playerVersion = 0;
    FaultState fault;
    EventQueue queue;
    // Where the program last put each main-window control (ids 0 to 3).
    std::array<Rect, 4> controlRects{};
    // The watched channel's stream as the desktop's media controls show it. Shared with the
    // stream being played, which may outlive the program's run.
    std::shared_ptr<MediaSession> media;

private:
    void resetState();
    // One turn's events: a waiting one, or those of the next platform message.
    bool takeEvents();
    // Places the main window's controls for the panel shown or hidden, in the layout's order.
    void placeMainControls(bool panelVisible);
    void placeControl(int32_t control, Rect rect);
    // The selected row of channelList when it names an entry of shownChannels, else -1.
    int32_t selectedChannelRow();

    WindowLayer& layer_;
    WindowUi& windows_;
    EventPump& pump_;
    Launcher& launcher_;
    FaultHook& faults_;
};

}  // namespace vistrelle
