// The line formats: PLS and the ASF reference file (numbered keys), M3U with and without #EXTINF,
// RealAudio .ram, and HLS, recognised by its "#EXT-X-" tags.
#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "player/playlist_text.h"

namespace vistrelle::playlist_detail {

namespace {

bool allDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// Numbers of any length in numeric order, compared as digit strings without leading zeros.
struct NumberOrder {
    bool operator()(const std::string& a, const std::string& b) const {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    }
};

std::string withoutLeadingZeros(std::string_view digits) {
    while (digits.size() > 1 && digits.front() == '0') {
        digits.remove_prefix(1);
    }
    return std::string(digits);
}

std::string_view withoutQuotes(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

struct NumberedEntry {
    std::optional<std::string> address;
    std::optional<std::string> title;
};

}  // namespace

void readNumberedKeys(std::string_view text, std::string_view keyPrefix, EntryList& list) {
    std::map<std::string, NumberedEntry, NumberOrder> numbered;
    LineReader lines(text);
    for (std::string_view line; lines.next(line);) {
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;  // section headers, blank lines, comments
        }
        const std::string key = lowerAscii(trimSpace(line.substr(0, equals)));
        const std::string_view value = withoutQuotes(trimSpace(line.substr(equals + 1)));
        const bool isAddress =
            key.starts_with(keyPrefix) && allDigits(std::string_view(key).substr(keyPrefix.size()));
        const bool isTitle = keyPrefix == "file" && key.starts_with("title") &&
                             allDigits(std::string_view(key).substr(5));
        if (!isAddress && !isTitle) {
            continue;
        }
        const std::string number =
            withoutLeadingZeros(std::string_view(key).substr(isAddress ? keyPrefix.size() : 5));
        std::optional<std::string>& field =
            isAddress ? numbered[number].address : numbered[number].title;
        if (!field) {
            field = std::string(value);  // the first of repeated keys counts
        }
    }
    for (const auto& [number, entry] : numbered) {
        if (entry.address) {
            list.add(*entry.address, cleanTitle(entry.title.value_or("")));
        }
        if (list.full()) {
            break;
        }
    }
}

namespace {

struct ExtInf {
    std::string title;
    std::vector<std::pair<std::string, std::string>> attributes;
};

// "#EXTINF:<duration> key="value" key=value ...,<title>": the title is everything after the
// first comma outside quotes, commas included.
ExtInf readExtInf(std::string_view text) {
    ExtInf info;
    size_t at = 0;
    while (at < text.size() && !isSpace(text[at]) && text[at] != ',') {
        ++at;  // the duration
    }
    while (at < text.size()) {
        if (isSpace(text[at])) {
            ++at;
            continue;
        }
        if (text[at] == ',') {
            info.title = cleanTitle(text.substr(at + 1));
            break;
        }
        size_t end = at;
        while (end < text.size() && !isSpace(text[end]) && text[end] != '=' && text[end] != ',') {
            ++end;
        }
        if (end == at || end == text.size() || text[end] != '=') {
            at = end == at ? at + 1 : end;  // a word without a value
            continue;
        }
        std::string key = lowerAscii(text.substr(at, end - at));
        at = end + 1;
        std::string_view value;
        if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
            const size_t close = text.find(text[at], at + 1);
            const size_t valueEnd = close == std::string_view::npos ? text.size() : close;
            value = text.substr(at + 1, valueEnd - at - 1);
            at = close == std::string_view::npos ? text.size() : close + 1;
        } else {
            end = at;
            while (end < text.size() && !isSpace(text[end]) && text[end] != ',') {
                ++end;
            }
            value = text.substr(at, end - at);
            at = end;
        }
        info.attributes.emplace_back(std::move(key), std::string(value));
    }
    return info;
}

// A line of a list counts as an entry when it looks like an address or a path: with a scheme,
// a "/" or "\\", or a "." without spaces. In a list without "#EXTM3U" or "#EXTINF" it has no
// spaces at all, so that a server's plain-text message gives no entries; in an extended list a
// path may hold spaces. Separators ("====morocco====", "--- Sport ---") are neither.
bool looksLikeEntry(std::string_view line, bool extended) {
    const bool spaces = std::find_if(line.begin(), line.end(), isSpace) != line.end();
    if (spaces && !extended) {
        return false;
    }
    if (line.find_first_of("/\\") != std::string_view::npos) {
        return true;
    }
    return !spaces && (!schemeOf(line).empty() || line.find('.') != std::string_view::npos);
}

}  // namespace

PlaylistKind readLines(std::string_view text, EntryList& list) {
    bool extended = false;
    LineReader scan(text);
    for (std::string_view line; scan.next(line);) {
        line = trimSpace(line);
        if (startsWithNoCase(line, "#ext-x-")) {
            return PlaylistKind::Hls;
        }
        extended =
            extended || startsWithNoCase(line, "#extm3u") || startsWithNoCase(line, "#extinf");
    }
    bool sawRealProtocol = false;
    std::optional<ExtInf> pending;
    LineReader lines(text);
    for (std::string_view line; lines.next(line) && !list.full();) {
        line = trimSpace(line);
        if (line.empty()) {
            continue;
        }
        if (line.front() == '#') {
            if (startsWithNoCase(line, "#extinf")) {
                // "#EXTINF-1,Name" with its colon left out reads as "#EXTINF:-1,Name".
                std::string_view info = line.substr(7);
                if (info.starts_with(':')) {
                    info.remove_prefix(1);
                }
                pending = readExtInf(info);
            }
            continue;  // #EXTM3U, #EXTVLCOPT, #EXTGRP and other comments
        }
        if (!extended && line == "--stop--") {
            break;  // RealPlayer's end of the list
        }
        if (!looksLikeEntry(line, extended)) {
            continue;
        }
        const std::string scheme = schemeOf(line);
        sawRealProtocol = sawRealProtocol || scheme == "rtsp" || scheme == "pnm";
        if (pending) {
            list.add(line, std::move(pending->title), std::move(pending->attributes));
            pending.reset();
        } else {
            list.add(line);
        }
    }
    return !extended && sawRealProtocol ? PlaylistKind::Ram : PlaylistKind::M3u;
}

}  // namespace vistrelle::playlist_detail
