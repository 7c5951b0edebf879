// The platform's message queue on GTK: one iteration of the default main context is one message.
#pragma once

#include <cstdint>
#include <functional>

#include "ui/window_layer.h"

namespace vistrelle::gtk {

// Passes what the widgets report to the program's sink, and remembers whether the message being
// dispatched was the window manager's close request.
class EventRouter final : public EventSink {
public:
    void setSink(EventSink* sink) { sink_ = sink; }

    void closeRequested(int32_t window) override;
    void sizeChanged(int32_t window) override;
    void menuCommand(int32_t command) override;
    void controlEvent(int32_t control, int32_t type) override;
    void notification(int32_t code, int32_t item) override;
    void sessionEnding(bool displayGone) override;
    void mediaCommand(MediaCommand command, double value) override;

    // Whether a close request came in since the last call; clears the mark.
    bool takeUserClose();

private:
    EventSink* sink_ = nullptr;
    bool userClose_ = false;
};

class GtkEventPump final : public EventPump {
public:
    explicit GtkEventPump(EventRouter& router) : router_(router) {}
    bool pumpMessage(bool wait, uint32_t& wParam) override;
    void sleepMilliseconds(int32_t ms) override;
    int64_t monotonicMilliseconds() override;

    // Called once, the first time the program waits for a message: its start-up is over.
    std::function<void()> firstWait;

private:
    EventRouter& router_;
};

}  // namespace vistrelle::gtk
