#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/catalog_format.h"
#include "fake/memory_layer.h"

namespace vistrelle {
namespace {

using testing::MemoryWindows;
using Texts = std::vector<std::string>;

// A catalogue as loadCatalog leaves it: the All countries view of `lines`, the selector with
// "Favorites", "All countries" and one item per run of a country.
class ViewsTest : public ::testing::Test {
protected:
    void load(const std::vector<std::string>& lines) {
        windows.selector.items = {"Favorites", "All countries"};
        windows.selector.selected = 1;
        std::string previous;
        for (const std::string& line : lines) {
            Channel channel = parseChannelLine(line);
            if (channel.country() != previous) {
                windows.selector.appendItem(channel.country());
                previous = channel.country();
            }
            catalog.shownChannels.push_back(channel.copy());
            catalog.allChannels.push_back(channel);
        }
        refillChannelList(catalog, windows);
    }
    void choose(int32_t index) {
        windows.selector.select(index);
        applyFilter(catalog, windows);
    }
    // The names of the shown entries, checking that the rows show the same entries.
    Texts shownNames() {
        Texts names;
        for (const Channel& channel : catalog.shownChannels) {
            names.emplace_back(channel.name());
        }
        Texts rows;
        for (int32_t row = 0; row < windows.list.rowCount(); ++row) {
            rows.push_back(windows.list.rows->columnText(row, 0));
        }
        EXPECT_EQ(rows, names);
        return names;
    }
    Texts favoriteNames() const {
        Texts names;
        for (const Channel& channel : catalog.favoriteChannels) {
            names.emplace_back(channel.name());
        }
        return names;
    }
    // Marks row `row` as watched, as the watch operation does.
    void watch(int32_t row) {
        catalog.shownChannels[static_cast<size_t>(row)].watching = 1;
        catalog.rows.setBackground(row, kWatchedRowColour);
        catalog.watchedRow = row;
    }
    std::vector<int32_t> greenRows() const {
        std::vector<int32_t> rows;
        for (int32_t row = 0; row < windows.list.rowCount(); ++row) {
            if (windows.list.background(row, 0) == kWatchedRowColour) {
                rows.push_back(row);
            }
        }
        return rows;
    }

