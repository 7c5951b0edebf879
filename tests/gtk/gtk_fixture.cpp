#include "gtk_fixture.h"

#include <gdkmm/seat.h>
#include <gtkmm/main.h>

#include <memory>

#include "gtk/message_box.h"
#include "gtk/stream_fetcher.h"
#include "ui/ids.h"

namespace vistrelle::gtk::testing {

void initGtk() {
    static const bool ready = [] {
        bool opened = gtk_init_check(nullptr, nullptr) != FALSE;
        Gtk::Main::init_gtkmm_internals();
        // Channels watched in the tests play from loopback servers only.
        StreamFetcher::setLoopbackOnlyForTesting(true);
        return opened;
    }();
    ASSERT_TRUE(ready) << "no display";
}

void GtkAppTest::SetUp() {
    initGtk();
    // The loop never waits long for a message, so that a test can look between messages.
    keepAwake_ = g_timeout_add(
        10, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
}

void GtkAppTest::TearDown() {
    if (app && !ended) {
        app->endServices();
    }
    app.reset();
    layer.reset();
    g_source_remove(keepAwake_);
    for (guint id : answers_) {
        if (GSource* source = g_main_context_find_source_by_id(nullptr, id)) {
            g_source_destroy(source);
        }
    }
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

void GtkAppTest::startProgram() {
    layer = std::make_unique<GtkLayer>();
    app = std::make_unique<App>(*layer);
    ASSERT_TRUE(app->startUp());
    // The window is mapped and laid out.
    ASSERT_TRUE(runUntil([this] { return mainWindow().get_mapped(); }))
        << "the main window was never shown";
    settle();
}

void GtkAppTest::step() {
    if (!app->step()) {
        ended = true;
        app->shutDown();
    }
}

bool iterateMainLoopUntil(const std::function<bool()>& done) {
    gint64 end = g_get_monotonic_time() + 30 * G_USEC_PER_SEC;
    while (!done()) {
        if (g_get_monotonic_time() > end) {
            return false;
        }
        g_main_context_iteration(nullptr, FALSE);
        g_usleep(1000);
    }
    return true;
}

bool GtkAppTest::runUntil(const std::function<bool()>& done, int timeoutMs) {
    gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(timeoutMs) * 1000;
    while (!done()) {
        if (ended || g_get_monotonic_time() > deadline) {
            return done();
        }
        step();
    }
    return true;
}

void GtkAppTest::settle() {
    // A frame drawn first: the window's layout runs on its frame clock's time, not when idle.
    MainWindow* window = layer ? layer->ui().mainWindow() : nullptr;
    GdkFrameClock* clock = window != nullptr && window->get_mapped()
                               ? gtk_widget_get_frame_clock(GTK_WIDGET(window->gobj()))
                               : nullptr;
    if (clock != nullptr) {
        bool painted = false;
        const gulong handler = g_signal_connect_swapped(
            clock, "after-paint", G_CALLBACK(+[](bool* flag) { *flag = true; }), &painted);
        gdk_frame_clock_request_phase(clock, GDK_FRAME_CLOCK_PHASE_AFTER_PAINT);
        const bool drawn = runUntil([&] { return painted; });
        g_signal_handler_disconnect(clock, handler);
        ASSERT_TRUE(drawn) << (ended ? "the program ended while a frame was awaited"
                                     : "the window never drew a frame");
    }
    bool reached = false;
    const guint marker = g_idle_add_full(
        G_PRIORITY_LOW,
        [](gpointer data) -> gboolean {
            *static_cast<bool*>(data) = true;
            return G_SOURCE_REMOVE;
        },
        &reached, nullptr);
    const bool idle =
        runUntil([&] { return reached && !app->queue.hasQueued() && !app->queue.hasDelivered(); });
    if (!reached) {
        g_source_remove(marker);
    }
    ASSERT_TRUE(idle) << (ended ? "the program ended while its loop was awaited"
                                : "the program's loop never had nothing left to do");
}

std::string evaluateScript(WebKitWebView* view, const std::string& script) {
    struct Result {
        bool done = false;
        std::string text;
    };
    // Shared with the callback, which may come after a failed wait.
    auto result = std::make_shared<Result>();
    webkit_web_view_evaluate_javascript(
        view, script.c_str(), -1, nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* async, gpointer data) {
            auto* holder = static_cast<std::shared_ptr<Result>*>(data);
            std::shared_ptr<Result> out = std::move(*holder);
            delete holder;
            GError* error = nullptr;
            if (JSCValue* value = webkit_web_view_evaluate_javascript_finish(
                    WEBKIT_WEB_VIEW(source), async, &error)) {
                gchar* text = jsc_value_to_string(value);
                out->text = text;
                g_free(text);
                g_object_unref(value);
            } else {
                out->text = std::string("error: ") + (error ? error->message : "");
                g_clear_error(&error);
            }
            out->done = true;
        },
        new std::shared_ptr<Result>(result));
    EXPECT_TRUE(iterateMainLoopUntil([&result] { return result->done; }))
        << "no result came for " << script;
    return result->text;
}

std::string shownSongTitle(WebKitWebView* view) {
    return evaluateScript(view,
                          "(function(){const t=document.getElementById('vistrelle-title');"
                          "return t ? t.textContent : '';})()");
}

bool GtkAppTest::exitThroughMenu() {
    chooseMenuItem(kCmdExit);
    return runUntil([this] { return ended; });
}

std::vector<std::string> GtkAppTest::columnTexts(int32_t column) {
    std::vector<std::string> texts;
    for (int32_t row = 0; row < layer->list().shownRowCount(); ++row) {
        texts.push_back(layer->list().cellText(row, column));
    }
    return texts;
}

std::vector<std::string> GtkAppTest::selectorItems() {
    std::vector<std::string> items;
    Gtk::ComboBoxText& combo = layer->selector().widget();
    Glib::RefPtr<Gtk::TreeModel> model = combo.get_model();
    for (const Gtk::TreeRow& row : model->children()) {
        Glib::ustring text;
        row.get_value(0, text);
        items.push_back(text);
    }
    return items;
}

void GtkAppTest::chooseMenuItem(int32_t command) {
    Gtk::MenuItem* item = mainWindow().menuItem(command);
    ASSERT_NE(item, nullptr);
    item->activate();
}

Gtk::MenuItem* GtkAppTest::popupItem(int32_t menu, const std::string& label) {
    Gtk::Menu* popup = mainWindow().popupMenu(menu);
    if (popup == nullptr) {
        return nullptr;
    }
    for (Gtk::Widget* child : popup->get_children()) {
        auto* item = dynamic_cast<Gtk::MenuItem*>(child);
        if (item != nullptr && item->get_label() == label) {
            return item;
        }
    }
    return nullptr;
}

void GtkAppTest::sendButton(GdkEventType type, guint button, int32_t row) {
    GtkTreeView* view = layer->list().view().gobj();
    // The row is brought on screen first; a row past the end is clicked below the last one.
    GdkRectangle area{};
    const int32_t rows = layer->list().shownRowCount();
    const int32_t target = row < rows ? row : rows - 1;
    if (target >= 0) {
        // Bringing the row on screen may slide the list's window of rows: click once that is done.
        layer->list().rowArea(target, area, true);
        settle();
        layer->list().rowArea(target, area, false);
        area.y += area.height * (row - target);
    }

    GdkEvent* event = gdk_event_new(type);
    GdkWindow* bin = gtk_tree_view_get_bin_window(view);
    event->button.window = GDK_WINDOW(g_object_ref(bin));
    event->button.send_event = TRUE;
    event->button.time = GDK_CURRENT_TIME;
    event->button.x = 4;
    event->button.y = area.y + area.height / 2.0;
    event->button.button = button;
    gint originX = 0;
    gint originY = 0;
    gdk_window_get_origin(bin, &originX, &originY);
    event->button.x_root = originX + event->button.x;
    event->button.y_root = originY + event->button.y;
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    gdk_event_set_device(event, gdk_seat_get_pointer(seat));
    gtk_widget_event(GTK_WIDGET(view), event);
    gdk_event_free(event);
}

void GtkAppTest::rightClickRow(int32_t row) {
    sendButton(GDK_BUTTON_PRESS, 3, row);
    sendButton(GDK_BUTTON_RELEASE, 3, row);
}

void GtkAppTest::doubleClickRow(int32_t row) {
    sendButton(GDK_BUTTON_PRESS, 1, row);
    sendButton(GDK_BUTTON_RELEASE, 1, row);
    sendButton(GDK_BUTTON_PRESS, 1, row);
    sendButton(GDK_2BUTTON_PRESS, 1, row);
    sendButton(GDK_BUTTON_RELEASE, 1, row);
}

void pressKey(Gtk::Window& window, guint keyval, GdkModifierType state, guint32 time) {
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(window.get_window()->gobj()));
    event->key.send_event = TRUE;
    event->key.time = time;
    event->key.keyval = keyval;
    event->key.state = state;
    // The key's code too: GTK's key bindings (the menu key, Shift+F10) look keys up by it.
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()),
                                          keyval, &keys, &count) &&
        count > 0) {
        event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
        event->key.group = static_cast<guint8>(keys[0].group);
    }
    g_free(keys);
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    gdk_event_set_device(event, gdk_seat_get_keyboard(seat));
    gtk_widget_event(GTK_WIDGET(window.gobj()), event);
    gdk_event_free(event);
}

void GtkAppTest::answerMessageBox(int response) {
    struct Answer {
        GtkAppTest* test;
        int response;
    };
    answers_.push_back(g_timeout_add_full(
        G_PRIORITY_DEFAULT, 20,
        [](gpointer data) -> gboolean {
            auto* answer = static_cast<Answer*>(data);
            Gtk::Dialog* box = currentMessageBox();
            if (box == nullptr) {
                return G_SOURCE_CONTINUE;
            }
            answer->test->messageTitles.push_back(box->get_title());
            answer->test->messageTexts.push_back(currentMessageText());
            box->response(answer->response);
            return G_SOURCE_REMOVE;
        },
        new Answer{this, response}, [](gpointer data) { delete static_cast<Answer*>(data); }));
}

}  // namespace vistrelle::gtk::testing
