// The real program with no channels.dat: Yes to its question starts the real channel-updater,
// which fills the list from a loopback server named in updater.ini; the program then shows the
// new channels. Runs under Xvfb, without a window manager: the updater shows its window and,
// told so by CHANNEL_UPDATER_CLOSE_WHEN_DONE, presses its own Close button once it is done,
// whether it succeeded or not.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

#include "gtk_fixture.h"
#include "samples.h"

namespace vistrelle::gtk::testing {
namespace {

using Texts = std::vector<std::string>;

class UpdaterStartUpTest : public GtkAppTest {
protected:
    void SetUp() override {
        GtkAppTest::SetUp();
        ::setenv("CHANNEL_UPDATER_CLOSE_WHEN_DONE", "1", 1);
    }
    void TearDown() override {
        ::unsetenv("CHANNEL_UPDATER_CLOSE_WHEN_DONE");
        GtkAppTest::TearDown();
    }
};

TEST_F(UpdaterStartUpTest, YesFillsTheListFromTheDirectories) {
    vistrelle::testing::LoopbackServer server;
    sandbox.write("iso.json", vistrelle::testing::kIsoCodes);
    sandbox.write("updater.ini", vistrelle::testing::serveSamples(server));
    std::filesystem::create_symlink(VISTRELLE_UPDATER_PROGRAM, sandbox.path() / "channel-updater");

    // The program waits for the updater, which closes its window by itself once done. Should it
    // never end (or the update fail and the program ask again), the test ends, saying so, rather
    // than wait with the program.
    std::promise<void> started;
    std::thread watchdog([waited = started.get_future()] {
        if (waited.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
            std::fprintf(stderr,
                         "The program has not started after 60 s: it still waits for the "
                         "updater, or asks again after a failed update.\n");
            std::_Exit(1);
        }
    });
    answerMessageBox(GTK_RESPONSE_YES);
    startProgram();
    started.set_value();
    watchdog.join();

    EXPECT_EQ(messageTexts,
              Texts{"No channels found, do you want to download an updated channel list?"});
    EXPECT_EQ(sandbox.read("channels.dat"), vistrelle::testing::kSampleCatalog);
    EXPECT_EQ(columnTexts(0), (Texts{"Köln Welle", "Free TV", "Nowhere Radio", "Nyheter TV",
                                     "Fjord FM   Hits", "Seoul Jazz"}));
    EXPECT_EQ(selectorItems(), (Texts{"Favorites", "All countries", "Germany", "International",
                                      "Norway", "South Korea"}));
    EXPECT_EQ(mainWindow().statusText(), " 6 channels loaded");
}

// The output of a shell command.
std::string outputOf(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            output += buffer;
        }
        ::pclose(pipe);
    }
    return output;
}

TEST_F(UpdaterStartUpTest, FromTheMenuItsWindowStaysAboveTheProgramsWindow) {
    if (std::system("command -v xdotool >/dev/null && command -v xprop >/dev/null") != 0) {
        GTEST_SKIP() << "xdotool or xprop is not installed";
    }
    vistrelle::testing::LoopbackServer server;
    sandbox.write("iso.json", vistrelle::testing::kIsoCodes);
    sandbox.write("updater.ini", "no-tv\n" + vistrelle::testing::serveSamples(server));
    // The stations are held back until the window has been looked at.
    std::atomic<bool> looked{false};
    vistrelle::testing::Response held;
    held.contentLength = vistrelle::testing::kStations.size();
    held.generate = [&looked](vistrelle::testing::BodyWriter& out) {
        while (!looked && out.pause(10)) {
        }
        out.write(vistrelle::testing::kStations);
    };
    server.serve("/json/stations", held);
    GtkWidget* owner = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(owner), "The program's window");
    gtk_widget_show(owner);
    std::string ownerId;
    ASSERT_TRUE(iterateMainLoopUntil([&] {
        ownerId = outputOf("xdotool search --name \"^The program's window$\" 2>/dev/null");
        return !ownerId.empty();
    })) << "the owner window never appeared";
    const unsigned long xid = std::stoul(ownerId);

    std::string program = VISTRELLE_UPDATER_PROGRAM, argument = std::to_string(xid);
    char* argv[] = {program.data(), argument.data(), nullptr};
    GPid pid = 0;
    ASSERT_TRUE(g_spawn_async(nullptr, argv, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr,
                              &pid, nullptr));
    // The window is looked for once mapped (its owner is named before that); the wait ends
    // early if the updater does.
    std::string found;
    int status = -1;
    bool exited = false;
    const bool shown =
        iterateMainLoopUntil([&] {
            exited = ::waitpid(pid, &status, WNOHANG) == pid;
            found =
                outputOf("xdotool search --onlyvisible --name '^Update channel list$' 2>/dev/null");
            return exited || !found.empty();
        }) &&
        !found.empty();
    if (shown) {
        found.pop_back();  // the line end
        char expected[64];
        std::snprintf(expected, sizeof expected, "window id # 0x%lx\n", xid);
        EXPECT_EQ(outputOf("xprop -id " + found + " WM_TRANSIENT_FOR"),
                  std::string("WM_TRANSIENT_FOR(WINDOW): ") + expected);
    }
    looked = true;
    exited =
        exited || iterateMainLoopUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; });
    if (!exited) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(shown) << "the updater's window never appeared";
    ASSERT_TRUE(exited) << "the updater did not end after its run";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    g_spawn_close_pid(pid);
    gtk_widget_destroy(owner);
    // The radio stations only, as no-tv asks.
    const std::string catalog = sandbox.read("channels.dat");
    EXPECT_EQ(std::count(catalog.begin(), catalog.end(), '\n'), 4);
}

}  // namespace
}  // namespace vistrelle::gtk::testing
