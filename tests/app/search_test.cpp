// The search field: the view narrowed by the words typed, with sorts, favourites, the watched row
// and Escape, through the program's own dispatch.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app_fixture.h"

namespace vistrelle::testing {
namespace {

using Names = std::vector<std::string>;

// Three countries; one name and one comment in Windows-1252.
constexpr std::string_view kChannels =
    "Norway|Fjord Jazz|128|Jazz|Coast|http://s.example/1.asx|\r\n"
    "Norway|Bergen Radio|64|News|Jazz at night|http://s.example/2.asx|\r\n"
    "Norway|Oslo Pop|96|Pop||http://s.example/3.asx|\r\n"
    "Sweden|Malm\xF6 Jazz|320|Jazz|Sk\xE5ne|http://s.example/4.asx|\r\n"
    "Sweden|Goteborg News|48|News|Paris desk|http://s.example/5.asx|\r\n"
    "France|Paris Jazz|192|Jazz|Caf\xE9|http://s.example/6.asx|\r\n";

class SearchTest : public AppTest {
protected:
    void SetUp() override {
        sandbox.write("channels.dat", kChannels);
        ASSERT_TRUE(app.startUp());
        forgetCalls();
    }
    // Text typed into the field, as the field reports it.
    void type(std::string_view text) {
        ui.search.typed = text;
        app.dispatchControlEvent(kSearchField, ControlAction::Used);
    }
    void watchRow(int32_t row) {
        ui.list.selected = row;
        app.dispatchControlEvent(kChannelList, ControlAction::DoubleClick);
    }
    void favoriteRow(int32_t row) {
        ui.list.selected = row;
        app.dispatchMenuCommand(kCmdFavorite);
    }
    // The names the list shows, checked against shownChannels.
    Names rowNames() {
        Names rows;
        for (int32_t row = 0; row < ui.list.rowCount(); ++row) {
            rows.push_back(ui.list.rows->columnText(row, 0));
        }
        EXPECT_EQ(rows, shownNames());
        return rows;
    }
    std::vector<int32_t> greenRows() {
        std::vector<int32_t> rows;
        for (int32_t row = 0; row < ui.list.rowCount(); ++row) {
            if (ui.list.background(row) == kWatchedRowColour) {
                rows.push_back(row);
            }
        }
        return rows;
    }
};

TEST_F(SearchTest, TypedWordsNarrowTheChosenViewAndLeaveTheStatusAlone) {
    const Names all{"Fjord Jazz",    "Bergen Radio",  "Oslo Pop",
                    "Malm\xF6 Jazz", "Goteborg News", "Paris Jazz"};
    const struct {
        int32_t country;  // -1: as it is
        const char* typed;
        Names names;
        int32_t resets;  // rebuilds of the rows
    } steps[] = {
        {-1, "jazz", {"Fjord Jazz", "Bergen Radio", "Malm\xF6 Jazz", "Paris Jazz"}, 1},
        {-1, "jazz paris", {"Paris Jazz"}, 1},
        {-1, "PARIS  jazz ", {"Paris Jazz"}, 0},
        {-1, "paris", {"Goteborg News", "Paris Jazz"}, 1},
        {2, "jazz", {"Fjord Jazz", "Bergen Radio"}, 2},
        {3, "jazz", {"Malm\xF6 Jazz"}, 1},
        {-1, "   ", {"Malm\xF6 Jazz", "Goteborg News"}, 1},
        {-1, "", {"Malm\xF6 Jazz", "Goteborg News"}, 0},
        {1, "radio jazz", {"Bergen Radio"}, 2},
        {-1, "xyz", {}, 1},
        {-1, "", all, 1},
    };
    for (const auto& step : steps) {
        const int32_t resets = ui.list.resets;
        if (step.country >= 0) {
            selectCountry(step.country);
        }
        type(step.typed);
        EXPECT_EQ(rowNames(), step.names) << step.country << " \"" << step.typed << "\"";
        EXPECT_EQ(ui.list.resets - resets, step.resets) << step.typed;
    }
    EXPECT_EQ(ui.statusHistory, (Names{" 6 channels loaded"}));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SearchTest, TheSortOrderStaysWhateverIsTyped) {
    app.headerClicked(0);  // names A to Z
    type("jazz");
    EXPECT_EQ(rowNames(), (Names{"Bergen Radio", "Fjord Jazz", "Malm\xF6 Jazz", "Paris Jazz"}));
    app.headerClicked(2);  // the highest bitrate first, the whole view sorted
    EXPECT_EQ(rowNames(), (Names{"Malm\xF6 Jazz", "Paris Jazz", "Fjord Jazz", "Bergen Radio"}));
    type("news");
    EXPECT_EQ(rowNames(), (Names{"Bergen Radio", "Goteborg News"}));
    type("");
    EXPECT_EQ(rowNames(), (Names{"Malm\xF6 Jazz", "Paris Jazz", "Fjord Jazz", "Oslo Pop",
                                 "Bergen Radio", "Goteborg News"}));
    EXPECT_EQ(app.catalog.sortToggle, (std::array<uint8_t, 4>{1, 0, 1, 0}));
    // A new view comes in list order, narrowed by what is typed.
    type("o");
    selectCountry(2);
    EXPECT_EQ(rowNames(), (Names{"Fjord Jazz", "Bergen Radio", "Oslo Pop"}));
}

TEST_F(SearchTest, TheWatchedChannelKeepsItsGreenRowWhereverItIsShown) {
    watchRow(5);  // Paris Jazz
    type("jazz");
    EXPECT_EQ(greenRows(), std::vector<int32_t>{3});
    EXPECT_EQ(app.catalog.watchedRow, 3);
    type("pop");  // hides it
    EXPECT_TRUE(greenRows().empty());
    app.headerClicked(0);
    type("");
    EXPECT_EQ(rowNames(), (Names{"Bergen Radio", "Fjord Jazz", "Goteborg News", "Malm\xF6 Jazz",
                                 "Oslo Pop", "Paris Jazz"}));
    EXPECT_EQ(greenRows(), std::vector<int32_t>{5});

    // Another channel watched while the first is hidden: only the last one is green.
    type("news");
    watchRow(1);  // Goteborg News
    EXPECT_EQ(ui.statusText, " Now watching: Goteborg News");
    type("jazz");
    EXPECT_TRUE(greenRows().empty());
    type("");
    EXPECT_EQ(greenRows(), std::vector<int32_t>{2});
    int32_t marks = 0;
    for (const Channel& channel : app.catalog.shownChannels) {
        marks += channel.watching;
    }
    EXPECT_EQ(marks, 1);
}

TEST_F(SearchTest, FavouritesAreAddedAndRemovedFromTheNarrowedRows) {
    favoriteRow(0);  // Fjord Jazz
    favoriteRow(2);  // Oslo Pop
    type("news");
    favoriteRow(0);  // Bergen Radio
    favoriteRow(1);  // Goteborg News
    EXPECT_EQ(favoriteNames(), (Names{"Fjord Jazz", "Oslo Pop", "Bergen Radio", "Goteborg News"}));

    selectCountry(0);
    EXPECT_EQ(rowNames(), (Names{"Bergen Radio", "Goteborg News"}));
    app.headerClicked(0);
    app.headerClicked(0);  // Z to A: the rows no longer in the favourites' order
    EXPECT_EQ(rowNames(), (Names{"Goteborg News", "Bergen Radio"}));
    favoriteRow(1);  // removes Bergen Radio, wherever it stands
    EXPECT_EQ(favoriteNames(), (Names{"Fjord Jazz", "Oslo Pop", "Goteborg News"}));
    EXPECT_EQ(app.catalog.favoriteCursor, 1);
    EXPECT_EQ(rowNames(), (Names{"Goteborg News"}));
    type("");
    EXPECT_EQ(rowNames(), (Names{"Oslo Pop", "Goteborg News", "Fjord Jazz"}));

    // Added after the removal: in the removed favourite's place.
    selectCountry(1);
    type("malm\u00f6");
    favoriteRow(0);
    EXPECT_EQ(favoriteNames(), (Names{"Fjord Jazz", "Oslo Pop", "Malm\xF6 Jazz", "Goteborg News"}));
}

TEST_F(SearchTest, EscapeEmptiesTheFieldAndBadTextsGiveAClearResult) {
    // 50,000 words, of which two differ.
    std::string words;
    for (int i = 0; i < 25000; ++i) {
        words += i % 2 == 0 ? "jazz " : "SK ";
    }
    type(words);
    EXPECT_EQ(rowNames(), (Names{"Malm\xF6 Jazz"}));
    app.dispatchControlEvent(kSearchField, ControlAction::Cancel);
    EXPECT_EQ(ui.search.typed, "");
    EXPECT_EQ(rowNames().size(), 6u);
    EXPECT_EQ(ui.statusHistory, (Names{" 6 channels loaded"}));
}

}  // namespace
}  // namespace vistrelle::testing
