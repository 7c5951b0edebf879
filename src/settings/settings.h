// The one setting (playerVersion), Config.ini, and the Settings window.
#pragma once

#include <cstdint>

namespace vistrelle {

class WindowUi;

inline constexpr const char* kConfigFile = "Config.ini";
inline constexpr const char* kPlayerVersionKey = "WMP Version";

// Reads "WMP Version" from Config.ini: its low 8 bits, or 0.
int8_t loadSettings();
// Writes "WMP Version" to Config.ini when its low 8 bits differ from playerVersion.
void saveSettings(int8_t playerVersion);

// The Settings window (window 1).
void openSettingsWindow(WindowUi& windows, int8_t playerVersion);
void acceptSettings(WindowUi& windows, int8_t& playerVersion);
void cancelSettings(WindowUi& windows);

// Where a dialog of `dialogFrame` size opens over a main window whose outer frame is `owner`:
// centred, halves rounded down, each coordinate raised to 0 when negative.
struct Rect;
struct Size;
Rect centreOver(const Rect& owner, const Size& dialogFrame);

}  // namespace vistrelle
