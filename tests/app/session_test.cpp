// The end of the desktop session (a termination signal, logout, the display lost): the run ends
// through the shutdown's saves from wherever the program is, and a save removes what an earlier
// save stopped between its write and its rename left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app_fixture.h"

namespace vistrelle::testing {
namespace {

constexpr const char* kOldFavorite = "Norway|NRK P2|64|Culture||http://radio.example/p2.m3u|\r\n";
constexpr const char* kSavedFavorites =
    "Norway|NRK P2|64|Culture||http://radio.example/p2.m3u|\r\n"
    "Sweden|SR P1|96|News|Swedish|http://radio.example/sr.ram|www.sr.example\r\n";

struct SessionRun {
    int32_t exitCode = -1;  // -1: the run came back instead of ending the process
    std::string favorites;
    bool configExists = false;
    std::string config;
    std::vector<MessageBoxCall> messages;
    std::vector<std::string> calls;  // after the session end
    int32_t faultsRestored = 0;
    int32_t helpClosed = 0;
};

// Where the session ends, once "SR P1" was added and "6.4" chosen in the Settings window.
enum class Where { InTheLoop, InAMessageBox, WithSettingsOpen };

struct SessionCase {
    const char* name;
    Where where;
    bool displayGone;
    bool choiceSaved;  // the Settings window's choice was applied before the end
};

SessionRun runUntilSessionEnds(const SessionCase& c) {
    Sandbox folder;
    folder.write("channels.dat", kSampleChannels);
    folder.write("favorites.dat", kOldFavorite);
    MemoryLayer layer;
    MemoryWindows& ui = layer.ui();
    App app(layer);
    size_t callsBefore = 0;
    bool ending = false;
    auto endSession = [&](EventSink& sink) {
        callsBefore = ui.calls.size();
        ending = true;
        sink.sessionEnding(c.displayGone);
    };
    ui.onMessage = [&](const MessageBoxCall&) {
        if (!ending) {
            endSession(app);
        }
        return kIdOk;
    };
    layer.pump().onIdle = [&, first = true](MemoryEvents& pump) mutable {
        if (!first) {
            ADD_FAILURE() << "the program did not end";
            return;
        }
        first = false;
        pump.push([&ui](EventSink&) { ui.list.selected = 2; });
        pump.pushMenu(kCmdFavorite);
        pump.pushMenu(kCmdSettings);
        pump.push([&ui](EventSink&) { ui.setOptionChecked(kOption64, true); });
        if (c.where != Where::WithSettingsOpen) {
            pump.pushControl(kSettingsOk, 0);
        }
        if (c.where == Where::InAMessageBox) {
            // "Feature not implemented yet!": the program's message box, with its own loop.
            pump.pushMenu(kCmdCheckForUpdates);
        } else {
            pump.push(endSession);
        }
    };
    SessionRun run;
    try {
        app.run();
    } catch (const ProcessExit& exit) {
        run.exitCode = exit.code;
    }
    run.favorites = folder.read("favorites.dat");
    run.configExists = folder.exists("Config.ini");
    run.config = folder.read("Config.ini");
    run.messages = ui.messages;
    run.calls.assign(ui.calls.begin() + static_cast<std::ptrdiff_t>(callsBefore), ui.calls.end());
    run.faultsRestored = layer.faultHook().restored;
    run.helpClosed = layer.launches().helpClosed;
    return run;
}

class SessionEndTest : public ::testing::TestWithParam<SessionCase> {};

TEST_P(SessionEndTest, SavesAsExitDoesAndEndsWithExitCodeZero) {
    const SessionCase& c = GetParam();
    const SessionRun run = runUntilSessionEnds(c);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.favorites, kSavedFavorites);
    if (c.choiceSaved) {
        EXPECT_EQ(run.config, "WMP Version = 1\r\n");
    } else {
        EXPECT_FALSE(run.configExists);  // the open Settings window's choice is not applied
    }
    EXPECT_EQ(run.faultsRestored, 1);
    EXPECT_EQ(run.helpClosed, 1);
    // Without a display no window is touched any more; otherwise they are destroyed.
    EXPECT_EQ(run.calls, c.displayGone ? std::vector<std::string>{}
                                       : std::vector<std::string>{"destroyAllWindows"});
}

INSTANTIATE_TEST_SUITE_P(
    Where, SessionEndTest,
    ::testing::Values(SessionCase{"InTheLoop", Where::InTheLoop, false, true},
                      SessionCase{"DisplayGone", Where::InTheLoop, true, true},
                      SessionCase{"InAMessageBox", Where::InAMessageBox, false, true},
                      SessionCase{"DisplayGoneInAMessageBox", Where::InAMessageBox, true, true},
                      SessionCase{"WithSettingsOpen", Where::WithSettingsOpen, false, false}),
    [](const ::testing::TestParamInfo<SessionCase>& test) { return test.param.name; });

TEST_F(AppTest, ASessionEndDuringStartUpSavesNothing) {
    // No channels.dat: start-up asks whether to run the updater, and the session ends there.
    sandbox.write("favorites.dat", kOldFavorite);
    sandbox.write("Config.ini", "WMP Version = 2\r\n");
    ui.onMessage = [this](const MessageBoxCall&) -> int32_t { app.sessionEnding(false); };
    EXPECT_THROW(app.run(), ProcessExit);
    EXPECT_EQ(sandbox.entries(), (std::vector<std::string>{"Config.ini", "favorites.dat"}));
    EXPECT_EQ(sandbox.read("favorites.dat"), kOldFavorite);
    EXPECT_EQ(sandbox.read("Config.ini"), "WMP Version = 2\r\n");
    EXPECT_EQ(faultHook.restored, 1);
    EXPECT_EQ(launches.helpClosed, 1);
    EXPECT_EQ(ui.calls.back(), "destroyAllWindows");
}

// favorites.dat cannot be written (a folder stands there): the shutdown shows its warning, and
// a session end while that box is up ends the process at once, before the setting is saved.
TEST(SessionEndOnce, ASecondEndDuringTheShutdownEndsAtOnce) {
    for (bool firstBySession : {false, true}) {
        SCOPED_TRACE(firstBySession ? "session end, then another" : "Exit, then a session end");
        Sandbox folder;
        folder.write("channels.dat", kSampleChannels);
        std::filesystem::create_directory(folder.path() / "favorites.dat");
        MemoryLayer run;
        int32_t boxes = 0;
        App program(run);
        run.ui().onMessage = [&](const MessageBoxCall& box) -> int32_t {
            ++boxes;
            EXPECT_EQ(box.text, "Couldn't save favorite list!");
            program.sessionEnding(false);
        };
        ASSERT_TRUE(program.startUp());
        run.ui().list.selected = 0;
        program.dispatchMenuCommand(kCmdFavorite);
        program.playerVersion = 2;
        program.phase = App::Phase::Running;
        if (firstBySession) {
            EXPECT_THROW(program.sessionEnding(false), ProcessExit);
        } else {
            EXPECT_THROW(program.shutDown(), ProcessExit);
        }
        EXPECT_EQ(boxes, 1);
        EXPECT_FALSE(folder.exists("Config.ini"));
        EXPECT_EQ(run.faultHook().restored, 0);  // nothing more ran
    }
}

TEST_F(AppTest, WithoutADisplayAFailedSaveIsNotReported) {
    startWithSamples();
    std::filesystem::create_directory(sandbox.path() / "favorites.dat");
    ui.list.selected = 0;
    app.dispatchMenuCommand(kCmdFavorite);
    app.phase = App::Phase::Running;
    EXPECT_THROW(app.sessionEnding(true), ProcessExit);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(AppTest, ASessionEndAfterAFaultSavesNothing) {
    sandbox.write("favorites.dat", kOldFavorite);
    startWithSamples();
    app.phase = App::Phase::Running;
    ui.list.selected = 0;
    app.dispatchMenuCommand(kCmdFavorite);
    app.playerVersion = 2;
    EXPECT_THROW(app.showFatalError(0xC0000094), ProcessExit);
    EXPECT_THROW(app.sessionEnding(false), ProcessExit);
    EXPECT_EQ(sandbox.read("favorites.dat"), kOldFavorite);
    EXPECT_FALSE(sandbox.exists("Config.ini"));
    EXPECT_EQ(launches.helpClosed, 1);  // only the fault's end of the services ran
}

// --- leftovers of a save stopped between its write and its rename

#ifdef _WIN32
const std::vector<std::string> kLeftovers{"~favorites.dat.1f4.9a3c.tmp", "~Config.ini.8.0.tmp"};
const std::vector<std::string> kLookAlikes{
    "~favorites.dat.1f4.tmp",     "~favorites.dat.1F4.9a3c.tmp", "~favorites.dat.1f4.9a3c.tmp.x",
    "favorites.dat.1f4.9a3c.tmp", "~favorites.dat..9a3c.tmp",    "~channels.dat.1f4.9a3c.tmp",
    "~Config.ini.8.0.tmpx",       "~favorites.datx.1.2.tmp"};
const char* kLeftoverFolderName = "~favorites.dat.1.2.tmp";
#else
const std::vector<std::string> kLeftovers{"favorites.dat.aB3xZ9", "favorites.dat.000000",
                                          "Config.ini.Qw7Rt2"};
const std::vector<std::string> kLookAlikes{"favorites.dat.aB3xZ",   "favorites.dat.aB3xZ9x",
                                           "favorites.dat.aB-xZ9",  "favorites.datXaB3xZ9",
                                           "xfavorites.dat.aB3xZ9", "favorites.dat.aB3xZ9.bak",
                                           "channels.dat.aB3xZ9",   "Config.ini.Qw7Rt",
                                           "config.ini.Qw7Rt2",     "favorites.dat.aB3x.9"};
const char* kLeftoverFolderName = "favorites.dat.dir123";
#endif

TEST_F(AppTest, ASuccessfulSaveRemovesOnlyItsOwnLeftoverTemporaries) {
    sandbox.write("favorites.dat", kOldFavorite);
    for (const std::string& name : kLeftovers) {
        sandbox.write(name, "half a save");
    }
    for (const std::string& name : kLookAlikes) {
        sandbox.write(name, "someone else's");
    }
    std::filesystem::create_directory(sandbox.path() / kLeftoverFolderName);
    startWithSamples();
    app.phase = App::Phase::Running;
    ui.list.selected = 2;
    app.dispatchMenuCommand(kCmdFavorite);
    app.playerVersion = 1;
    app.shutDown();

    std::vector<std::string> expected = kLookAlikes;
    expected.insert(expected.end(),
                    {"Config.ini", "channels.dat", "favorites.dat", kLeftoverFolderName});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sandbox.entries(), expected);
    EXPECT_EQ(sandbox.read("favorites.dat"), kSavedFavorites);
    EXPECT_EQ(sandbox.read("Config.ini"), "WMP Version = 1\r\n");
    for (const std::string& name : kLookAlikes) {
        EXPECT_EQ(sandbox.read(name), "someone else's") << name;
    }
}

TEST_F(AppTest, AFailedSaveLeavesTheLeftoversAlone) {
    startWithSamples();
    std::filesystem::create_directory(sandbox.path() / "favorites.dat");
    sandbox.write(kLeftovers[0], "half a save");
    ui.list.selected = 0;
    app.dispatchMenuCommand(kCmdFavorite);
    app.phase = App::Phase::Running;
    app.shutDown();
    EXPECT_EQ(sandbox.read(kLeftovers[0]), "half a save");
}

}  // namespace
}  // namespace vistrelle::testing
