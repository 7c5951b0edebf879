// Other software: programs (CreateProcessA, then the shell), web addresses and HTML Help.
#include <windows.h>
// clang-format off
#include <shellapi.h>
// clang-format on

#include <string>
#include <vector>

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

}  // namespace

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
    const std::string name(file);
    return htmlHelp_(nullptr, name.c_str(), kHhDisplayTopic, 0) != nullptr;
}

void ShellLauncher::closeHelpViewer() {
    if (htmlHelp_)
        htmlHelp_(nullptr, nullptr, kHhCloseAll, 0);
}

}  // namespace vistrelle::win32
