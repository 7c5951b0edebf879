#include "updater_gtk/progress_window.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "updater/texts.h"
#include "updater_net/curl_network.h"

namespace vistrelle::updater {

namespace {

struct Dialog {
    GtkWidget* window = nullptr;
    GtkWidget* stage = nullptr;
    GtkWidget* bar = nullptr;
    GtkWidget* button = nullptr;
    std::atomic<bool> cancel{false};
    bool finished = false;
    int status = 1;
    bool menuRun = false;
};

// What the worker hands to the main loop.
struct Update {
    Dialog* window;
    enum class Kind { Stage, Progress, Finished } kind;
    std::string text;
    bool ok = false;
};

gboolean applyUpdate(gpointer data) {
    std::unique_ptr<Update> update(static_cast<Update*>(data));
    Dialog& w = *update->window;
    switch (update->kind) {
        case Update::Kind::Stage:
            if (!w.cancel.load()) {
                gtk_label_set_text(GTK_LABEL(w.stage), update->text.c_str());
            }
            gtk_progress_bar_set_text(GTK_PROGRESS_BAR(w.bar), "");
            gtk_progress_bar_pulse(GTK_PROGRESS_BAR(w.bar));
            break;
        case Update::Kind::Progress:
            gtk_progress_bar_set_text(GTK_PROGRESS_BAR(w.bar), update->text.c_str());
            gtk_progress_bar_pulse(GTK_PROGRESS_BAR(w.bar));
            break;
        case Update::Kind::Finished: {
            w.finished = true;
            w.status = update->ok ? 0 : 1;
            std::string text = update->text;
            if (update->ok && w.menuRun) {
                text += "\n" + nextStartText();
            }
            gtk_label_set_text(GTK_LABEL(w.stage), text.c_str());
            gtk_window_set_title(GTK_WINDOW(w.window),
                                 std::string(update->ok ? kDoneTitle : kFailedTitle).c_str());
            gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(w.bar), update->ok ? 1.0 : 0.0);
            gtk_progress_bar_set_text(GTK_PROGRESS_BAR(w.bar), update->ok ? "Done" : "");
            gtk_button_set_label(GTK_BUTTON(w.button), "_Close");
            gtk_widget_set_sensitive(w.button, TRUE);
            gtk_widget_grab_focus(w.button);
            // Tests on a display without a window manager, where nobody can focus the window
            // to press Close, have it pressed here.
            if (const char* close = std::getenv("CHANNEL_UPDATER_CLOSE_WHEN_DONE");
                close && *close) {
                gtk_button_clicked(GTK_BUTTON(w.button));
            }
            break;
        }
    }
    return G_SOURCE_REMOVE;
}

class WindowReporter : public Reporter {
public:
    explicit WindowReporter(Dialog& window) : window_(window) {}
    void stage(const std::string& text) override { post(Update::Kind::Stage, text); }
    void progress(const std::string& text) override {
        // The main loop needs no more than a few updates a second.
        auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(100)) {
            return;
        }
        last_ = now;
        post(Update::Kind::Progress, text);
    }
    bool cancelled() override { return window_.cancel.load(); }

private:
    void post(Update::Kind kind, const std::string& text) {
        g_idle_add(applyUpdate, new Update{&window_, kind, text});
    }
    Dialog& window_;
    std::chrono::steady_clock::time_point last_{};
};

void buttonClicked(GtkButton* /*button*/, gpointer data) {
    Dialog& w = *static_cast<Dialog*>(data);
    if (w.finished) {
        gtk_main_quit();
        return;
    }
    w.cancel = true;
    gtk_label_set_text(GTK_LABEL(w.stage), "Cancelling...");
    gtk_widget_set_sensitive(w.button, FALSE);
}

gboolean deleteEvent(GtkWidget* /*widget*/, GdkEvent* /*event*/, gpointer data) {
    Dialog& w = *static_cast<Dialog*>(data);
    if (w.finished) {
        gtk_main_quit();
    } else {
        buttonClicked(nullptr, data);
    }
    return TRUE;  // the window goes with the process
}

// Keeps the window above the program's window that started it.
void makeTransient(GtkWidget* window, uint64_t xid) {
    gtk_widget_realize(window);
    GdkDisplay* display = gtk_widget_get_display(window);
    if (!GDK_IS_X11_DISPLAY(display)) {
        return;
    }
    GdkWindow* parent = gdk_x11_window_foreign_new_for_display(display, static_cast<::Window>(xid));
    if (parent != nullptr) {
        gdk_window_set_transient_for(gtk_widget_get_window(window), parent);
        g_object_unref(parent);
    }
}

}  // namespace

int runWithWindow(const Options& options) {
    Dialog w;
    w.menuRun = options.hasWindow;
    w.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(w.window), std::string(kWindowTitle).c_str());
    gtk_window_set_default_size(GTK_WINDOW(w.window), 440, -1);
    gtk_window_set_resizable(GTK_WINDOW(w.window), FALSE);
    gtk_window_set_position(GTK_WINDOW(w.window), GTK_WIN_POS_CENTER);
    gtk_container_set_border_width(GTK_CONTAINER(w.window), 12);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 10);
    w.stage = gtk_label_new("Starting...");
    gtk_label_set_xalign(GTK_LABEL(w.stage), 0.0f);
    gtk_label_set_line_wrap(GTK_LABEL(w.stage), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(w.stage), 60);
    w.bar = gtk_progress_bar_new();
    gtk_progress_bar_set_show_text(GTK_PROGRESS_BAR(w.bar), TRUE);
    gtk_progress_bar_set_text(GTK_PROGRESS_BAR(w.bar), "");
    gtk_progress_bar_set_pulse_step(GTK_PROGRESS_BAR(w.bar), 0.05);
    GtkWidget* buttons = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
    gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
    w.button = gtk_button_new_with_mnemonic("_Cancel");
    gtk_container_add(GTK_CONTAINER(buttons), w.button);
    gtk_box_pack_start(GTK_BOX(box), w.stage, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), w.bar, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(w.window), box);
    g_signal_connect(w.button, "clicked", G_CALLBACK(buttonClicked), &w);
    g_signal_connect(w.window, "delete-event", G_CALLBACK(deleteEvent), &w);
    if (options.hasWindow) {
        makeTransient(w.window, options.window);
    }
    gtk_widget_show_all(w.window);

    WindowReporter reporter(w);
    std::thread worker([&] {
        CurlNetwork network(w.cancel);
        RunResult result = runUpdate(options, network, reporter);
        g_idle_add(applyUpdate, new Update{&w, Update::Kind::Finished, result.message, result.ok});
    });
    gtk_main();
    // Closed before the end only through Cancel, which the worker heeds.
    w.cancel = true;
    worker.join();
    // Updates still queued refer to the window: let them run before it goes.
    while (gtk_events_pending()) {
        gtk_main_iteration_do(FALSE);
    }
    gtk_widget_destroy(w.window);
    return w.status;
}

}  // namespace vistrelle::updater
