// The search field in the real window: keys typed into it narrow the rows, Escape empties it,
// Ctrl+F and Alt+S reach it, and screen readers know it by name.
#include <gtest/gtest.h>
#include <gtkmm/label.h>

#include "gtk_fixture.h"
#include "ui/ids.h"

namespace vistrelle::gtk::testing {
namespace {

using Texts = std::vector<std::string>;
using SearchFieldTest = GtkAppTest;

TEST_F(SearchFieldTest, TypedWordsNarrowTheRowsAndTheKeysReachTheField) {
    sandbox.write("channels.dat",
                  "Austria|Alpen Radio|128|Music|Folk|http://a.example/a.asx|\r\n"
                  "Austria|Donau Jazz|320|Jazz|Late|http://b.example/b.asx|\r\n"
                  "Belgium|Zeta FM|64|News|Jazz at noon|http://c.example/c.asx|\r\n"
                  "France|Caf\xe9 Radio|96|Chanson|Paris|http://d.example/d.asx|\r\n");
    startProgram();
    settle();
    Gtk::Entry& field = layer->search().widget();
    const auto type = [&](std::initializer_list<guint> keys, GdkModifierType state = {}) {
        for (guint key : keys) {
            pressKey(mainWindow(), key, state);
        }
    };
    const auto rowsAre = [&](const Texts& names) {
        return runUntil([&] { return columnTexts(0) == names; }, 3000);
    };
    layer->list().view().grab_focus();
    type({GDK_KEY_f}, GDK_CONTROL_MASK);
    ASSERT_EQ(mainWindow().get_focus(), &field) << "Ctrl+F";
    type({GDK_KEY_J, GDK_KEY_a, GDK_KEY_z});
    EXPECT_TRUE(rowsAre({"Donau Jazz", "Zeta FM"}));
    type({GDK_KEY_space, GDK_KEY_n, GDK_KEY_o, GDK_KEY_O, GDK_KEY_n});
    EXPECT_TRUE(rowsAre({"Zeta FM"}));
    type({GDK_KEY_Escape});
    EXPECT_TRUE(rowsAre({"Alpen Radio", "Donau Jazz", "Zeta FM", "Caf\u00e9 Radio"}));
    EXPECT_EQ(field.get_text(), "");
    // A Latin letter typed finds the Windows-1252 name.
    type({GDK_KEY_Eacute});
    EXPECT_TRUE(rowsAre({"Caf\u00e9 Radio"}));
    // Pasted texts: 100,000 characters find nothing at once, only spaces narrow nothing.
    field.set_text(std::string(100000, 'j'));
    EXPECT_TRUE(rowsAre({}));
    field.set_text(std::string(100000, ' '));
    EXPECT_TRUE(rowsAre({"Alpen Radio", "Donau Jazz", "Zeta FM", "Caf\u00e9 Radio"}));
    EXPECT_EQ(mainWindow().statusText(), " 4 channels loaded");

    // Alt+S, the label's access key, from the list; the names a screen reader gives.
    layer->list().view().grab_focus();
    type({GDK_KEY_s}, GDK_MOD1_MASK);
    EXPECT_EQ(mainWindow().get_focus(), &field) << "Alt+S";
    EXPECT_EQ(field.get_accessible()->get_name(), "Search channels");
    EXPECT_EQ(field.get_accessible()->get_role(), Atk::ROLE_TEXT);
    EXPECT_EQ(field.get_placeholder_text(), "Name, category, comment");
    auto* label = dynamic_cast<Gtk::Label*>(mainWindow().control(kSearchLabel));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->get_text(), "Search:");

    // Below the list, ending where the browser ends; hidden with the panel.
    const Gtk::Allocation at = field.get_allocation();
    EXPECT_EQ(at.get_x(), 339);
    EXPECT_EQ(at.get_y() + at.get_height(), 295);
    mainWindow().control(kPanelToggle)->activate();
    EXPECT_TRUE(runUntil([&] { return !field.get_visible() && !label->get_visible(); }));
    EXPECT_TRUE(exitThroughMenu());
}

}  // namespace
}  // namespace vistrelle::gtk::testing
