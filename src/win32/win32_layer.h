// The Win32 window layer: USER32, COMCTL32 version 6, GDI32, the WebBrowser control in an ATL
// host, the shell and HTML Help. It carries out the program's requests and reports what its
// windows see; every decision stays with the program.
#pragma once

#include <windows.h>
// clang-format off
#include <commctrl.h>
#include <exdisp.h>
#include <mshtml.h>
// clang-format on

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/ids.h"
#include "ui/window_layer.h"

namespace vistrelle::win32 {

// The window classes of the program's windows and of the borderless panel.
inline constexpr const char* kWindowClass = "VistrelleWindow";
inline constexpr const char* kPanelClass = "VistrellePanel";
// Posted to MainWindow for a channelList notification, once the list has updated its selection;
// wParam is the event type.
inline constexpr UINT kListEventMessage = WM_APP + 1;
// Accelerator commands that move the keyboard focus (never reported to the program).
inline constexpr WORD kTabNextCommand = 0xFFF0;
inline constexpr WORD kTabPreviousCommand = 0xFFF1;
inline constexpr int kStatusBarId = 100;
inline constexpr int kWindowCount = 3;
inline constexpr int kControlIdCount = 16;

class ListView final : public ChannelListUi {
public:
    void rowsReset(const ListRows& rows) override;
    void rowRemoved(const ListRows& rows, int32_t row) override;
    void rowRepaint(const ListRows& rows, int32_t row) override;
    int32_t selectedRow() override;
    void selectRow(int32_t row) override;

    // Serves the virtual list: texts and per-column colours.
    void fillDisplayInfo(NMHDR* header);
    LRESULT customDraw(NMLVCUSTOMDRAW* draw);
    // Answers LVN_ODFINDITEM: the row the program finds for the text the user typed, or -1.
    LRESULT findItem(NMHDR* header);

    HWND hwnd = nullptr;
    const ListRows* rows = nullptr;
};

class ComboBox final : public CountrySelectorUi {
public:
    void appendItem(std::string_view text) override;
    int32_t selectedIndex() override;
    void select(int32_t index) override;
    std::string selectedText() override;

    HWND hwnd = nullptr;
};

class BrowserView final : public WebView {
public:
    ~BrowserView() override;
    // Makes the ATL host with the WebBrowser control; false when it cannot be made.
    bool create(HWND parent, const Rect& rect, int32_t id);
    void destroy();

    std::optional<std::string> locationUrl() override;
    void navigate(std::string_view url) override;
    bool busy() override;
    std::unique_ptr<WebDocument> document() override;

    HWND hwnd = nullptr;
    IWebBrowser2* browser = nullptr;  // also in the host window's user-data slot
};

class Windows final : public WindowUi {
public:
    Windows();
    ~Windows() override;

    Size screenSize() override;
    Size frameSizeForClient(int32_t window, Size client, bool tool) override;
    bool createMainWindow(const Rect& frame, std::string_view title) override;
    void installWindowCallback() override { callbackInstalled_ = true; }
    void useReducedFlickerErase() override { reducedErase_ = true; }
    void createMenus() override;
    void createStatusBar() override;
    bool createControls(int32_t window) override;
    void addHelpAccelerator(int32_t window, int32_t command) override;
    ChannelListUi& channelList() override { return list_; }
    CountrySelectorUi& countrySelector() override { return combo_; }
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
    void showPopupMenu(int32_t menu) override;
    int64_t nativeHandle() override;
    void setStatusText(std::string_view text) override;
    bool openDialog(int32_t window, std::string_view title, const Rect& frame) override;
    void makeToolWindow(int32_t window, Size client) override;
    void closeDialog(int32_t window) override;
    void setWindowEnabled(int32_t window, bool enabled) override;
    bool isWindowOpen(int32_t window) override;
    void setOptionChecked(int32_t control, bool checked) override;
    bool optionChecked(int32_t control) override;
    int32_t showMessage(std::string_view title, std::string_view text, uint32_t flags) override;
    void destroyAllWindows() override;

    // For the window procedure and the event pump.
    int32_t windowId(HWND hwnd) const;  // -1 when not a program window
    void adoptWindow(int32_t window, HWND hwnd);
    HWND window(int32_t id) const;
    HWND control(int32_t id) const;
    HACCEL acceleratorsOf(HWND hwnd) const;
    bool callbackInstalled() const { return callbackInstalled_; }
    bool reducedErase() const { return reducedErase_; }
    HWND statusBar() const { return status_; }
    HBRUSH whiteBrush() const { return whiteBrush_; }
    bool hasWhiteBackground(HWND control) const;
    ListView& list() { return list_; }
    void moveFocus(int32_t window, bool forward);
    void forgetWindow(HWND hwnd);

private:
    void addAccelerator(int32_t window, ACCEL accel);
    void destroyControlsOf(int32_t window);
    HWND makeControl(int32_t window, const ControlDef& def, HWND parent, bool startsGroup);

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
    bool callbackInstalled_ = false;
    bool reducedErase_ = false;
    ListView list_;
    ComboBox combo_;
    BrowserView web_;
};

class MessagePump final : public EventPump {
public:
    explicit MessagePump(Windows& windows) : windows_(windows) {}
    bool pumpMessage(bool wait, uint32_t& wParam) override;
    void sleepMilliseconds(int32_t ms) override;
    int64_t monotonicMilliseconds() override;

private:
    Windows& windows_;
};

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

class ExceptionFilter final : public FaultHook {
public:
    void install(void (*handler)(uint32_t code)) override;
    void restore() override;
    void showReport(std::string_view title, std::string_view text, uint32_t flags) override;
    [[noreturn]] void exitProcess(int32_t code) override;
};

class Win32Layer final : public WindowLayer {
public:
    Win32Layer();
    ~Win32Layer() override;
    Win32Layer(const Win32Layer&) = delete;
    Win32Layer& operator=(const Win32Layer&) = delete;

    void attach(EventSink& sink) override { sink_ = &sink; }
    WindowUi& windows() override { return windows_; }
    EventPump& events() override { return pump_; }
    Launcher& launcher() override { return launcher_; }
    FaultHook& faults() override { return faults_; }

    EventSink* sink() const { return sink_; }
    Windows& ui() { return windows_; }

    // The layer of this process (one at a time), for the window procedures.
    static Win32Layer* current();

private:
    EventSink* sink_ = nullptr;
    Windows windows_;
    MessagePump pump_{windows_};
    ShellLauncher launcher_;
    ExceptionFilter faults_;
};

// Registers the program's window classes once per process.
bool registerWindowClasses();

// The window procedures (one for all program windows, one for the panel, one for channelList).
LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK panelProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK listViewProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Routes channelList's own messages through listViewProcedure first.
void subclassListView(HWND list);

// The whole program on the calling thread: common controls, OLE, the layer and the program.
// Returns the exit code.
int runProgram();

}  // namespace vistrelle::win32
