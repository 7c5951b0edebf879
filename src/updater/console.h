// The channel updater without a window: its start (options, updater.ini) and progress lines.
#pragma once

#include <atomic>
#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "updater/options.h"
#include "updater/run.h"

namespace vistrelle::updater {

// The options of a run: the arguments, over the keys of updater.ini beside the output file.
// Empty on success, else what is wrong.
std::string prepareOptions(const std::vector<std::string>& args, Options& options);

// Progress as lines on a stream ("channel-updater: Downloading TV streams..."), details at most
// twice a second; `name` starts each line.
class ConsoleReporter : public Reporter {
public:
    ConsoleReporter(std::ostream& out, const std::atomic<bool>& cancel,
                    std::string_view name = kProgramName)
        : out_(out), cancel_(cancel), name_(name) {}
    void stage(const std::string& text) override;
    void progress(const std::string& text) override;
    bool cancelled() override { return cancel_.load(); }

private:
    std::ostream& out_;
    const std::atomic<bool>& cancel_;
    std::string name_;
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace vistrelle::updater
