// The tests' side of atspi_probe: a client of the accessibility bus in a process of its own, as
// a screen reader is, asked one line at a time while the program's own loop keeps running (the
// probe's questions are answered by that loop). Also: keys pressed on the X display, as a
// keyboard does, and Orca's log read as it grows.
#pragma once

#include <glib.h>

#include <functional>
#include <string>
#include <vector>

namespace vistrelle::gtk::testing {

class AccessibilityProbe {
public:
    AccessibilityProbe() = default;
    ~AccessibilityProbe();
    AccessibilityProbe(const AccessibilityProbe&) = delete;
    AccessibilityProbe& operator=(const AccessibilityProbe&) = delete;

    // Starts the probe; on failure `why` says why (no accessibility bus).
    bool start(std::string& why);
    // Sends a question; `wait` runs the program's loop until its condition holds. The answer
    // without its "ok " (or the whole "error ..." line).
    std::string ask(const std::string& question,
                    const std::function<bool(const std::function<bool()>&)>& wait);

private:
    bool readLine(std::string& line);

    GPid pid_ = 0;
    int in_ = -1;
    int out_ = -1;
    std::string pending_;
};

// Runs a program (xdotool...) to its end while `wait` runs the program's loop; its exit status.
int runWhileLooping(const std::vector<std::string>& argv,
                    const std::function<bool(const std::function<bool()>&)>& wait);

// What Orca said, in order, from the log it writes (the lines "SPEECH OUTPUT: '...'"), after
// the first `skip` utterances.
std::vector<std::string> orcaSpeech(const std::string& log, size_t skip = 0);

}  // namespace vistrelle::gtk::testing
