// What the program asks of a platform. The Win32 and GTK window layers implement these classes;
// the tests use an in-memory one. A window layer carries requests out and reports what happened:
// every decision (what to show, where, when, and what an event means) is made by the program.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ui/events.h"
#include "ui/list_rows.h"
#include "ui/media_controls.h"
#include "ui/message_box.h"
#include "ui/stream_plan.h"
#include "ui/window_defs.h"

namespace vistrelle {

// Receives what the window layer sees while it dispatches what happened on the platform.
// Implemented by the program (the event queue).
class EventSink {
public:
    virtual ~EventSink() = default;
    // A window was asked to close; it stays open until the program closes it.
    virtual void closeRequested(int32_t window, CloseSource source) = 0;
    virtual void sizeChanged(int32_t window) = 0;   // any size change except a minimise
    virtual void menuCommand(int32_t command) = 0;  // menu item or keyboard shortcut
    virtual void controlEvent(int32_t control, ControlAction action) = 0;
    // A click on the header of channelList's column `column` (its own index, wherever the user
    // dragged it). Runs at once, inside the dispatch.
    virtual void headerClicked(int32_t column) = 0;
    // The desktop session is ending (logout, shutdown, a termination signal) or the display
    // connection is gone (`displayGone`: no window may be touched any more). May come from
    // inside any inner loop (a message box, a wait). The program saves what must survive and
    // ends the process: the call does not come back.
    virtual void sessionEnding(bool displayGone) = 0;
    // A command of the desktop's media controls; `value` is the volume of SetVolume.
    virtual void mediaCommand(MediaCommand command, double value) = 0;
};

// The platform's queue of what happens to the program's windows.
class EventPump {
public:
    virtual ~EventPump() = default;
    // Takes the next thing that happened on the platform (waiting for one when `wait` is set)
    // and dispatches it, reporting its events to the sink; keyboard shortcuts work only in the
    // active window that owns them. False when `wait` is off and nothing was pending, or when
    // the platform has nothing left to give (its connection is gone).
    virtual bool dispatchNext(bool wait) = 0;
    virtual void sleepMilliseconds(int32_t ms) = 0;
    // Milliseconds from an arbitrary start, for the bound on waiting for the browser.
    virtual int64_t monotonicMilliseconds() = 0;
};

// channelList. The rows live in the program (ChannelRows, behind ListRows); the layer shows them.
class ChannelListUi {
public:
    virtual ~ChannelListUi() = default;
    // All rows may have changed (count, texts, colours); the selection is gone.
    virtual void rowsReset(const ListRows& rows) = 0;
    // The row at `row` was removed; the rows after it moved up by one.
    virtual void rowRemoved(const ListRows& rows, int32_t row) = 0;
    // The colours of one row changed.
    virtual void rowRepaint(const ListRows& rows, int32_t row) = 0;
    virtual int32_t selectedRow() = 0;  // 0-based, -1 when none
    // Selects `row` alone, as a click on it does, and scrolls it into view.
    virtual void selectRow(int32_t row) = 0;
};

// countrySelector.
class CountrySelectorUi {
public:
    virtual ~CountrySelectorUi() = default;
    virtual void appendItem(std::string_view text) = 0;
    virtual int32_t selectedIndex() = 0;  // -1 when none
    virtual void select(int32_t index) = 0;
    virtual std::string selectedText() = 0;
};

// The search field below channelList.
class SearchFieldUi {
public:
    virtual ~SearchFieldUi() = default;
    // What the field holds, as UTF-8.
    virtual std::string text() = 0;
    // Empties the field (which may be reported as typing is).
    virtual void clear() = 0;
};

// A document of the web view, taken for one write.
class WebDocument {
public:
    virtual ~WebDocument() = default;  // releases the document
    // Hands the whole page to the document in one write. True when the write was made (its own
    // result is not looked at); false when the page could not be prepared for it.
    virtual bool write(std::string_view page) = 0;
    // Ends the document stream, so that the browser shows what was written.
    virtual void close() = 0;
};

// webView: the embedded browser.
class WebView {
public:
    virtual ~WebView() = default;
    // The current location; nullopt when the call failed. Empty before the first navigation.
    virtual std::optional<std::string> locationUrl() = 0;
    virtual void navigate(std::string_view url) = 0;
    virtual bool busy() = 0;
    // The current document ready for writing, or null when there is none.
    virtual std::unique_ptr<WebDocument> document() = 0;
    // The stream of the page written next. A view whose pages' player objects play by
    // themselves (Windows) has no use for it.
    virtual void hostStream(std::unique_ptr<StreamPlan> /*stream*/) {}
    // Acts on the media element of the page shown (`volume` for SetVolume, from 0 to 1).
    virtual void controlMedia(MediaAction /*action*/, double /*volume*/) {}
};

// The windows: MainWindow, SettingsWindow and AboutWindow.
class WindowUi {
public:
    virtual ~WindowUi() = default;

