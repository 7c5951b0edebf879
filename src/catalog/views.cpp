// The view of channelList (country filter, favourites) and the favourites list.
#include <algorithm>
#include <string>

#include "ui/window_layer.h"
#include "catalog/catalog.h"

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
    catalog.rows.clear();
    if (selected == 0) {
        catalog.shownChannels.reserve(catalog.favoriteChannels.size());
        catalog.rows.reserve(catalog.favoriteChannels.size());
        for (const Channel& favorite : catalog.favoriteChannels) {
            Channel shown = favorite.copy();
            shown.favoriteId = favorite.favoriteId;  // finds the favourite again after a sort
            catalog.rows.append(shown);
            catalog.shownChannels.push_back(std::move(shown));
        }
        catalog.favoriteCursor = static_cast<int32_t>(catalog.favoriteChannels.size()) - 1;
    } else if (selected == 1) {
        catalog.shownChannels.reserve(catalog.allChannels.size());
        catalog.rows.reserve(catalog.allChannels.size());
        for (const Channel& channel : catalog.allChannels) {
            catalog.shownChannels.push_back(channel.copy());
            catalog.rows.append(channel);
        }
    } else {
        const std::string country = selector.selectedText();
        for (const Channel& channel : catalog.allChannels) {
            if (channel.country() == country) {
                catalog.shownChannels.push_back(channel.copy());
                catalog.rows.append(channel);
            }
        }
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
    catalog.rows.removeAt(row);
    // The watched row moves up with the rows below the removed one.
    if (row < catalog.watchedRow) {
        catalog.watchedRow--;
    }
    windows.channelList().rowRemoved(catalog.rows, row);
}

}  // namespace vistrelle
