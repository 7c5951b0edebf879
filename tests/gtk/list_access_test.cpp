// channelList over 200,000 rows as a screen reader sees it: asked through the accessibility bus
// from another process while the program runs, and driven by the keys and clicks of a user.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "accessibility_probe.h"
#include "gtk_fixture.h"
#include "ui/list_rows.h"

namespace vistrelle::gtk::testing {
namespace {

constexpr int32_t kRows = 200000;
constexpr int32_t kCountries = 10;

// Row i: a name from a permutation of the numbers (so that a sort moves every row); ten
// countries, each a run of rows.
std::string nameOf(int32_t row) {
    char name[32];
    std::snprintf(name, sizeof name, "Channel %06d",
                  static_cast<int>((static_cast<int64_t>(row) * 7919) % kRows));
    return name;
}

std::string catalogue() {
    std::string text;
    text.reserve(static_cast<size_t>(kRows) * 70);
    for (int32_t row = 0; row < kRows; ++row) {
        text += "Country " + std::to_string(row / (kRows / kCountries)) + "|" + nameOf(row) + "|" +
                std::to_string(row % 320) + "|Cat " + std::to_string(row % 13) + "|Note " +
                std::to_string(row) + "|http://s.example/" + std::to_string(row) + ".asx|\r\n";
    }
    return text;
}

class ListAccessTest : public GtkAppTest {
protected:
    static void SetUpTestSuite() {
        probe_ = std::make_unique<AccessibilityProbe>();
        if (!probe_->start(unavailable_)) {
            probe_.reset();
        }
    }
    static void TearDownTestSuite() { probe_.reset(); }

    void SetUp() override {
        GtkAppTest::SetUp();
        if (!probe_) {
            GTEST_SKIP() << "no screen reader's view: " << unavailable_;
        }
        static const std::string text = catalogue();
        sandbox.write("channels.dat", text);
        startProgram();
        ASSERT_TRUE(runUntil([&] { return layer->list().shownRowCount() == kRows; }));
        ASSERT_EQ(ask("find " + std::to_string(getpid())), "");
        layer->list().view().grab_focus();
        settle();
        ask("events");  // what the start-up and the focus told
    }

    std::string ask(const std::string& question) {
        return probe_->ask(question,
                           [this](const std::function<bool()>& done) { return runUntil(done); });
    }
    void press(guint key) {
        pressKey(mainWindow(), key);
        settle();
    }
    // Pure green pixels in a row as drawn.
    int greenPixels(int32_t row) {
        GdkRectangle area{};
        GdkWindow* bin = gtk_tree_view_get_bin_window(layer->list().view().gobj());
        if (!layer->list().rowArea(row, area, false) || area.y < 0) {
            return 0;
        }
        GdkPixbuf* shot = gdk_pixbuf_get_from_window(bin, area.x, area.y, area.width, area.height);
        if (shot == nullptr) {
            return 0;
        }
        int green = 0;
        const int channels = gdk_pixbuf_get_n_channels(shot);
        const int stride = gdk_pixbuf_get_rowstride(shot);
        const guchar* pixels = gdk_pixbuf_get_pixels(shot);
        for (int y = 0; y < gdk_pixbuf_get_height(shot); ++y) {
            for (int x = 0; x < gdk_pixbuf_get_width(shot); ++x) {
                const guchar* at = pixels + y * stride + x * channels;
                green += at[0] == 0 && at[1] == 255 && at[2] == 0 ? 1 : 0;
            }
        }
        g_object_unref(shot);
        return green;
    }

    static std::unique_ptr<AccessibilityProbe> probe_;
    static std::string unavailable_;
};

std::unique_ptr<AccessibilityProbe> ListAccessTest::probe_;
std::string ListAccessTest::unavailable_;

// The player's page is read too: its web process reaches the accessibility bus, although it is
// kept off the session bus.
TEST_F(ListAccessTest, TheTableCountsEveryRowAndReadsTheLastAndThePlayersPageBesideIt) {
    EXPECT_EQ(ask("rows"), std::to_string(kRows));
    EXPECT_EQ(ask("columns"), "4");
    const char* titles[] = {"Channel", "Category", "Bitrate", "Comment"};
    const std::string last[] = {nameOf(kRows - 1), "Cat " + std::to_string((kRows - 1) % 13),
                                std::to_string((kRows - 1) % 320),
                                "Note " + std::to_string(kRows - 1)};
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(ask("header " + std::to_string(column)), titles[column]);
        EXPECT_EQ(ask("cell " + std::to_string(kRows - 1) + " " + std::to_string(column)),
                  last[column]);
    }
    // The tree view itself holds a window of rows, not all of them.
    EXPECT_LT(layer->list().windowRowCount(), 200);
    EXPECT_EQ(ask("cell " + std::to_string(kRows) + " 0"), "error no cell");

