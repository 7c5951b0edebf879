// channelList over more rows than its window holds, driven by the mouse and the window's size:
// what the pointer and the wheel reach are the program's rows, whichever few the tree view holds.
#include <gtest/gtest.h>

#include "gtk_fixture.h"
#include "ui/ids.h"

namespace vistrelle::gtk::testing {
namespace {

constexpr int32_t kRows = 3000;

std::string lineOf(int32_t row) {
    return "Land|Channel " + std::to_string(row) + "|" + std::to_string(row % 500) +
           "|Talk||http://s.example/" + std::to_string(row) + ".asx|\r\n";
}

class ListWindowTest : public GtkAppTest {
protected:
    void SetUp() override {
        GtkAppTest::SetUp();
        std::string channels;
        for (int32_t row = 0; row < kRows; ++row) {
            channels += lineOf(row);
        }
        sandbox.write("channels.dat", channels);
        startProgram();
    }

    void wheel(GdkScrollDirection direction, int times) {
        GdkWindow* bin = gtk_tree_view_get_bin_window(layer->list().view().gobj());
        for (int i = 0; i < times; ++i) {
            GdkEvent* event = gdk_event_new(GDK_SCROLL);
            event->scroll.window = GDK_WINDOW(g_object_ref(bin));
            event->scroll.send_event = TRUE;
            event->scroll.direction = direction;
            event->scroll.x = 10;
            event->scroll.y = 10;
            GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
            gdk_event_set_device(event, gdk_seat_get_pointer(seat));
            gtk_main_do_event(event);
            gdk_event_free(event);
        }
        settle();
    }
};

TEST_F(ListWindowTest, TheWheelAndTheMouseReachTheProgramsRows) {
    GtkChannelList& list = layer->list();
    ASSERT_EQ(list.shownRowCount(), kRows);
    EXPECT_LT(list.windowRowCount(), 100);
    EXPECT_EQ(list.topRow(), 0);
    wheel(GDK_SCROLL_DOWN, 30);
    const int32_t top = list.topRow();
    EXPECT_GT(top, 10);
    wheel(GDK_SCROLL_UP, 5);
    EXPECT_LT(list.topRow(), top);

    // Far below the first window: the row under the pointer is the one chosen, the pop-up
    // menu's command acts on it.
    for (int32_t row : {2500, 17}) {
        rightClickRow(row);
        Gtk::Menu* popup = mainWindow().popupMenu(kPopupMenuChannel);
        ASSERT_TRUE(runUntil([popup] { return popup->get_visible(); }));
        EXPECT_EQ(list.selectedRow(), row);
        Gtk::MenuItem* add = popupItem(kPopupMenuChannel, "Add to favorites");
        ASSERT_NE(add, nullptr);
        add->activate();
        popup->popdown();
        settle();
    }
    ASSERT_TRUE(exitThroughMenu());
    EXPECT_EQ(sandbox.read("favorites.dat"), lineOf(2500) + lineOf(17));
}

TEST_F(ListWindowTest, ATallerListHoldsMoreRows) {
    GtkChannelList& list = layer->list();
    GdkRectangle row{};
    ASSERT_TRUE(list.rowArea(0, row, false));
    auto onScreen = [&] {
        GdkWindow* bin = gtk_tree_view_get_bin_window(list.view().gobj());
        return gdk_window_get_height(bin) / row.height + 1;
    };
    const int32_t before = list.windowRowCount();
    EXPECT_GE(before, onScreen());
    mainWindow().resize(500, 900);
    ASSERT_TRUE(runUntil([&] { return onScreen() > before; }));
    EXPECT_TRUE(runUntil([&] { return list.windowRowCount() >= onScreen(); }));
    // The last row, scrolled to, is still the program's last.
    list.view().grab_focus();
    pressKey(mainWindow(), GDK_KEY_End);
    EXPECT_EQ(list.selectedRow(), kRows - 1);
    EXPECT_TRUE(list.rowArea(kRows - 1, row, false));
}

}  // namespace
}  // namespace vistrelle::gtk::testing
