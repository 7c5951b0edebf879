// The end of the Windows session for the real program: WM_QUERYENDSESSION lets it end, and
// WM_ENDSESSION saves the favourites and the setting before the process ends with code 0, also
// while a message box's own loop runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "driver.h"
#include "fake/sandbox.h"
#include "win32/win32_layer.h"

namespace vistrelle::testing {
namespace {

// The probe's main window, once it runs.
HWND probeWindow(DWORD processId) {
    HWND found = nullptr;
    eventually([&] {
        for (HWND w = FindWindowA(win32::kWindowClass, nullptr); w;
             w = FindWindowExA(nullptr, w, win32::kWindowClass, nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == processId && IsWindowVisible(w)) {
                found = w;
                return true;
            }
        }
        return false;
    });
    return found;
}

class SessionEndTest : public SandboxTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SessionEndTest, SavesAndEndsWithZero) {
    sandbox.write("channels.dat", kProbeCatalogue);
    PROCESS_INFORMATION process = startProbe(GetParam());
    ASSERT_NE(process.hProcess, nullptr) << "fault_probe.exe could not be started";
    HWND main = probeWindow(process.dwProcessId);
    ASSERT_NE(main, nullptr);
    // The loop runs once it has opened the About window or the "Info" box.
    const bool box = std::string(GetParam()) == "session-box";
    ASSERT_TRUE(eventually([box] {
        return box ? FindWindowA("#32770", "Info") != nullptr
                   : FindWindowA(win32::kWindowClass, " About") != nullptr;
    }));

    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK,
                                    30000, &answer));
    EXPECT_EQ(answer, TRUE);
    // The process ends while the message is handled: the send itself fails.
    SendMessageTimeoutA(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, 30000, &answer);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);

    EXPECT_EQ(code, 0u);
    EXPECT_EQ(sandbox.entries(),
              (std::vector<std::string>{"Config.ini", "channels.dat", "favorites.dat"}));
    EXPECT_EQ(sandbox.read("favorites.dat"), kProbeCatalogue);
    EXPECT_EQ(sandbox.read("Config.ini"), "WMP Version = 2\r\n");
}

INSTANTIATE_TEST_SUITE_P(Session, SessionEndTest,
                         ::testing::Values("session-about", "session-box"));

}  // namespace
}  // namespace vistrelle::testing
