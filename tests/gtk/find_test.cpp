// Finding a channel by typing in the focused list: the program's answer selects the row, the
// entry below the list shows the text.
#include <gtest/gtest.h>

#include <map>

#include "fake/type_ahead_steps.h"
#include "gtk_fixture.h"
#include "ui/ids.h"

namespace vistrelle::gtk::testing {
namespace {

class FindTest : public GtkAppTest {
protected:
    void SetUp() override {
        GtkAppTest::SetUp();
        start(
            "Austria|Alpen Radio|128|Music||http://a.example/a.asx|\r\n"
            "Austria|alpha Jazz|320|Jazz||http://b.example/b.asx|\r\n"
            "Belgium|Zeta FM|64|News||http://c.example/c.asx|\r\n"
            "Belgium|Mid Talk|96|Talk||http://d.example/d.asx|\r\n"
            "France|Caf\xe9 Radio|96|Chanson||http://e.example/e.asx|\r\n"
            "France|\xC3\x89"
            "cole FM|96|Talk||http://f.example/f.asx|\r\n"
            "France|Alpen Kino|96|Film||http://g.example/g.asx|\r\n");
    }
    void start(std::string_view catalogue) {
        sandbox.write("channels.dat", catalogue);
        startProgram();
        settle();
        // The list selects its first row when it takes the focus: start from none, as Ctrl+Space
        // on the cursor's row does.
        layer->list().view().grab_focus();
        press(GDK_KEY_space, GDK_CONTROL_MASK);
        ASSERT_EQ(layer->list().selectedRow(), -1);
    }
    // Key presses 50 ms apart on the display's clock.
    void press(guint keyval, GdkModifierType state = GdkModifierType(0)) {
        clock_ += 50;
        pressKey(mainWindow(), keyval, state, clock_);
    }
    void type(std::initializer_list<guint> keys) {
        for (guint key : keys) {
            press(key);
        }
        settle();
    }
    void pause(guint32 ms) { clock_ += ms; }
    std::string entryText() { return layer->list().searchEntry().get_text(); }
    int32_t selected() { return layer->list().selectedRow(); }

private:
    guint32 clock_ = 1000;
};

TEST_F(FindTest, TypingSelectsTheFirstMatchFromTheSelectedRowOn) {
    GtkChannelList& list = layer->list();
    type({GDK_KEY_a});
    EXPECT_EQ(selected(), 0);
    EXPECT_TRUE(list.searchShown());
    EXPECT_EQ(entryText(), "a");
    // Shift on its own is no key of the search's.
    type({GDK_KEY_Shift_L, GDK_KEY_L, GDK_KEY_p, GDK_KEY_e, GDK_KEY_n, GDK_KEY_space, GDK_KEY_k});
    EXPECT_EQ(entryText(), "aLpen k");
    EXPECT_EQ(selected(), 6);
    EXPECT_FALSE(list.searchNotFound());

    type({GDK_KEY_Escape});
    EXPECT_FALSE(list.searchShown());
    EXPECT_EQ(selected(), 6);
    type({GDK_KEY_z});  // wraps around to the top
    EXPECT_EQ(selected(), 2);

    // Windows-1252 and UTF-8 names, letter case ignored.
    type({GDK_KEY_Escape, GDK_KEY_C, GDK_KEY_a, GDK_KEY_f, GDK_KEY_eacute});
    EXPECT_EQ(selected(), 4);
    type({GDK_KEY_Escape, GDK_KEY_Eacute});
    EXPECT_EQ(selected(), 5);

    // Nothing found: the selection stays, the entry says so.
    type({GDK_KEY_Escape, GDK_KEY_x});
    EXPECT_EQ(selected(), 5);
    EXPECT_TRUE(list.searchNotFound());
    EXPECT_EQ(entryText(), "x");

    // After a pause of more than a second the next letter starts a new text.
    pause(1001);
    type({GDK_KEY_m});
    EXPECT_EQ(entryText(), "m");
    EXPECT_EQ(selected(), 3);
    EXPECT_FALSE(list.searchNotFound());

    // Finding never watches.
    EXPECT_EQ(mainWindow().statusText(), " 7 channels loaded");
}

class TypeAheadWalkTest : public FindTest {
protected:
    void SetUp() override {
        GtkAppTest::SetUp();
        start(vistrelle::testing::kTypeAheadCatalogue);
    }
    // The entry sits below the list, within the main window's width.
    void expectEntryOnTheWindow() {
        Gtk::Window& entry = layer->list().searchWindow();
        int left = 0, top = 0, width = 0, height = 0;
        entry.get_position(left, top);
        entry.get_size(width, height);
        const Rect frame = layer->ui().windowFrame(kMainWindow);
        EXPECT_GE(left, frame.left);
        EXPECT_LE(left + width, frame.left + frame.width);
        EXPECT_GT(top, frame.top + frame.height / 2);
        EXPECT_LE(top, frame.top + frame.height);
    }
};

TEST_F(TypeAheadWalkTest, TheSameKeysSelectTheSameRowsAsOnEveryLayer) {
    GtkChannelList& list = layer->list();
    // The keys the table's control characters stand for.
    const std::map<gunichar, std::pair<guint, GdkModifierType>> special{
        {'\b', {GDK_KEY_BackSpace, {}}},
        {'\x1b', {GDK_KEY_Escape, {}}},
        {'\n', {GDK_KEY_Down, {}}},
        {'\a', {GDK_KEY_g, GDK_CONTROL_MASK}},
        {'~', {GDK_KEY_F5, {}}}};
    for (const vistrelle::testing::TypeAheadStep& step : vistrelle::testing::kTypeAheadSteps) {
        SCOPED_TRACE(std::string(step.keys));
        const Glib::ustring keys(step.keys.data(), step.keys.data() + step.keys.size());
        for (gunichar key : keys) {
            if (key == '|') {
                pause(vistrelle::testing::kTypeAheadPauseMs);
            } else if (const auto found = special.find(key); found != special.end()) {
                press(found->second.first, found->second.second);
            } else {
                press(gdk_unicode_to_keyval(key));
            }
        }
        settle();
        EXPECT_EQ(selected(), step.row);
        EXPECT_EQ(list.searchShown(), step.searching);
        if (step.searching) {
            EXPECT_EQ(entryText(), step.text);
            EXPECT_EQ(list.searchNotFound(), step.notFound);
            expectEntryOnTheWindow();
        }
    }
}

TEST_F(FindTest, DownAndControlGStepToTheNextMatch) {
    GtkChannelList& list = layer->list();
    type({GDK_KEY_a, GDK_KEY_l});
    EXPECT_EQ(selected(), 0);
    type({GDK_KEY_Down});
    EXPECT_EQ(selected(), 1);
    press(GDK_KEY_g, GDK_CONTROL_MASK);
    EXPECT_EQ(selected(), 6);
    type({GDK_KEY_Down});  // wraps around
    EXPECT_EQ(selected(), 0);
    EXPECT_EQ(entryText(), "al");

    // A letter that finds nothing, then taken back.
    type({GDK_KEY_x});
    EXPECT_TRUE(list.searchNotFound());
    EXPECT_EQ(selected(), 0);
    type({GDK_KEY_BackSpace, GDK_KEY_p, GDK_KEY_h});
    EXPECT_FALSE(list.searchNotFound());
    EXPECT_EQ(entryText(), "alph");
    EXPECT_EQ(selected(), 1);

    // Any other key ends the search (and goes on to the list).
    type({GDK_KEY_Up});
    EXPECT_FALSE(list.searchShown());
    EXPECT_EQ(mainWindow().statusText(), " 7 channels loaded");
}

}  // namespace
}  // namespace vistrelle::gtk::testing
