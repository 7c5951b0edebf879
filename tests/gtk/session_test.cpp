// The end of the desktop session for the real program on its own Xvfb: a termination signal
// (also while a message box is up, and twice) and the loss of the display run the shutdown's
// saves and end with exit code 0. The program is driven with xdotool as a user would.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fake/sandbox.h"

namespace vistrelle::gtk {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Twenty equal rows, so that a click anywhere in the list lands on one like the others.
const std::string kChannel = "Norway|NRK 1|300|News||http://tv.example/nrk.asx|\r\n";
const std::string kOldFavorite = "Sweden|SVT 1|250|News||http://tv.example/svt.asx|\r\n";
const std::string kConfig = "[Settings]\r\nWMP Version=2\r\n";

fs::path programPath() {
    if (const char* given = std::getenv("VISTRELLE_PROGRAM"); given && *given) {
        return given;
    }
    std::error_code error;
    return fs::read_symlink("/proc/self/exe", error).parent_path().parent_path().parent_path() /
           "vistrelle";
}

std::string fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool eventually(const std::function<bool()>& condition, std::chrono::seconds limit = 60s) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// A display of the test's own, so that losing it touches nothing else.
class PrivateDisplay {
public:
    PrivateDisplay() {
        for (int n = 150; n < 250; ++n) {
            std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
            std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
            if (!fs::exists(socket) && !fs::exists(lock)) {
                number_ = n;
                break;
            }
        }
        name_ = ":" + std::to_string(number_);
        pid_ = ::fork();
        if (pid_ == 0) {
            std::freopen("/dev/null", "w", stderr);
            ::execlp("Xvfb", "Xvfb", name_.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
                     "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        std::string socket = "/tmp/.X11-unix/X" + std::to_string(number_);
        running_ = eventually([&] { return fs::exists(socket); }, 20s);
    }
    ~PrivateDisplay() { stop(); }
    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    bool running() const { return running_; }
    const std::string& name() const { return name_; }

    // Runs an X tool on this display; its output.
    std::string run(const std::string& command) const {
        std::string line = "DISPLAY=" + name_ + " " + command + " 2>/dev/null";
        std::string output;
        if (FILE* pipe = ::popen(line.c_str(), "r")) {
            char buffer[256];
            while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
                output += buffer;
            }
            ::pclose(pipe);
        }
        return output;
    }

private:
    int number_ = 0;
    std::string name_;
    pid_t pid_ = -1;
    bool running_ = false;
};

class SessionProgramTest : public testing::SandboxTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(programPath())) << "set VISTRELLE_PROGRAM";
        ASSERT_TRUE(display.running());
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
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    // Starts the program and waits until it has loaded its catalogue and waits for input.
    void start() {
        launch();
        ASSERT_TRUE(eventually([&] {
            window =
                firstLine(display.run("xdotool search --all --onlyvisible --pid " +
                                      std::to_string(pid) + " --name '^Vistrelle v1.0 Beta 3$'"));
            return !window.empty() &&
                   display.run("xprop -id " + window + " VISTRELLE_READY").find("= 1") !=
                       std::string::npos;
        })) << "the program never became ready: "
            << fileBytes(sandbox.path() / "program.log");
    }

    void launch(const fs::path& program = programPath()) {
        pid = ::fork();
        if (pid == 0) {
            if (::chdir(folder.c_str()) != 0) {
                _exit(120);
            }
            std::freopen((folder.parent_path() / "program.log").c_str(), "w", stderr);
            ::setenv("DISPLAY", display.name().c_str(), 1);
            ::unsetenv("WAYLAND_DISPLAY");
            ::execl(program.c_str(), "vistrelle", static_cast<char*>(nullptr));
            _exit(121);
        }
        ASSERT_GT(pid, 0);
    }

    static std::string firstLine(const std::string& text) {
        return text.substr(0, text.find('\n'));
    }

    std::vector<std::string> visibleWindows() {
        std::istringstream list(
            display.run("xdotool search --onlyvisible --pid " + std::to_string(pid)));
        std::vector<std::string> windows;
        for (std::string line; std::getline(list, line);) {
            windows.push_back(line);
        }
        return windows;
    }

    // Right-clicks a row of channelList and picks the pop-up menu's item `item` (1-based).
    void choosePopupItem(int item) {
        std::vector<std::string> before = visibleWindows();
        std::string popup;
        display.run("xdotool mousemove --window " + window + " 360 180 click 3");
        ASSERT_TRUE(eventually([&] {
            for (const std::string& shown : visibleWindows()) {
                if (std::find(before.begin(), before.end(), shown) == before.end()) {
                    popup = shown;
                }
            }
            return !popup.empty();
        })) << "no pop-up menu";
        std::string keys;
        for (int i = 0; i < item; ++i) {
            keys += " Down";
        }
        display.run("xdotool key" + keys + " Return");
        ASSERT_TRUE(eventually([&] {
            std::vector<std::string> shown = visibleWindows();
            return std::find(shown.begin(), shown.end(), popup) == shown.end();
        })) << "the pop-up menu stayed";
    }

