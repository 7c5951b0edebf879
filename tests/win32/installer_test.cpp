// vistrelle-setup.exe installed silently for the current user and removed again, as an
// administrator who deploys it would: the files, the shortcut, the entry in the list of
// installed programs, the seeded data folder, and the user's files after removal. Runs in a Wine
// prefix of its own.
#include <windows.h>
// clang-format off
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
// clang-format on

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver.h"

namespace vistrelle::testing {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

constexpr const char* kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vistrelle";

fs::path knownFolder(int which) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, which, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

Names entries(const fs::path& folder) {
    Names names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Runs a command line and gives its exit code.
DWORD run(std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return 9999;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, 120000);
    DWORD code = 9999;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return code;
}

std::string registryText(const char* name) {
    char value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, kUninstallKey, name, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS) {
        return "(none)";
    }
    return value;
}

struct Shortcut {
    std::string target;
    std::string folder;
};

Shortcut readShortcut(const fs::path& link) {
    Shortcut shortcut;
    IShellLinkA* shell = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&shell)))) {
        return shortcut;
    }
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(link.wstring().c_str(), STGM_READ))) {
            char text[MAX_PATH] = {};
            shell->GetPath(text, MAX_PATH, nullptr, 0);
            shortcut.target = text;
            shell->GetWorkingDirectory(text, MAX_PATH);
            shortcut.folder = text;
        }
        file->Release();
    }
    shell->Release();
    return shortcut;
}

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        // What an earlier, interrupted run may have left in this prefix.
        std::error_code error;
        fs::remove_all(programs, error);
        fs::remove_all(data, error);
        fs::remove(shortcut, error);
        RegDeleteTreeA(HKEY_CURRENT_USER, kUninstallKey);
    }
    void TearDown() override { CoUninitialize(); }

    const fs::path local = knownFolder(CSIDL_LOCAL_APPDATA);
    const fs::path programs = local / "Programs" / "Vistrelle";
    const fs::path data = local / "Vistrelle";
    const fs::path shortcut = knownFolder(CSIDL_PROGRAMS) / "Vistrelle.lnk";
    const std::string setup = "\"" + winePath(VISTRELLE_INSTALLER) + "\" /S";
};

TEST_F(InstallerTest, InstallsForTheUserAndLeavesTheUsersFilesOnRemoval) {
    ASSERT_EQ(run(setup), 0u);
    EXPECT_EQ(entries(programs), (Names{"Channel updater.exe", "Help.chm", "README.txt",
                                        "Uninstall.exe", "vistrelle.exe"}));
    EXPECT_EQ(entries(data), (Names{"Help.chm", "channels.dat"}));
    EXPECT_EQ(bytesOf(data / "channels.dat"), bytesOf(winePath(VISTRELLE_DEMO_CATALOGUE)));

    const Shortcut link = readShortcut(shortcut);
    EXPECT_TRUE(fs::equivalent(link.target, programs / "vistrelle.exe")) << link.target;
    EXPECT_TRUE(fs::equivalent(link.folder, data)) << link.folder;

    const std::string folder = programs.string();
    const struct {
        const char* name;
        std::string value;
    } values[] = {
        {"DisplayName", "Vistrelle"},
        {"DisplayVersion", "1.0 Beta 3"},
        {"Publisher", "The Vistrelle developers"},
        {"DisplayIcon", folder + "\\vistrelle.exe,0"},
        {"InstallLocation", folder},
        {"UninstallString", "\"" + folder + "\\Uninstall.exe\""},
        {"QuietUninstallString", "\"" + folder + "\\Uninstall.exe\" /S"},
    };
    for (const auto& v : values) {
        EXPECT_EQ(registryText(v.name), v.value) << v.name;
    }
    DWORD size = 0;
    DWORD sizeBytes = sizeof size;
    RegGetValueA(HKEY_CURRENT_USER, kUninstallKey, "EstimatedSize", RRF_RT_REG_DWORD, nullptr,
                 &size, &sizeBytes);
    EXPECT_GT(size, 1000u);  // kilobytes: the two programs at least

    // The user's files, then an install over the first keeps them.
    const std::string mine = "Mine|One|1|||http://mine.example/|\r\n";
    std::ofstream(data / "channels.dat", std::ios::binary) << mine;
    std::ofstream(data / "favorites.dat", std::ios::binary) << mine;
    std::ofstream(data / "Config.ini", std::ios::binary) << "WMP Version = 1\r\n";
    ASSERT_EQ(run(setup), 0u);
    EXPECT_EQ(bytesOf(data / "channels.dat"), mine);

    // The uninstaller runs from a copy of itself and ends at once: its work shows afterwards.
    EXPECT_EQ(run(registryText("QuietUninstallString")), 0u);
    EXPECT_TRUE(eventually([&] {
        return !fs::exists(programs) && !fs::exists(shortcut) &&
               registryText("DisplayName") == "(none)";
    })) << entries(programs).size();
    EXPECT_EQ(entries(data), (Names{"Config.ini", "channels.dat", "favorites.dat"}));
    EXPECT_EQ(bytesOf(data / "channels.dat"), mine);
    EXPECT_EQ(bytesOf(data / "favorites.dat"), mine);
}

}  // namespace
}  // namespace vistrelle::testing
