// The Linux program.
#include <gtk/gtk.h>
#include <gtkmm/main.h>

#include <cstdio>

#include "app/app.h"
#include "gtk/faults.h"
#include "gtk/gtk_layer.h"
#include "gtk/session.h"

int main(int argc, char** argv) {
    // A fresh process of the program shows the report of a fault, and nothing else.
    if (std::optional<int> code = vistrelle::gtk::runFaultReportIfAsked(argc, argv)) {
        return *code;
    }
    if (!gtk_init_check(&argc, &argv)) {
        std::fputs("vistrelle: cannot open the display\n", stderr);
        return 0;
    }
    Gtk::Main::init_gtkmm_internals();
    vistrelle::gtk::GtkLayer layer;
    vistrelle::gtk::scheduleTestFault();
    vistrelle::App app(layer);
    // From here on, the end of the desktop session runs the program's shutdown.
    vistrelle::gtk::watchSessionEnd(app);
    layer.pump().firstWait = [&layer] {
        if (vistrelle::gtk::MainWindow* window = layer.ui().mainWindow()) {
            vistrelle::gtk::markReady(window->gobj());
        }
    };
    return app.run();
}
