#include "updater/console.h"

#include "os/file.h"

namespace vistrelle::updater {

namespace {

// The bytes of a small file; false when it cannot be read.
bool readSmallFile(const std::string& path, std::string& bytes) {
    os::File file;
    if (!file.open(path, os::File::Access::Read)) {
        return false;
    }
    char buffer[16384];
    for (int64_t n; (n = file.read(buffer, sizeof buffer)) > 0;) {
        bytes.append(buffer, static_cast<size_t>(n));
        if (bytes.size() > (size_t{1} << 20)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string prepareOptions(const std::vector<std::string>& args, Options& options) {
    Arguments arguments = parseArguments(args);
    if (!arguments.error.empty()) {
        return arguments.error;
    }
    options.quiet = arguments.quiet;
    options.help = arguments.help;
    options.hasWindow = arguments.hasWindow;
    options.window = arguments.window;
    // The output named on the command line decides where updater.ini is looked for.
    std::string output = options.output;
    for (const Setting& setting : arguments.settings) {
        if (setting.first == "output") {
            output = setting.second;
        }
    }
    std::string ini;
    if (readSmallFile(folderOf(output) + std::string(kIniName), ini)) {
        std::string error;
        std::vector<Setting> settings = parseIni(ini, &error);
        if (!error.empty()) {
            return error;
        }
        for (const Setting& setting : settings) {
            if (std::string failure = applySetting(options, setting); !failure.empty()) {
                return std::string(kIniName) + ": " + failure;
            }
        }
    }
    for (const Setting& setting : arguments.settings) {
        if (std::string failure = applySetting(options, setting); !failure.empty()) {
            return failure;
        }
    }
    return {};
}

void ConsoleReporter::stage(const std::string& text) {
    out_ << name_ << ": " << text << std::endl;
    last_ = std::chrono::steady_clock::now();
}

void ConsoleReporter::progress(const std::string& text) {
    auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(500)) {
        return;
    }
    last_ = now;
    out_ << name_ << ":   " << text << std::endl;
}

}  // namespace vistrelle::updater
