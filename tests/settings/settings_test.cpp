#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "ui/ids.h"
#include "fake/child_process.h"
#include "fake/memory_layer.h"
#include "fake/sandbox.h"
#include "os/file.h"
#include "settings/config_document.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#endif

namespace vistrelle {
namespace {

namespace fs = std::filesystem;
using testing::MemoryWindows;
using testing::SandboxTest;

// ---------------------------------------------------------------------------------------------
// Config.ini at start-up and at exit.

class StoredSetting : public SandboxTest {};

TEST_F(StoredSetting, LoadAndSaveFollowTheFile) {
    struct Case {
        const char* name;
        std::optional<std::string> before;  // nullopt: no Config.ini
        int8_t loaded;
        int8_t saved;
        std::optional<std::string> after;  // nullopt: still no Config.ini; "=": unchanged
    };
    const std::string same = "=";
    const std::string messy = testing::assetBytes("config/messy.ini");
    const Case cases[] = {
        {"no file, no change", std::nullopt, 0, 0, std::nullopt},
        {"no file, 6.4 chosen", std::nullopt, 0, 1, "WMP Version = 1\r\n"},
        {"no file, negative", std::nullopt, 0, -128, "WMP Version = -128\r\n"},
        {"lower case, same value", "wmp version=2", 2, 2, same},
        {"lower case, new value", "wmp version=2", 2, 1, "WMP Version = 1\r\n"},
        {"duplicates", "WMP Version=1\r\nwmp version=2\r\n", 1, 0,
         "WMP Version = 0\r\nwmp version = 2\r\n"},
        {"only below a group, unchanged", "[Player]\r\nWMP Version=2\r\n", 0, 0, same},
        {"only below a group, chosen", "[Player]\r\nWMP Version=2\r\n", 0, 1,
         "WMP Version = 1\r\n[Player]\r\nWMP Version = 2\r\n"},
        {"added above the first group", "a=1\r\n[G]\r\nWMP Version=2", 0, 2,
         "a = 1\r\nWMP Version = 2\r\n[G]\r\nWMP Version = 2\r\n"},
        {"normalised, same value", messy, 2, 2, same},
        {"normalised rewrite", messy, 2, 1, testing::assetBytes("config/messy-saved-1.ini")},
        {"text after the number, same", "WMP Version=2 abc\r\n", 2, 2, same},
        {"text after the number, new", "WMP Version=2 abc\r\n", 2, 0, "WMP Version = 0\r\n"},
        {"258 reads as 2", "WMP Version = 258", 2, 2, same},
        {"258 rewritten", "WMP Version = 258", 2, 1, "WMP Version = 1\r\n"},
        {"255 reads as -1", "WMP Version = 255\r\n", -1, -1, same},
        {"-1 stays", "WMP Version = -1\r\n", -1, -1, same},
        {"overflow holds at the limit", "WMP Version = 99999999999\r\n", -1, -1, same},
        {"no digits", "WMP Version = abc\r\n", 0, 0, same},
        {"empty file", "", 0, 0, same},
        {"mark kept with the empty line", testing::assetBytes("config/bom.ini"), 1, 0,
         "\xEF\xBB\xBF\r\nWMP Version = 0\r\n[Gr\xC3\xBC\xC3\x9F"
         "e]\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::error_code ignored;
        fs::remove(sandbox.path() / "Config.ini", ignored);
        if (c.before) {
            sandbox.write("Config.ini", *c.before);
        }
        EXPECT_EQ(loadSettings(), c.loaded);
        saveSettings(c.saved);
        if (!c.after) {
            EXPECT_FALSE(sandbox.exists("Config.ini"));
            EXPECT_TRUE(sandbox.entries().empty());
            continue;
        }
        EXPECT_EQ(sandbox.read("Config.ini"), *c.after == same ? *c.before : *c.after);
        EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"Config.ini"});
        EXPECT_EQ(loadSettings(), c.saved);
    }
}

TEST_F(StoredSetting, ANewFileHoldsExactlySeventeenBytes) {
    saveSettings(1);
    const std::string bytes = sandbox.read("Config.ini");
    EXPECT_EQ(bytes.size(), 17u);
    EXPECT_EQ(bytes, "WMP Version = 1\r\n");
}

TEST_F(StoredSetting, ExitComparesWithTheFileAsItIsThen) {
    sandbox.write("Config.ini", "WMP Version=0\r\n");
    int8_t playerVersion = loadSettings();
    EXPECT_EQ(playerVersion, 0);
    // Someone else stores 1 while the program runs, and the user picks 1 too.
    sandbox.write("Config.ini", "; theirs\r\nWMP Version=1\r\n");
    saveSettings(1);
    EXPECT_EQ(sandbox.read("Config.ini"), "; theirs\r\nWMP Version=1\r\n");
    saveSettings(0);
    EXPECT_EQ(sandbox.read("Config.ini"), "; theirs\r\nWMP Version = 0\r\n");
}

TEST_F(StoredSetting, ADirectoryAtTheNameIsNeitherReadNorReplaced) {
    fs::create_directory(sandbox.path() / "Config.ini");
    EXPECT_EQ(loadSettings(), 0);
    saveSettings(1);
    EXPECT_TRUE(fs::is_directory(sandbox.path() / "Config.ini"));
    EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"Config.ini"});
}

