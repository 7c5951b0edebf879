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
    void onRow(int32_t row, int32_t command) {  // a menu command, or 0 for a double click
        ui.list.selected = row;
        if (command == 0) {
            app.dispatchControlEvent(kChannelList, ControlAction::DoubleClick);
        } else {
            app.dispatchMenuCommand(command);
        }
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
            if (ui.list.background(row) == kWatchedRowColour)
                rows.push_back(row);
        }
        return rows;
    }
};

TEST_F(SearchTest, TypedWordsNarrowTheChosenViewAndLeaveTheStatusAlone) {
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
    };
    for (const auto& step : steps) {
        const int32_t resets = ui.list.resets;
        if (step.country >= 0)
            selectCountry(step.country);
        type(step.typed);
        EXPECT_EQ(rowNames(), step.names) << step.country << " \"" << step.typed << "\"";
        EXPECT_EQ(ui.list.resets - resets, step.resets) << step.typed;
    }
    // Escape empties the field; 50,000 words, of which two differ, are a text like any other.
    app.dispatchControlEvent(kSearchField, ControlAction::Cancel);
    EXPECT_EQ(ui.search.typed, "");
    EXPECT_EQ(rowNames().size(), 6u);
    std::string words;
    for (int i = 0; i < 25000; ++i)
        words += i % 2 == 0 ? "jazz " : "SK ";
    type(words);
    EXPECT_EQ(rowNames(), (Names{"Malm\xF6 Jazz"}));
    EXPECT_EQ(ui.statusHistory, (Names{" 6 channels loaded"}));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SearchTest, TheSortOrderAndTheWatchedRowStayWhateverIsTyped) {
    onRow(5, 0);           // watches Paris Jazz
    app.headerClicked(0);  // names A to Z
    type("jazz");
    EXPECT_EQ(rowNames(), (Names{"Bergen Radio", "Fjord Jazz", "Malm\xF6 Jazz", "Paris Jazz"}));
    EXPECT_EQ(greenRows(), std::vector<int32_t>{3});
    app.headerClicked(2);  // the highest bitrate first, the whole view sorted
    type("pop");           // hides the watched row
    EXPECT_TRUE(greenRows().empty());
    type("");
    EXPECT_EQ(rowNames(), (Names{"Malm\xF6 Jazz", "Paris Jazz", "Fjord Jazz", "Oslo Pop",
                                 "Bergen Radio", "Goteborg News"}));
    EXPECT_EQ(greenRows(), std::vector<int32_t>{1});
    // Another channel watched while the first is hidden: only the last one is green.
    type("news");
    onRow(1, 0);  // Goteborg News
    type("jazz");
    type("");
    EXPECT_EQ(greenRows(), std::vector<int32_t>{5});
    // A new view comes in list order, narrowed by what is typed.
    type("o");
    selectCountry(2);
    EXPECT_EQ(rowNames(), (Names{"Fjord Jazz", "Bergen Radio", "Oslo Pop"}));
}

TEST_F(SearchTest, FavouritesAreAddedAndRemovedFromTheNarrowedRows) {
    onRow(0, kCmdFavorite);  // Fjord Jazz
    type("news");
    onRow(0, kCmdFavorite);  // Bergen Radio
    onRow(1, kCmdFavorite);  // Goteborg News
    selectCountry(0);
    app.headerClicked(0);
    app.headerClicked(0);  // Z to A: the rows no longer in the favourites' order
    EXPECT_EQ(rowNames(), (Names{"Goteborg News", "Bergen Radio"}));
    onRow(1, kCmdFavorite);  // removes Bergen Radio, wherever it stands
    EXPECT_EQ(favoriteNames(), (Names{"Fjord Jazz", "Goteborg News"}));
    EXPECT_EQ(rowNames(), (Names{"Goteborg News"}));
    type("");
    EXPECT_EQ(rowNames(), (Names{"Goteborg News", "Fjord Jazz"}));
    // Added after the removal: in the removed favourite's place.
    selectCountry(1);
    type("malm\u00f6");
    onRow(0, kCmdFavorite);
    EXPECT_EQ(favoriteNames(), (Names{"Fjord Jazz", "Malm\xF6 Jazz", "Goteborg News"}));
}

}  // namespace
}  // namespace vistrelle::testing
