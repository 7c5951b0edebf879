#include "gtk/session.h"

#include <X11/Xlib.h>
#include <gdk/gdk.h>
#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <signal.h>
#include <unistd.h>

namespace vistrelle::gtk {

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};

EventSink* sessionSink = nullptr;
GMainContext* waitContext = nullptr;

void endSession(bool displayGone) {
    if (sessionSink != nullptr) {
        sessionSink->sessionEnding(displayGone);
    }
    _exit(0);  // the program ends the process itself; this is only the backstop
}

gboolean onEndSignal(gpointer) {
    endSession(false);
    return G_SOURCE_REMOVE;
}

void onDisplayClosed(GdkDisplay*, gboolean, gpointer) {
    endSession(true);
}

// Xlib calls this when the connection to the X server breaks (GDK's own handler ends the
// process with nothing saved); it must not return.
int onLostXConnection(Display*) {
    endSession(true);
    return 0;
}

void addSignalSources(GMainContext* context) {
    for (int signal : kEndSignals) {
        GSource* source = g_unix_signal_source_new(signal);
        g_source_set_callback(source, onEndSignal, nullptr, nullptr);
        // A second signal while the first one's shutdown shows a message box must get through.
        g_source_set_can_recurse(source, TRUE);
        g_source_attach(source, context);
        g_source_unref(source);
    }
}

}  // namespace

void watchSessionEnd(EventSink& sink) {
    sessionSink = &sink;
    addSignalSources(nullptr);
    waitContext = g_main_context_new();
    addSignalSources(waitContext);
    GdkDisplay* display = gdk_display_get_default();
    if (display != nullptr) {
        g_signal_connect(display, "closed", G_CALLBACK(onDisplayClosed), nullptr);
#ifdef GDK_WINDOWING_X11
        if (GDK_IS_X11_DISPLAY(display)) {
            XSetIOErrorHandler(onLostXConnection);
        }
#endif
    }
}

void markReady(GtkWindow* mainWindow) {
    GdkWindow* window =
        mainWindow != nullptr ? gtk_widget_get_window(GTK_WIDGET(mainWindow)) : nullptr;
    if (window == nullptr) {
        return;
    }
    const long ready = 1;  // format 32 properties are longs on the client side
    gdk_property_change(window, gdk_atom_intern_static_string(kReadyProperty),
                        gdk_atom_intern_static_string("CARDINAL"), 32, GDK_PROP_MODE_REPLACE,
                        reinterpret_cast<const guchar*>(&ready), 1);
    gdk_display_flush(gdk_window_get_display(window));
}

GMainContext* sessionEndContext() {
    return waitContext;
}

}  // namespace vistrelle::gtk
