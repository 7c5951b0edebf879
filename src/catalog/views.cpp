// The view of channelList (country filter, favourites) and the favourites list.
#include <algorithm>
#include <string>

#include "catalog/catalog.h"
#include "ui/window_layer.h"

namespace vistrelle {

void applyFilter(Catalog& catalog, WindowUi& windows) {
    CountrySelectorUi& selector = windows.countrySelector();
    const int32_t selected = selector.selectedIndex();
    // A selector with no selection has nothing to show a view for: the view stays.
    if (selected < 0 || selected == catalog.filterIndex) {
        return;
    }
    catalog.filterIndex = selected;
    catalog.shownChannels.clear();
    catalog.viewChannels.clear();
    catalog.shownFrom.clear();
    catalog.rows.clear();
    // While the search narrows the view, the rows come from the narrowed entries afterwards.
    const bool rowsNow = !catalog.narrowed();
    auto take = [&](Channel shown) {
        if (rowsNow) {
            catalog.rows.append(shown);
        }
        catalog.shownChannels.push_back(std::move(shown));
    };
    if (selected == 0) {
        catalog.shownChannels.reserve(catalog.favoriteChannels.size());
        catalog.rows.reserve(rowsNow ? catalog.favoriteChannels.size() : 0);
        for (const Channel& favorite : catalog.favoriteChannels) {
            Channel shown = favorite.copy();
            shown.favoriteId = favorite.favoriteId;  // finds the favourite again after a sort
            take(std::move(shown));
        }
        catalog.favoriteCursor = static_cast<int32_t>(catalog.favoriteChannels.size()) - 1;
    } else if (selected == 1) {
        catalog.shownChannels.reserve(catalog.allChannels.size());
        catalog.rows.reserve(rowsNow ? catalog.allChannels.size() : 0);
        for (const Channel& channel : catalog.allChannels) {
            take(channel.copy());
        }
    } else {
        const std::string country = selector.selectedText();
        for (const Channel& channel : catalog.allChannels) {
            if (channel.country() == country) {
                take(channel.copy());
            }
        }
    }
    if (!rowsNow) {
        narrowShownChannels(catalog);
        refillChannelList(catalog, windows);  // the copies carry no watched mark
        return;
    }
    windows.channelList().rowsReset(catalog.rows);
}

void refillChannelList(Catalog& catalog, WindowUi& windows) {
    catalog.rows.clear();
    catalog.rows.reserve(catalog.shownChannels.size());
    for (size_t i = 0; i < catalog.shownChannels.size(); ++i) {
        const Channel& channel = catalog.shownChannels[i];
        catalog.rows.append(channel);
        if (channel.watching == 1) {
            const auto row = static_cast<int32_t>(i);
            catalog.watchedRow = row;
            catalog.rows.setBackground(row, kWatchedRowColour);
        }
    }
    windows.channelList().rowsReset(catalog.rows);
}

void addFavorite(Catalog& catalog, int32_t row) {
    if (row < 0 || static_cast<size_t>(row) >= catalog.shownChannels.size()) {
        return;
    }
    Channel favorite = catalog.shownChannels[static_cast<size_t>(row)].copy();
    favorite.favoriteId = ++catalog.lastFavoriteId;
    const auto cursor = std::clamp<int32_t>(
        catalog.favoriteCursor, -1, static_cast<int32_t>(catalog.favoriteChannels.size()) - 1);
    const int32_t at = cursor + 1;
    catalog.favoriteChannels.insert(catalog.favoriteChannels.begin() + at, std::move(favorite));
    catalog.favoriteCursor = at;
}

void removeFavorite(Catalog& catalog, WindowUi& windows, int32_t row) {
    if (row < 0 || static_cast<size_t>(row) >= catalog.shownChannels.size()) {
        return;
    }
    auto& favorites = catalog.favoriteChannels;
    const Channel& shown = catalog.shownChannels[static_cast<size_t>(row)];
    // The favourite this row was copied from, wherever a sort has moved the row; a row without
    // a link (which the Favorites view never has) falls back to the same position.
    auto found = favorites.end();
    if (shown.favoriteId != 0) {
        found = std::find_if(favorites.begin(), favorites.end(), [&](const Channel& favorite) {
            return favorite.favoriteId == shown.favoriteId;
        });
    } else if (static_cast<size_t>(row) < favorites.size()) {
        found = favorites.begin() + row;
    }
    if (found != favorites.end()) {
        const auto index = static_cast<int32_t>(found - favorites.begin());
        favorites.erase(found);
        catalog.favoriteCursor = index - 1;
    }
    catalog.shownChannels.erase(catalog.shownChannels.begin() + row);
    if (catalog.narrowed()) {
        // The whole view loses the entry too, and the entries after it move up.
        const uint32_t inView = catalog.shownFrom[static_cast<size_t>(row)];
        catalog.viewChannels.erase(catalog.viewChannels.begin() + inView);
        catalog.shownFrom.erase(catalog.shownFrom.begin() + row);
        for (uint32_t& from : catalog.shownFrom) {
            from -= from > inView ? 1 : 0;
        }
    }
    catalog.rows.removeAt(row);
    // The watched row moves up with the rows below the removed one.
    if (row < catalog.watchedRow) {
        catalog.watchedRow--;
    }
    windows.channelList().rowRemoved(catalog.rows, row);
}

void takeWholeView(Catalog& catalog) {
    if (!catalog.narrowed()) {
        return;
    }
    std::vector<Channel>& shown = catalog.shownChannels;
    std::vector<Channel>& view = catalog.viewChannels;
    // A channel watched among the narrowed rows is the view's watched channel from now on;
    // otherwise the view keeps the mark it has (on a channel the words hide, or none).
    const int32_t row = catalog.watchedRow;
    if (row >= 0 && static_cast<size_t>(row) < shown.size() &&
        shown[static_cast<size_t>(row)].watching == 1) {
        for (Channel& entry : view) {
            if (entry.watching != 0) {
                entry.watching = 0;
            }
        }
        view[catalog.shownFrom[static_cast<size_t>(row)]].watching = 1;
    }
    shown = std::move(view);
    view.clear();
    catalog.shownFrom.clear();
}

void narrowShownChannels(Catalog& catalog) {
    if (!catalog.narrowed()) {
        return;
    }
    std::vector<Channel>& view = catalog.viewChannels;
    view = std::move(catalog.shownChannels);
    catalog.shownChannels.clear();
    catalog.shownFrom.clear();
    const SearchWords& words = catalog.searchWords;
    // The fields lie scattered once a view has been sorted: ask for them a little ahead.
    constexpr size_t kAhead = 8;
    for (size_t i = 0; i < view.size(); ++i) {
        if (i + kAhead < view.size()) {
            prefetchFields(view[i + kAhead]);
        }
        if (words.matches(view[i])) {
            catalog.shownChannels.push_back(view[i]);  // the watched mark and favourite link too
            catalog.shownFrom.push_back(static_cast<uint32_t>(i));
        }
    }
}

void applySearch(Catalog& catalog, WindowUi& windows) {
    std::string text = windows.searchField().text();
    if (text == catalog.searchText) {
        return;
    }
    catalog.searchText = std::move(text);
    SearchWords words(catalog.searchText);
    if (words == catalog.searchWords) {
        return;  // a space more or less, or the same words in another order
    }
    takeWholeView(catalog);
    catalog.searchWords = std::move(words);
    narrowShownChannels(catalog);
    refillChannelList(catalog, windows);
}

}  // namespace vistrelle
