// Identifiers fixed throughout the program: windows, controls, menus and menu commands.
#pragma once

#include <cstdint>

namespace vistrelle {

// Windows.
inline constexpr int32_t kMainWindow = 0;
inline constexpr int32_t kSettingsWindow = 1;
inline constexpr int32_t kAboutWindow = 2;

// Controls.
inline constexpr int32_t kNoControl = -1;
inline constexpr int32_t kWebView = 0;
inline constexpr int32_t kCountrySelector = 1;
inline constexpr int32_t kChannelList = 2;
inline constexpr int32_t kPanelToggle = 3;
inline constexpr int32_t kOptionNewest = 6;  // "7 and newer"
inline constexpr int32_t kOption64 = 7;      // "6.4"
inline constexpr int32_t kOptionOlder = 8;   // "Older"
inline constexpr int32_t kSettingsOk = 9;
inline constexpr int32_t kSettingsCancel = 10;
inline constexpr int32_t kAboutPanel = 11;
inline constexpr int32_t kAboutProduct = 12;
inline constexpr int32_t kAboutText = 13;
inline constexpr int32_t kAboutWebpage = 14;
inline constexpr int32_t kAboutClose = 15;

// Menus.
inline constexpr int32_t kMenuBar = 0;
inline constexpr int32_t kPopupMenuChannel = 1;
inline constexpr int32_t kPopupMenuFavorite = 2;

// Menu commands.
inline constexpr int32_t kCmdUpdateChannelList = 0;
inline constexpr int32_t kCmdExit = 1;
inline constexpr int32_t kCmdAlwaysOnTop = 2;
inline constexpr int32_t kCmdSettings = 3;
inline constexpr int32_t kCmdHelp = 4;
inline constexpr int32_t kCmdCheckForUpdates = 5;
inline constexpr int32_t kCmdAbout = 6;
inline constexpr int32_t kCmdWatch = 7;
inline constexpr int32_t kCmdFavorite = 8;  // add or remove: the selector decides
inline constexpr int32_t kCmdVisitHomepage = 9;

}  // namespace vistrelle
