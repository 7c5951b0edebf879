// Starting other software: the updater, web addresses and the help file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vistrelle {

class Launcher;
class WindowUi;
struct LaunchRequest;

// The quoted program name (left alone when it already starts with a double quote), then one
// space and the parameter when there is one.
std::string buildCommandLine(std::string_view program, std::string_view parameter);
// The shell's working folder: workingDir, or, when that is empty and the program contains a
// backslash after its first character, the program up to and including its last backslash.
std::string shellFolder(std::string_view program, std::string_view workingDir);
LaunchRequest makeLaunchRequest(std::string_view program, std::string_view parameter,
                                std::string_view workingDir, bool wait);

// Where the program looks for a file that is named without a folder. What it brings along (the
// updater, the help file): in the folder of the running program, then in the current folder,
// and a program then in each folder of the search path. A program of the system (the desktop's
// URL handler): in the search path only. An empty entry of the search path stands for the
// current folder; a name with a folder stands for itself; unknown (empty) folders are left out.
struct LookupPlaces {
    std::string programFolder;
    std::string currentFolder;
    std::string searchPath;  // PATH as it is
    char folderSeparator = '/';
    char pathSeparator = ':';  // between the folders of searchPath
};
enum class LookupKind { Program, Document, SystemProgram };
// The paths to try, in order.
std::vector<std::string> lookupPaths(std::string_view name, LookupKind kind,
                                     const LookupPlaces& places);

// 1 when something was started, 0 when nothing could be.
int32_t launchProgram(Launcher& launcher, std::string_view program, std::string_view parameter,
                      std::string_view workingDir, bool wait);
int32_t runUpdater(Launcher& launcher, std::string_view parameter, bool wait);
// Starts the updater; when nothing could be started, says so ("Channel updater not found!").
// True when it was started (and, with `wait`, has ended).
bool startUpdaterOrWarn(WindowUi& windows, Launcher& launcher, std::string_view parameter,
                        bool wait);

// The address the desktop may be handed for a homepage or web page, or empty when it is not a
// web address: http:// or https:// (any case), or a bare address starting with "www."
// (taken as http://).
std::string webAddressFor(std::string_view address);
void openUrl(Launcher& launcher, std::string_view address);

// Help: the viewer with "Help.chm", then one of the two notices.
void openHelp(WindowUi& windows, Launcher& launcher);

// The program's own home page ("Webpage" of the About window, the welcome page's last link).
inline constexpr std::string_view kHomepageAddress = "https://vistrelle.org/";

}  // namespace vistrelle
