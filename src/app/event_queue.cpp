#include "app/event_queue.h"

namespace vistrelle {

Event closeRequestEvent(int32_t window, CloseSource source) {
    return Event{.kind = EventKind::CloseRequest, .window = window, .source = source};
}

Event sizeChangeEvent(int32_t window) {
    return Event{.kind = EventKind::SizeChange, .window = window};
}

Event menuCommandEvent(int32_t command) {
    return Event{.kind = EventKind::MenuCommand, .id = command};
}

Event controlEventOf(int32_t control, ControlAction action) {
    return Event{.kind = EventKind::ControlEvent, .id = control, .action = action};
}

Event mediaCommandEvent(int32_t command, double value) {
    return Event{.kind = EventKind::MediaCommand, .id = command, .value = value};
}

void EventQueue::postClose(int32_t window, CloseSource source) {
    post(closeRequestEvent(window, source));
}

void EventQueue::postSize(int32_t window) {
    post(sizeChangeEvent(window));
}

void EventQueue::post(const Event& event) {
    // A request equal to the newest one still waiting (the same window, and for a close the same
    // source) would only repeat it.
    if (!queued_.empty() && queued_.back() == event) {
        return;
    }
    queued_.push_back(event);
}

void EventQueue::deliver(const Event& event) {
    delivered_.push_back(event);
}

Event EventQueue::takeQueued() {
    if (queued_.empty()) {
        return Event{};
    }
    Event event = queued_.front();
    queued_.pop_front();
    return event;
}

Event EventQueue::takeDelivered() {
    if (delivered_.empty()) {
        return Event{};
    }
    Event event = delivered_.front();
    delivered_.pop_front();
    return event;
}

void EventQueue::discardAll() {
    queued_.clear();
    delivered_.clear();
}

bool isUserClose(const Event& closeRequest) {
    return closeRequest.kind == EventKind::CloseRequest && closeRequest.source == CloseSource::User;
}

}  // namespace vistrelle
