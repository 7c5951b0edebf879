// Start-up, the event loop and its routing, shutdown, and the fatal error report.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app_fixture.h"

namespace vistrelle::testing {
namespace {

// Writes the launcher's and the fault hook's calls into the windows' call list, so that one list
// shows the order of everything the program asked for.
class LoggingLauncher final : public Launcher {
public:
    LoggingLauncher(Launcher& inner, std::vector<std::string>& log) : inner_(inner), log_(log) {}
    std::string updaterProgram() override { return inner_.updaterProgram(); }
    bool startProgram(const LaunchRequest& request) override {
        log_.push_back("startProgram");
        return inner_.startProgram(request);
    }
    bool openWebAddress(std::string_view url) override { return inner_.openWebAddress(url); }
    void loadHelpViewer() override {
        log_.push_back("loadHelpViewer");
        inner_.loadHelpViewer();
    }
    bool showHelpFile(std::string_view file) override { return inner_.showHelpFile(file); }
    void closeHelpViewer() override {
        log_.push_back("closeHelpViewer");
        inner_.closeHelpViewer();
    }

private:
    Launcher& inner_;
    std::vector<std::string>& log_;
};

class LoggingFaults final : public FaultHook {
public:
    LoggingFaults(MemoryFaults& inner, std::vector<std::string>& log) : inner_(inner), log_(log) {}
    void install(void (*handler)(uint32_t)) override {
        log_.push_back("installFaultHandler");
        inner_.install(handler);
    }
    void restore() override {
        log_.push_back("restoreFaultHandler");
        inner_.restore();
    }
    void showReport(std::string_view title, std::string_view text, MessageIcon icon,
                    MessageButtons buttons) override {
        log_.push_back("showReport");
        inner_.showReport(title, text, icon, buttons);
    }
    [[noreturn]] void exitProcess(int32_t code) override { inner_.exitProcess(code); }

private:
    MemoryFaults& inner_;
    std::vector<std::string>& log_;
};

class LoggingLayer final : public WindowLayer {
public:
    void attach(EventSink& sink) override { memory.attach(sink); }
    WindowUi& windows() override { return memory.windows(); }
    EventPump& events() override { return memory.events(); }
    Launcher& launcher() override { return launcher_; }
    FaultHook& faults() override { return faults_; }

