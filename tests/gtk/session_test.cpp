// The end of the desktop session for the real program, on an Xvfb of the test's own: each
// termination signal (also during a message box, and twice) and the loss of the display run the
// shutdown's saves and end with exit code 0. The program is driven with xdotool as a user would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fake/sandbox.h"

namespace vistrelle::gtk {
namespace {

namespace fs = std::filesystem;

// Twenty equal rows, so that a click anywhere in the list lands on one like the others.
const std::string kChannel = "Norway|NRK 1|300|News||http://tv.example/nrk.asx|\r\n";
const std::string kOldFavorite = "Sweden|SVT 1|250|News||http://tv.example/svt.asx|\r\n";
const std::string kConfig = "[Settings]\r\nWMP Version=2\r\n";

fs::path programPath() {
    const char* given = std::getenv("VISTRELLE_PROGRAM");
    return given != nullptr ? given : "vistrelle";
}

std::string fileBytes(const fs::path& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

bool eventually(const std::function<bool()>& condition, int seconds = 60) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (; !condition(); std::this_thread::sleep_for(std::chrono::milliseconds(50))) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
    }
    return true;
}

class SessionProgramTest : public testing::SandboxTest {
protected:
    void SetUp() override {
        // Xvfb picks a free display itself and says which once it takes connections.
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        const std::string fd = std::to_string(ends[1]);
        const std::string log = (sandbox.path() / "xvfb.log").string();
        xvfb = ::fork();
        if (xvfb == 0) {
            const int output = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (output >= 0 && ::dup2(output, STDERR_FILENO) >= 0) {
                ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
                         "-nolisten", "tcp", static_cast<char*>(nullptr));
            }
            _exit(127);
        }
        ::close(ends[1]);
        for (char c = 0; ::read(ends[0], &c, 1) == 1 && c != '\n';) {
            display += c;
        }
        ::close(ends[0]);
        ASSERT_FALSE(display.empty()) << "Xvfb did not start: " << fileBytes(log);
        // The display takes clients before the program is started on it.
        ASSERT_TRUE(eventually([&] { return !x("xdpyinfo").empty(); }, 10))
            << "the display :" << display << " takes no clients: " << fileBytes(log);
        folder = sandbox.path() / "run";
        fs::create_directory(folder);
        std::string channels;
        for (int i = 0; i < 20; ++i) {
            channels += kChannel;
        }
        sandbox.write("run/channels.dat", channels);
        sandbox.write("run/favorites.dat", kOldFavorite);
        sandbox.write("run/Config.ini", kConfig);
    }
    void TearDown() override {
        for (pid_t child : {pid, xvfb}) {
            if (child > 0) {
                ::kill(child, SIGKILL);
                ::waitpid(child, nullptr, 0);
            }
        }
    }

    // Runs an X tool on the test's display; its first line of output. A tool that waits for
    // something that never comes is ended.
    std::string x(const std::string& command) {
        std::string line = "DISPLAY=:" + display + " timeout 20 " + command + " 2>/dev/null";
        std::string output;
        if (FILE* pipe = ::popen(line.c_str(), "r")) {
            for (char buffer[256]; std::fgets(buffer, sizeof buffer, pipe) != nullptr;) {
                output += buffer;
            }
            ::pclose(pipe);
        }
        return output.substr(0, output.find('\n'));
    }
    std::string findWindow(const std::string& title) {
        return x("xdotool search --all --onlyvisible --pid " + std::to_string(pid) + " --name '^" +
                 title + "$'");
    }

    void launch(const fs::path& program = programPath()) {
        // Everything is made before the fork: the child of a process with threads may only make
        // calls that take no lock (another thread may have held one at the fork).
        const std::string log = (folder.parent_path() / "program.log").string();
        std::vector<std::string> environment{"DISPLAY=:" + display};
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string_view name(*entry);
            if (!name.starts_with("DISPLAY=") && !name.starts_with("WAYLAND_DISPLAY=")) {
                environment.emplace_back(name);
            }
        }
        std::vector<char*> envp;
        for (std::string& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        char name[] = "vistrelle";
        char* argv[] = {name, nullptr};
        pid = ::fork();
        if (pid == 0) {
            const int output = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (output >= 0 && ::dup2(output, STDERR_FILENO) >= 0 && ::chdir(folder.c_str()) == 0) {
                ::execve(program.c_str(), argv, envp.data());
            }
            _exit(121);
        }
    }
    // Starts the program and waits until it has loaded its catalogue and waits for input.
    // The wait ends early when the program does.
    void start() {
        launch();
        int status = 0;
        ASSERT_TRUE(eventually([&] {
                        if (::waitpid(pid, &status, WNOHANG) == pid) {
                            pid = -1;
                            return true;
                        }
                        window = findWindow("Vistrelle v1.0 Beta 3");
                        return !window.empty() &&
                               x("xprop -id " + window + " VISTRELLE_READY").ends_with("= 1");
                    }) &&
                    pid > 0)
            << "the program never became ready (" << (pid > 0 ? "it runs" : "it ended")
            << "): " << fileBytes(sandbox.path() / "program.log")
            << "; Xvfb: " << fileBytes(sandbox.path() / "xvfb.log");
    }

