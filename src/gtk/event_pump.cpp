#include "gtk/event_pump.h"

#include <glib.h>

#include <chrono>
#include <thread>

#include "ui/ids.h"

namespace vistrelle::gtk {

void EventRouter::closeRequested(int32_t window) {
    // Only the window manager's close (close box, Alt+F4) reaches a window as a delete event.
    userClose_ = true;
    if (sink_ != nullptr) {
        sink_->closeRequested(window);
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

void EventRouter::controlEvent(int32_t control, int32_t type) {
    if (sink_ != nullptr) {
        sink_->controlEvent(control, type);
    }
}

void EventRouter::notification(int32_t code, int32_t item) {
    if (sink_ != nullptr) {
        sink_->notification(code, item);
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

bool EventRouter::takeUserClose() {
    bool was = userClose_;
    userClose_ = false;
    return was;
}

bool GtkEventPump::pumpMessage(bool wait, uint32_t& wParam) {
    router_.takeUserClose();
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
    wParam = router_.takeUserClose() ? kSysCommandClose : 0;
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