    MemoryLayer memory;
    std::vector<std::string>& log = memory.ui().calls;

private:
    LoggingLauncher launcher_{memory.launches(), log};
    LoggingFaults faults_{memory.faultHook(), log};
};

using StartUpTest = SandboxTest;

// Messages waiting before start-up would be taken by the welcome page's write, so a run's script
// is pushed when the loop first waits; the loop must have ended before it waits again.
void scriptRun(MemoryEvents& pump, std::function<void(MemoryEvents&)> script) {
    pump.onIdle = [script = std::move(script), first = true](MemoryEvents& events) mutable {
        if (first) {
            first = false;
            script(events);
        } else {
            ADD_FAILURE() << "the program did not end";
        }
    };
}

const std::vector<std::string> kBuildCalls{"createMainWindow", "createMenus", "createStatusBar",
                                           "createControls 0", "addHelpAccelerator 0 4"};

TEST_F(StartUpTest, RunsEveryStepInOrderAndEndsWithExitCodeZero) {
    sandbox.write("channels.dat", kSampleChannels);
    LoggingLayer layer;
    App app(layer);
    EXPECT_EQ(app.run(), 0);  // the idle pump chooses Exit

    std::vector<std::string> expected{"loadHelpViewer", "installFaultHandler"};
    expected.insert(expected.end(), kBuildCalls.begin(), kBuildCalls.end());
    expected.insert(expected.end(),
                    {"restoreFaultHandler", "closeHelpViewer", "destroyAllWindows"});
    EXPECT_EQ(layer.log, expected);
    EXPECT_EQ(layer.memory.ui().statusText, " 3 channels loaded");
    EXPECT_EQ(layer.memory.ui().list.rowCount(), 3);
    EXPECT_EQ(layer.memory.faultHook().restored, 1);
    EXPECT_EQ(layer.memory.faultHook().installed, nullptr);
}

TEST_F(StartUpTest, WelcomePageComesBeforeTheCatalogueWhichComesBeforeTheSetting) {
    // No channels.dat: the catalogue asks about the updater. By then the welcome page is on show
    // and the setting not yet read.
    sandbox.write("Config.ini", "WMP Version = 2\r\n");
    MemoryLayer layer;
    App app(layer);
    bool asked = false;
    layer.ui().onMessage = [&](const MessageBoxCall& call) {
        asked = true;
        EXPECT_EQ(call.text, "No channels found, do you want to download an updated channel list?");
        EXPECT_EQ(layer.ui().web.closes, 1);
        EXPECT_FALSE(layer.ui().web.shown.empty());
        EXPECT_EQ(app.playerVersion, 0);
        return MessageAnswer::No;
    };
    ASSERT_TRUE(app.startUp());
    EXPECT_TRUE(asked);
    EXPECT_EQ(app.playerVersion, 2);
}

TEST_F(StartUpTest, StateStartsAtItsInitialValues) {
    sandbox.write("channels.dat", kSampleChannels);
    MemoryLayer layer;
    App app(layer);
    app.listPanelVisible = 0;
    app.playerVersion = 5;
    app.fault.faultCount = 3;
    ASSERT_TRUE(app.startUp());
    EXPECT_EQ(app.listPanelVisible, 1);
    EXPECT_EQ(app.panelWidth, 200);
    EXPECT_EQ(app.playerVersion, 0);  // no Config.ini
    EXPECT_EQ(app.fault.faultCount, 0);
    EXPECT_EQ(app.catalog.filterIndex, 1);
    EXPECT_FALSE(layer.ui().checked[kCmdAlwaysOnTop]);
}

TEST_F(StartUpTest, AWindowThatCannotOpenEndsWithoutTouchingAnyFile) {
    sandbox.write("channels.dat", kSampleChannels);
    sandbox.write("favorites.dat", "Norway|Old|1|||u|\r\n");
    sandbox.write("Config.ini", "WMP Version = 9\r\n");
    const std::vector<std::string> before = sandbox.entries();
    LoggingLayer layer;
    layer.memory.ui().mainWindowFails = true;
    App app(layer);
    EXPECT_EQ(app.run(), 0);

    EXPECT_EQ(
        layer.memory.ui().messages,
        (std::vector<MessageBoxCall>{{"Warning!", "Error opening window!", MessageIcon::Warning}}));
    EXPECT_EQ(layer.log, (std::vector<std::string>{"loadHelpViewer", "installFaultHandler",
                                                   "createMainWindow", "restoreFaultHandler",
                                                   "closeHelpViewer", "destroyAllWindows"}));
    EXPECT_TRUE(layer.memory.ui().web.log.empty());
    EXPECT_TRUE(app.catalog.allChannels.empty());
    EXPECT_TRUE(app.catalog.favoriteChannels.empty());
    EXPECT_EQ(sandbox.entries(), before);
    EXPECT_EQ(sandbox.read("favorites.dat"), "Norway|Old|1|||u|\r\n");
    EXPECT_EQ(sandbox.read("Config.ini"), "WMP Version = 9\r\n");
}

// --- shutdown: Exit and a user close take the same path

struct RunResult {
    std::string favorites;
    bool favoritesExist;
    std::string config;
    std::vector<std::string> calls;
};

// One run in a fresh folder: adds "SR P1" to the favourites, picks "6.4" in the Settings window,
// then ends with `ending`.
RunResult runAndEnd(const std::function<void(MemoryEvents&)>& ending) {
    Sandbox folder;
    folder.write("channels.dat", kSampleChannels);
    folder.write("favorites.dat", "Norway|NRK P2|64|Culture||http://radio.example/p2.m3u|\r\n");
    MemoryLayer layer;
    MemoryWindows& ui = layer.ui();
    scriptRun(layer.pump(), [&ui, ending](MemoryEvents& pump) {
        pump.push([&ui](EventSink&) { ui.list.selected = 2; });
        pump.pushMenu(kCmdFavorite);
        pump.pushMenu(kCmdSettings);
        pump.push([&ui](EventSink&) { ui.setOptionChecked(kOption64, true); });
        pump.pushControl(kSettingsOk);
        ending(pump);
    });
    App app(layer);
    EXPECT_EQ(app.run(), 0);
    return {folder.read("favorites.dat"), folder.exists("favorites.dat"), folder.read("Config.ini"),
            ui.calls};
}

TEST(ShutDownTest, ExitAndAUserCloseSaveTheSameFiles) {
    const RunResult byExit = runAndEnd([](MemoryEvents& pump) { pump.pushMenu(kCmdExit); });
    const RunResult byUserClose =
        runAndEnd([](MemoryEvents& pump) { pump.pushClose(kMainWindow, CloseSource::User); });

    EXPECT_EQ(byExit.favorites,
              "Norway|NRK P2|64|Culture||http://radio.example/p2.m3u|\r\n"
              "Sweden|SR P1|96|News|Swedish|http://radio.example/sr.ram|www.sr.example\r\n");
    EXPECT_EQ(byExit.config, "WMP Version = 1\r\n");
    EXPECT_EQ(byUserClose.favorites, byExit.favorites);
    EXPECT_EQ(byUserClose.config, byExit.config);
    EXPECT_EQ(byUserClose.calls, byExit.calls);
}

TEST(ShutDownTest, NoFavoritesLeftDeletesTheFile) {
    Sandbox folder;
    folder.write("channels.dat", kSampleChannels);
    folder.write("favorites.dat", "Norway|NRK P2|64|Culture||http://radio.example/p2.m3u|\r\n");
    MemoryLayer layer;
    MemoryWindows& ui = layer.ui();
    scriptRun(layer.pump(), [&ui](MemoryEvents& pump) {
        pump.push([&ui](EventSink& sink) {
            ui.selector.select(0);
            sink.controlEvent(kCountrySelector, ControlAction::Used);
        });
        pump.push([&ui](EventSink&) { ui.list.selected = 0; });
        pump.pushMenu(kCmdFavorite);
        pump.pushMenu(kCmdExit);
    });
    App app(layer);
    app.run();
    EXPECT_FALSE(folder.exists("favorites.dat"));
    EXPECT_FALSE(folder.exists("Config.ini"));  // the setting did not change
}

TEST(ShutDownTest, ACloseOfTheSettingsWindowByTheUserEndsWithoutApplyingTheChoice) {
    Sandbox folder;
    folder.write("channels.dat", kSampleChannels);
    folder.write("Config.ini", "WMP Version = 1\r\n");
    MemoryLayer layer;
    MemoryWindows& ui = layer.ui();
    scriptRun(layer.pump(), [&ui](MemoryEvents& pump) {
        pump.pushMenu(kCmdSettings);
        pump.push([&ui](EventSink&) { ui.setOptionChecked(kOptionOlder, true); });
        pump.pushClose(kSettingsWindow, CloseSource::User);
    });
    App app(layer);
    app.run();
    EXPECT_EQ(app.playerVersion, 1);
    EXPECT_EQ(folder.read("Config.ini"), "WMP Version = 1\r\n");
    EXPECT_FALSE(ui.open[kSettingsWindow]);
}

// --- the loop

class LoopTest : public AppTest {
protected:
    void SetUp() override {
        startWithSamples();
        pump.onIdle = [](MemoryEvents&) {};  // nothing left: the loop ends
    }
};

TEST_F(LoopTest, OnlyACloseByTheUserEndsTheLoop) {
    using Close = std::pair<int32_t, CloseSource>;
    const struct {
        const char* name;
        std::vector<std::vector<Close>> dispatches;  // the closes each dispatch reports
        bool ends;
    } cases[] = {
        {"the user", {{{kMainWindow, CloseSource::User}}}, true},
        {"another program", {{{kMainWindow, CloseSource::Other}}}, false},
        {"the user, of the Settings window", {{{kSettingsWindow, CloseSource::User}}}, true},
        {"another program, then the user",
         {{{kMainWindow, CloseSource::Other}}, {{kMainWindow, CloseSource::User}}},
         true},
        // Both wait in the queue at once: the user's is not taken for a repeat of the other.
        {"another program and the user in one dispatch",
         {{{kMainWindow, CloseSource::Other}, {kMainWindow, CloseSource::User}}},
         true},
        {"the user, of the About window", {{{kAboutWindow, CloseSource::User}}}, false},
        {"nothing but dispatches without events", {{}, {}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox folder;
        MemoryLayer memory;
        App program(memory);
        ASSERT_TRUE(program.startUp());
        for (const std::vector<Close>& closes : c.dispatches) {
            memory.pump().push([closes](EventSink& sink) {
                for (auto [window, source] : closes) {
                    sink.closeRequested(window, source);
                }
            });
        }
        memory.pump().pushMenu(kCmdCheckForUpdates);  // reached only when the loop goes on
        memory.pump().onIdle = [](MemoryEvents&) {};
        memory.ui().messages.clear();
        program.runEventLoop();
        EXPECT_EQ(memory.ui().messages.empty(), c.ends);
    }
}

TEST_F(LoopTest, AUserCloseWaitsForTheCommandsDeliveredBeforeIt) {
    // One dispatch reports a user close and a command: the command runs at once, the close on
    // the next turn, and nothing after it.
    pump.push([](EventSink& sink) {
        sink.closeRequested(kMainWindow, CloseSource::User);
        sink.menuCommand(kCmdAlwaysOnTop);
    });
    pump.pushMenu(kCmdCheckForUpdates);
    ASSERT_TRUE(app.step());
    EXPECT_TRUE(ui.topmost);
    EXPECT_TRUE(app.queue.hasQueued());
    EXPECT_FALSE(app.step());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(LoopTest, QueuedEventsComeFirstInArrivalOrder) {
    app.sizeChanged(kAboutWindow);
    app.sizeChanged(kAboutWindow);  // merged
    app.menuCommand(kCmdAlwaysOnTop);
    app.closeRequested(kMainWindow, CloseSource::Other);
    ASSERT_TRUE(app.step());  // the size change: a layout
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"redrawNow"}));
    ASSERT_TRUE(app.step());  // the close request: not by the user
    EXPECT_EQ(ui.calls.size(), 1u);
    ASSERT_TRUE(app.step());  // the delivered command
    EXPECT_TRUE(ui.topmost);
    EXPECT_FALSE(app.queue.hasQueued());
    EXPECT_FALSE(app.queue.hasDelivered());
}

TEST_F(LoopTest, EveryDeliveredEventOfOneMessageIsRoutedInOrder) {
    pump.push([](EventSink& sink) {
        sink.menuCommand(kCmdCheckForUpdates);
        sink.controlEvent(kPanelToggle, ControlAction::Used);
        sink.menuCommand(kCmdExit);
        sink.menuCommand(kCmdCheckForUpdates);  // after Exit: never reached
    });
    EXPECT_FALSE(app.step());
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(app.listPanelVisible, 0);
}

TEST_F(LoopTest, RoutingTable) {
    // Close of the About window closes only it, whoever asked.
    for (CloseSource source : {CloseSource::User, CloseSource::Other}) {
        app.openAboutWindow();
        EXPECT_TRUE(app.routeEvent(closeRequestEvent(kAboutWindow, source)));
        EXPECT_FALSE(ui.open[kAboutWindow]);
        EXPECT_TRUE(ui.enabled[kMainWindow]);
    }

    // Any other window's close ends the loop only when the user asked.
    for (int32_t window : {kMainWindow, kSettingsWindow}) {
        EXPECT_FALSE(app.routeEvent(closeRequestEvent(window, CloseSource::User)));
        EXPECT_TRUE(app.routeEvent(closeRequestEvent(window, CloseSource::Other)));
    }

    // A size change of any window lays out the main window.
    for (int32_t window : {kMainWindow, kSettingsWindow, kAboutWindow}) {
        ui.calls.clear();
        EXPECT_TRUE(app.routeEvent(sizeChangeEvent(window)));
        EXPECT_EQ(ui.calls, (std::vector<std::string>{"redrawNow"}));
    }

    EXPECT_FALSE(app.routeEvent(menuCommandEvent(kCmdExit)));
    EXPECT_TRUE(app.routeEvent(menuCommandEvent(kCmdAlwaysOnTop)));
    EXPECT_TRUE(ui.topmost);
    EXPECT_TRUE(app.routeEvent(controlEventOf(kPanelToggle, ControlAction::Used)));
    EXPECT_EQ(app.listPanelVisible, 0);
    EXPECT_TRUE(app.routeEvent(Event{}));
}

TEST_F(LoopTest, AHeaderClickSortsAtOnceWithoutAnEvent) {
    pump.push([](EventSink& sink) { sink.headerClicked(0); });
    ASSERT_TRUE(app.step());
    EXPECT_EQ(shownNames(), (std::vector<std::string>{"NRK P1", "NRK P2", "SR P1"}));
    pump.push([](EventSink& sink) { sink.headerClicked(0); });
    ASSERT_TRUE(app.step());
    EXPECT_EQ(shownNames(), (std::vector<std::string>{"SR P1", "NRK P2", "NRK P1"}));
    EXPECT_FALSE(app.queue.hasDelivered());

    // Headers that are no column change nothing.
    for (int32_t column : {4, -1}) {
        app.headerClicked(column);
    }
    EXPECT_EQ(shownNames(), (std::vector<std::string>{"SR P1", "NRK P2", "NRK P1"}));
}

TEST_F(LoopTest, ABlockingPumpWithNothingToGiveEndsTheLoop) {
    EXPECT_FALSE(app.step());
}

// --- events taken while a page is written

TEST_F(AppTest, SizeChangesMadeWhileTheWindowIsBuiltAreLostInTheWelcomePage) {
    sandbox.write("channels.dat", kSampleChannels);
    ASSERT_TRUE(app.buildMainWindow());
    // What attaching the menu bar and the status bar report.
    app.sizeChanged(kMainWindow);
    app.sizeChanged(kMainWindow);
    showWelcomePage(ui, app, pump);
    EXPECT_FALSE(app.queue.hasQueued());

    pump.onIdle = [](MemoryEvents&) {};
    app.runEventLoop();
    EXPECT_TRUE(ui.placements.empty());  // channelList keeps its 267 pixels
    pump.push([](EventSink& sink) { sink.sizeChanged(kMainWindow); });
    app.runEventLoop();
    EXPECT_EQ(ui.placed[kChannelList], (Rect{295, 30, 200, 265}));
}

TEST_F(LoopTest, EverythingTakenDuringAPageWriteIsLost) {
    pump.pushMenu(kCmdExit);
    pump.pushClose(kMainWindow, CloseSource::User);
    pump.push([](EventSink& sink) { sink.sizeChanged(kMainWindow); });
    pump.pushControl(kPanelToggle);
    pump.push([](EventSink& sink) { sink.headerClicked(3); });
    app.menuCommand(kCmdCheckForUpdates);  // waiting behind the message that started the write
    ui.list.selected = 0;
    app.dispatchControlEvent(kChannelList, ControlAction::DoubleClick);

    EXPECT_EQ(ui.statusText, " Now watching: NRK P1");
    EXPECT_FALSE(app.queue.hasQueued());
    EXPECT_FALSE(app.queue.hasDelivered());
    EXPECT_EQ(app.listPanelVisible, 1);
    // The header click still sorted: by comment, ascending.
    EXPECT_EQ(shownNames(), (std::vector<std::string>{"NRK P2", "SR P1", "NRK P1"}));
    EXPECT_TRUE(app.step() == false);  // nothing left to do
    EXPECT_TRUE(ui.messages.empty());
}

// --- the fatal error report

TEST_F(AppTest, AFaultIsReportedAndEndsWithoutSaving) {
    sandbox.write("favorites.dat", "Norway|NRK P2|64|Culture||http://radio.example/p2.m3u|\r\n");
    startWithSamples();
    ui.list.selected = 0;
    app.dispatchMenuCommand(kCmdFavorite);  // a change that a normal end would save
    app.playerVersion = 2;
    app.dispatchMenuCommand(kCmdAbout);
    ASSERT_NE(faultHook.installed, nullptr);

    try {
        faultHook.installed(0xC0000094);
        FAIL() << "the handler came back";
    } catch (const ProcessExit& exit) {
        EXPECT_EQ(exit.code, 0);
    }
    ASSERT_EQ(faultHook.reports.size(), 1u);
    EXPECT_EQ(faultHook.reports[0],
              (MessageBoxCall{"Debugger",
                              "Sorry there was an error:\n\nLine: -1\n"
                              "Description: Attempted division by zero\n"
                              "Total number of errors: 1\n\nThe program will end now.",
                              MessageIcon::Plain, MessageButtons::Ok}));
    EXPECT_EQ(faultHook.restored, 1);
    EXPECT_EQ(launches.helpClosed, 1);
    EXPECT_EQ(ui.calls.back(), "destroyAllWindows");
    EXPECT_FALSE(ui.open[kAboutWindow]);
    EXPECT_EQ(sandbox.read("favorites.dat"),
              "Norway|NRK P2|64|Culture||http://radio.example/p2.m3u|\r\n");
    EXPECT_FALSE(sandbox.exists("Config.ini"));
}

TEST_F(AppTest, EveryFaultCountsAndAnUnknownCodeIsNamedSo) {
    startWithSamples();
    EXPECT_THROW(app.showFatalError(0xC0000005), ProcessExit);
    EXPECT_THROW(app.showFatalError(0xE0000001), ProcessExit);
    ASSERT_EQ(faultHook.reports.size(), 2u);
    EXPECT_NE(faultHook.reports[0].text.find("Total number of errors: 1\n"), std::string::npos);
    EXPECT_NE(faultHook.reports[1].text.find("Description: UNKNOWN Error\n"), std::string::npos);
    EXPECT_NE(faultHook.reports[1].text.find("Total number of errors: 2\n"), std::string::npos);
    EXPECT_EQ(app.fault.faultCode, 0xE0000001u);
}

}  // namespace
}  // namespace vistrelle::testing
