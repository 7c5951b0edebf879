// Outside programs on Linux: the updater flows, web addresses and the help file, started by the
// real launcher with stand-in programs in a temporary folder. No network is used.
#include "settings/launch.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "fake/memory_layer.h"
#include "fake/sandbox.h"
#include "gtk/launcher.h"
#include "gtk_fixture.h"
#include "ui/ids.h"

namespace vistrelle::gtk {
namespace {

using testing::iterateMainLoopUntil;

using vistrelle::testing::MemoryWindows;
using vistrelle::testing::MessageBoxCall;

const std::string kUpdate =
    "Norway|NRK 1|300|News|evening|http://tv.example/nrk.asx|http://nrk.example/\r\n"
    "Sweden|SVT 1|250|News||http://tv.example/svt.asx|\r\n";
const std::string kFavorite =
    "Denmark|DR 1|200|News||http://tv.example/dr.asx|http://dr.example/\r\n";

class LaunchTest : public vistrelle::testing::SandboxTest {
protected:
    LaunchTest() {
        // The help window is a GTK window.
        testing::initGtk();
        const char* path = std::getenv("PATH");
        savedPath_ = path != nullptr ? path : "";
        // Only the stand-ins of bin/ and the system's tools: no real desktop handler.
        std::string bin = (sandbox.path() / "bin").string();
        std::filesystem::create_directory(bin);
        setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);
    }
    ~LaunchTest() override {
        launcher.closeHelpViewer();
        setenv("PATH", savedPath_.c_str(), 1);
    }

    // Puts a stand-in program of tests/assets/updater into the sandbox, ready to run.
    void install(const std::string& asset, const std::string& target) {
        std::filesystem::create_directories((sandbox.path() / target).parent_path());
        sandbox.write(target, vistrelle::testing::assetBytes("updater/" + asset));
        ::chmod((sandbox.path() / target).c_str(), 0755);
    }

    // The runs a stand-in logged, one text per run.
    std::vector<std::string> runs(const std::string& log) {
        std::vector<std::string> result;
        std::string text = sandbox.read(log);
        size_t start = 0;
        while (start < text.size()) {
            size_t next = text.find("\n", start);
            std::string line = text.substr(start, next - start);
            if (line.starts_with("run ") || line.starts_with("open ")) {
                result.push_back(line);
            } else if (!result.empty()) {
                result.back() += " " + line;
            }
            start = next == std::string::npos ? text.size() : next + 1;
        }
        return result;
    }

    // The same runs, with the process ids taken out.
    std::vector<std::string> opens() {
        std::vector<std::string> result;
        for (std::string run : runs("opened-log.txt")) {
            size_t pid = run.find("pid=");
            run.erase(pid, run.find(' ', pid) + 1 - pid);
            result.push_back(run);
        }
        return result;
    }

