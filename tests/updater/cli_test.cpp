// The channel-updater program itself, run as the program runs it, against a loopback server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "fake/sandbox.h"
#include "loopback_server.h"
#include "samples.h"

extern char** environ;

namespace vistrelle::updater {
namespace {

struct Exit {
    int status = -1;
    std::string errors;  // what it printed on standard error
};

// Runs the program in the current folder with `args` and DISPLAY unset, so it never opens a
// window.
Exit runUpdater(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"channel-updater"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv) {
        pointers.push_back(arg.data());
    }
    pointers.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** at = environ; *at != nullptr; ++at) {
        std::string_view entry = *at;
        if (!entry.starts_with("DISPLAY=") && !entry.starts_with("WAYLAND_DISPLAY=")) {
            environment.emplace_back(entry);
        }
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    Exit exit;
    if (posix_spawn(&pid, VISTRELLE_UPDATER_PROGRAM, &actions, nullptr, pointers.data(),
                    envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        exit.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    std::ifstream in("stderr.txt", std::ios::binary);
    exit.errors.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::remove("stderr.txt");
    return exit;
}

class UpdaterProgramTest : public testing::SandboxTest {
protected:
    void SetUp() override {
        if (std::string_view(VISTRELLE_UPDATER_PROGRAM).empty()) {
            GTEST_SKIP() << "channel-updater is not built here (no GUI)";
        }
    }
    UpdaterProgramTest() {
        server.serve("/json/stations", {200, testing::kStations});
        server.serve("/api/channels.json", {200, testing::kChannels});
        server.serve("/api/streams.json", {200, testing::kStreams});
        sandbox.write("iso.json", testing::kIsoCodes);
        sandbox.write("updater.ini", "# the test's servers\nradio-directory = " + server.base() +
                                         "\ntv-directory = " + server.base() +
                                         "/api/\niso-codes = iso.json\n");
    }
    testing::LoopbackServer server;
};

TEST_F(UpdaterProgramTest, WritesChannelsDatFromTheIniSettings) {
    Exit exit = runUpdater({});
    EXPECT_EQ(exit.status, 0) << exit.errors;
    EXPECT_EQ(sandbox.read("channels.dat"), testing::kSampleCatalog);
    EXPECT_NE(exit.errors.find("channel-updater: 6 channels saved: 4 radio, 2 TV.\n"),
              std::string::npos)
        << exit.errors;
    EXPECT_EQ(sandbox.entries(),
              (std::vector<std::string>{"channels.dat", "iso.json", "updater.ini"}));
}

TEST_F(UpdaterProgramTest, AFailureKeepsTheOldFileAndExitsWithAnError) {
    const std::string old = "Old|one|1|||http://old.example/|\r\n";
    sandbox.write("channels.dat", old);
    server.serve("/json/stations", {200, "<html>busy</html>", "text/html"});
    Exit exit = runUpdater({"--quiet", "--no-tv"});
    EXPECT_EQ(exit.status, 1);
    EXPECT_NE(exit.errors.find("The old channel list is kept."), std::string::npos) << exit.errors;
    EXPECT_EQ(sandbox.read("channels.dat"), old);

    exit = runUpdater({"--bogus"});
    EXPECT_EQ(exit.status, 2);
    EXPECT_EQ(exit.errors, "channel-updater: Unknown option --bogus (see --help).\n");
    EXPECT_EQ(sandbox.read("channels.dat"), old);
}

TEST_F(UpdaterProgramTest, TheWindowArgumentWithoutADisplayPrintsProgress) {
    Exit exit = runUpdater({"123456", "--no-radio", "--output", "out.dat"});
    EXPECT_EQ(exit.status, 0) << exit.errors;
    EXPECT_EQ(sandbox.read("out.dat"),
              "International|Free TV|0|TV|480p, Not 24/7|http://free.example/tv.m3u8|\r\n"
              "Norway|Nyheter TV|0|News|1080p|https://nyheter.example/live.m3u8|"
              "https://nyheter.example/\r\n");
    EXPECT_FALSE(sandbox.exists("channels.dat"));
}

}  // namespace
}  // namespace vistrelle::updater
