#include "fake/memory_layer.h"

#include <algorithm>

namespace vistrelle::testing {

// --- channelList

void MemoryChannelList::rowsReset(const ListRows& r) {
    rows = &r;
    resets++;
    selected = -1;
}

void MemoryChannelList::rowRemoved(const ListRows& r, int32_t row) {
    rows = &r;
    removed.push_back(row);
    if (selected == row) {
        selected = -1;
    } else if (selected > row) {
        selected--;
    }
}

void MemoryChannelList::rowRepaint(const ListRows& r, int32_t row) {
    rows = &r;
    repainted.push_back(row);
}

int32_t MemoryChannelList::rowCount() const {
    return rows ? rows->count() : 0;
}

std::string MemoryChannelList::rowText(int32_t row) const {
    return rows->text(row);
}

std::vector<std::string> MemoryChannelList::rowTexts() const {
    std::vector<std::string> texts;
    for (int32_t i = 0; i < rowCount(); ++i) {
        texts.push_back(rowText(i));
    }
    return texts;
}

std::optional<Rgb> MemoryChannelList::background(int32_t row, int32_t column) const {
    return rows->colours(row).background[static_cast<size_t>(column)];
}

// --- countrySelector

void MemoryCountrySelector::select(int32_t index) {
    selected = (index >= 0 && index < static_cast<int32_t>(items.size())) ? index : -1;
}

std::string MemoryCountrySelector::selectedText() {
    return selected >= 0 ? items[static_cast<size_t>(selected)] : std::string();
}

// --- webView

class MemoryWebDocument final : public WebDocument {
public:
    explicit MemoryWebDocument(MemoryWebView& view) : view_(view) {}
    bool write(std::string_view page) override {
        view_.log.push_back("write");
        if (view_.writeFails) {
            return false;
        }
        view_.pending.append(page);
        view_.writes++;
        return true;
    }
    void close() override {
        view_.log.push_back("close");
        view_.shown = view_.pending;
        view_.pending.clear();
        view_.closes++;
    }

private:
    MemoryWebView& view_;
};

std::optional<std::string> MemoryWebView::locationUrl() {
    log.push_back("location");
    if (locationFails) {
        return std::nullopt;
    }
    return location;
}

void MemoryWebView::navigate(std::string_view url) {
    log.push_back("navigate " + std::string(url));
    navigations.emplace_back(url);
    location = std::string(url);
}

bool MemoryWebView::busy() {
    log.push_back("busy");
    if (alwaysBusy) {
        return true;
    }
    if (busyPolls > 0) {
        busyPolls--;
        return true;
    }
    return false;
}

std::unique_ptr<WebDocument> MemoryWebView::document() {
    log.push_back("document");
    if (!hasDocument) {
        return nullptr;
    }
    return std::make_unique<MemoryWebDocument>(*this);
}

// --- windows

MemoryWindows::MemoryWindows() {
    enabled[kMainWindow] = true;
}

Size MemoryWindows::frameSizeForClient(int32_t window, Size client, bool tool) {
    // A thin border of 4 pixels and a caption of 24 (18 for tool windows).
    (void)window;
    return {client.width + 8, client.height + (tool ? 18 : 24) + 4};
}

bool MemoryWindows::createMainWindow(const Rect& frame, std::string_view text) {
    calls.push_back("createMainWindow");
    if (mainWindowFails) {
        return false;
    }
    mainFrame = frame;
    title = std::string(text);
    open[kMainWindow] = true;
    return true;
}

bool MemoryWindows::createControls(int32_t window) {
    calls.push_back("createControls " + std::to_string(window));
    if (window != kMainWindow && (dialogFails || dialogControlsFail)) {
        return false;
    }
    return true;
}

void MemoryWindows::addHelpAccelerator(int32_t window, int32_t command) {
    calls.push_back("addHelpAccelerator " + std::to_string(window) + " " + std::to_string(command));
}

Rect MemoryWindows::windowFrame(int32_t window) {
    if (window == kMainWindow) {
        return mainFrame;
    }
    return dialogFrames[window];
}

void MemoryWindows::setClientWidth(int32_t width) {
    calls.push_back("setClientWidth " + std::to_string(width));
    mainFrame.width += width - layout.width;
    layout.width = width;
}

void MemoryWindows::placeControl(int32_t control, const Rect& rect) {
    placed[control] = rect;
    placements.emplace_back(control, rect);
}

void MemoryWindows::setControlVisible(int32_t control, bool on) {
    visible[control] = on;
}

void MemoryWindows::setControlText(int32_t control, std::string_view text,
                                   std::string_view accessibleName) {
    texts[control] = std::string(text);
    accessibleNames[control] = std::string(accessibleName);
}

void MemoryWindows::setStatusText(std::string_view text) {
    statusText = std::string(text);
    statusHistory.push_back(statusText);
}

bool MemoryWindows::openDialog(int32_t window, std::string_view text, const Rect& frame) {
    calls.push_back("openDialog " + std::to_string(window));
    if (dialogFails) {
        return false;
    }
    open[window] = true;
    dialogFrames[window] = frame;
    dialogTitles[window] = std::string(text);
    return true;
}

void MemoryWindows::makeToolWindow(int32_t window, Size client) {
    calls.push_back("makeToolWindow " + std::to_string(window) + " " +
                    std::to_string(client.width) + "x" + std::to_string(client.height));
}

void MemoryWindows::closeDialog(int32_t window) {
    calls.push_back("closeDialog " + std::to_string(window));
    open[window] = false;
    if (window == kSettingsWindow) {
        for (int32_t id : {kOptionNewest, kOption64, kOptionOlder}) {
            options[id] = false;
        }
    }
}

void MemoryWindows::setOptionChecked(int32_t control, bool on) {
    if (on) {
        for (int32_t id : {kOptionNewest, kOption64, kOptionOlder}) {
            options[id] = false;
        }
    }
    options[control] = on;
}

MessageAnswer MemoryWindows::showMessage(std::string_view t, std::string_view text,
                                         MessageIcon icon, MessageButtons buttons) {
    MessageBoxCall call{std::string(t), std::string(text), icon, buttons};
    messages.push_back(call);
    if (onMessage) {
        return onMessage(call);
    }
    if (!answers.empty()) {
        MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

void MemoryWindows::destroyAllWindows() {
    calls.push_back("destroyAllWindows");
    for (auto& [id, isOpen] : open) {
        isOpen = false;
    }
}

// --- events

bool MemoryEvents::dispatchNext(bool wait) {
    if (messages.empty() && wait) {
        if (onIdle) {
            onIdle(*this);
        } else {
            pushMenu(kCmdExit);
        }
    }
    if (messages.empty()) {
        return false;
    }
    Message message = std::move(messages.front());
    messages.pop_front();
    if (message && sink) {
        message(*sink);
    }
    return true;
}

void MemoryEvents::sleepMilliseconds(int32_t ms) {
    sleeps.push_back(ms);
    now += ms;
}

void MemoryEvents::push(Message dispatch) {
    messages.push_back(std::move(dispatch));
}

void MemoryEvents::pushClose(int32_t window, CloseSource source) {
    push([window, source](EventSink& s) { s.closeRequested(window, source); });
}

void MemoryEvents::pushMenu(int32_t command) {
    push([command](EventSink& s) { s.menuCommand(command); });
}

void MemoryEvents::pushSessionEnd(bool displayGone) {
    push([displayGone](EventSink& s) { s.sessionEnding(displayGone); });
}

void MemoryEvents::pushControl(int32_t control, ControlAction action) {
    push([control, action](EventSink& s) { s.controlEvent(control, action); });
}

// --- launcher

bool MemoryLauncher::startProgram(const LaunchRequest& request) {
    started.push_back(request);
    bool result = true;
    if (!startResults.empty()) {
        result = startResults.front();
        startResults.pop_front();
    }
    if (result && onStart) {
        onStart(request);
    }
    return result;
}

bool MemoryLauncher::openWebAddress(std::string_view url) {
    opened.emplace_back(url);
    return openResult;
}

bool MemoryLauncher::showHelpFile(std::string_view file) {
    helpShown.emplace_back(file);
    return helpAvailable;
}

// --- faults

void MemoryFaults::showReport(std::string_view title, std::string_view text, MessageIcon icon,
                              MessageButtons buttons) {
    reports.push_back({std::string(title), std::string(text), icon, buttons});
}

}  // namespace vistrelle::testing