    GtkLauncher launcher;
    MemoryWindows windows;
    Catalog catalog;

private:
    std::string savedPath_;
};

const MessageBoxCall kQuestion{
    "Info!", "No channels found, do you want to download an updated channel list?",
    MessageIcon::Information, MessageButtons::YesNo};
const MessageBoxCall kNotFound{"Warning!", "Channel updater not found!", MessageIcon::Warning};

// The name looked for is the one this build gives the updater.
TEST_F(LaunchTest, UpdaterNameIsTheLinuxExecutable) {
    EXPECT_EQ(launcher.updaterProgram(), VISTRELLE_UPDATER_FILE_NAME);
}

TEST_F(LaunchTest, UpdaterFromTheMenuGetsTheHandleAsItsOneArgument) {
    install("channel-updater", "channel-updater");
    for (std::string handle : {"4242", "-17", "0"}) {
        ASSERT_EQ(runUpdater(launcher, handle, false), 1);
        ASSERT_TRUE(iterateMainLoopUntil([&] { return runs("updater-log.txt").size() == 1; }));
        EXPECT_EQ(runs("updater-log.txt"), (std::vector<std::string>{"run argc=1 arg=" + handle}));
        std::filesystem::remove(sandbox.path() / "updater-log.txt");
    }
}

TEST_F(LaunchTest, ParameterIsPassedAsOneArgumentWithoutAShell) {
    install("channel-updater", "channel-updater");
    ASSERT_TRUE(launcher.startProgram(
        makeLaunchRequest("channel-updater", "a b; touch hacked $(id) 'q'", "", true)));
    EXPECT_EQ(runs("updater-log.txt"),
              (std::vector<std::string>{"run argc=1 arg=a b; touch hacked $(id) 'q'"}));
    EXPECT_FALSE(sandbox.exists("hacked"));
}

TEST_F(LaunchTest, UpdaterIsLookedUpInTheCurrentFolderBeforePath) {
    install("channel-updater", "bin/channel-updater");
    ASSERT_EQ(runUpdater(launcher, "", true), 1);
    EXPECT_EQ(runs("updater-log.txt").size(), 1u);

    // One in the current folder wins over the one on PATH, which writes elsewhere.
    sandbox.write("bin/channel-updater", "#!/bin/sh\necho path >> path-log.txt\n");
    install("channel-updater", "channel-updater");
    ASSERT_EQ(runUpdater(launcher, "", true), 1);
    EXPECT_EQ(runs("updater-log.txt").size(), 2u);
    EXPECT_FALSE(sandbox.exists("path-log.txt"));
}

TEST_F(LaunchTest, MissingOrNotExecutableUpdaterStartsNothing) {
    EXPECT_EQ(runUpdater(launcher, "1", false), 0);
    sandbox.write("channel-updater", "#!/bin/sh\necho ran >> updater-log.txt\n");  // no x bit
    EXPECT_EQ(runUpdater(launcher, "1", true), 0);
    EXPECT_FALSE(sandbox.exists("updater-log.txt"));
}

TEST_F(LaunchTest, YesRunsTheUpdaterWaitsAndLoadsWhatItWrote) {
    install("channel-updater", "channel-updater");
    sandbox.write("update.dat", kUpdate);
    sandbox.write("favorites.dat", kFavorite);
    windows.answers = {MessageAnswer::Yes};
    loadCatalog(catalog, windows, launcher);

    EXPECT_EQ(windows.messages, (std::vector<MessageBoxCall>{kQuestion}));
    // Started with no argument, and waited for: its channels.dat was there when read again.
    EXPECT_EQ(runs("updater-log.txt"), (std::vector<std::string>{"run argc=0"}));
    EXPECT_EQ(windows.list.rowCount(), 2);
    EXPECT_EQ(catalog.allChannels.size(), 2u);
    EXPECT_EQ(catalog.favoriteChannels.size(), 1u);
    EXPECT_EQ(windows.statusText, " 2 channels loaded");
}

TEST_F(LaunchTest, AnUpdaterThatWritesNothingMakesTheQuestionComeAgain) {
    install("channel-updater", "channel-updater");
    windows.answers = {MessageAnswer::Yes, MessageAnswer::Yes, MessageAnswer::No};
    loadCatalog(catalog, windows, launcher);

    EXPECT_EQ(windows.messages, (std::vector<MessageBoxCall>{kQuestion, kQuestion, kQuestion}));
    EXPECT_EQ(runs("updater-log.txt"), (std::vector<std::string>{"run argc=0", "run argc=0"}));
    EXPECT_EQ(windows.list.rowCount(), 0);
    EXPECT_TRUE(catalog.allChannels.empty());
}

TEST_F(LaunchTest, YesWithoutAnUpdaterWarns) {
    windows.answers = {MessageAnswer::Yes};
    loadCatalog(catalog, windows, launcher);
    EXPECT_EQ(windows.messages, (std::vector<MessageBoxCall>{kQuestion, kNotFound}));
    EXPECT_TRUE(catalog.allChannels.empty());
}

struct AddressCase {
    const char* homepage;
    const char* opened;  // what the desktop handler gets; empty: nothing is started
};

class HomepageTest : public LaunchTest, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(HomepageTest, OnlyWebAddressesReachTheDesktopAsOneArgument) {
    const AddressCase& c = GetParam();
    install("xdg-open", "bin/xdg-open");
    std::vector<std::string> expected;
    if (*c.opened != '\0') {
        expected.push_back(std::string("open argc=1 arg=") + c.opened);
    }
    openUrl(launcher, c.homepage);
    // The handlers run side by side: each is awaited before the next is started.
    ASSERT_TRUE(iterateMainLoopUntil([&] { return opens().size() == expected.size(); }));
    // A refused address started nothing; a web address afterwards shows the handler works and
    // that nothing else came before it.
    openUrl(launcher, "https://sentinel.example/");
    expected.push_back("open argc=1 arg=https://sentinel.example/");
    ASSERT_TRUE(iterateMainLoopUntil([&] { return opens().size() == expected.size(); }));
    EXPECT_EQ(opens(), expected);
}

INSTANTIATE_TEST_SUITE_P(Addresses, HomepageTest,
                         ::testing::Values(AddressCase{"http://tv.example/", "http://tv.example/"},
                                           AddressCase{"HTTPS://TV.example/Path?a=1&b=2",
                                                       "HTTPS://TV.example/Path?a=1&b=2"},
                                           AddressCase{"www.tv.example", "http://www.tv.example"},
                                           AddressCase{"file:///etc/passwd", ""},
                                           AddressCase{"javascript:alert(1)", ""},
                                           AddressCase{"smb://server/share", ""},
                                           AddressCase{"/usr/bin/xterm", ""},
                                           AddressCase{"channel-updater", ""},
                                           AddressCase{"xterm", ""}, AddressCase{"-e /bin/sh", ""},
                                           AddressCase{"--help", ""}, AddressCase{"", ""}));

TEST_F(LaunchTest, LauncherItselfRefusesWhatIsNotAWebAddress) {
    install("xdg-open", "bin/xdg-open");
    for (const char* address : {"file:///etc/passwd", "javascript:x", "-e", "/bin/sh", "sh"}) {
        EXPECT_FALSE(launcher.openWebAddress(address)) << address;
    }
    EXPECT_TRUE(launcher.openWebAddress("http://tv.example/"));
    ASSERT_TRUE(iterateMainLoopUntil([&] { return opens().size() == 1; }));
    EXPECT_EQ(opens(), (std::vector<std::string>{"open argc=1 arg=http://tv.example/"}));
}

TEST_F(LaunchTest, HelpNotFound) {
    install("xdg-open", "bin/xdg-open");
    openHelp(windows, launcher);
    EXPECT_EQ(windows.messages, (std::vector<MessageBoxCall>{{"Info", "Help file was not found!",
                                                              MessageIcon::Information}}));
    EXPECT_FALSE(sandbox.exists("opened-log.txt"));
}

const MessageBoxCall kOldVersion{
    "Info", "This is an old version of the help file, a new will be coming soon!",
    MessageIcon::Information};
const MessageBoxCall kHelpNotFound{"Info", "Help file was not found!", MessageIcon::Information};

TEST_F(LaunchTest, HelpOpensTheProgramsOwnWindowThenTheNoticeAndClosesAtShutdown) {
    install("xdg-open", "bin/xdg-open");
    std::filesystem::copy_file(VISTRELLE_HELP_FILE, sandbox.path() / "Help.chm");
    openHelp(windows, launcher);
    EXPECT_EQ(windows.messages, (std::vector<MessageBoxCall>{kOldVersion}));
    ASSERT_EQ(launcher.helpViewers().size(), 1u);
    HelpViewer* viewer = launcher.helpViewers().front();
    EXPECT_TRUE(viewer->get_visible());
    ASSERT_TRUE(iterateMainLoopUntil([viewer] { return viewer->shownPage() == "/index.html"; }));

    launcher.closeHelpViewer();
    EXPECT_TRUE(launcher.helpViewers().empty());
    // The desktop's handler never saw the help file.
    EXPECT_FALSE(sandbox.exists("opened-log.txt"));
}

TEST_F(LaunchTest, EveryHelpCommandOpensTheViewerAgain) {
    std::filesystem::copy_file(VISTRELLE_HELP_FILE, sandbox.path() / "Help.chm");
    openHelp(windows, launcher);
    openHelp(windows, launcher);
    EXPECT_EQ(launcher.helpViewers().size(), 2u);
    EXPECT_EQ(windows.messages, (std::vector<MessageBoxCall>{kOldVersion, kOldVersion}));
}

TEST_F(LaunchTest, ClosingTheHelpWindowForgetsIt) {
    std::filesystem::copy_file(VISTRELLE_HELP_FILE, sandbox.path() / "Help.chm");
    openHelp(windows, launcher);
    ASSERT_EQ(launcher.helpViewers().size(), 1u);
    GdkEvent* close = gdk_event_new(GDK_DELETE);
    close->any.window =
        GDK_WINDOW(g_object_ref(launcher.helpViewers().front()->get_window()->gobj()));
    gtk_main_do_event(close);
    gdk_event_free(close);
    EXPECT_TRUE(iterateMainLoopUntil([this] { return launcher.helpViewers().empty(); }));
}

TEST_F(LaunchTest, ADamagedHelpFileIsNotFound) {
    install("xdg-open", "bin/xdg-open");
    for (const char* bytes : {"ITSF", "", "<html>Help</html>"}) {
        sandbox.write("Help.chm", bytes);
        windows.messages.clear();
        openHelp(windows, launcher);
        EXPECT_EQ(windows.messages, (std::vector<MessageBoxCall>{kHelpNotFound})) << bytes;
    }
    EXPECT_TRUE(launcher.helpViewers().empty());
    EXPECT_FALSE(sandbox.exists("opened-log.txt"));
}

}  // namespace
}  // namespace vistrelle::gtk
