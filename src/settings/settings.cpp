#include "settings/settings.h"

#include <algorithm>

#include "ui/ids.h"
#include "ui/window_layer.h"
#include "settings/config_document.h"

namespace vistrelle {

namespace {

// The low 8 bits of a stored number, as a signed byte (258 gives 2, 255 gives -1).
int8_t lowByte(int32_t value) {
    return static_cast<int8_t>(static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFFu));
}

// The option buttons for playerVersion 0, 1 and 2.
constexpr int32_t kVersionOptions[] = {kOptionNewest, kOption64, kOptionOlder};

// Halves rounded down, also for a negative difference.
int64_t centredStart(int32_t ownerStart, int32_t ownerLength, int32_t ownLength) {
    int64_t difference = int64_t{ownerLength} - ownLength;
    int64_t half = difference >= 0 ? difference / 2 : -((-difference + 1) / 2);
    return std::clamp<int64_t>(int64_t{ownerStart} + half, 0, INT32_MAX);
}

}  // namespace

int8_t loadSettings() {
    ConfigDocument document;
    document.open(kConfigFile);
    int8_t playerVersion = lowByte(document.readInteger(kPlayerVersionKey, 0));
    document.close();
    return playerVersion;
}

void saveSettings(int8_t playerVersion) {
    ConfigDocument document;
    document.open(kConfigFile);
    if (lowByte(document.readInteger(kPlayerVersionKey, 0)) != playerVersion) {
        document.writeInteger(kPlayerVersionKey, playerVersion);
    }
    document.close();
}

Rect centreOver(const Rect& owner, const Size& dialogFrame) {
    return {static_cast<int32_t>(centredStart(owner.left, owner.width, dialogFrame.width)),
            static_cast<int32_t>(centredStart(owner.top, owner.height, dialogFrame.height)),
            dialogFrame.width, dialogFrame.height};
}

bool openOwnedDialog(WindowUi& windows, const WindowDef& def) {
    Rect frame = centreOver(windows.windowFrame(kMainWindow),
                            windows.frameSizeForClient(def.id, def.client, false));
    if (!windows.openDialog(def.id, def.title, frame)) {
        return false;
    }
    windows.setWindowEnabled(kMainWindow, false);
    // The smaller tool-window caption would shrink the client area: set it again.
    windows.makeToolWindow(def.id, def.client);
    if (!windows.createControls(def.id)) {
        closeOwnedDialog(windows, def.id);
        return false;
    }
    return true;
}

void closeOwnedDialog(WindowUi& windows, int32_t window) {
    windows.closeDialog(window);
    windows.setWindowEnabled(kMainWindow, true);
}

void openSettingsWindow(WindowUi& windows, int8_t playerVersion) {
    if (!openOwnedDialog(windows, settingsWindowDef())) {
        return;
    }
    if (playerVersion >= 0 && playerVersion < 3) {
        windows.setOptionChecked(kVersionOptions[playerVersion], true);
    }
}

void acceptSettings(WindowUi& windows, int8_t& playerVersion) {
    if (windows.optionChecked(kOptionNewest)) {
        playerVersion = 0;
    } else if (windows.optionChecked(kOption64)) {
        playerVersion = 1;
    } else {
        playerVersion = 2;
    }
    cancelSettings(windows);
}

void cancelSettings(WindowUi& windows) {
    closeOwnedDialog(windows, kSettingsWindow);
}

}  // namespace vistrelle
