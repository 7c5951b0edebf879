#include "app/event_queue.h"

#include "ui/ids.h"

namespace vistrelle {

Event closeRequestEvent(int32_t window) {
    return Event{.kind = EventKind::CloseRequest, .window = window};
}

Event sizeChangeEvent(int32_t window) {
    return Event{.kind = EventKind::SizeChange, .window = window};
}

Event menuCommandEvent(int32_t command) {
    return Event{.kind = EventKind::MenuCommand, .id = command};
}

Event controlEventOf(int32_t control, int32_t type) {
    return Event{.kind = EventKind::ControlEvent, .id = control, .type = type};
}

Event mediaCommandEvent(int32_t command, double value) {
    return Event{.kind = EventKind::MediaCommand, .id = command, .value = value};
}

void EventQueue::postClose(int32_t window) {
    post(closeRequestEvent(window));
}

void EventQueue::postSize(int32_t window) {
    post(sizeChangeEvent(window));
}

void EventQueue::post(const Event& event) {
    // A request equal to the newest one still waiting would only repeat it.
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

bool isUserClose(uint32_t lastMessageWParam) {
    return lastMessageWParam == kHitClose || lastMessageWParam == kSysCommandClose;
}

}  // namespace vistrelle