    void addFavorite() { choosePopupItem(3); }

    // Waits for the program's message box with this title to be shown; its window.
    std::string waitForBox(const std::string& title) {
        std::string box;
        EXPECT_TRUE(eventually([&] {
            box = firstLine(display.run("xdotool search --all --onlyvisible --pid " +
                                        std::to_string(pid) + " --name '^" + title + "$'"));
            return !box.empty();
        })) << "no message box "
            << title;
        return box;
    }

    // The program's exit status, once it ended by itself.
    int waitForEnd() {
        int status = -1;
        bool ended = eventually([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 90s);
        if (ended) {
            pid = -1;
            return status;
        }
        return -1;
    }

    void expectSaved(const std::string& favorites) {
        EXPECT_EQ(fileBytes(folder / "favorites.dat"), favorites);
        EXPECT_EQ(fileBytes(folder / "Config.ini"), kConfig);
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"Config.ini", "channels.dat", "favorites.dat"}));
    }

    PrivateDisplay display;
    fs::path folder;
    pid_t pid = -1;
    std::string window;
};

struct SignalCase {
    int signal;
    bool inMessageBox;
};

class SessionSignalTest : public SessionProgramTest,
                          public ::testing::WithParamInterface<SignalCase> {};

TEST_P(SessionSignalTest, SavesTheFavoritesAndEndsWithZero) {
    start();
    addFavorite();
    if (GetParam().inMessageBox) {
        choosePopupItem(2);  // "Visit homepage" of a channel without one: an Info! box
        waitForBox("Info!");
    }
    ::kill(pid, GetParam().signal);
    int status = waitForEnd();
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    expectSaved(kOldFavorite + kChannel);
}

INSTANTIATE_TEST_SUITE_P(Signals, SessionSignalTest,
                         ::testing::Values(SignalCase{SIGTERM, false}, SignalCase{SIGHUP, false},
                                           SignalCase{SIGINT, false}, SignalCase{SIGTERM, true},
                                           SignalCase{SIGHUP, true}),
                         [](const ::testing::TestParamInfo<SignalCase>& test) {
                             return std::string(sigabbrev_np(test.param.signal)) +
                                    (test.param.inMessageBox ? "InAMessageBox" : "");
                         });

TEST_F(SessionProgramTest, LosingTheDisplaySavesTheFavoritesAndEndsWithZero) {
    start();
    addFavorite();
    display.stop();
    int status = waitForEnd();
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    expectSaved(kOldFavorite + kChannel);
}

TEST_F(SessionProgramTest, ASecondSignalDuringTheShutdownEndsAtOnce) {
    // favorites.dat cannot be written: the shutdown stops at its warning until a second signal.
    fs::remove(folder / "favorites.dat");
    fs::create_directory(folder / "favorites.dat");
    start();
    addFavorite();
    ::kill(pid, SIGTERM);
    waitForBox("Warning!");
    ::kill(pid, SIGTERM);
    int status = waitForEnd();
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(fs::is_directory(folder / "favorites.dat"));
    EXPECT_EQ(fileBytes(folder / "Config.ini"), kConfig);
}

TEST_F(SessionProgramTest, ASignalDuringTheWaitForTheUpdaterDoesNotWaitForIt) {
    // No catalogue: the start-up offers the updater and waits for it; this one never ends.
    fs::remove(folder / "channels.dat");
    sandbox.write("run/channel-updater", "#!/bin/sh\necho $$ > ../updater.pid\nexec sleep 600\n");
    fs::permissions(folder / "channel-updater", fs::perms::owner_all);
    // A copy of the program in the same folder, so that the stand-in is the updater it finds.
    fs::copy_file(programPath(), folder / "vistrelle");
    launch(folder / "vistrelle");
    std::string box = waitForBox("Info!");
    display.run("xdotool windowfocus --sync " + box + " key Return");  // "Yes"
    ASSERT_TRUE(eventually([&] { return !fileBytes(sandbox.path() / "updater.pid").empty(); }));
    ::kill(pid, SIGTERM);
    int status = waitForEnd();
    ::kill(std::stoi(fileBytes(sandbox.path() / "updater.pid")), SIGKILL);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // Still in the start-up: nothing was loaded, so nothing is saved.
    EXPECT_EQ(fileBytes(folder / "favorites.dat"), kOldFavorite);
    EXPECT_EQ(fileBytes(folder / "Config.ini"), kConfig);
}

}  // namespace
}  // namespace vistrelle::gtk
