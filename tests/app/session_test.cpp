// The end of the desktop session (a termination signal, logout, the display lost) ends the run
// through the shutdown's saves from wherever the program is; a save removes the temporary files
// that an earlier save, stopped between its write and its rename, left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <utility>

#include "app_fixture.h"

namespace vistrelle::testing {
namespace {

constexpr const char* kOld = "Norway|NRK P2|64|Culture||http://radio.example/p2.m3u|\r\n";
const std::string kSaved =
    std::string(kOld) +
    "Sweden|SR P1|96|News|Swedish|http://radio.example/sr.ram|www.sr.example\r\n";

// Where the session ends, once "SR P1" was added and "6.4" chosen in the Settings window.
enum class Where { InTheLoop, InAMessageBox, WithSettingsOpen };
struct SessionCase {
    const char* name;
    Where where;
    bool displayGone;
};

class SessionEndTest : public ::testing::TestWithParam<SessionCase> {};

TEST_P(SessionEndTest, SavesAsExitDoesAndEndsWithExitCodeZero) {
    const SessionCase& c = GetParam();
    Sandbox folder;
    folder.write("channels.dat", kSampleChannels);
    folder.write("favorites.dat", kOld);
    MemoryLayer layer;
    MemoryWindows& ui = layer.ui();
    App app(layer);
    size_t callsBefore = 0;
    auto endSession = [&](EventSink& sink) {
        callsBefore = ui.calls.size();
        sink.sessionEnding(c.displayGone);
    };
    ui.onMessage = [&](const MessageBoxCall&) {
        endSession(app);
        return MessageAnswer::Ok;
    };
    layer.pump().onIdle = [&, done = false](MemoryEvents& pump) mutable {
        if (std::exchange(done, true)) {
            return;  // nothing more: the loop ends (and the test fails)
        }
        pump.push([&ui](EventSink&) { ui.list.selected = 2; });
        pump.pushMenu(kCmdFavorite);
        pump.pushMenu(kCmdSettings);
        pump.push([&ui](EventSink&) { ui.setOptionChecked(kOption64, true); });
        if (c.where != Where::WithSettingsOpen) {
            pump.pushControl(kSettingsOk);
        }
        if (c.where == Where::InAMessageBox) {
            pump.pushMenu(kCmdCheckForUpdates);  // "Feature not implemented yet!"
        } else {
            pump.push(endSession);
        }
    };
    try {
        app.run();
        ADD_FAILURE() << "the run came back";
    } catch (const ProcessExit& exit) {
        EXPECT_EQ(exit.code, 0);
    }
    EXPECT_EQ(folder.read("favorites.dat"), kSaved);
    // The choice of a Settings window still open is not applied.
    EXPECT_EQ(folder.read("Config.ini"),
              c.where == Where::WithSettingsOpen ? "" : "WMP Version = 1\r\n");
    EXPECT_EQ(layer.faultHook().restored, 1);
    EXPECT_EQ(layer.launches().helpClosed, 1);
    // Without a display no window is touched any more.
    EXPECT_EQ(
        std::vector<std::string>(ui.calls.begin() + static_cast<ptrdiff_t>(callsBefore),
                                 ui.calls.end()),
        c.displayGone ? std::vector<std::string>{} : std::vector<std::string>{"destroyAllWindows"});
}

INSTANTIATE_TEST_SUITE_P(
    Where, SessionEndTest,
    ::testing::Values(SessionCase{"InTheLoop", Where::InTheLoop, false},
                      SessionCase{"DisplayGone", Where::InTheLoop, true},
                      SessionCase{"InAMessageBox", Where::InAMessageBox, false},
                      SessionCase{"DisplayGoneInAMessageBox", Where::InAMessageBox, true},
                      SessionCase{"WithSettingsOpen", Where::WithSettingsOpen, false}),
    [](const ::testing::TestParamInfo<SessionCase>& test) { return test.param.name; });

TEST_F(AppTest, ASessionEndDuringStartUpSavesNothing) {
    // No channels.dat: start-up asks whether to run the updater, and the session ends there.
    sandbox.write("favorites.dat", kOld);
    ui.onMessage = [this](const MessageBoxCall&) -> MessageAnswer { app.sessionEnding(false); };
    EXPECT_THROW(app.run(), ProcessExit);
    EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"favorites.dat"});
    EXPECT_EQ(sandbox.read("favorites.dat"), kOld);
    EXPECT_EQ(faultHook.restored, 1);
    EXPECT_EQ(launches.helpClosed, 1);
}

