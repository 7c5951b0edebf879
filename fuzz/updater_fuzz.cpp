// Fuzz target for the channel updater's mapping: one directory entry (as JSON, or as raw fields)
// and the entries of one playlist become catalogue lines, and each line must read back as the
// same seven fields. Country names and capitals come from the core's own tables.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "catalog/catalog_format.h"
#include "player/playlist.h"
#include "updater/entry.h"
#include "updater/json_list.h"

namespace {

using namespace vistrelle;
using namespace vistrelle::updater;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

const CountryNames& countries() {
    static const CountryNames names = [] {
        CountryNames n;
        n.add("NO", "Norway");
        n.add("CI", "Côte d'Ivoire");
        return n;
    }();
    return names;
}

void checkLine(const Entry& entry) {
    for (std::string_view field :
         {std::string_view(entry.country), std::string_view(entry.name),
          std::string_view(entry.category), std::string_view(entry.comment),
          std::string_view(entry.url), std::string_view(entry.homepage)}) {
        check(field.find_first_of(std::string_view("|\r\n\t\0", 5)) == std::string_view::npos);
        check(field.empty() || (field.front() != ' ' && field.back() != ' '));
    }
    check(!entry.url.empty() && !entry.country.empty() && !entry.name.empty());
    check(entry.bitrate >= 0);
    std::string line =
        formatChannelLine(Channel(entry.country, entry.name, entry.bitrate, entry.category,
                                  entry.comment, entry.url, entry.homepage));
    std::vector<std::string> lines = splitCatalogLines(line + "\r\n");
    check(lines.size() == 1 && lines[0] == line);
    Channel back = parseChannelLine(lines[0]);
    check(back.country() == entry.country && back.name() == entry.name &&
          back.bitrate() == entry.bitrate && back.category() == entry.category &&
          back.comment() == entry.comment && back.streamUrl() == entry.url &&
          back.homepage() == entry.homepage);
}

// The input cut at zero bytes into at most `n` fields.
template <size_t n>
std::array<std::string, n> fields(std::string_view bytes) {
    std::array<std::string, n> result;
    for (size_t i = 0; i < n && !bytes.empty(); ++i) {
        size_t end = bytes.find('\0');
        result[i] = std::string(bytes.substr(0, end));
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const char mode = static_cast<char>(data[0]);
    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (mode % 4) {
        case 0: {  // a radio directory answer
            static constexpr std::array<std::string_view, 11> keys = {
                "name",     "url",   "url_resolved", "homepage",   "tags",       "countrycode",
                "language", "codec", "bitrate",      "clickcount", "lastcheckok"};
            static constexpr std::array<std::string_view, 3> addresses = {"url", "url_resolved",
                                                                          "homepage"};
            MemorySource source(bytes, 1 + static_cast<size_t>(mode & 0x7F));
            readObjectList(
                source, keys,
                [](ObjectValues v) {
                    RadioStation station{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
                    station.bitrate = static_cast<int64_t>(v[8].size()) * 1000 - 500;
                    if (auto entry = mapRadioStation(station, countries())) {
                        checkLine(*entry);
                    }
                    return true;
                },
                256, addresses);
            break;
        }
        case 1: {  // raw fields of a station, any bytes
            auto f = fields<9>(bytes);
            RadioStation station{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
            station.bitrate = static_cast<int64_t>(f[8].size()) - 3;
            if (auto entry = mapRadioStation(station, countries())) {
                checkLine(*entry);
            }
            break;
        }
        case 2: {  // a TV channel and stream, any bytes
            auto f = fields<9>(bytes);
            TvChannel channel{f[0], f[1], f[2], f[3], f[4]};
            TvStream stream{f[0], f[5], f[6], f[7], f[8]};
            if (auto entry = mapTvStream(stream, (mode & 0x10) ? &channel : nullptr, countries())) {
                checkLine(*entry);
            }
            break;
        }
        default: {  // a playlist
            Playlist playlist = readPlaylist(bytes, "http://lists.example/dir/list.m3u");
            for (const PlaylistEntry& item : playlist.entries) {
                std::string_view country;
                std::string_view group;
                std::string_view id;
                for (const auto& [key, value] : item.attributes) {
                    if (key == "tvg-country") {
                        country = value;
                    } else if (key == "group-title") {
                        group = value;
                    } else if (key == "tvg-id") {
                        id = value;
                    }
                }
                PlaylistFields f{item.url, item.title, {}, country, group, id};
                if (auto entry = mapPlaylistFields(f, Source::Playlist, countries())) {
                    checkLine(*entry);
                }
            }
            break;
        }
    }
    return 0;
}
