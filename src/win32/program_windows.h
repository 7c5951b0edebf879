// MainWindow, SettingsWindow and AboutWindow on Win32, with their controls, menus, keyboard
// shortcuts and the message box. The work is shared out by subject: program_windows.cpp (the
// windows themselves), controls.cpp (one maker per kind of control), menus.cpp, keyboard.cpp
// (shortcuts and Tab), message_box.cpp.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <vector>

#include "ui/window_layer.h"
#include "win32/combo_box.h"
#include "win32/list_view.h"
#include "win32/search_field.h"
#include "win32/web_view.h"

namespace vistrelle::win32 {

inline constexpr int kWindowCount = 3;
inline constexpr int kControlIdCount = 16;

class Windows final : public WindowUi {
public:
    Windows();
    ~Windows() override;

    Size screenSize() override;
    Size frameSizeForClient(int32_t window, Size client, bool tool) override;
    bool createMainWindow(const Rect& frame, std::string_view title) override;
    void createMenus() override;
    void createStatusBar() override;
    bool createControls(int32_t window) override;
    void addHelpAccelerator(int32_t window, int32_t command) override;
    ChannelListUi& channelList() override { return list_; }
    CountrySelectorUi& countrySelector() override { return combo_; }
    SearchFieldUi& searchField() override { return search_; }
    WebView* webView() override { return web_.hwnd ? &web_ : nullptr; }
    Rect windowFrame(int32_t window) override;
    Size layoutSize() override;
    bool isMaximized() override;
    void setClientWidth(int32_t width) override;
    void redrawNow() override;
    void placeControl(int32_t control, const Rect& rect) override;
    void setControlVisible(int32_t control, bool visible) override;
    void setControlText(int32_t control, std::string_view text,
                        std::string_view accessibleName) override;
    bool menuItemChecked(int32_t command) override;
    void setMenuItemChecked(int32_t command, bool checked) override;
    void setTopmost(bool topmost) override;
    void showPopupMenu(int32_t menu, PopupPlace place) override;
    int64_t nativeHandle() override;
    void setStatusText(std::string_view text) override;
    bool openDialog(int32_t window, std::string_view title, const Rect& frame) override;
    void makeToolWindow(int32_t window, Size client) override;
    void closeDialog(int32_t window) override;
    void setWindowEnabled(int32_t window, bool enabled) override;
    bool isWindowOpen(int32_t window) override;
    void setOptionChecked(int32_t control, bool checked) override;
    bool optionChecked(int32_t control) override;
    MessageAnswer showMessage(std::string_view title, std::string_view text, MessageIcon icon,
                              MessageButtons buttons) override;
    void destroyAllWindows() override;

    // For the window procedures and the message pump.
    int32_t windowId(HWND hwnd) const;  // -1 when not a program window
    void adoptWindow(int32_t window, HWND hwnd);
    HWND window(int32_t id) const;
    HWND control(int32_t id) const;
    HACCEL acceleratorsOf(HWND hwnd) const;
    HWND statusBar() const { return status_; }
    // The brush of a control drawn on white, or null for the others.
    HBRUSH whiteBrushFor(HWND control) const;
    ListView& list() { return list_; }
    void moveFocus(int32_t window, bool forward);
    // A keyboard shortcut that puts the focus in a control (Ctrl+F, a label's access key): true
    // when `command` is one, which has then been carried out.
    bool focusByShortcut(int32_t window, WORD command);
    void forgetWindow(HWND hwnd);
    // The window being closed through the system Close command (the close box, the window
    // menu, Alt+F4): its close request comes from the user. Null at other times.
    HWND userClosing = nullptr;

private:
    // A program window of the class the window procedure serves, owned by `owner`.
    HWND openWindow(int32_t window, std::string_view title, const Rect& frame, DWORD style,
                    HWND owner);
    void addAccelerator(int32_t window, ACCEL accel);
    void addTabAccelerators(int32_t window);
    void addFocusAccelerator(int32_t window, BYTE modifiers, char key, int32_t control);
    void destroyControlsOf(int32_t window);
    HFONT fontFor(FontKind kind);

    std::array<HWND, kWindowCount> windows_{};
    std::array<HWND, kControlIdCount> controls_{};
    std::array<std::vector<HWND>, kWindowCount> creationOrder_;  // every control
    // The controls Tab stops at, in creation order. Kept apart from the WS_TABSTOP style, which
    // an option button drops whenever it is unchecked.
    std::array<std::vector<HWND>, kWindowCount> tabStops_;
    std::array<std::vector<ACCEL>, kWindowCount> accelerators_;
    std::array<HACCEL, kWindowCount> acceleratorTables_{};
    std::vector<HWND> whiteControls_;
    HMENU menuBar_ = nullptr;
    std::array<HMENU, 3> popups_{};
    HWND status_ = nullptr;
    HFONT productFont_ = nullptr;
    HBRUSH whiteBrush_ = nullptr;
    ListView list_;
    ComboBox combo_;
    SearchField search_;
    BrowserView web_;
};

}  // namespace vistrelle::win32