    // Building MainWindow, in the program's order.
    virtual Size screenSize() = 0;
    // The outer size of a window of this kind whose client area has `client` (main window: as if
    // it had no menu bar; dialogs: caption only, or with the tool-window caption when `tool`).
    virtual Size frameSizeForClient(int32_t window, Size client, bool tool) = 0;
    // Opens MainWindow with this outer frame and title, shown normally. False on failure. From
    // here on header clicks reach EventSink::headerClicked.
    virtual bool createMainWindow(const Rect& frame, std::string_view title) = 0;
    // Attaches menuBar and makes the two pop-up menus. A menu bar that cannot be made is left out.
    virtual void createMenus() = 0;
    virtual void createStatusBar() = 0;
    // Creates a window's controls from its table (WindowDef::controls), in order; false when
    // the window cannot take them. For MainWindow, a web view that cannot be made is left out
    // (the rest is still created). channelList gets channelListColumns(); countrySelector
    // starts empty.
    virtual bool createControls(int32_t window) = 0;
    // F1 as a keyboard shortcut of `window` producing `command`.
    virtual void addHelpAccelerator(int32_t window, int32_t command) = 0;

    // Children of MainWindow.
    virtual ChannelListUi& channelList() = 0;
    virtual CountrySelectorUi& countrySelector() = 0;
    virtual SearchFieldUi& searchField() = 0;
    // webView; null when it could not be created.
    virtual WebView* webView() = 0;

    // MainWindow's geometry and state.
    virtual Rect windowFrame(int32_t window) = 0;  // outer rectangle on the screen
    // W and H of the layout: the client width, and the client height plus the menu bar height.
    virtual Size layoutSize() = 0;
    virtual bool isMaximized() = 0;
    // New client width of MainWindow; client height, left and top edges kept; no activation
    // and no change of z-order.
    virtual void setClientWidth(int32_t width) = 0;
    virtual void redrawNow() = 0;  // finish pending paints of MainWindow at once
    virtual void placeControl(int32_t control, const Rect& rect) = 0;  // move and repaint
    virtual void setControlVisible(int32_t control, bool visible) = 0;
    // A button's caption, and what it now does for screen readers (empty: the caption says it).
    virtual void setControlText(int32_t control, std::string_view text,
                                std::string_view accessibleName) = 0;
    virtual bool menuItemChecked(int32_t command) = 0;
    virtual void setMenuItemChecked(int32_t command, bool checked) = 0;
    virtual void setTopmost(bool topmost) = 0;  // without moving or resizing
    // Shows a pop-up menu at `place`; MainWindow becomes the foreground window first. The chosen
    // item comes back later as a menu command.
    virtual void showPopupMenu(int32_t menu, PopupPlace place) = 0;
    // MainWindow as the window system numbers it (the updater is given it), or 0.
    virtual int64_t nativeHandle() = 0;
    virtual void setStatusText(std::string_view text) = 0;

