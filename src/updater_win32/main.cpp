// Channel updater.exe: downloads the public radio and TV directories and the user's playlists
// into channels.dat. With the program's window handle (its menu) or without arguments (its
// start-up offer) it shows a window; with --quiet it prints its progress to the console it was
// started from.
#include <windows.h>

#include <cstdio>
#include <iostream>

#include "updater/console.h"
#include "updater_win32/progress_dialog.h"
#include "updater_win32/resources.h"
#include "updater_win32/winhttp_network.h"

namespace {

using namespace vistrelle::updater;

constexpr const char* kName = "Channel updater";

std::atomic<bool> interrupted{false};

BOOL WINAPI onConsoleBreak(DWORD) {
    interrupted = true;
    return TRUE;
}

// The ISO 3166 country names the program carries (from iso-codes, at build time).
std::string_view carriedCountryNames() {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(IDR_COUNTRY_NAMES), MAKEINTRESOURCEA(10));
    HGLOBAL loaded = found != nullptr ? LoadResource(self, found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    return bytes != nullptr
               ? std::string_view(static_cast<const char*>(bytes), SizeofResource(self, found))
               : std::string_view();
}

// Standard error as the program was given it (a file or a pipe), else the console of the program
// that started this one: a windowed program gets neither by itself. False when there is none.
bool openConsole() {
    const HANDLE given = GetStdHandle(STD_ERROR_HANDLE);
    if (given != nullptr && given != INVALID_HANDLE_VALUE &&
        GetFileType(given) != FILE_TYPE_UNKNOWN) {
        return true;
    }
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
        return false;
    }
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
    std::cout.clear();
    std::cerr.clear();
    // The shell showed its prompt already: the program's lines start on a line of their own.
    std::cerr << std::endl;
    return true;
}

// A message for the user: on the console when there is one, else in a message box.
void tell(const std::string& text, bool problem) {
    if (openConsole()) {
        (problem ? std::cerr : std::cout) << (problem ? std::string(kName) + ": " : "") << text
                                          << (problem ? "\n" : "") << std::flush;
        return;
    }
    MessageBoxA(nullptr, text.c_str(), kName, problem ? MB_ICONEXCLAMATION : MB_ICONINFORMATION);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::vector<std::string> args(__argv + 1, __argv + __argc);
    Options options;
    // The names come with the program: no system file holds them here.
    options.isoCodes.clear();
    options.carriedIsoCodes = carriedCountryNames();
    if (std::string error = prepareOptions(args, options); !error.empty()) {
        tell(error, true);
        return 2;
    }
    if (options.help) {
        tell(usageText("Channel updater.exe"), false);
        return 0;
    }
    if (!options.quiet) {
        return runWithWindow(options);
    }
    openConsole();
    SetConsoleCtrlHandler(onConsoleBreak, TRUE);
    ConsoleReporter reporter(std::cerr, interrupted, kName);
    RunResult result;
    {
        WinHttpNetwork network(interrupted);
        result = runUpdate(options, network, reporter);
    }
    std::cerr << kName << ": " << result.message << std::endl;
    return result.ok ? 0 : 1;
}
