// The search field in the real window: keys typed into it narrow the rows, Escape, Ctrl+F, Alt+S
// and Tab reach it, and screen readers know it by name.
#include <gtest/gtest.h>
#include <gtkmm/label.h>

#include "gtk_fixture.h"
#include "ui/ids.h"

namespace vistrelle::gtk::testing {
namespace {

using Texts = std::vector<std::string>;

class SearchFieldTest : public GtkAppTest {
protected:
    void SetUp() override {
        GtkAppTest::SetUp();
        sandbox.write("channels.dat",
                      "Austria|Alpen Radio|128|Music|Folk|http://a.example/a.asx|\r\n"
                      "Austria|Donau Jazz|320|Jazz|Late|http://b.example/b.asx|\r\n"
                      "Belgium|Zeta FM|64|News|Jazz at noon|http://c.example/c.asx|\r\n"
                      "France|Caf\xe9 Radio|96|Chanson|Paris|http://d.example/d.asx|\r\n");
        startProgram();
        settle(100);
    }
    Gtk::Entry& field() { return layer->search().widget(); }
    bool fieldHasFocus() { return mainWindow().get_focus() == &field(); }
    // A key as the keyboard sends it to the window, with the key code that key bindings (such
    // as the entry's BackSpace) look at.
    void press(guint keyval, GdkModifierType state = GdkModifierType(0)) {
        GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
        event->key.window = GDK_WINDOW(g_object_ref(mainWindow().get_window()->gobj()));
        event->key.send_event = TRUE;
        event->key.time = GDK_CURRENT_TIME;
        event->key.keyval = keyval;
        event->key.state = state;
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
        gtk_widget_event(GTK_WIDGET(mainWindow().gobj()), event);
        gdk_event_free(event);
    }
    void type(std::initializer_list<guint> keys) {
        for (guint key : keys) {
            press(key);
        }
    }
    bool rowsAre(const Texts& names) {
        return runUntil([&] { return columnTexts(0) == names; }, 3000);
    }
};

TEST_F(SearchFieldTest, TypedWordsNarrowTheRowsAndEscapeBringsThemBack) {
    const Texts all{"Alpen Radio", "Donau Jazz", "Zeta FM", "Caf\u00e9 Radio"};
    layer->list().view().grab_focus();
    press(GDK_KEY_f, GDK_CONTROL_MASK);
    ASSERT_TRUE(fieldHasFocus());

    type({GDK_KEY_J, GDK_KEY_a, GDK_KEY_z});
    EXPECT_TRUE(rowsAre({"Donau Jazz", "Zeta FM"}));
    type({GDK_KEY_space, GDK_KEY_n, GDK_KEY_o, GDK_KEY_O, GDK_KEY_n});
    EXPECT_TRUE(rowsAre({"Zeta FM"}));
    type({GDK_KEY_Escape});
    EXPECT_TRUE(rowsAre(all));
    EXPECT_EQ(field().get_text(), "");

    // A Latin letter typed finds the Windows-1252 name; a sort keeps its order while narrowed.
    type({GDK_KEY_Eacute});
    EXPECT_TRUE(rowsAre({"Caf\u00e9 Radio"}));
    type({GDK_KEY_BackSpace, GDK_KEY_r, GDK_KEY_a});
    EXPECT_TRUE(rowsAre({"Alpen Radio", "Caf\u00e9 Radio"}));
    app->headerClicked(0);
    app->headerClicked(0);
    EXPECT_TRUE(rowsAre({"Caf\u00e9 Radio", "Alpen Radio"}));
    type({GDK_KEY_BackSpace, GDK_KEY_BackSpace});
    EXPECT_TRUE(rowsAre({"Zeta FM", "Donau Jazz", "Caf\u00e9 Radio", "Alpen Radio"}));
    EXPECT_EQ(mainWindow().statusText(), " 4 channels loaded");
    EXPECT_TRUE(exitThroughMenu());
}

TEST_F(SearchFieldTest, KeysAndScreenReadersReachTheField) {
    // Alt+S, the label's access key, from the list.
    layer->list().view().grab_focus();
    press(GDK_KEY_s, GDK_MOD1_MASK);
    EXPECT_TRUE(fieldHasFocus());
    // Tab order: the list, the field, then round to the panel button.
    layer->list().view().grab_focus();
    press(GDK_KEY_Tab);
    EXPECT_TRUE(fieldHasFocus());
    press(GDK_KEY_Tab);
    EXPECT_EQ(mainWindow().get_focus(), mainWindow().control(kPanelToggle));
    press(GDK_KEY_ISO_Left_Tab, GDK_SHIFT_MASK);
    EXPECT_TRUE(fieldHasFocus());

    EXPECT_EQ(field().get_accessible()->get_name(), "Search channels");
    EXPECT_EQ(field().get_accessible()->get_role(), Atk::ROLE_TEXT);
    EXPECT_EQ(field().get_placeholder_text(), "Name, category, comment");
    auto* label = dynamic_cast<Gtk::Label*>(mainWindow().control(kSearchLabel));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->get_text(), "Search:");
    EXPECT_EQ(label->get_mnemonic_widget(), &field());

    // Below the list, ending where the browser ends; hidden with the panel.
    const Gtk::Allocation at = field().get_allocation();
    EXPECT_EQ(at.get_x(), 339);
    EXPECT_EQ(at.get_y() + at.get_height(), 295);
    const Gtk::Allocation list = layer->list().widget().get_allocation();
    EXPECT_LE(list.get_y() + list.get_height(), at.get_y());
    mainWindow().control(kPanelToggle)->activate();
    EXPECT_TRUE(runUntil([&] { return !field().get_visible() && !label->get_visible(); }));
    EXPECT_TRUE(exitThroughMenu());
}

}  // namespace
}  // namespace vistrelle::gtk::testing