#ifndef _WIN32
using testing::kCannotDropRights;
using testing::runInChild;

int runWithoutRootRights(const std::function<int()>& body) {
    return runInChild(body, true);
}

TEST_F(StoredSetting, APipeAtTheNameIsNotWaitedFor) {
    ASSERT_EQ(mkfifo("Config.ini", 0600), 0);
    // In a child, so that a wait on the pipe ends as a failed test rather than a stuck run.
    int code = runInChild(
        [] {
            alarm(600);
            if (loadSettings() != 0) {
                return 2;
            }
            saveSettings(1);
            return 0;
        },
        false);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(os::pathKind("Config.ini"), os::PathKind::Other);
    EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"Config.ini"});
}

TEST_F(StoredSetting, AFileOpenedReadOnlyIsNeverReplaced) {
    // The folder would allow replacing the file by a rename; only the file is read-only.
    const std::string before = "WMP Version=2\r\n";
    sandbox.write("Config.ini", before);
    fs::permissions(sandbox.path(), fs::perms::all);
    fs::permissions(sandbox.path() / "Config.ini",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    int code = runWithoutRootRights([] {
        ConfigDocument document;
        if (!document.open("Config.ini")) {
            return 2;
        }
        if (document.readInteger("WMP Version", 0) != 2) {
            return 3;
        }
        document.close();
        if (loadSettings() != 2) {
            return 4;
        }
        saveSettings(1);
        return 0;
    });
    if (code == kCannotDropRights) {
        GTEST_SKIP() << "no unprivileged user to run as";
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(sandbox.read("Config.ini"), before);
    EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"Config.ini"});
}

TEST_F(StoredSetting, WithoutRoomForATemporaryFileTheFileIsRewrittenInPlace) {
    sandbox.write("Config.ini", "WMP Version=2\r\n");
    if (geteuid() == 0) {
        ASSERT_EQ(chown((sandbox.path() / "Config.ini").c_str(), 65534, 65534), 0);
    }
    fs::permissions(sandbox.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                        fs::perms::group_read | fs::perms::group_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
    int code = runWithoutRootRights([] {
        saveSettings(1);
        return 0;
    });
    if (code == kCannotDropRights) {
        GTEST_SKIP() << "no unprivileged user to run as";
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(sandbox.read("Config.ini"), "WMP Version = 1\r\n");
    EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"Config.ini"});
}
#else
TEST_F(StoredSetting, AFileOpenedReadOnlyIsNeverReplaced) {
    const std::string before = "WMP Version=2\r\n";
    sandbox.write("Config.ini", before);
    fs::permissions(sandbox.path() / "Config.ini",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(loadSettings(), 2);
    saveSettings(1);
    EXPECT_EQ(sandbox.read("Config.ini"), before);
    EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"Config.ini"});
}
#endif

// ---------------------------------------------------------------------------------------------
// Where a dialog opens.

TEST(CentreOver, HalvesRoundDownAndEdgesStayOnScreen) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    struct Case {
        Rect owner;
        Size dialog;
        Point expected;
    };
    const Case cases[] = {
        {{0, 0, 500, 400}, {200, 100}, {150, 150}},
        {{100, 50, 508, 394}, {203, 173}, {252, 160}},  // odd differences: 152.5 and 110.5
        {{10, 10, 100, 100}, {100, 100}, {10, 10}},
        {{10, 10, 100, 100}, {101, 103}, {9, 8}},   // -0.5 and -1.5 round down
        {{100, 100, 50, 50}, {101, 53}, {74, 98}},  // -25.5 and -1.5
        {{0, 0, 100, 100}, {300, 300}, {0, 0}},     // raised to 0
        {{-500, -20, 200, 100}, {100, 50}, {0, 5}},
        {{kMax - 10, kMax - 10, 100, 100}, {50, 50}, {kMax, kMax}},  // no overflow
    };
    for (const Case& c : cases) {
        Rect frame = centreOver(c.owner, c.dialog);
        EXPECT_EQ((Point{frame.left, frame.top}), c.expected)
            << c.owner.left << "," << c.owner.top << " " << c.owner.width << "x" << c.owner.height
            << " / " << c.dialog.width << "x" << c.dialog.height;
        EXPECT_EQ((Size{frame.width, frame.height}), c.dialog);
    }
}

