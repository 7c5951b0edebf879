// The fault report of the real program: a division by zero or an invalid access, on the GUI
// thread or another one, shows the "Debugger" report, saves nothing and exits with code 0.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "driver.h"
#include "fake/sandbox.h"

namespace vistrelle::testing {
namespace {

// Runs the probe in the sandbox; its exit code, or -1 when it could not be started.
long runProbe(const std::string& mode) {
    PROCESS_INFORMATION process = startProbe(mode);
    if (process.hProcess == nullptr) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return static_cast<long>(code);
}

// Answers the probe's report. The probe is another process: its boxes are found by title.
class ReportWatcher {
public:
    ReportWatcher() : thread_([this] { run(); }) {}
    ~ReportWatcher() {
        stop_ = true;
        thread_.join();
    }
    std::string text() {
        std::lock_guard lock(mutex_);
        return text_;
    }

private:
    void run() {
        while (!stop_) {
            if (HWND box = FindWindowA("#32770", "Debugger")) {
                {
                    std::string text = messageBoxText(box);
                    std::lock_guard lock(mutex_);
                    text_ = std::move(text);
                }
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
                while (IsWindow(box) && !stop_)
                    Sleep(20);
            }
            Sleep(30);
        }
    }
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::string text_;
    std::thread thread_;
};

std::string report(const std::string& description) {
    return "Sorry there was an error:\n\nLine: -1\nDescription: " + description +
           "\nTotal number of errors: 1\n\nThe program will end now.";
}

class FaultReportTest : public SandboxTest,
                        public ::testing::WithParamInterface<std::pair<const char*, const char*>> {
};

TEST_P(FaultReportTest, ReportsSavesNothingAndExitsWithZero) {
    const auto& [mode, description] = GetParam();
    sandbox.write("channels.dat", kProbeCatalogue);
    ReportWatcher watcher;
    EXPECT_EQ(runProbe(mode), 0);
    EXPECT_EQ(watcher.text(), report(description));
    EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"channels.dat"});
    EXPECT_EQ(sandbox.read("channels.dat"), kProbeCatalogue);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultReportTest,
    ::testing::Values(
        std::pair{"divide", "Attempted division by zero"},
        std::pair{"access",
                  "An attemped read or write to/from an address to which that process isn't "
                  "allowed"},
        std::pair{"thread",
                  "An attemped read or write to/from an address to which that process isn't "
                  "allowed"}));

}  // namespace
}  // namespace vistrelle::testing