    // Right-clicks a row of channelList and picks an item of the pop-up menu with `keys`.
    void choosePopupItem(const std::string& keys) {
        x("xdotool mousemove --window " + window + " 360 180 click 3");
        std::string popup;
        ASSERT_TRUE(eventually([&] {
            popup = x("xdotool search --onlyvisible --pid " + std::to_string(pid) + " | grep -v " +
                      window);
            return !popup.empty();
        })) << "no pop-up menu";
        x("xdotool key " + keys + " Return");
        ASSERT_TRUE(eventually([&] {
            return x("xdotool search --onlyvisible --pid " + std::to_string(pid) + " | grep " +
                     popup) == "";
        })) << "the pop-up menu stayed";
    }

    // The program ends by itself, with exit code 0.
    void expectExitZero() {
        int status = -1;
        if (eventually([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 90)) {
            pid = -1;
        }
        ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }

    std::string display;
    pid_t xvfb = -1;
    pid_t pid = -1;
    fs::path folder;
    std::string window;
};

struct EndCase {
    const char* name;
    int signal;  // 0: the display is lost
    bool inMessageBox;
};

class SessionEndTest : public SessionProgramTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(SessionEndTest, SavesTheFavoritesAndEndsWithZero) {
    start();
    choosePopupItem("Down Down Down");  // "Add to favorites"
    if (GetParam().inMessageBox) {
        choosePopupItem("Down Down");  // "Visit homepage" of a channel without one: an "Info!" box
        ASSERT_TRUE(eventually([&] { return !findWindow("Info!").empty(); }));
    }
    if (GetParam().signal != 0) {
        ::kill(pid, GetParam().signal);
    } else {
        ::kill(xvfb, SIGKILL);
    }
    expectExitZero();
    EXPECT_EQ(fileBytes(folder / "favorites.dat"), kOldFavorite + kChannel);
    EXPECT_EQ(fileBytes(folder / "Config.ini"), kConfig);
    std::set<std::string> names;  // no temporary file is left
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename());
    }
    EXPECT_EQ(names, (std::set<std::string>{"Config.ini", "channels.dat", "favorites.dat"}));
}

INSTANTIATE_TEST_SUITE_P(
    Ends, SessionEndTest,
    ::testing::Values(EndCase{"SIGTERM", SIGTERM, false}, EndCase{"SIGHUP", SIGHUP, false},
                      EndCase{"SIGINT", SIGINT, false}, EndCase{"DisplayLost", 0, false},
                      EndCase{"SIGTERMInAMessageBox", SIGTERM, true},
                      EndCase{"DisplayLostInAMessageBox", 0, true}),
    [](const ::testing::TestParamInfo<EndCase>& test) { return test.param.name; });

TEST_F(SessionProgramTest, ASecondSignalDuringTheShutdownEndsAtOnce) {
    // favorites.dat cannot be written: the shutdown stops at its warning until a second signal.
    fs::remove(folder / "favorites.dat");
    fs::create_directory(folder / "favorites.dat");
    start();
    choosePopupItem("Down Down Down");
    ::kill(pid, SIGTERM);
    ASSERT_TRUE(eventually([&] { return !findWindow("Warning!").empty(); }));
    ::kill(pid, SIGTERM);
    expectExitZero();
    EXPECT_EQ(fileBytes(folder / "Config.ini"), kConfig);
}

TEST_F(SessionProgramTest, ASignalDuringTheWaitForTheUpdaterDoesNotWaitForIt) {
    // No catalogue: the start-up offers the updater and waits for it; this one never ends. A
    // copy of the program in the same folder finds it there.
    fs::remove(folder / "channels.dat");
    sandbox.write("run/channel-updater", "#!/bin/sh\necho $$ > ../updater.pid\nexec sleep 600\n");
    fs::permissions(folder / "channel-updater", fs::perms::owner_all);
    fs::copy_file(programPath(), folder / "vistrelle");
    launch(folder / "vistrelle");
    std::string box;
    ASSERT_TRUE(eventually([&] { return !(box = findWindow("Info!")).empty(); }));
    x("xdotool windowfocus --sync " + box + " key Return");  // "Yes"
    ASSERT_TRUE(eventually([&] { return !fileBytes(sandbox.path() / "updater.pid").empty(); }));
    ::kill(pid, SIGTERM);
    expectExitZero();
    ::kill(std::stoi(fileBytes(sandbox.path() / "updater.pid")), SIGKILL);
    // Still in the start-up: nothing was loaded, so nothing is saved.
    EXPECT_EQ(fileBytes(folder / "favorites.dat"), kOldFavorite);
    EXPECT_EQ(fileBytes(folder / "Config.ini"), kConfig);
}

}  // namespace
}  // namespace vistrelle::gtk
