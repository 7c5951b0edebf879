// The one setting (playerVersion), Config.ini, and the Settings window.
#pragma once

#include <cstdint>

#include "ui/window_defs.h"

namespace vistrelle {

class WindowUi;

inline constexpr const char* kConfigFile = "Config.ini";
inline constexpr const char* kPlayerVersionKey = "WMP Version";

// The setting stored in Config.ini: the low 8 bits of "WMP Version" as a signed byte, or 0.
int8_t loadSettings();
// Writes "WMP Version" to Config.ini when the low 8 bits of the stored value differ from
// playerVersion; compares with the file as it is now, not as it was read at start-up.
void saveSettings(int8_t playerVersion);

// The Settings window (window 1). Opening it disables MainWindow until Ok or Cancel.
void openSettingsWindow(WindowUi& windows, int8_t playerVersion);
// Ok: playerVersion from the checked option (2 when none is checked), then closes the window.
void acceptSettings(WindowUi& windows, int8_t& playerVersion);
// Cancel: closes the window; playerVersion stays.
void cancelSettings(WindowUi& windows);

// Where a dialog of `dialogFrame` size opens over a window whose outer frame is `owner`:
// centred, halves rounded down, each coordinate raised to 0 when negative.
Rect centreOver(const Rect& owner, const Size& dialogFrame);

// Opens a dialog owned by MainWindow, centred over it, with the tool-window caption and its
// controls, and disables MainWindow. False (and MainWindow still enabled) when the dialog
// could not be opened or could not take its controls.
bool openOwnedDialog(WindowUi& windows, const WindowDef& def);
// Closes such a dialog: MainWindow becomes active and enabled again.
void closeOwnedDialog(WindowUi& windows, int32_t window);

}  // namespace vistrelle