// favorites.dat cannot be written (a folder stands there): the shutdown shows its warning (none
// without a display), and a session end while that box is up ends the process at once, before
// the setting is saved. After a fault, a session end saves nothing either.
TEST(SessionEndOnce, ASecondEndDuringTheShutdownOrAfterAFaultEndsAtOnce) {
    for (int first = 0; first < 4; ++first) {  // Exit, a session end, the display lost, a fault
        Sandbox folder;
        folder.write("channels.dat", kSampleChannels);
        std::filesystem::create_directory(folder.path() / "favorites.dat");
        MemoryLayer run;
        App program(run);
        run.ui().onMessage = [&](const MessageBoxCall& box) -> MessageAnswer {
            EXPECT_EQ(box.text, "Couldn't save favorite list!");
            program.sessionEnding(false);
        };
        ASSERT_TRUE(program.startUp());
        run.ui().list.selected = 0;
        program.dispatchMenuCommand(kCmdFavorite);
        program.playerVersion = 2;
        program.phase = App::Phase::Running;
        try {
            first == 0 ? program.shutDown() : first == 3 ? program.showFatalError(1) : void();
            program.sessionEnding(first == 2);
        } catch (const ProcessExit&) {
        }
        EXPECT_EQ(run.ui().messages.size(), first == 0 || first == 1 ? 1u : 0u) << first;
        // Only the end without a display gets past the favourites, to the setting.
        EXPECT_EQ(folder.exists("Config.ini"), first == 2) << first;
        if (first == 3) {
            EXPECT_THROW(program.sessionEnding(false), ProcessExit);
            EXPECT_EQ(run.faultHook().restored, 1);  // only the fault's end of the services
        }
    }
}

#ifdef _WIN32
const std::vector<std::string> kLeftovers{"~favorites.dat.1f4.9a3c.tmp", "~Config.ini.8.0.tmp"};
const std::vector<std::string> kOthers{
    "~favorites.dat.1f4.tmp",     "~favorites.dat.1g4.9a3c.tmp", "~favorites.dat.1f4.9a3c.tmp.x",
    "favorites.dat.1f4.9a3c.tmp", "~favorites.dat..9a3c.tmp",    "~channels.dat.1f4.9a3c.tmp",
    "~favorites.datx.1.2.tmp"};
const char* kLeftoverFolder = "~favorites.dat.1.2.tmp";
#else
const std::vector<std::string> kLeftovers{"favorites.dat.aB3xZ9", "favorites.dat.000000",
                                          "Config.ini.Qw7Rt2"};
const std::vector<std::string> kOthers{"favorites.dat.aB3xZ",   "favorites.dat.aB3xZ9x",
                                       "favorites.dat.aB-xZ9",  "favorites.datXaB3xZ9",
                                       "xfavorites.dat.aB3xZ9", "channels.dat.aB3xZ9",
                                       "config.ini.Qw7Rt2"};
const char* kLeftoverFolder = "favorites.dat.dir123";
#endif

TEST_F(AppTest, ASuccessfulSaveRemovesOnlyItsOwnLeftoverTemporaries) {
    sandbox.write("favorites.dat", kOld);
    for (const std::string& name : kLeftovers) {
        sandbox.write(name, "half a save");
    }
    for (const std::string& name : kOthers) {
        sandbox.write(name, "someone else's");
    }
    std::filesystem::create_directory(sandbox.path() / kLeftoverFolder);
    startWithSamples();
    app.phase = App::Phase::Running;
    ui.list.selected = 2;
    app.dispatchMenuCommand(kCmdFavorite);
    app.playerVersion = 1;
    app.shutDown();

    std::vector<std::string> expected = kOthers;
    expected.insert(expected.end(),
                    {"Config.ini", "channels.dat", "favorites.dat", kLeftoverFolder});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sandbox.entries(), expected);
    EXPECT_EQ(sandbox.read("favorites.dat"), kSaved);
    EXPECT_EQ(sandbox.read(kOthers[0]), "someone else's");
}

}  // namespace
}  // namespace vistrelle::testing
