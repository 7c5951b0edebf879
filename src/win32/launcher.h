// Other software on Windows: programs, web addresses and HTML Help.
#pragma once

#include <windows.h>

#include <string>

#include "ui/window_layer.h"

namespace vistrelle::win32 {

class ShellLauncher final : public Launcher {
public:
    std::string updaterProgram() override { return "Channel updater.exe"; }
    bool startProgram(const LaunchRequest& request) override;
    bool openWebAddress(std::string_view url) override;
    void loadHelpViewer() override;
    bool showHelpFile(std::string_view file) override;
    void closeHelpViewer() override;

private:
    using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
    HtmlHelpFn htmlHelp_ = nullptr;
};

}  // namespace vistrelle::win32