    std::string page;
    ASSERT_TRUE(runUntil([&] {
        page = ask("page");
        return page.rfind("error", 0) != 0;
    })) << page;
    EXPECT_NE(page.find("Vistrelle"), std::string::npos) << page;
}

TEST_F(ListAccessTest, EndThenUpReachesARowFarBelowAndItKeepsTheWatchedColour) {
    press(GDK_KEY_End);
    press(GDK_KEY_Up);
    const int32_t row = kRows - 2;
    EXPECT_EQ(layer->list().selectedRow(), row);
    EXPECT_EQ(ask("selected"), std::to_string(row));
    // Each key told the selection, the focus leaving the cell before and its new cell as the
    // active descendant; nothing else.
    const std::string key =
        "object:selection-changed object:state-changed:focused "
        "object:active-descendant-changed:";
    EXPECT_EQ(ask("events"), key + std::to_string(row + 1) + " " + key + std::to_string(row));
    EXPECT_EQ(ask("cell " + std::to_string(row) + " 0"), nameOf(row));
    EXPECT_EQ(ask("states " + std::to_string(row) + " 0"), "selected focused showing");
    EXPECT_EQ(ask("states " + std::to_string(row) + " 1"), "selected showing");

    // The cell under a point of the screen, on rows far from the first screen.
    const std::string centre = ask("centre " + std::to_string(row - 5) + " 1");
    EXPECT_EQ(ask("at " + centre), std::to_string(row - 5) + " 1");

    // Selection and the watched row's colour stay on their rows through scrolling.
    press(GDK_KEY_Return);
    ASSERT_TRUE(runUntil(
        [&] { return mainWindow().statusText() == " Now watching: " + nameOf(row); }, 60000));

    press(GDK_KEY_Up);    // another row selected: the watched one shows its colour
    press(GDK_KEY_Home);  // far away: no green row on the first screen
    EXPECT_EQ(ask("selected"), "0");
    settle();
    for (int32_t top = 0; top < 10; ++top) {
        EXPECT_EQ(greenPixels(top), 0) << top;
    }
    press(GDK_KEY_End);  // back: the watched row is green again, the last row selected
    EXPECT_EQ(ask("selected"), std::to_string(kRows - 1));
    EXPECT_TRUE(runUntil([&] { return greenPixels(row) > 100; }));
    EXPECT_EQ(greenPixels(kRows - 1), 0);

    // A selection made through the table is the program's selection.
    EXPECT_EQ(ask("select 1234"), "");
    EXPECT_EQ(layer->list().selectedRow(), 1234);
}

TEST_F(ListAccessTest, TypingFindsARowOutsideTheWindow) {
    int32_t target = 0;
    while (nameOf(target) != "Channel 123457") {
        ++target;
    }
    ASSERT_GT(target, layer->list().windowRowCount());
    for (char typed : std::string("channel 123457")) {
        press(gdk_unicode_to_keyval(static_cast<guint32>(typed)));
    }
    EXPECT_EQ(layer->list().selectedRow(), target);
    EXPECT_EQ(ask("selected"), std::to_string(target));
    const std::string events = ask("events");
    EXPECT_NE(events.find("object:active-descendant-changed:" + std::to_string(target)),
              std::string::npos)
        << events;
    EXPECT_EQ(ask("cell " + std::to_string(target) + " 0"), "Channel 123457");
}

TEST_F(ListAccessTest, AHeaderSortTellsOneReorderAndGivesTheNewOrder) {
    for (const bool ascending : {true, false}) {
        layer->list().column(0)->clicked();
        settle();
        // The first sort also drops the selection that taking the focus made.
        EXPECT_EQ(ask("events"), ascending ? "object:row-reordered object:selection-changed"
                                           : "object:row-reordered");
        EXPECT_EQ(ask("rows"), std::to_string(kRows));
        for (int32_t row : {0, 1, kRows / 2, kRows - 1}) {
            char name[32];
            std::snprintf(name, sizeof name, "Channel %06d", ascending ? row : kRows - 1 - row);
            EXPECT_EQ(ask("cell " + std::to_string(row) + " 0"), name);
        }
    }
}

TEST_F(ListAccessTest, ACountryAndBackChangeTheRowCount) {
    Gtk::ComboBoxText& selector = layer->selector().widget();
    selector.set_active(3);  // "Country 1": the second tenth of the rows
    ASSERT_TRUE(runUntil([&] { return layer->list().shownRowCount() == kRows / kCountries; }));
    EXPECT_EQ(ask("rows"), std::to_string(kRows / kCountries));
    EXPECT_EQ(ask("events"), "object:model-changed object:selection-changed");
    EXPECT_EQ(ask("cell 1 0"), nameOf(kRows / kCountries + 1));
    selector.set_active(1);
    ASSERT_TRUE(runUntil([&] { return layer->list().shownRowCount() == kRows; }));
    EXPECT_EQ(ask("rows"), std::to_string(kRows));
    EXPECT_EQ(ask("events"), "object:model-changed");
    EXPECT_EQ(ask("cell 1 0"), nameOf(1));
}

}  // namespace
}  // namespace vistrelle::gtk::testing
