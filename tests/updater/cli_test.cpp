// The channel-updater program itself, run as the program runs it, against a loopback server.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "fake/sandbox.h"
#include "samples.h"

namespace vistrelle::updater {
namespace {

class UpdaterProgramTest : public testing::SandboxTest {
protected:
    void SetUp() override {
        if (std::string_view(VISTRELLE_UPDATER_PROGRAM).empty()) {
            GTEST_SKIP() << "channel-updater is not built here (no GUI)";
        }
        sandbox.write("iso.json", testing::kIsoCodes);
        sandbox.write("updater.ini", "# the test's servers\n" + testing::serveSamples(server));
    }

    // Runs the program in the sandbox without a display, so it never opens a window; gives its
    // exit code and keeps what it printed on standard error in `errors`.
    // `shell` runs first in the same shell ("ulimit -f 2; ").
    int runUpdater(const std::string& args, const std::string& shell = "") {
        int status = std::system((shell + "env -u DISPLAY -u WAYLAND_DISPLAY " +
                                  VISTRELLE_UPDATER_PROGRAM " " + args + " 2>errors.txt")
                                     .c_str());
        errors = sandbox.read("errors.txt");
        std::remove("errors.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    testing::LoopbackServer server;
    std::string errors;
};

TEST_F(UpdaterProgramTest, WritesChannelsDatFromTheIniSettings) {
    EXPECT_EQ(runUpdater(""), 0) << errors;
    EXPECT_EQ(sandbox.read("channels.dat"), testing::kSampleCatalog);
    EXPECT_NE(errors.find("channel-updater: 6 channels saved: 4 radio, 2 TV.\n"), std::string::npos)
        << errors;
    EXPECT_EQ(sandbox.entries(),
              (std::vector<std::string>{"channels.dat", "iso.json", "updater.ini"}));

    // The window argument without a display prints its progress.
    EXPECT_EQ(runUpdater("123456 --no-radio --output out.dat"), 0) << errors;
    EXPECT_EQ(sandbox.read("out.dat"),
              "International|Free TV|0|TV|480p, Not 24/7|http://free.example/tv.m3u8|\r\n"
              "Norway|Nyheter TV|0|News|1080p|https://nyheter.example/live.m3u8|"
              "https://nyheter.example/\r\n");
}

TEST_F(UpdaterProgramTest, AFailureKeepsTheOldFileAndExitsWithAnError) {
    const std::string old = "Old|one|1|||http://old.example/|\r\n";
    sandbox.write("channels.dat", old);
    server.serve("/json/stations", {200, "<html>busy</html>", "text/html"});
    EXPECT_EQ(runUpdater("--quiet --no-tv"), 1);
    EXPECT_NE(errors.find("The old channel list is kept."), std::string::npos) << errors;
    EXPECT_EQ(runUpdater("--bogus"), 2);
    EXPECT_EQ(errors, "channel-updater: Unknown option --bogus (see --help).\n");
    EXPECT_EQ(sandbox.read("channels.dat"), old);
}

TEST_F(UpdaterProgramTest, AFileSizeLimitIsAFullDiskAndAFolderIsNoOutput) {
    const std::string old = "Old|one|1|||http://old.example/|\r\n";
    sandbox.write("channels.dat", old);
    std::string stations = "[";
    for (int i = 0; i < 60; ++i) {
        stations += (i > 0 ? "," : "") + std::string(R"({"name":"Station )") + std::to_string(i) +
                    R"(","url":"http://s.example/)" + std::to_string(i) + R"(","lastcheckok":1})";
    }
    server.serve("/json/stations", {200, stations + "]"});
    // A catalogue of 3 KB beyond a limit of 1 KB: the message, status 1, nothing left behind.
    EXPECT_EQ(runUpdater("--no-tv", "ulimit -f 2; "), 1) << errors;
    EXPECT_NE(errors.find("channel-updater: Writing channels.dat failed (is the disk full?). The "
                          "old list is kept.\n"),
              std::string::npos)
        << errors;
    EXPECT_EQ(sandbox.read("channels.dat"), old);
    EXPECT_EQ(sandbox.entries(),
              (std::vector<std::string>{"channels.dat", "iso.json", "updater.ini"}));

    std::filesystem::create_directory(sandbox.path() / "lists");
    const size_t requests = server.requests().size();
    EXPECT_EQ(runUpdater("--no-tv --output lists"), 1);
    EXPECT_EQ(errors,
              "channel-updater: lists is a folder: name the channel list file to write, such as "
              "lists/channels.dat.\n");
    EXPECT_EQ(server.requests().size(), requests);
}

}  // namespace
}  // namespace vistrelle::updater
