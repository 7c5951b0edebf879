#include <algorithm>

#include "player/playlist.h"
#include "updater/run.h"
#include "updater/texts.h"

namespace vistrelle::updater {

namespace {

std::string_view attribute(const PlaylistEntry& entry, std::string_view key) {
    for (const auto& [name, value] : entry.attributes) {
        if (name == key) {
            return value;
        }
    }
    return {};
}

}  // namespace

PlaylistRead readPlaylistEntries(std::string_view bytes, std::string_view finalUrl, Source source,
                                 const CountryNames& countries, std::vector<Entry>& entries,
                                 std::string* why) {
    Playlist playlist = readPlaylist(bytes, finalUrl);
    switch (playlist.kind) {
        case PlaylistKind::Html:
            *why = "it is a web page, not a playlist.";
            return PlaylistRead::Refused;
        case PlaylistKind::Stream:
            *why = "it is not a playlist.";
            return PlaylistRead::Refused;
        case PlaylistKind::Hls:
            // A live stream's own playlist: one channel, the address itself.
            playlist.entries.push_back(PlaylistEntry{std::string(finalUrl), {}, {}, false, {}});
            break;
        default:
            break;
    }
    // References to other playlists are channels only where nothing else is: the player
    // follows them as it follows any playlist.
    const bool onlyReferences =
        std::all_of(playlist.entries.begin(), playlist.entries.end(),
                    [](const PlaylistEntry& item) { return item.isReference; });
    const size_t before = entries.size();
    for (const PlaylistEntry& item : playlist.entries) {
        if (item.isReference && !onlyReferences) {
            continue;
        }
        PlaylistFields fields{item.url,
                              item.title,
                              attribute(item, "tvg-name"),
                              attribute(item, "tvg-country"),
                              attribute(item, "group-title"),
                              attribute(item, "tvg-id")};
        if (std::optional<Entry> entry = mapPlaylistFields(fields, source, countries)) {
            entries.push_back(std::move(*entry));
        }
    }
    if (entries.size() > before) {
        return PlaylistRead::Channels;
    }
    *why = playlist.entries.empty() && playlist.localFiles > 0
               ? localFilesText(!finalUrl.empty())
               : "it holds no channel that can be played.";
    return PlaylistRead::Nothing;
}

}  // namespace vistrelle::updater
