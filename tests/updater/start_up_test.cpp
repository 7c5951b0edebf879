// The real program with no channels.dat: Yes to its question starts the real channel-updater,
// which fills the list from a loopback server named in updater.ini; the program then shows the
// new channels. Runs under Xvfb: the updater shows its window, and a helper presses its Close
// button (with xdotool) once the window's title says it is done.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "gtk_fixture.h"
#include "loopback_server.h"
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
    server.serve("/json/stations", {200, vistrelle::testing::kStations});
    server.serve("/api/channels.json", {200, vistrelle::testing::kChannels});
    server.serve("/api/streams.json", {200, vistrelle::testing::kStreams});
    sandbox.write("iso.json", vistrelle::testing::kIsoCodes);
    sandbox.write("updater.ini", "radio-directory = " + server.base() + "\ntv-directory = " +
                                     server.base() + "/api\niso-codes = iso.json\n");
    std::filesystem::create_symlink(VISTRELLE_UPDATER_PROGRAM, sandbox.path() / "channel-updater");

    // The program waits for the updater without running its own loop: the helper runs aside.
    std::thread closer([] {
        std::system(
            "timeout 60 xdotool search --sync --name '^Channel list updated$' "
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

}  // namespace
}  // namespace vistrelle::gtk::testing