    Catalog catalog;
    MemoryWindows windows;
};

TEST_F(ViewsTest, ChoosingTheCurrentItemLeavesTheViewAlone) {
    load({"A|a1", "B|b1"});
    const int32_t resets = windows.list.resets;
    choose(1);
    EXPECT_EQ(windows.list.resets, resets);
    EXPECT_EQ(catalog.filterIndex, 1);
}

TEST_F(ViewsTest, CountryViewsTakeEveryChannelOfThatCountryByExactBytes) {
    load({"A|a1", "A|a2", "B|b1", "A|a3", "|e1", "a|lower", "|e2"});
    ASSERT_EQ(windows.selector.items,
              (Texts{"Favorites", "All countries", "A", "B", "A", "", "a", ""}));
    struct Case {
        int32_t item;
        Texts names;
    };
    const Case cases[] = {
        {2, {"a1", "a2", "a3"}},
        {4, {"a1", "a2", "a3"}},
        {3, {"b1"}},
        {5, {"e1", "e2"}},
        {6, {"lower"}},
        {7, {"e1", "e2"}},
        {1, {"a1", "a2", "b1", "a3", "e1", "lower", "e2"}},
        {0, {}},
    };
    for (const Case& c : cases) {
        const int32_t resets = windows.list.resets;
        choose(c.item);
        EXPECT_EQ(catalog.filterIndex, c.item);
        EXPECT_EQ(shownNames(), c.names) << "item " << c.item;
        EXPECT_EQ(windows.list.resets, resets + 1) << "one reset per rebuilt view";
    }
}

TEST_F(ViewsTest, ANewViewComesInListOrderWithoutTheGreenRow) {
    load({"A|b", "A|c", "A|a", "B|d"});
    watch(1);
    sortByColumn(catalog, windows, 0);
    EXPECT_EQ(shownNames(), (Texts{"a", "b", "c", "d"}));
    EXPECT_EQ(greenRows(), std::vector<int32_t>{2});
    choose(2);
    EXPECT_EQ(shownNames(), (Texts{"b", "c", "a"}));
    EXPECT_TRUE(greenRows().empty());
    EXPECT_EQ(catalog.watchedRow, 2);  // kept, though nothing is green
    choose(1);
    EXPECT_EQ(shownNames(), (Texts{"b", "c", "a", "d"}));
    EXPECT_TRUE(greenRows().empty());
    for (const Channel& channel : catalog.shownChannels) {
        EXPECT_EQ(channel.watching, 0);
    }
    EXPECT_EQ(catalog.sortToggle[0], 1);  // the flags survive a change of view
}

TEST_F(ViewsTest, AddingTheSameChannelTwiceGivesTwoFavourites) {
    load({"A|one", "A|two"});
    addFavorite(catalog, 1);
    addFavorite(catalog, 1);
    EXPECT_EQ(favoriteNames(), (Texts{"two", "two"}));
    EXPECT_EQ(catalog.favoriteCursor, 1);
    choose(0);
    EXPECT_EQ(shownNames(), (Texts{"two", "two"}));
    EXPECT_NE(catalog.favoriteChannels[0].favoriteId, catalog.favoriteChannels[1].favoriteId);
}

TEST_F(ViewsTest, FavouriteCursorCases) {
    struct Case {
        const char* what;
        int32_t removeRow;  // in the Favorites view of 1..5
        Texts added;        // then added from All countries, in this order
        Texts favorites;
    };
    const Case cases[] = {
        {"third removed, X and Y take its place", 2, {"X", "Y"}, {"1", "2", "X", "Y", "4", "5"}},
        {"first removed, X comes first", 0, {"X"}, {"X", "2", "3", "4", "5"}},
        {"last removed, X comes last", 4, {"X", "Y"}, {"1", "2", "3", "4", "X", "Y"}},
        {"nothing removed, X at the end", -1, {"X"}, {"1", "2", "3", "4", "5", "X"}},
    };
    for (const Case& c : cases) {
        catalog = Catalog();
        windows = MemoryWindows();
        load({"Z|X", "Z|Y"});
        for (const char* name : {"1", "2", "3", "4", "5"}) {
            Channel favorite = parseChannelLine(std::string("F|") + name);
            favorite.favoriteId = ++catalog.lastFavoriteId;
            catalog.favoriteChannels.push_back(favorite);
        }
        catalog.favoriteCursor = 4;
        choose(0);
        EXPECT_EQ(catalog.favoriteCursor, 4);
        if (c.removeRow >= 0) {
            removeFavorite(catalog, windows, c.removeRow);
            EXPECT_EQ(catalog.favoriteCursor, c.removeRow - 1) << c.what;
        }
        choose(1);
        for (const std::string& name : c.added) {
            addFavorite(catalog, name == "X" ? 0 : 1);
        }
        EXPECT_EQ(favoriteNames(), c.favorites) << c.what;
    }
}

TEST_F(ViewsTest, FavoritesViewWithNoFavouritesIsEmpty) {
    load({"A|a"});
    choose(0);
    EXPECT_TRUE(shownNames().empty());
    EXPECT_EQ(catalog.favoriteCursor, -1);
}

TEST_F(ViewsTest, RemovingRowZeroOfThreeThenAddingPutsTheNewOneFirst) {
    load({"A|new"});
    for (const char* name : {"f1", "f2", "f3"}) {
        Channel favorite = parseChannelLine(std::string("F|") + name);
        favorite.favoriteId = ++catalog.lastFavoriteId;
        catalog.favoriteChannels.push_back(favorite);
    }
    choose(0);
    removeFavorite(catalog, windows, 0);
    EXPECT_EQ(shownNames(), (Texts{"f2", "f3"}));
    EXPECT_EQ(windows.list.removed, std::vector<int32_t>{0});
    choose(1);
    addFavorite(catalog, 0);
    EXPECT_EQ(favoriteNames(), (Texts{"new", "f2", "f3"}));
}

TEST_F(ViewsTest, RemovalAfterASortRemovesTheFavouriteTheRowShows) {
    load({"A|x"});
    for (const char* name : {"c", "a", "d", "b"}) {
        Channel favorite = parseChannelLine(std::string("F|") + name);
        favorite.favoriteId = ++catalog.lastFavoriteId;
        catalog.favoriteChannels.push_back(favorite);
    }
    choose(0);
    sortByColumn(catalog, windows, 0);  // a b c d
    ASSERT_EQ(shownNames(), (Texts{"a", "b", "c", "d"}));
    removeFavorite(catalog, windows, 2);  // shows "c", the first favourite
    EXPECT_EQ(favoriteNames(), (Texts{"a", "d", "b"}));
    EXPECT_EQ(catalog.favoriteCursor, -1);
    EXPECT_EQ(shownNames(), (Texts{"a", "b", "d"}));
    removeFavorite(catalog, windows, 2);  // "d", now the second favourite
    EXPECT_EQ(favoriteNames(), (Texts{"a", "b"}));
    EXPECT_EQ(catalog.favoriteCursor, 0);
}

TEST_F(ViewsTest, RemovalKeepsWatchedRowOnTheWatchedChannel) {
    struct Case {
        int32_t watched;
        int32_t removed;
        int32_t watchedAfter;
        std::vector<int32_t> green;
    };
    const Case cases[] = {
        {3, 1, 2, {2}},  // a row above: the watched row moves up
        {1, 3, 1, {1}},  // a row below: nothing moves
        {0, 0, 0, {}},   // the watched row itself: no green row is left
    };
    for (const Case& c : cases) {
        catalog = Catalog();
        windows = MemoryWindows();
        load({"A|x"});
        for (const char* name : {"f0", "f1", "f2", "f3"}) {
            Channel favorite = parseChannelLine(std::string("F|") + name);
            favorite.favoriteId = ++catalog.lastFavoriteId;
            catalog.favoriteChannels.push_back(favorite);
        }
        choose(0);
        watch(c.watched);
        const std::string watchedName =
            std::string(catalog.shownChannels[static_cast<size_t>(c.watched)].name());
        removeFavorite(catalog, windows, c.removed);
        EXPECT_EQ(catalog.watchedRow, c.watchedAfter);
        EXPECT_EQ(greenRows(), c.green);
        if (!c.green.empty()) {
            const Channel& watched = catalog.shownChannels[static_cast<size_t>(c.watchedAfter)];
            EXPECT_EQ(watched.name(), watchedName);
            EXPECT_EQ(watched.watching, 1);
        }
    }
}

TEST_F(ViewsTest, RefillKeepsTheGreenRowOnTheWatchedChannel) {
    load({"A|m|1", "A|z|5", "A|a|3"});
    watch(0);
    sortByColumn(catalog, windows, 2);  // highest first: z a m
    EXPECT_EQ(shownNames(), (Texts{"z", "a", "m"}));
    EXPECT_EQ(catalog.watchedRow, 2);
    EXPECT_EQ(greenRows(), std::vector<int32_t>{2});
    for (int32_t column = 0; column < kColumnCount; ++column) {
        EXPECT_EQ(windows.list.background(2, column), kWatchedRowColour);
    }
    EXPECT_FALSE(catalog.rows.colours(2).text[0].has_value());  // text colour never changes
}

TEST_F(ViewsTest, ViewsAreCopiesThatNeverChangeTheLists) {
    load({"A|a", "B|b"});
    addFavorite(catalog, 0);
    choose(0);
    watch(0);
    EXPECT_EQ(catalog.favoriteChannels[0].watching, 0);
    EXPECT_EQ(catalog.allChannels[0].watching, 0);
    sortByColumn(catalog, windows, 0);
    sortByColumn(catalog, windows, 0);
    EXPECT_EQ(catalog.allChannels[0].name(), "a");
}

}  // namespace
}  // namespace vistrelle
