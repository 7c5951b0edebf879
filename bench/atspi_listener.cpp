// A client of the accessibility bus that listens as a screen reader does: it registers for the
// events a screen reader follows and, for each event, asks its source for the name and role.
// Prints "ready" once registered and, when ended (SIGTERM or SIGINT), the number of events heard.
#include <atspi/atspi.h>
#include <glib-unix.h>

#include <cstdio>
#include <initializer_list>

namespace {

long heard = 0;

void onEvent(AtspiEvent* event, void*) {
    ++heard;
    if (event->source != nullptr) {
        g_free(atspi_accessible_get_name(event->source, nullptr));
        atspi_accessible_get_role(event->source, nullptr);
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

gboolean onSignal(gpointer) {
    atspi_event_quit();
    return G_SOURCE_REMOVE;
}

}  // namespace

int main() {
    if (atspi_init() > 1) {
        std::fputs("atspi_listener: no accessibility bus\n", stderr);
        return 1;
    }
    AtspiEventListener* listener = atspi_event_listener_new(onEvent, nullptr, nullptr);
    for (const char* type :
         {"object:state-changed", "object:children-changed", "object:property-change",
          "object:active-descendant-changed", "object:selection-changed",
          "object:visible-data-changed", "object:text-changed", "object:text-caret-moved",
          "object:bounds-changed", "window:", "focus:"}) {
        if (!atspi_event_listener_register(listener, type, nullptr)) {
            std::fprintf(stderr, "atspi_listener: cannot listen to %s\n", type);
        }
    }
    g_unix_signal_add(SIGTERM, onSignal, nullptr);
    g_unix_signal_add(SIGINT, onSignal, nullptr);
    std::puts("ready");
    std::fflush(stdout);
    atspi_event_main();
    std::printf("events %ld\n", heard);
    std::fflush(stdout);
    return 0;
}
