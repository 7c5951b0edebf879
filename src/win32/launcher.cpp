// Other software: programs (CreateProcessA, then the shell), web addresses and HTML Help.
#include <windows.h>
// clang-format off
#include <shellapi.h>
// clang-format on

#include <string>
#include <vector>

#include "settings/launch.h"
#include "win32/launcher.h"

namespace vistrelle::win32 {

namespace {

constexpr UINT kHhDisplayTopic = 0x0000;  // HH_DISPLAY_TOPIC
constexpr UINT kHhCloseAll = 0x0012;      // HH_CLOSE_ALL

// Hands a file or address to the shell with the verb "Open". The shell shows its own error
// messages. Returns whether it accepted the request; the process handle, if any, in `process`.
bool shellOpen(const std::string& file, const std::string& parameters, const std::string& folder,
               HANDLE& process) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "Open";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    process = nullptr;
    if (!ShellExecuteExA(&info))
        return false;
    process = info.hProcess;
    return true;
}

std::string moduleFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    const std::string file(path, length);
    const size_t backslash = file.find_last_of('\\');
    return backslash == std::string::npos ? std::string() : file.substr(0, backslash);
}

std::string currentFolder() {
    char path[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, path);
    return length == 0 || length >= MAX_PATH ? std::string() : std::string(path, length);
}

bool isFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// CreateProcessA looks for a program named without a folder where the program's own order
// (lookupPaths) does: beside the program, in the current folder, then (after the system's
// folders) on the PATH.
bool ShellLauncher::startProgram(const LaunchRequest& request) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    std::vector<char> commandLine(request.commandLine.begin(), request.commandLine.end());
    commandLine.push_back('\0');
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                       nullptr, nullptr, &startup, &started)) {
        CloseHandle(started.hThread);
        if (request.wait)
            WaitForSingleObject(started.hProcess, INFINITE);
        CloseHandle(started.hProcess);
        return true;
    }
    HANDLE process = nullptr;
    if (!shellOpen(request.program, request.parameter, request.shellFolder, process)) {
        return false;
    }
    if (process) {
        // A program that was already running may take the request over: then there is no
        // handle and nothing to wait for.
        if (request.wait)
            WaitForSingleObject(process, INFINITE);
        CloseHandle(process);
    }
    return true;
}

bool ShellLauncher::openWebAddress(std::string_view url) {
    // An address from the catalogue only ever reaches the shell, never a command line.
    HANDLE process = nullptr;
    const bool opened = shellOpen(std::string(url), {}, {}, process);
    if (process)
        CloseHandle(process);
    return opened;
}

void ShellLauncher::loadHelpViewer() {
    HMODULE library = LoadLibraryA("hhctrl.ocx");
    if (!library)
        return;
    htmlHelp_ =
        reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void*>(GetProcAddress(library, "HtmlHelpA")));
}

bool ShellLauncher::showHelpFile(std::string_view file) {
    if (!htmlHelp_)
        return false;
    LookupPlaces places;
    places.programFolder = moduleFolder();
    places.currentFolder = currentFolder();
    places.folderSeparator = '\\';
    for (const std::string& path : lookupPaths(file, LookupKind::Document, places)) {
        if (isFile(path))
            return htmlHelp_(nullptr, path.c_str(), kHhDisplayTopic, 0) != nullptr;
    }
    return false;
}

void ShellLauncher::closeHelpViewer() {
    if (htmlHelp_)
        htmlHelp_(nullptr, nullptr, kHhCloseAll, 0);
}

}  // namespace vistrelle::win32
