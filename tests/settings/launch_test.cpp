#include "settings/launch.h"

#include <gtest/gtest.h>

#include "fake/memory_layer.h"
#include "ui/ids.h"

namespace vistrelle {
namespace {

using testing::MemoryLauncher;
using testing::MemoryWindows;
using testing::MessageBoxCall;

TEST(LaunchCommandLine, QuotesTheProgramOnceAndAppendsTheParameter) {
    struct Case {
        std::string_view program, parameter, expected;
    };
    const Case cases[] = {
        {"Channel updater.exe", "", "\"Channel updater.exe\""},
        {"Channel updater.exe", "-1234", "\"Channel updater.exe\" -1234"},
        {"\"C:\\Apps\\up.exe\"", "", "\"C:\\Apps\\up.exe\""},
        {"\"C:\\Apps\\up.exe\" -x", "7", "\"C:\\Apps\\up.exe\" -x 7"},
        {"", "", "\"\""},
        {"a", "b c", "\"a\" b c"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(buildCommandLine(c.program, c.parameter), c.expected) << c.program;
    }
}

TEST(LaunchCommandLine, ShellFolderComesFromTheProgramsLastBackslash) {
    struct Case {
        std::string_view program, workingDir, expected;
    };
    const Case cases[] = {
        {"C:\\Apps\\up.exe", "", "C:\\Apps\\"},
        {"C:\\Apps\\up.exe", "D:\\work", "D:\\work"},
        {"up.exe", "", ""},
        {"\\up.exe", "", ""},  // a backslash only in the first place does not count
        {"a\\b\\c", "", "a\\b\\"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shellFolder(c.program, c.workingDir), c.expected) << c.program;
    }
}

TEST(LaunchLookup, BesideTheProgramThenTheCurrentFolderThenThePath) {
    using Paths = std::vector<std::string>;
    using enum LookupKind;
    const LookupPlaces linux{"/opt/v", "/home/u", "/usr/bin::/bin"};
    const LookupPlaces windows{"C:\\V", "D:\\data\\", "C:\\Win;;", '\\', ';'};
    const struct {
        std::string_view name;
        LookupKind kind;
        const LookupPlaces& places;
        Paths paths;
    } cases[] = {
        // clang-format off
        {"channel-updater", Program, linux,
         {"/opt/v/channel-updater", "/home/u/channel-updater", "/usr/bin/channel-updater",
          "/home/u/channel-updater", "/bin/channel-updater"}},
        {"Help.chm", Document, linux, {"/opt/v/Help.chm", "/home/u/Help.chm"}},
        {"xdg-open", SystemProgram, linux, {"/usr/bin/xdg-open", "/home/u/xdg-open", "/bin/xdg-open"}},
        {"Help.chm", Document, windows, {"C:\\V\\Help.chm", "D:\\data\\Help.chm"}},
        {"up.exe", Program, windows, {"C:\\V\\up.exe", "D:\\data\\up.exe", "C:\\Win\\up.exe",
                                      "D:\\data\\up.exe", "D:\\data\\up.exe"}},
        {"./channel-updater", Program, linux, {"./channel-updater"}},
        {"..\\Help.chm", Document, windows, {"..\\Help.chm"}},
        {"", Program, linux, {}},
        {"Help.chm", Document, LookupPlaces{"", "/home/u", ""}, {"/home/u/Help.chm"}},
        {"up", Program, LookupPlaces{"/opt/v", "", ":/bin"}, {"/opt/v/up", "/bin/up"}},
        // clang-format on
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lookupPaths(c.name, c.kind, c.places), c.paths) << c.name;
    }
}

TEST(LaunchUpdater, StartsTheUpdaterByItsOwnNameAndReportsTheResult) {
    MemoryLauncher launcher;
    launcher.updaterName = "Channel updater.exe";
    launcher.startResults = {true, false};

    EXPECT_EQ(runUpdater(launcher, "4242", false), 1);
    EXPECT_EQ(runUpdater(launcher, "", true), 0);

    ASSERT_EQ(launcher.started.size(), 2u);
    EXPECT_EQ(launcher.started[0].program, "Channel updater.exe");
    EXPECT_EQ(launcher.started[0].parameter, "4242");
    EXPECT_EQ(launcher.started[0].commandLine, "\"Channel updater.exe\" 4242");
    EXPECT_FALSE(launcher.started[0].wait);
    EXPECT_EQ(launcher.started[1].commandLine, "\"Channel updater.exe\"");
    EXPECT_TRUE(launcher.started[1].wait);
}

TEST(LaunchWebAddress, OnlyWebAddressesReachTheDesktop) {
    struct Case {
        std::string_view address, opened;  // opened empty: nothing may be opened
    };
    const Case cases[] = {
        {"http://www.example.org/", "http://www.example.org/"},
        {"https://example.org/a?b=c", "https://example.org/a?b=c"},
        {"HTTPS://EXAMPLE.ORG", "HTTPS://EXAMPLE.ORG"},
        {"HtTp://example.org", "HtTp://example.org"},
        {"www.example.org", "http://www.example.org"},
        {"WWW.example.org/x", "http://WWW.example.org/x"},
        {"http://", ""},
        {"www.", ""},
        {"file:///etc/passwd", ""},
        {"javascript:alert(1)", ""},
        {"smb://server/share", ""},
        {"/usr/bin/xterm", ""},
        {"C:\\Windows\\System32\\calc.exe", ""},
        {"calc.exe", ""},
        {"-e xterm", ""},
        {"--help", ""},
        {"ftp://example.org", ""},
        {" http://example.org", ""},
        {"http://example.org/\nX", ""},
        {"", ""},
    };
    // Whether the desktop opens the address or fails, it is handed on once and nothing else is
    // tried in its place.
    for (const bool desktopOpens : {true, false}) {
        for (const Case& c : cases) {
            MemoryLauncher launcher;
            launcher.openResult = desktopOpens;
            openUrl(launcher, c.address);
            if (c.opened.empty()) {
                EXPECT_TRUE(launcher.opened.empty()) << c.address;
            } else {
                ASSERT_EQ(launcher.opened.size(), 1u) << c.address;
                EXPECT_EQ(launcher.opened[0], c.opened);
            }
            EXPECT_TRUE(launcher.started.empty()) << "never started as a program: " << c.address;
        }
    }
}

TEST(LaunchHelp, ShowsTheViewerThenTheNoticeOrTellsItWasNotFound) {
    struct Case {
        bool available;
        MessageBoxCall message;
    };
    const Case cases[] = {
        {true,
         {"Info", "This is an old version of the help file, a new will be coming soon!",
          MessageIcon::Information}},
        {false, {"Info", "Help file was not found!", MessageIcon::Information}},
    };
    for (const Case& c : cases) {
        MemoryWindows windows;
        MemoryLauncher launcher;
        launcher.helpAvailable = c.available;
        openHelp(windows, launcher);
        openHelp(windows, launcher);
        ASSERT_EQ(launcher.helpShown.size(), 2u);
        EXPECT_EQ(launcher.helpShown[0], "Help.chm");
        ASSERT_EQ(windows.messages.size(), 2u);
        EXPECT_EQ(windows.messages[0], c.message);
        EXPECT_EQ(windows.messages[1], c.message);
    }
}

}  // namespace
}  // namespace vistrelle
