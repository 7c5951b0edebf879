// loadCatalog and saveFavorites: the two catalogue files.
#include <string>

#include "catalog/catalog.h"
#include "catalog/catalog_format.h"
#include "os/file.h"
#include "settings/launch.h"
#include "ui/texts.h"
#include "ui/window_layer.h"

namespace vistrelle {

namespace {

// Step 1: the favourites of favorites.dat, each with its own link id; silent when unreadable.
void loadFavorites(Catalog& catalog) {
    os::File file;
    if (!file.open(kFavoritesFile, os::File::Access::Read)) {
        return;
    }
    CatalogReader reader(file);
    while (!reader.atEnd()) {
        Channel favorite = parseChannelLine(reader.readCatalogLine());
        favorite.favoriteId = ++catalog.lastFavoriteId;
        catalog.favoriteChannels.push_back(std::move(favorite));
    }
    catalog.favoriteCursor = static_cast<int32_t>(catalog.favoriteChannels.size()) - 1;
}

// Step 2: channels.dat into allChannels, shownChannels, the rows and countrySelector. False
// when the file cannot be opened.
bool loadChannels(Catalog& catalog, WindowUi& windows) {
    os::File file;
    if (!file.open(kChannelsFile, os::File::Access::Read)) {
        return false;
    }
    CountrySelectorUi& selector = windows.countrySelector();
    Channel previous;  // its country is the previous country (empty at first)
    CatalogReader reader(file);
    while (!reader.atEnd()) {
        Channel channel = parseChannelLine(reader.readCatalogLine());
        if (channel.country() != previous.country()) {
            selector.appendItem(channel.country());
        }
        previous = channel;
        catalog.allChannels.push_back(std::move(channel));
    }
    // The view and its rows: copies of every channel, in file order.
    catalog.shownChannels.reserve(catalog.shownChannels.size() + catalog.allChannels.size());
    catalog.rows.reserve(static_cast<size_t>(catalog.rows.count()) + catalog.allChannels.size());
    for (const Channel& channel : catalog.allChannels) {
        catalog.shownChannels.push_back(channel.copy());
        catalog.rows.append(channel);
    }
    file.close();
    windows.channelList().rowsReset(catalog.rows);
    std::string status(" ");
    status.append(decimalText(static_cast<int64_t>(catalog.allChannels.size())));
    status.append(texts::kChannelsLoaded);
    windows.setStatusText(status);
    return true;
}

}  // namespace

void loadCatalog(Catalog& catalog, WindowUi& windows, Launcher& launcher) {
    for (;;) {
        // A run after the updater reads favorites.dat again from the start, so the favourites
        // of the first run must not stay in the list twice.
        catalog.favoriteChannels.clear();
        catalog.favoriteCursor = -1;
        loadFavorites(catalog);
        if (loadChannels(catalog, windows)) {
            return;
        }
        if (showMessage(windows, texts::kNoChannels) != MessageAnswer::Yes ||
            !startUpdaterOrWarn(windows, launcher, "", true)) {
            return;
        }
    }
}

void saveFavorites(const Catalog& catalog, WindowUi& windows, bool windowsGone) {
    if (catalog.favoriteChannels.empty()) {
        if (os::pathKind(kFavoritesFile) == os::PathKind::RegularFile) {
            os::removeFile(kFavoritesFile);
        }
        return;
    }
    std::string content;
    for (const Channel& favorite : catalog.favoriteChannels) {
        content += formatChannelLine(favorite);
        content += "\r\n";
    }
    // The new list goes to a temporary file that replaces favorites.dat only once it is
    // complete, so a failure never costs the old list.
    bool saved = false;
    switch (os::replaceFile(kFavoritesFile, content)) {
        case os::ReplaceResult::Replaced:
            saved = true;
            break;
        case os::ReplaceResult::NoTemporary:
            // Only where the folder takes no new file: rewrite the file in place.
            saved = os::pathKind(kFavoritesFile) != os::PathKind::Directory &&
                    os::rewriteFile(kFavoritesFile, content);
            break;
        case os::ReplaceResult::Failed:
            break;
    }
    if (!saved && !windowsGone) {
        showMessage(windows, texts::kFavoritesNotSaved);
    }
}

}  // namespace vistrelle
