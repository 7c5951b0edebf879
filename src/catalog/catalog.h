// The three channel lists, the views of channelList, favourites, sorting and the catalogue files.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "catalog/channel.h"
#include "catalog/channel_rows.h"

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

// Sorting.
enum class SortKey { Name, Category, Bitrate, Comment };
enum class SortDirection { Ascending, Descending };
void sortShownChannels(std::vector<Channel>& channels, SortKey key, SortDirection direction);
// A header click on column 0..3: flips that column's flag, sorts, refills the rows.
void sortByColumn(Catalog& catalog, WindowUi& windows, int32_t column);

}  // namespace vistrelle
