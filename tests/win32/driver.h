// Drives the real Windows program from a test: the program runs its own loop on a thread of its
// own, the test sends and posts messages to its windows, and a watcher answers every message
// box (the program's and the shell's) so that none is left blocking.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vistrelle::testing {

struct AnsweredBox {
    std::string title;
    std::string text;
};

// Answers dialog boxes (class #32770) of this process as they appear.
class DialogWatcher {
public:
    DialogWatcher();
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    std::vector<AnsweredBox> boxes() const;
    // Waits (generously) until `count` boxes were answered; false when they never came.
    bool waitForBoxes(size_t count) const;

private:
    void run();
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<AnsweredBox> boxes_;
    std::vector<HWND> answered_;
    std::thread thread_;
};

// The program built to fault or to end its session on request (fault_probe.exe, beside the
// tests), and the catalogue of one channel it is started on.
inline constexpr const char* kProbeCatalogue =
    "Austria|Donau Info|96|News||http://s.example.org/donau.asx|\r\n";
// Starts the probe in the current folder with `mode`; its process (to close), or none.
PROCESS_INFORMATION startProbe(const std::string& mode);

// A path of the build machine as Wine sees it (drive Z: is its root).
std::string winePath(std::string unixPath);

// Polls `condition` until it holds, for at most about a minute; returns its last answer.
bool eventually(const std::function<bool()>& condition);

// Reading the program's controls from the test's thread.
std::string windowText(HWND hwnd);
// The text of a message box (any process's) once the box has set it; empty when it has none
// after a second.
std::string messageBoxText(HWND box);
int listCount(HWND list);
std::string listText(HWND list, int row, int column);
std::vector<std::string> listColumn(HWND list, int column);
void selectRow(HWND list, int row);  // -1 clears the selection
std::string statusText(HWND main);
std::vector<std::string> comboItems(HWND combo);
SIZE clientSize(HWND hwnd);

}  // namespace vistrelle::testing
