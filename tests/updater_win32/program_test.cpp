// The real programs under Wine: "Channel updater.exe" on the console and in its window, two of
// them at once, and vistrelle.exe's start-up offer running the updater found beside it.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>

#include "driver.h"
#include "fake/sandbox.h"
#include "samples.h"

namespace vistrelle::updater {
namespace {

using testing::Response;
using Texts = std::vector<std::string>;

const std::string kUpdater = testing::winePath(VISTRELLE_UPDATER_PROGRAM);
const std::string kOld = "Old|catalogue|1|||http://old.example/|\r\n";

// A started program, its standard error going to a file of the sandbox (a file of its own: Wine
// may close a finished program's handles a moment after it ended).
struct Program {
    PROCESS_INFORMATION process{};

    Program(const std::string& path, const std::string& args, const char* log) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE errors = CreateFileA(log, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdError = errors;
        std::string commandLine = "\"" + path + "\"" + (args.empty() ? "" : " " + args);
        CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process);
        CloseHandle(errors);
        CloseHandle(process.hThread);
    }
    ~Program() {
        if (process.hProcess != nullptr) {
            TerminateProcess(process.hProcess, 99);
            CloseHandle(process.hProcess);
        }
    }
    // The exit code once it has ended.
    DWORD exitCode() {
        WaitForSingleObject(process.hProcess, 120000);
        DWORD code = 9999;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }
    // Its top-level window of that class and title, once it shows.
    HWND window(const char* cls, const std::string& title) const {
        HWND found = nullptr;
        testing::eventually([&] {
            for (HWND w = FindWindowExA(nullptr, nullptr, cls, title.c_str()); w != nullptr;
                 w = FindWindowExA(nullptr, w, cls, title.c_str())) {
                DWORD owner = 0;
                GetWindowThreadProcessId(w, &owner);
                if (owner == process.dwProcessId && IsWindowVisible(w)) {
                    found = w;
                    return true;
                }
            }
            return false;
        });
        return found;
    }
};

void press(HWND dialog, int button) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

class UpdaterProgramTest : public testing::SandboxTest {
protected:
    UpdaterProgramTest() {
        // The program's own country names: no iso-codes file is named.
        std::string ini = testing::serveSamples(server);
        ini.erase(ini.find("iso-codes"));
        sandbox.write("updater.ini", ini);
        sandbox.write("channels.dat", kOld);
    }
    testing::LoopbackServer server;
};

TEST_F(UpdaterProgramTest, QuietPrintsItsProgressAndRefusesASecondRunAtOnce) {
    Program quiet(kUpdater, "--quiet", "quiet.txt");
    EXPECT_EQ(quiet.exitCode(), 0u);
    EXPECT_EQ(sandbox.read("channels.dat"), testing::kSampleCatalog);
    const std::string printed = sandbox.read("quiet.txt");
    for (const char* line : {"Channel updater: Downloading TV channels...\r\n",
                             "Channel updater: 6 channels saved: 4 radio, 2 TV.\r\n"}) {
        EXPECT_NE(printed.find(line), std::string::npos) << printed;
    }

    sandbox.write("channels.dat", kOld);
    server.serve("/json/stations", Response::hanging());
    Program first(kUpdater, "--quiet --no-tv", "first.txt");
    ASSERT_TRUE(server.waitForRequests("/json/stations", 2));
    Program second(kUpdater, "--quiet", "second.txt");
    EXPECT_EQ(second.exitCode(), 1u);
    EXPECT_EQ(sandbox.read("second.txt"),
              "Channel updater: Another channel updater is already updating channels.dat.\r\n");
    // A run that dies leaves no lock behind.
    TerminateProcess(first.process.hProcess, 1);
    EXPECT_EQ(first.exitCode(), 1u);
    EXPECT_TRUE(testing::eventually([&] { return !sandbox.exists("channels.dat.lock"); }));
    EXPECT_EQ(sandbox.read("channels.dat"), kOld);

    Program wrong(kUpdater, "--bogus", "wrong.txt");
    EXPECT_EQ(wrong.exitCode(), 2u);
    EXPECT_EQ(sandbox.read("wrong.txt"),
              "Channel updater: Unknown option --bogus (see --help).\r\n");
}

TEST_F(UpdaterProgramTest, TheWindowStandsOverTheProgramsWindowAndSaysHowItEnded) {
    // The program's window the updater is started for.
    HWND owner = CreateWindowExA(0, "STATIC", "The program", WS_POPUP | WS_VISIBLE, 100, 80, 700,
                                 500, nullptr, nullptr, nullptr, nullptr);
    const auto handle = static_cast<int32_t>(reinterpret_cast<intptr_t>(owner));
    Program menuRun(kUpdater, std::to_string(handle), "menu.txt");
    HWND dialog = menuRun.window("#32770", "Channel list updated");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(testing::windowText(GetDlgItem(dialog, 1001)),
              "6 channels saved: 4 radio, 2 TV.\nThe new list shows the next time Vistrelle "
              "starts.");
    EXPECT_EQ(testing::windowText(GetDlgItem(dialog, IDCANCEL)), "Close");
    RECT over{};
    RECT shown{};
    GetWindowRect(owner, &over);
    GetWindowRect(dialog, &shown);
    EXPECT_NEAR((shown.left + shown.right) / 2, (over.left + over.right) / 2, 2);
    EXPECT_NEAR((shown.top + shown.bottom) / 2, (over.top + over.bottom) / 2, 2);
    // Not owned by the program's window: the two programs' input stays apart.
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
    press(dialog, IDCANCEL);
    EXPECT_EQ(menuRun.exitCode(), 0u);
    DestroyWindow(owner);

    // Cancel while a download waits: the window says so at once and keeps the old list.
    sandbox.write("channels.dat", kOld);
    server.serve("/api/channels.json", Response::hanging());
    Program offer(kUpdater, "", "offer.txt");
    dialog = offer.window("#32770", "Update channel list");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(server.waitForRequests("/api/channels.json", 2));
    press(dialog, IDCANCEL);
    const auto pressed = std::chrono::steady_clock::now();
    ASSERT_NE(offer.window("#32770", "Channel list not updated"), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, std::chrono::seconds(1));
    EXPECT_EQ(testing::windowText(GetDlgItem(dialog, 1001)),
              "Cancelled. The old channel list is kept.");
    press(dialog, IDCANCEL);
    EXPECT_EQ(offer.exitCode(), 1u);
    EXPECT_EQ(sandbox.read("channels.dat"), kOld);
    EXPECT_EQ(sandbox.entries(), (Texts{"channels.dat", "menu.txt", "offer.txt", "updater.ini"}));
}

TEST_F(UpdaterProgramTest, TheProgramsStartUpOfferRunsTheUpdaterBesideItAndShowsItsChannels) {
    std::remove("channels.dat");
    Program program(testing::winePath(VISTRELLE_PROGRAM), "", "program.txt");
    HWND question = program.window("#32770", "Info!");
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(testing::windowText(GetDlgItem(question, 0xFFFF)),
              "No channels found, do you want to download an updated channel list?");
    press(question, IDYES);

    // The updater is found beside the program, and the program waits for it.
    HWND updater = FindWindowA("#32770", "Channel list updated");
    ASSERT_TRUE(testing::eventually([&] {
        updater = FindWindowA("#32770", "Channel list updated");
        return updater != nullptr;
    }));
    EXPECT_EQ(testing::windowText(GetDlgItem(updater, 1001)), "6 channels saved: 4 radio, 2 TV.");
    press(updater, IDCANCEL);

    HWND main = nullptr;
    HWND status = nullptr;
    ASSERT_TRUE(testing::eventually([&] {
        main = FindWindowA("VistrelleWindow", nullptr);
        status = GetDlgItem(main, 100);
        return status != nullptr && testing::windowText(status) == " 6 channels loaded";
    })) << testing::windowText(status);
    EXPECT_EQ(testing::listCount(GetDlgItem(main, 2)), 6);
    EXPECT_EQ(sandbox.read("channels.dat"), testing::kSampleCatalog);
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(program.exitCode(), 0u);
}

}  // namespace
}  // namespace vistrelle::updater
