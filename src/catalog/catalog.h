// The three channel lists, the views of channelList, favourites, sorting and the catalogue files.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "catalog/channel.h"
#include "catalog/channel_rows.h"
#include "catalog/channel_search.h"

namespace vistrelle {

class WindowUi;
class Launcher;

inline constexpr const char* kChannelsFile = "channels.dat";
inline constexpr const char* kFavoritesFile = "favorites.dat";

struct Catalog {
    std::vector<Channel> allChannels;
    std::vector<Channel> favoriteChannels;
    std::vector<Channel> shownChannels;
    ChannelRows rows;         // what channelList shows: row i is shownChannels[i]
    int32_t filterIndex = 1;  // 0 Favorites, 1 All countries, 2.. a country
    int32_t watchedRow = 0;
    int32_t favoriteCursor = -1;  // index into favoriteChannels; -1 for none
    std::array<uint8_t, 4> sortToggle{};
    uint32_t lastFavoriteId = 0;  // for Channel::favoriteId

    // The search field's text the view was last narrowed by, and its words.
    std::string searchText;
    SearchWords searchWords;
    // While the words narrow the view: the whole view the selector chose, in its current order
    // and with its watched mark, and for each entry of shownChannels the position there of the
    // entry it shows. Both empty otherwise.
    std::vector<Channel> viewChannels;
    std::vector<uint32_t> shownFrom;
    bool narrowed() const { return !searchWords.empty(); }
};

// Start-up: reads favorites.dat and channels.dat from the current directory, fills the lists,
// the rows, countrySelector and the status text; offers the updater when channels.dat is missing.
void loadCatalog(Catalog& catalog, WindowUi& windows, Launcher& launcher);
// Exit: rewrites favorites.dat from favoriteChannels, or deletes it when there are none. A
// failure is reported in a message box unless `windowsGone` (the display is lost).
void saveFavorites(const Catalog& catalog, WindowUi& windows, bool windowsGone = false);

// Views and favourites.
void applyFilter(Catalog& catalog, WindowUi& windows);
void refillChannelList(Catalog& catalog, WindowUi& windows);
void addFavorite(Catalog& catalog, int32_t row);
void removeFavorite(Catalog& catalog, WindowUi& windows, int32_t row);
// The search field: when its text differs from the one the view was last narrowed by, narrows
// the view chosen in countrySelector to the channels whose name, category or comment hold every
// word (an empty text or only spaces narrows nothing). The order of the view, its watched
// channel and the status text stay.
void applySearch(Catalog& catalog, WindowUi& windows);

// While the search narrows the view (nothing otherwise): takeWholeView puts the whole view,
// with its watched mark, back into shownChannels; narrowShownChannels keeps it aside and leaves
// in shownChannels the entries the words let through, in the same order. The rows are left to
// the caller.
void takeWholeView(Catalog& catalog);
void narrowShownChannels(Catalog& catalog);

// Sorting.
enum class SortKey { Name, Category, Bitrate, Comment };
enum class SortDirection { Ascending, Descending };
void sortShownChannels(std::vector<Channel>& channels, SortKey key, SortDirection direction);
// A header click on column 0..3: flips that column's flag, sorts, refills the rows.
void sortByColumn(Catalog& catalog, WindowUi& windows, int32_t column);

}  // namespace vistrelle
