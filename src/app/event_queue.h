// The events the main loop takes: close requests and size changes wait in a first-in first-out
// queue (a new entry equal to the newest waiting one is not added again); menu commands and
// control events are delivered after what made them has been dispatched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "ui/events.h"

namespace vistrelle {

enum class EventKind {
    None,
    SizeChange,
    CloseRequest,
    ControlEvent,
    MenuCommand,
    MediaCommand,  // from the desktop's media controls
};

struct Event {
    EventKind kind = EventKind::None;
    int32_t window = 0;                          // close request, size change
    int32_t id = 0;                              // command id, control id, media command
    ControlAction action = ControlAction::Used;  // control event
    CloseSource source = CloseSource::Other;     // close request
    double value = 0;                            // media command: the volume asked for
    friend bool operator==(const Event&, const Event&) = default;
};

Event closeRequestEvent(int32_t window, CloseSource source);
Event sizeChangeEvent(int32_t window);
Event menuCommandEvent(int32_t command);
Event controlEventOf(int32_t control, ControlAction action);
Event mediaCommandEvent(int32_t command, double value);

class EventQueue {
public:
    void postClose(int32_t window, CloseSource source);
    void postSize(int32_t window);
    void deliver(const Event& event);  // a menu command or control event

    bool hasQueued() const { return !queued_.empty(); }
    bool hasDelivered() const { return !delivered_.empty(); }
    size_t queuedCount() const { return queued_.size(); }
    size_t deliveredCount() const { return delivered_.size(); }
    Event takeQueued();     // the oldest waiting close request or size change
    Event takeDelivered();  // the oldest delivered menu command or control event
    void discardAll();

private:
    void post(const Event& event);
    std::deque<Event> queued_;
    std::deque<Event> delivered_;
};

// Only a close by the user ends the run; any other close request is ignored.
bool isUserClose(const Event& closeRequest);

}  // namespace vistrelle
