// A window layer kept in memory, for testing the program without a display. It records what the
// program asked for and answers from scripts the test sets up.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/ids.h"
#include "ui/window_layer.h"

namespace vistrelle::testing {

struct MessageBoxCall {
    std::string title;
    std::string text;
    MessageIcon icon = MessageIcon::Plain;
    MessageButtons buttons = MessageButtons::Ok;
    friend bool operator==(const MessageBoxCall&, const MessageBoxCall&) = default;
};

class MemoryChannelList final : public ChannelListUi {
public:
    void rowsReset(const ListRows& rows) override;
    void rowRemoved(const ListRows& rows, int32_t row) override;
    void rowRepaint(const ListRows& rows, int32_t row) override;
    int32_t selectedRow() override { return selected; }
    void selectRow(int32_t row) override { selected = row; }

    // What the list shows now (read through the rows it was given).
    int32_t rowCount() const;
    std::string rowText(int32_t row) const;
    std::vector<std::string> rowTexts() const;
    std::optional<Rgb> background(int32_t row, int32_t column = 0) const;

    int32_t selected = -1;
    int32_t resets = 0;
    std::vector<int32_t> removed;
    std::vector<int32_t> repainted;
    const ListRows* rows = nullptr;
};

class MemoryCountrySelector final : public CountrySelectorUi {
public:
    void appendItem(std::string_view text) override { items.emplace_back(text); }
    int32_t selectedIndex() override { return selected; }
    void select(int32_t index) override;
    std::string selectedText() override;

    std::vector<std::string> items;
    int32_t selected = -1;
};

class MemorySearchField final : public SearchFieldUi {
public:
    std::string text() override { return typed; }
    void clear() override { typed.clear(); }

    std::string typed;
};

class MemoryWebDocument;

class MemoryWebView final : public WebView {
public:
    std::optional<std::string> locationUrl() override;
    void navigate(std::string_view url) override;
    bool busy() override;
    std::unique_ptr<WebDocument> document() override;
    void hostStream(std::unique_ptr<StreamPlan> stream) override {
        streams.emplace_back(stream->address(), writes);
    }
    void controlMedia(MediaAction action, double volume) override {
        mediaActions.emplace_back(action, volume);
    }

    std::string location;        // "" until navigated
    bool locationFails = false;  // locationUrl() fails
    int32_t busyPolls = 0;       // busy() answers true this many more times
    bool alwaysBusy = false;
    bool hasDocument = true;  // document() gives one
    bool writeFails = false;  // the document cannot take the page
    std::vector<std::string> navigations;
    // "location", "navigate <url>", "busy", "document", "write", "close"
    std::vector<std::string> log;
    std::string shown;    // the page after the last close
    std::string pending;  // written since the last close
    int32_t writes = 0;
    int32_t closes = 0;
    std::vector<std::pair<std::string, int32_t>> streams;  // address, writes before it
    std::vector<std::pair<MediaAction, double>> mediaActions;
};

class MemoryWindows final : public WindowUi {
public:
    MemoryWindows();
    Size screenSize() override { return screen; }
    Size frameSizeForClient(int32_t window, Size client, bool tool) override;
    bool createMainWindow(const Rect& frame, std::string_view title) override;
    void createMenus() override { calls.push_back("createMenus"); }
    void createStatusBar() override { calls.push_back("createStatusBar"); }
    bool createControls(int32_t window) override;
    void addHelpAccelerator(int32_t window, int32_t command) override;
    ChannelListUi& channelList() override { return list; }
    CountrySelectorUi& countrySelector() override { return selector; }
    SearchFieldUi& searchField() override { return search; }
    WebView* webView() override { return webViewExists ? &web : nullptr; }
    Rect windowFrame(int32_t window) override;
    Size layoutSize() override { return layout; }
    bool isMaximized() override { return maximized; }
    void setClientWidth(int32_t width) override;
    void redrawNow() override { calls.push_back("redrawNow"); }
    void placeControl(int32_t control, const Rect& rect) override;
    void setControlVisible(int32_t control, bool visible) override;
    void setControlText(int32_t control, std::string_view text,
                        std::string_view accessibleName) override;
    bool menuItemChecked(int32_t command) override { return checked[command]; }
    void setMenuItemChecked(int32_t command, bool on) override { checked[command] = on; }
    void setTopmost(bool on) override { topmost = on; }
    void showPopupMenu(int32_t menu, PopupPlace place) override {
        popups.push_back(menu);
        popupPlaces.push_back(place);
    }
    int64_t nativeHandle() override { return handle; }
    void setStatusText(std::string_view text) override;
    bool openDialog(int32_t window, std::string_view title, const Rect& frame) override;
    void makeToolWindow(int32_t window, Size client) override;
    void closeDialog(int32_t window) override;
    void setWindowEnabled(int32_t window, bool on) override { enabled[window] = on; }
    bool isWindowOpen(int32_t window) override { return open[window]; }
    void setOptionChecked(int32_t control, bool on) override;
    bool optionChecked(int32_t control) override { return options[control]; }
    MessageAnswer showMessage(std::string_view title, std::string_view text, MessageIcon icon,
                              MessageButtons buttons) override;
    void destroyAllWindows() override;

