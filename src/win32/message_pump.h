// The thread's message queue as the program's event source.
#pragma once

#include <cstdint>

#include "ui/window_layer.h"

namespace vistrelle::win32 {

class Windows;

class MessagePump final : public EventPump {
public:
    explicit MessagePump(Windows& windows) : windows_(windows) {}
    // One message: keyboard shortcuts of the active window translated, anything else translated
    // and dispatched to its window procedure.
    bool dispatchNext(bool wait) override;
    void sleepMilliseconds(int32_t ms) override;
    int64_t monotonicMilliseconds() override;

private:
    Windows& windows_;
};

}  // namespace vistrelle::win32
