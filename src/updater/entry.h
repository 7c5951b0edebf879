// One channel on its way from a directory or playlist to the catalogue: the seven fields, where
// it came from and how popular it is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "updater/countries.h"

namespace vistrelle::updater {

// Within a country: the user's playlists, then TV, then radio.
enum class Source : uint8_t { Playlist, Tv, Radio };

struct Entry {
    std::string country;
    std::string name;
    int32_t bitrate = 0;
    std::string category;
    std::string comment;
    std::string url;
    std::string homepage;
    Source source = Source::Radio;
    int64_t popularity = 0;  // larger first
};

// A station of the radio directory, as its JSON list gives it.
struct RadioStation {
    std::string name, url, urlResolved, homepage, tags, countryCode, language, codec;
    int64_t bitrate = 0;
    int64_t clickCount = 0;
    bool broken = false;  // lastcheckok is 0
};

// A channel and a stream of the TV directory.
struct TvChannel {
    std::string id, name, country, categories, website;
    bool nsfw = false;
    bool closed = false;
};
struct TvStream {
    std::string channel, title, url, quality, label;
};

// A field as the catalogue takes it: "|", CR, LF, TAB, NUL and other control bytes become
// spaces, blanks at either end go; other bytes (UTF-8) are kept.
std::string cleanText(std::string_view text);
// A stream address: the request headers some lists append after a "|" cut off (another "|"
// percent-encoded), cleaned, spaces percent-encoded; empty unless it is an http, https, mms,
// mmsh or mmst address.
std::string cleanAddress(std::string_view url);
// A homepage: cleaned; empty unless http or https.
std::string cleanHomepage(std::string_view url);
// The first letter in title case, in any script that has case ("поп-музыка" gives "Поп-музыка").
std::string capitalised(std::string_view text);
// A bitrate in kbit/s as the catalogue holds it: a value above 10000 is in bit/s (128000 gives
// 128); negative values give 0, absurd ones 100000.
int32_t kbpsOf(int64_t bitrate);

// The TV directory's ids and the tvg-id of IPTV lists: "AndorraTV.ad", "AndorraTV.ad@SD".
// The country code at the end ("ad"), empty when there is none.
std::string_view countryCodeOfId(std::string_view id);
// A name for a channel known only by its id: "LibyasChannel.ly" gives "Libyas Channel",
// "BBCOne.uk" "BBC One", "France24.fr" "France 24".
std::string nameOfId(std::string_view id);

// "a, b, c" of the non-empty parts, cut at a character boundary after about `limit` bytes.
std::string joinComment(std::initializer_list<std::string_view> parts, size_t limit = 160);

std::optional<Entry> mapRadioStation(const RadioStation& station, const CountryNames& countries);
// `channel` is null when the stream names no known channel: its name is then the stream's title,
// else made of the channel's id, whose end also gives the country.
std::optional<Entry> mapTvStream(const TvStream& stream, const TvChannel* channel,
                                 const CountryNames& countries);
// An entry of a playlist: its title (else tvg-name, else a name made of tvg-id, else the
// address), tvg-country (else the country code of tvg-id), group-title.
struct PlaylistFields {
    std::string_view url, title, tvgName, tvgCountry, groupTitle, tvgId;
};
std::optional<Entry> mapPlaylistFields(const PlaylistFields& fields, Source source,
                                       const CountryNames& countries);

}  // namespace vistrelle::updater
