#include "gtk/event_pump.h"

#include <glib.h>

#include <chrono>
#include <thread>

namespace vistrelle::gtk {

void EventRouter::closeRequested(int32_t window, CloseSource source) {
    if (sink_ != nullptr) {
        sink_->closeRequested(window, source);
    }
}

void EventRouter::sizeChanged(int32_t window) {
    if (sink_ != nullptr) {
        sink_->sizeChanged(window);
    }
}

void EventRouter::menuCommand(int32_t command) {
    if (sink_ != nullptr) {
        sink_->menuCommand(command);
    }
}

void EventRouter::controlEvent(int32_t control, ControlAction action) {
    if (sink_ != nullptr) {
        sink_->controlEvent(control, action);
    }
}

void EventRouter::headerClicked(int32_t column) {
    if (sink_ != nullptr) {
        sink_->headerClicked(column);
    }
}

void EventRouter::sessionEnding(bool displayGone) {
    if (sink_ != nullptr) {
        sink_->sessionEnding(displayGone);
    }
}

void EventRouter::mediaCommand(MediaCommand command, double value) {
    if (sink_ != nullptr) {
        sink_->mediaCommand(command, value);
    }
}

bool GtkEventPump::dispatchNext(bool wait) {
    bool dispatched = false;
    if (wait && firstWait) {
        std::function<void()> once = std::move(firstWait);
        firstWait = nullptr;
        once();
    }
    if (wait) {
        // A wake-up from another thread can end an iteration with nothing dispatched; a waiting
        // caller wants a message, so keep waiting for one.
        while (!g_main_context_iteration(nullptr, TRUE)) {
        }
        dispatched = true;
    } else {
        dispatched = g_main_context_iteration(nullptr, FALSE) != FALSE;
    }
    return dispatched;
}

void GtkEventPump::sleepMilliseconds(int32_t ms) {
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

int64_t GtkEventPump::monotonicMilliseconds() {
    return g_get_monotonic_time() / 1000;
}

}  // namespace vistrelle::gtk
