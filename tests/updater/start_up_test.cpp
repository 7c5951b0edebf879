// The real program with no channels.dat: Yes to its question starts the real channel-updater,
// which fills the list from a loopback server named in updater.ini; the program then shows the
// new channels. Runs under Xvfb: the updater shows its window, and a helper presses its Close
// button (with xdotool) once the window's title says it is done, whether it succeeded or not.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "gtk_fixture.h"
#include "samples.h"

namespace vistrelle::gtk::testing {
namespace {

using Texts = std::vector<std::string>;

class UpdaterStartUpTest : public GtkAppTest {};

TEST_F(UpdaterStartUpTest, YesFillsTheListFromTheDirectories) {
    if (std::system("command -v xdotool >/dev/null") != 0) {
        GTEST_SKIP() << "xdotool is not installed";
    }
    vistrelle::testing::LoopbackServer server;
    sandbox.write("iso.json", vistrelle::testing::kIsoCodes);
    sandbox.write("updater.ini", vistrelle::testing::serveSamples(server));
    std::filesystem::create_symlink(VISTRELLE_UPDATER_PROGRAM, sandbox.path() / "channel-updater");

    // The program waits for the updater without running its own loop: the helper runs aside.
    std::thread closer([] {
        std::system(
            "timeout 60 xdotool search --sync --name '^Channel list (not )?updated$' "
            "windowfocus --sync key Return >/dev/null 2>&1");
    });
    answerMessageBox(GTK_RESPONSE_YES);
    startProgram();
    closer.join();

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
    GtkWidget* owner = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(owner), "The program's window");
    gtk_widget_show(owner);
    std::string ownerId;
    ASSERT_TRUE(iterateMainLoopUntil([&] {
        ownerId = outputOf("xdotool search --name \"^The program's window$\" 2>/dev/null");
        return !ownerId.empty();
    }));
    const unsigned long xid = std::stoul(ownerId);

    std::string program = VISTRELLE_UPDATER_PROGRAM, argument = std::to_string(xid);
    char* argv[] = {program.data(), argument.data(), nullptr};
    GPid pid = 0;
    ASSERT_TRUE(g_spawn_async(nullptr, argv, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr,
                              &pid, nullptr));
    std::string found;
    ASSERT_TRUE(iterateMainLoopUntil([&] {
        found = outputOf("xdotool search --name '^Channel list updated$' 2>/dev/null");
        return !found.empty();
    }));
    found.pop_back();  // the line end
    char expected[64];
    std::snprintf(expected, sizeof expected, "window id # 0x%lx\n", xid);
    EXPECT_EQ(outputOf("xprop -id " + found + " WM_TRANSIENT_FOR"),
              std::string("WM_TRANSIENT_FOR(WINDOW): ") + expected);

    std::system(("xdotool windowfocus --sync " + found + " key Return >/dev/null 2>&1").c_str());
    int status = -1;
    ASSERT_TRUE(iterateMainLoopUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    g_spawn_close_pid(pid);
    gtk_widget_destroy(owner);
    // The radio stations only, as no-tv asks.
    const std::string catalog = sandbox.read("channels.dat");
    EXPECT_EQ(std::count(catalog.begin(), catalog.end(), '\n'), 4);
}

}  // namespace
}  // namespace vistrelle::gtk::testing