    // Dialogs (SettingsWindow, AboutWindow).
    // Opens `window` (caption only, owned by MainWindow) at `frame`, shown and active. False
    // when it cannot be opened.
    virtual bool openDialog(int32_t window, std::string_view title, const Rect& frame) = 0;
    // Adds the tool-window style and sets the client size again, keeping the top-left corner.
    virtual void makeToolWindow(int32_t window, Size client) = 0;
    // Closes `window`: MainWindow becomes the active window, `window` and its controls are
    // destroyed.
    virtual void closeDialog(int32_t window) = 0;
    virtual void setWindowEnabled(int32_t window, bool enabled) = 0;
    virtual bool isWindowOpen(int32_t window) = 0;
    virtual void setOptionChecked(int32_t control, bool checked) = 0;
    virtual bool optionChecked(int32_t control) = 0;

    // The program's modal message box; returns the button pressed. Owned by the foreground
    // window when it is the program's; the program's other enabled windows are disabled while
    // it is up.
    virtual MessageAnswer showMessage(std::string_view title, std::string_view text,
                                      MessageIcon icon, MessageButtons buttons) = 0;

    // Shutdown: destroys every window still open and frees fonts.
    virtual void destroyAllWindows() = 0;
};

// What a program start asks for. `commandLine` is the program's own text of it (quoted program
// name, then one space and the parameter when there is one).
struct LaunchRequest {
    std::string program;      // the name as given
    std::string parameter;    // possibly empty
    std::string commandLine;  // see above
    std::string shellFolder;  // the folder for the shell's attempt; empty for none
    bool wait = false;        // wait, without a time-out, until the program has ended
};

// Other software: programs, web addresses, the help viewer.
class Launcher {
public:
    virtual ~Launcher() = default;
    // The updater's file name on this platform.
    virtual std::string updaterProgram() = 0;
    // Starts a program, itself or else through the desktop's shell. True when something was
    // started (and, with `wait`, has ended).
    virtual bool startProgram(const LaunchRequest& request) = 0;
    // Hands a web address (http or https) to the desktop's handler, as one argument.
    virtual bool openWebAddress(std::string_view url) = 0;
    // The help viewer: load its library, show a file, close every viewer the program opened.
    virtual void loadHelpViewer() = 0;
    virtual bool showHelpFile(std::string_view file) = 0;
    virtual void closeHelpViewer() = 0;
};

// The last-resort fault handler.
class FaultHook {
public:
    virtual ~FaultHook() = default;
    // Installs `handler` for unhandled run-time faults; it gets the fault's code as the fault
    // report's table knows them (0xC0000094 a division by zero, 0xC0000005 an invalid
    // access...). The handler never returns.
    virtual void install(void (*handler)(uint32_t code)) = 0;
    // Puts back the handler that was in place before.
    virtual void restore() = 0;
    // Shows the fault report as the program's message box does, from inside the handler (on
    // the faulting thread, or through a fresh process of the program), and returns when the
    // user has dismissed it.
    virtual void showReport(std::string_view title, std::string_view text, MessageIcon icon,
                            MessageButtons buttons) = 0;
    // Ends the process at once with this exit code, without running any more program code.
    [[noreturn]] virtual void exitProcess(int32_t code) = 0;
};

// One platform: the parts above, alive for the whole run.
class WindowLayer {
public:
    virtual ~WindowLayer() = default;
    // Called once before anything else: events found while dispatching go to `sink`.
    virtual void attach(EventSink& sink) = 0;
    virtual WindowUi& windows() = 0;
    virtual EventPump& events() = 0;
    virtual Launcher& launcher() = 0;
    virtual FaultHook& faults() = 0;
    // The desktop's media controls; null where the platform has none.
    virtual MediaControlsUi* mediaControls() { return nullptr; }
};

// Shows one of the program's messages (ui/texts.h).
inline MessageAnswer showMessage(WindowUi& windows, const MessageText& message) {
    return windows.showMessage(message.title, message.text, message.icon, message.buttons);
}

}  // namespace vistrelle