// ---------------------------------------------------------------------------------------------
// The Settings window.

class SettingsWindow : public ::testing::Test {
protected:
    SettingsWindow() {
        ui.mainFrame = {100, 50, 508, 394};
        ui.open[kMainWindow] = true;
    }

    std::vector<int32_t> checkedOptions() {
        std::vector<int32_t> ids;
        for (int32_t id : {kOptionNewest, kOption64, kOptionOlder}) {
            if (ui.optionChecked(id)) {
                ids.push_back(id);
            }
        }
        return ids;
    }

    MemoryWindows ui;
};

TEST_F(SettingsWindow, OpensCentredOverTheMainWindowWhichItDisables) {
    openSettingsWindow(ui, 1);
    EXPECT_TRUE(ui.isWindowOpen(kSettingsWindow));
    EXPECT_EQ(ui.dialogTitles[kSettingsWindow], " Settings");
    // The memory layer's caption-only frame of a 195 x 145 client is 203 x 173.
    EXPECT_EQ(ui.dialogFrames[kSettingsWindow], (Rect{252, 160, 203, 173}));
    EXPECT_FALSE(ui.enabled.at(kMainWindow));
    const std::vector<std::string> expectedCalls = {"openDialog 1", "makeToolWindow 1 195x145",
                                                    "createControls 1"};
    EXPECT_EQ(ui.calls, expectedCalls);
}

TEST_F(SettingsWindow, ChecksTheOptionOfTheCurrentValue) {
    struct Case {
        int8_t playerVersion;
        std::vector<int32_t> checked;
    };
    const Case cases[] = {
        {0, {kOptionNewest}}, {1, {kOption64}}, {2, {kOptionOlder}}, {3, {}}, {-1, {}}, {127, {}},
        {-128, {}},
    };
    for (const Case& c : cases) {
        openSettingsWindow(ui, c.playerVersion);
        EXPECT_EQ(checkedOptions(), c.checked) << int{c.playerVersion};
        cancelSettings(ui);
    }
}

TEST_F(SettingsWindow, OkStoresTheCheckedOption) {
    struct Case {
        int8_t shown;
        std::optional<int32_t> picked;
        int8_t stored;
    };
    const Case cases[] = {
        {0, std::nullopt, 0},  {1, std::nullopt, 1}, {2, std::nullopt, 2},
        {-1, std::nullopt, 2}, {5, std::nullopt, 2}, {1, kOptionNewest, 0},
        {0, kOption64, 1},     {1, kOptionOlder, 2}, {-1, kOption64, 1},
    };
    for (const Case& c : cases) {
        int8_t playerVersion = c.shown;
        openSettingsWindow(ui, playerVersion);
        if (c.picked) {
            ui.setOptionChecked(*c.picked, true);
        }
        acceptSettings(ui, playerVersion);
        EXPECT_EQ(playerVersion, c.stored) << int{c.shown};
        EXPECT_FALSE(ui.isWindowOpen(kSettingsWindow));
        EXPECT_TRUE(ui.enabled.at(kMainWindow));
    }
}

TEST_F(SettingsWindow, CancelKeepsTheValue) {
    int8_t playerVersion = 1;
    openSettingsWindow(ui, playerVersion);
    ui.setOptionChecked(kOptionOlder, true);
    cancelSettings(ui);
    EXPECT_EQ(playerVersion, 1);
    EXPECT_FALSE(ui.isWindowOpen(kSettingsWindow));
    EXPECT_TRUE(ui.enabled.at(kMainWindow));
    EXPECT_EQ(ui.calls.back(), "closeDialog 1");
}

TEST_F(SettingsWindow, AWindowThatCannotOpenLeavesTheMainWindowAlone) {
    ui.dialogFails = true;
    openSettingsWindow(ui, 1);
    EXPECT_FALSE(ui.isWindowOpen(kSettingsWindow));
    EXPECT_TRUE(ui.enabled.at(kMainWindow));
    EXPECT_EQ(ui.calls, std::vector<std::string>{"openDialog 1"});
    EXPECT_TRUE(checkedOptions().empty());
}

TEST_F(SettingsWindow, AWindowWithoutItsControlsIsClosedAgain) {
    ui.dialogControlsFail = true;
    openSettingsWindow(ui, 1);
    EXPECT_FALSE(ui.isWindowOpen(kSettingsWindow));
    EXPECT_TRUE(ui.enabled.at(kMainWindow));
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"openDialog 1", "makeToolWindow 1 195x145",
                                                  "createControls 1", "closeDialog 1"}));
    EXPECT_TRUE(checkedOptions().empty());
}

}  // namespace
}  // namespace vistrelle
