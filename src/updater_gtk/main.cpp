// channel-updater: downloads the public radio and TV directories and the user's playlists into
// channels.dat. With a window argument (the program's menu) or without arguments (the program's
// start-up offer) it shows a window; with --quiet or without a display it prints progress on
// standard error.
#include <gtk/gtk.h>

#include <csignal>
#include <iostream>

#include "updater/console.h"
#include "updater_gtk/progress_window.h"
#include "updater_net/curl_network.h"

namespace {

std::atomic<bool> interrupted{false};

void interrupt(int /*signal*/) {
    interrupted = true;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vistrelle::updater;
    std::vector<std::string> args(argv + 1, argv + argc);
    Options options;
    if (std::string error = prepareOptions(args, options); !error.empty()) {
        std::cerr << kProgramName << ": " << error << std::endl;
        return 2;
    }
    if (options.help) {
        std::cout << usageText();
        return 0;
    }
    if (!options.quiet && gtk_init_check(&argc, &argv)) {
        return runWithWindow(options);
    }
    std::signal(SIGINT, interrupt);
    std::signal(SIGTERM, interrupt);
    ConsoleReporter reporter(std::cerr, interrupted);
    CurlNetwork network(interrupted);
    RunResult result = runUpdate(options, network, reporter);
    std::cerr << kProgramName << ": " << result.message << std::endl;
    return result.ok ? 0 : 1;
}