    MemoryChannelList list;
    MemoryCountrySelector selector;
    MemorySearchField search;
    MemoryWebView web;
    bool webViewExists = true;
    bool mainWindowFails = false;
    bool dialogFails = false;         // openDialog fails
    bool dialogControlsFail = false;  // a dialog opens but cannot take its controls
    Size screen{1024, 768};
    Size layout{500, 340};  // W and H as the program reads them
    int32_t menuHeight = 20;
    bool maximized = false;
    Rect mainFrame{};
    int64_t handle = 4242;
    std::string title;
    std::string statusText;
    std::vector<std::string> statusHistory;
    std::map<int32_t, bool> checked;
    bool topmost = false;
    std::vector<int32_t> popups;
    std::vector<PopupPlace> popupPlaces;
    std::map<int32_t, Rect> placed;  // last rectangle per control
    std::vector<std::pair<int32_t, Rect>> placements;
    std::map<int32_t, bool> visible;
    std::map<int32_t, std::string> texts;
    std::map<int32_t, std::string> accessibleNames;
    std::map<int32_t, bool> enabled;
    std::map<int32_t, bool> open;
    std::map<int32_t, Rect> dialogFrames;
    std::map<int32_t, std::string> dialogTitles;
    std::map<int32_t, bool> options;
    std::vector<MessageBoxCall> messages;
    std::deque<MessageAnswer> answers;  // what the next message boxes return (default: Ok, No)
    std::function<MessageAnswer(const MessageBoxCall&)> onMessage;  // when set, answers instead
    std::vector<std::string> calls;  // in order: what the program asked for
};

class MemoryEvents final : public EventPump {
public:
    bool dispatchNext(bool wait) override;
    void sleepMilliseconds(int32_t ms) override;
    int64_t monotonicMilliseconds() override { return now; }

    // One thing that happens on the platform: what its dispatch reports to the sink.
    using Message = std::function<void(EventSink&)>;
    void push(Message dispatch);
    void pushClose(int32_t window, CloseSource source);
    void pushMenu(int32_t command);
    void pushControl(int32_t control, ControlAction action = ControlAction::Used);
    void pushSessionEnd(bool displayGone);

    EventSink* sink = nullptr;
    std::deque<Message> messages;
    int64_t now = 0;
    std::vector<int32_t> sleeps;
    // Called when the loop would wait with nothing left: by default pushes an Exit command so
    // that a test never hangs.
    std::function<void(MemoryEvents&)> onIdle;
};

class MemoryLauncher final : public Launcher {
public:
    std::string updaterProgram() override { return updaterName; }
    bool startProgram(const LaunchRequest& request) override;
    bool openWebAddress(std::string_view url) override;
    void loadHelpViewer() override { helpLoaded = true; }
    bool showHelpFile(std::string_view file) override;
    void closeHelpViewer() override { helpClosed++; }

    std::string updaterName = "channel-updater";
    std::vector<LaunchRequest> started;
    std::vector<std::string> opened;
    std::deque<bool> startResults;                      // default true
    std::function<void(const LaunchRequest&)> onStart;  // e.g. writes channels.dat
    bool openResult = true;
    bool helpLoaded = false;
    bool helpAvailable = true;
    std::vector<std::string> helpShown;
    int32_t helpClosed = 0;
};

// Thrown by exitProcess so that a test can see the end of the fault path.
struct ProcessExit {
    int32_t code;
};

class MemoryFaults final : public FaultHook {
public:
    void install(void (*handler)(uint32_t)) override { installed = handler; }
    void restore() override {
        restored++;
        installed = nullptr;
    }
    void showReport(std::string_view title, std::string_view text, MessageIcon icon,
                    MessageButtons buttons) override;
    [[noreturn]] void exitProcess(int32_t code) override { throw ProcessExit{code}; }

    void (*installed)(uint32_t) = nullptr;
    int32_t restored = 0;
    std::vector<MessageBoxCall> reports;
};

class MemoryMediaControls final : public MediaControlsUi {
public:
    void publish(const MediaState& state) override { states.push_back(state); }
    void raiseWindow() override { raises++; }

    std::vector<MediaState> states;
    int32_t raises = 0;
};

class MemoryLayer final : public WindowLayer {
public:
    void attach(EventSink& sink) override { events_.sink = &sink; }
    WindowUi& windows() override { return windows_; }
    EventPump& events() override { return events_; }
    Launcher& launcher() override { return launcher_; }
    FaultHook& faults() override { return faults_; }
    MediaControlsUi* mediaControls() override { return &media_; }

    MemoryWindows& ui() { return windows_; }
    MemoryMediaControls& media() { return media_; }
    MemoryEvents& pump() { return events_; }
    MemoryLauncher& launches() { return launcher_; }
    MemoryFaults& faultHook() { return faults_; }

private:
    MemoryWindows windows_;
    MemoryEvents events_;
    MemoryLauncher launcher_;
    MemoryFaults faults_;
    MemoryMediaControls media_;
};

}  // namespace vistrelle::testing
