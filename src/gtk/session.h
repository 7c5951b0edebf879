// The desktop session around the Linux program: the end of the session (SIGTERM, SIGHUP and
// SIGINT, taken through the main loop; the loss of the display) is reported to the program, and
// the program's readiness is shown on its main window for whoever started it.
#pragma once

#include <glib.h>
#include <gtk/gtk.h>

#include "ui/window_layer.h"

namespace vistrelle::gtk {

// Reports the end of the session to `sink` from now on. Called once, by the program.
void watchSessionEnd(EventSink& sink);

// A main context that takes only the end of the session (its signals are watched there from
// watchSessionEnd on, so that one that came earlier is still pending): for an inner loop that
// must not run anything else (the wait for the updater). Null unless watchSessionEnd was called.
GMainContext* sessionEndContext();

// Sets kReadyProperty on the main window (X11 only).
void markReady(GtkWindow* mainWindow);

// The X property that marks the main window once the program has started and waits for input
// (its catalogue loaded): "VISTRELLE_READY(CARDINAL) = 1" in xprop.
inline constexpr const char* kReadyProperty = "VISTRELLE_READY";

}  // namespace vistrelle::gtk
