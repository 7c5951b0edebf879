#include "updater/entry.h"

#include <algorithm>

#include "player/playlist.h"
#include "updater/letters.h"

namespace vistrelle::updater {

namespace {

bool isBlank(char c) {
    return c == ' ';
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool hasScheme(std::string_view url, std::string_view scheme) {
    if (url.size() <= scheme.size() + 3) {
        return false;
    }
    for (size_t i = 0; i < scheme.size(); ++i) {
        if (asciiLower(url[i]) != scheme[i]) {
            return false;
        }
    }
    return url.substr(scheme.size(), 3) == "://";
}

bool isWebAddress(std::string_view url) {
    return hasScheme(url, "http") || hasScheme(url, "https");
}

// The first item of a comma-separated list, and the rest.
std::pair<std::string_view, std::string_view> firstItem(std::string_view list) {
    size_t comma = list.find(',');
    if (comma == std::string_view::npos) {
        return {list, {}};
    }
    return {list.substr(0, comma), list.substr(comma + 1)};
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// ", "-separated items of a comma list without empty ones.
std::string commaList(std::string_view list) {
    std::string result;
    while (!list.empty()) {
        auto [item, rest] = firstItem(list);
        item = trimmed(item);
        if (!item.empty()) {
            if (!result.empty()) {
                result += ", ";
            }
            result += item;
        }
        list = rest;
    }
    return result;
}

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isUpper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool isLower(char c) {
    return c >= 'a' && c <= 'z';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The id without its feed ("@SD").
std::string_view withoutFeed(std::string_view id) {
    return id.substr(0, id.find('@'));
}

}  // namespace

int32_t kbpsOf(int64_t bitrate) {
    constexpr int64_t kLargestKbps = 10000;
    constexpr int64_t kCeiling = 100000;
    if (bitrate <= 0) {
        return 0;
    }
    if (bitrate > kLargestKbps) {
        bitrate = bitrate / 1000 + (bitrate % 1000 >= 500 ? 1 : 0);
    }
    return static_cast<int32_t>(std::min(bitrate, kCeiling));
}

std::string_view countryCodeOfId(std::string_view id) {
    id = withoutFeed(id);
    const size_t dot = id.rfind('.');
    if (dot == std::string_view::npos || id.size() - dot != 3 || !isAsciiLetter(id[dot + 1]) ||
        !isAsciiLetter(id[dot + 2])) {
        return {};
    }
    return id.substr(dot + 1);
}

std::string nameOfId(std::string_view id) {
    id = withoutFeed(id);
    if (!countryCodeOfId(id).empty()) {
        id.remove_suffix(3);
    }
    std::string name;
    for (size_t i = 0; i < id.size(); ++i) {
        const char c = id[i];
        if (i > 0) {
            const char before = id[i - 1];
            const bool next = i + 1 < id.size() && isLower(id[i + 1]);
            // "sC" in "LibyasChannel", "CO" in "BBCOne", "e2" in "France24", "5M" in "TV5Monde".
            if ((isLower(before) && isUpper(c)) || (isUpper(before) && isUpper(c) && next) ||
                (isLower(before) && isDigit(c)) || (isDigit(before) && isUpper(c))) {
                name.push_back(' ');
            }
        }
        name.push_back(c == '_' ? ' ' : c);
    }
    return cleanText(name);
}

std::string cleanText(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        result.push_back(c == '|' || byte < 0x20 || byte == 0x7F ? ' ' : c);
    }
    size_t begin = 0;
    while (begin < result.size() && isBlank(result[begin])) {
        ++begin;
    }
    size_t end = result.size();
    while (end > begin && isBlank(result[end - 1])) {
        --end;
    }
    return result.substr(begin, end - begin);
}

std::string cleanAddress(std::string_view url) {
    std::string address = withEncodedSpaces(cleanText(splitHeaderSuffix(url).address));
    if (address.find(' ') != std::string::npos) {
        return {};
    }
    for (std::string_view scheme : {"http", "https", "mms", "mmsh", "mmst"}) {
        if (hasScheme(address, scheme)) {
            return address;
        }
    }
    return {};
}

std::string cleanHomepage(std::string_view url) {
    std::string address = cleanText(url);
    if (!isWebAddress(address) || address.find(' ') != std::string::npos) {
        return {};
    }
    return address;
}

std::string capitalised(std::string_view text) {
    return withTitleCaseFirst(text);
}

std::string joinComment(std::initializer_list<std::string_view> parts, size_t limit) {
    std::string result;
    for (std::string_view part : parts) {
        std::string text = cleanText(part);
        if (text.empty()) {
            continue;
        }
        if (!result.empty()) {
            result += ", ";
        }
        result += text;
    }
    if (result.size() > limit) {
        size_t cut = limit;
        // Never in the middle of a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(result[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        result.resize(cut);
        result = cleanText(result);
        if (!result.empty() && result.back() == ',') {
            result.pop_back();
        }
        result += "...";
    }
    return result;
}

std::optional<Entry> mapRadioStation(const RadioStation& station, const CountryNames& countries) {
    if (station.broken) {
        return std::nullopt;
    }
    Entry entry;
    entry.url = cleanAddress(station.urlResolved);
    if (entry.url.empty()) {
        entry.url = cleanAddress(station.url);
    }
    if (entry.url.empty()) {
        return std::nullopt;
    }
    entry.source = Source::Radio;
    entry.country = countries.countryOf(station.countryCode);
    entry.name = cleanText(station.name);
    if (entry.name.empty()) {
        entry.name = entry.url;
    }
    entry.bitrate = kbpsOf(station.bitrate);
    auto [firstTag, otherTags] = firstItem(station.tags);
    entry.category = capitalised(cleanText(firstTag));
    if (entry.category.empty()) {
        entry.category = "Radio";
    }
    std::string codec = cleanText(station.codec);
    if (codec == "UNKNOWN") {
        codec.clear();
    }
    entry.comment = joinComment({codec, commaList(station.language), commaList(otherTags)});
    entry.homepage = cleanHomepage(station.homepage);
    entry.popularity = station.clickCount;
    return entry;
}

std::optional<Entry> mapTvStream(const TvStream& stream, const TvChannel* channel,
                                 const CountryNames& countries) {
    if (channel != nullptr && (channel->nsfw || channel->closed)) {
        return std::nullopt;
    }
    Entry entry;
    entry.url = cleanAddress(stream.url);
    if (entry.url.empty()) {
        return std::nullopt;
    }
    entry.source = Source::Tv;
    entry.country = countries.countryOf(channel != nullptr && !channel->country.empty()
                                            ? std::string_view(channel->country)
                                            : countryCodeOfId(stream.channel));
    entry.name = cleanText(channel != nullptr ? channel->name : stream.title);
    if (entry.name.empty()) {
        entry.name = cleanText(stream.title);
    }
    if (entry.name.empty()) {
        entry.name = nameOfId(stream.channel);
    }
    if (entry.name.empty()) {
        entry.name = entry.url;
    }
    if (channel != nullptr) {
        entry.category = capitalised(cleanText(firstItem(channel->categories).first));
        entry.homepage = cleanHomepage(channel->website);
    }
    if (entry.category.empty()) {
        entry.category = "TV";
    }
    entry.comment = joinComment({stream.quality, stream.label});
    return entry;
}

std::optional<Entry> mapPlaylistFields(const PlaylistFields& fields, Source source,
                                       const CountryNames& countries) {
    Entry entry;
    entry.url = cleanAddress(fields.url);
    if (entry.url.empty()) {
        return std::nullopt;
    }
    entry.source = source;
    entry.country = countries.countryOf(
        cleanText(fields.tvgCountry).empty() ? countryCodeOfId(fields.tvgId) : fields.tvgCountry);
    entry.name = cleanText(fields.title);
    if (entry.name.empty()) {
        entry.name = cleanText(fields.tvgName);
    }
    if (entry.name.empty()) {
        entry.name = nameOfId(fields.tvgId);
    }
    if (entry.name.empty()) {
        entry.name = entry.url;
    }
    entry.category = cleanText(fields.groupTitle.substr(0, fields.groupTitle.find(';')));
    if (entry.category.empty()) {
        entry.category = source == Source::Tv ? "TV" : "Playlist";
    }
    return entry;
}

}  // namespace vistrelle::updater
