// Identifiers fixed throughout the program, message box flags and the event codes.
#pragma once

#include <cstdint>

namespace vistrelle {

// Windows.
inline constexpr int32_t kMainWindow = 0;
inline constexpr int32_t kSettingsWindow = 1;
inline constexpr int32_t kAboutWindow = 2;

// Controls (also the Win32 control ids).
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

// Event types of channelList.
inline constexpr int32_t kListLeftClick = 0;
inline constexpr int32_t kListRightClick = 1;
inline constexpr int32_t kListDoubleClick = 2;
inline constexpr int32_t kListRightDoubleClick = 3;
inline constexpr int32_t kListSelectionChanged = 768;
inline constexpr int32_t kListBeginDrag = 14002;

// Message box flags and results (the MessageBox values).
inline constexpr uint32_t kMbOk = 0;
inline constexpr uint32_t kMbYesNo = 4;
inline constexpr uint32_t kMbIconExclamation = 48;
inline constexpr uint32_t kMbIconInformation = 64;
inline constexpr uint32_t kMbQuestion = kMbYesNo | kMbIconInformation;  // 68
inline constexpr int32_t kIdOk = 1;
inline constexpr int32_t kIdYes = 6;
inline constexpr int32_t kIdNo = 7;

// The platform message parameter that tells a user close (HTCLOSE, SC_CLOSE).
inline constexpr uint32_t kHitClose = 20;
inline constexpr uint32_t kSysCommandClose = 0xF060;

// Header click notification code of the list's header (HDN_ITEMCLICKA).
inline constexpr int32_t kHeaderItemClick = -302;

}  // namespace vistrelle
