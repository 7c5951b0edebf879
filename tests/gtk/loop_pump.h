// The GLib main loop as the program's event source, for code that writes pages into the web view
// outside the program: the writer's waits run the loop.
#pragma once

#include <glib.h>

#include "player/web_writer.h"
#include "ui/window_layer.h"

namespace vistrelle::gtk::testing {

class LoopPump final : public EventPump, public EventDrain {
public:
    bool dispatchNext(bool wait) override {
        return g_main_context_iteration(nullptr, wait) != FALSE;
    }
    void sleepMilliseconds(int32_t ms) override { g_usleep(static_cast<gulong>(ms) * 1000); }
    int64_t monotonicMilliseconds() override { return g_get_monotonic_time() / 1000; }
    void drainPendingEvents() override {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }
};

}  // namespace vistrelle::gtk::testing
