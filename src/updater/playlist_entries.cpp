#include "player/playlist.h"
#include "updater/run.h"

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

bool readPlaylistEntries(std::string_view bytes, std::string_view finalUrl, Source source,
                         const CountryNames& countries, std::vector<Entry>& entries,
                         std::string* error) {
    Playlist playlist = readPlaylist(bytes, finalUrl);
    switch (playlist.kind) {
        case PlaylistKind::Html:
            *error = "it is a web page, not a playlist.";
            return false;
        case PlaylistKind::Stream:
            *error = "it is not a playlist.";
            return false;
        case PlaylistKind::Hls:
            // A live stream's own playlist: one channel, the address itself.
            playlist.entries.push_back(PlaylistEntry{std::string(finalUrl), {}, {}, false});
            break;
        default:
            break;
    }
    size_t before = entries.size();
    for (const PlaylistEntry& item : playlist.entries) {
        if (item.isReference) {
            continue;
        }
        PlaylistFields fields{item.url, item.title, attribute(item, "tvg-name"),
                              attribute(item, "tvg-country"), attribute(item, "group-title")};
        if (std::optional<Entry> entry = mapPlaylistFields(fields, source, countries)) {
            entries.push_back(std::move(*entry));
        }
    }
    if (entries.size() == before) {
        *error = "it holds no channel that can be played.";
        return false;
    }
    return true;
}

}  // namespace vistrelle::updater
