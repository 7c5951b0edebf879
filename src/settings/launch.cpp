#include "settings/launch.h"

#include "ui/texts.h"
#include "ui/window_layer.h"

namespace vistrelle {

namespace {

constexpr std::string_view kHelpFile = "Help.chm";

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

// Control characters never belong in an address handed to the desktop.
bool hasUnsafeByte(std::string_view address) {
    for (char c : address) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<std::string> lookupPaths(std::string_view name, LookupKind kind,
                                     const LookupPlaces& places) {
    if (name.empty()) {
        return {};
    }
    if (name.find(places.folderSeparator) != std::string_view::npos) {
        return {std::string(name)};
    }
    std::vector<std::string> paths;
    const auto add = [&](std::string_view folder) {
        if (folder.empty()) {
            return;
        }
        std::string path(folder);
        if (path.back() != places.folderSeparator) {
            path += places.folderSeparator;
        }
        path += name;
        paths.push_back(std::move(path));
    };
    if (kind != LookupKind::SystemProgram) {
        add(places.programFolder);
        add(places.currentFolder);
    }
    if (kind != LookupKind::Document) {
        std::string_view folders = places.searchPath;
        while (!folders.empty()) {
            const size_t end = folders.find(places.pathSeparator);
            const std::string_view folder = folders.substr(0, end);
            add(folder.empty() ? std::string_view(places.currentFolder) : folder);
            if (end == std::string_view::npos) {
                break;
            }
            folders.remove_prefix(end + 1);
            if (folders.empty()) {
                add(places.currentFolder);  // a trailing separator: the current folder
            }
        }
    }
    return paths;
}

std::string buildCommandLine(std::string_view program, std::string_view parameter) {
    std::string line;
    if (!program.empty() && program.front() == '"') {
        line = std::string(program);
    } else {
        line.reserve(program.size() + 2);
        line += '"';
        line += program;
        line += '"';
    }
    if (!parameter.empty()) {
        line += ' ';
        line += parameter;
    }
    return line;
}

std::string shellFolder(std::string_view program, std::string_view workingDir) {
    if (!workingDir.empty()) {
        return std::string(workingDir);
    }
    size_t backslash = program.find_last_of('\\');
    if (backslash == std::string_view::npos || backslash == 0) {
        return std::string();
    }
    return std::string(program.substr(0, backslash + 1));
}

LaunchRequest makeLaunchRequest(std::string_view program, std::string_view parameter,
                                std::string_view workingDir, bool wait) {
    LaunchRequest request;
    request.program = std::string(program);
    request.parameter = std::string(parameter);
    request.commandLine = buildCommandLine(program, parameter);
    request.shellFolder = shellFolder(program, workingDir);
    request.wait = wait;
    return request;
}

int32_t launchProgram(Launcher& launcher, std::string_view program, std::string_view parameter,
                      std::string_view workingDir, bool wait) {
    return launcher.startProgram(makeLaunchRequest(program, parameter, workingDir, wait)) ? 1 : 0;
}

int32_t runUpdater(Launcher& launcher, std::string_view parameter, bool wait) {
    return launchProgram(launcher, launcher.updaterProgram(), parameter, std::string_view(), wait);
}

bool startUpdaterOrWarn(WindowUi& windows, Launcher& launcher, std::string_view parameter,
                        bool wait) {
    if (runUpdater(launcher, parameter, wait) == 0) {
        showMessage(windows, texts::kUpdaterNotFound);
        return false;
    }
    return true;
}

std::string webAddressFor(std::string_view address) {
    if (address.empty() || hasUnsafeByte(address)) {
        return std::string();
    }
    for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
        if (startsWithNoCase(address, scheme)) {
            // A scheme alone names no page.
            return address.size() > scheme.size() ? std::string(address) : std::string();
        }
    }
    if (startsWithNoCase(address, "www.") && address.size() > 4) {
        return "http://" + std::string(address);
    }
    return std::string();
}

void openUrl(Launcher& launcher, std::string_view address) {
    // A homepage comes from a downloaded catalogue: it is only ever handed to the desktop as a
    // web address, never started as a program or opened as a file. Anything else opens nothing.
    std::string url = webAddressFor(address);
    if (!url.empty()) {
        launcher.openWebAddress(url);
    }
}

void openHelp(WindowUi& windows, Launcher& launcher) {
    showMessage(windows, launcher.showHelpFile(kHelpFile) ? texts::kOldHelp : texts::kHelpNotFound);
}

}  // namespace vistrelle
