// The platform's queue on GTK: one iteration of the default main context is one dispatch.
#pragma once

#include <cstdint>
#include <functional>

#include "ui/window_layer.h"

namespace vistrelle::gtk {

// Passes what the widgets report to the program's sink, while there is one.
class EventRouter final : public EventSink {
public:
    void setSink(EventSink* sink) { sink_ = sink; }

    void closeRequested(int32_t window, CloseSource source) override;
    void sizeChanged(int32_t window) override;
    void menuCommand(int32_t command) override;
    void controlEvent(int32_t control, ControlAction action) override;
    void headerClicked(int32_t column) override;
    void sessionEnding(bool displayGone) override;
    void mediaCommand(MediaCommand command, double value) override;

private:
    EventSink* sink_ = nullptr;
};

class GtkEventPump final : public EventPump {
public:
    bool dispatchNext(bool wait) override;
    void sleepMilliseconds(int32_t ms) override;
    int64_t monotonicMilliseconds() override;

    // Called once, the first time the program waits for a message: its start-up is over.
    std::function<void()> firstWait;
};

}  // namespace vistrelle::gtk
