// Addresses in playlists: resolving relative ones (RFC 3986 section 5) and deciding which can be
// played here.
#include <cctype>
#include <string>

#include "player/playlist.h"
#include "player/playlist_text.h"

namespace vistrelle {

namespace playlist_detail {

AddressParts splitAddress(std::string_view address) {
    AddressParts parts;
    parts.scheme = schemeOf(address);
    std::string_view rest = address;
    if (!parts.scheme.empty()) {
        const size_t colon = address.find(':');
        parts.scheme = std::string(address.substr(0, colon));  // the letters as written
        rest.remove_prefix(colon + 1);
    }
    const size_t hash = rest.find('#');
    if (hash != std::string_view::npos) {
        parts.fragment = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    const size_t question = rest.find('?');
    if (question != std::string_view::npos) {
        parts.query = std::string(rest.substr(question + 1));
        rest = rest.substr(0, question);
    }
    if (rest.starts_with("//")) {
        const size_t slash = rest.find('/', 2);
        const size_t end = slash == std::string_view::npos ? rest.size() : slash;
        parts.authority = std::string(rest.substr(2, end - 2));
        rest.remove_prefix(end);
    }
    parts.path = std::string(rest);
    return parts;
}

namespace {

// Removes the last segment of `out` and its "/" (RFC 3986 5.2.4 step C).
void dropLastSegment(std::string& out) {
    const size_t slash = out.rfind('/');
    out.erase(slash == std::string::npos ? 0 : slash);
}

std::string removeDotSegments(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    while (!in.empty()) {
        if (in.starts_with("../")) {
            in.remove_prefix(3);
        } else if (in.starts_with("./")) {
            in.remove_prefix(2);
        } else if (in.starts_with("/./")) {
            in.remove_prefix(2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.starts_with("/../")) {
            in.remove_prefix(3);
            dropLastSegment(out);
        } else if (in == "/..") {
            in = "/";
            dropLastSegment(out);
        } else if (in == "." || in == "..") {
            in = {};
        } else {
            const size_t end = in.find('/', 1);
            const size_t length = end == std::string_view::npos ? in.size() : end;
            out.append(in.substr(0, length));
            in.remove_prefix(length);
        }
    }
    return out;
}

std::string mergePaths(const AddressParts& base, std::string_view path) {
    if (base.authority && base.path.empty()) {
        return "/" + std::string(path);
    }
    const size_t slash = base.path.rfind('/');
    if (slash == std::string::npos) {
        return std::string(path);
    }
    return base.path.substr(0, slash + 1) + std::string(path);
}

std::string joinAddress(const AddressParts& parts) {
    std::string out = parts.scheme + ":";
    if (parts.authority) {
        out += "//" + *parts.authority;
    }
    out += parts.path;
    if (parts.query) {
        out += "?" + *parts.query;
    }
    if (parts.fragment) {
        out += "#" + *parts.fragment;
    }
    return out;
}

}  // namespace

std::string resolveAgainst(const AddressParts* base, std::string_view reference) {
    AddressParts ref = splitAddress(reference);
    if (!ref.scheme.empty()) {
        ref.path = removeDotSegments(ref.path);
        return joinAddress(ref);
    }
    if (base == nullptr || base->scheme.empty()) {
        return {};
    }
    AddressParts target;
    target.scheme = base->scheme;
    target.fragment = std::move(ref.fragment);
    if (ref.authority) {
        target.authority = std::move(ref.authority);
        target.path = removeDotSegments(ref.path);
        target.query = std::move(ref.query);
        return joinAddress(target);
    }
    target.authority = base->authority;
    if (ref.path.empty()) {
        target.path = base->path;
        target.query = ref.query ? std::move(ref.query) : base->query;
    } else {
        target.path =
            removeDotSegments(ref.path.starts_with('/') ? ref.path : mergePaths(*base, ref.path));
        target.query = std::move(ref.query);
    }
    return joinAddress(target);
}

}  // namespace playlist_detail

using playlist_detail::schemeOf;

std::string resolveAddress(std::string_view base, std::string_view reference) {
    const playlist_detail::AddressParts baseParts = playlist_detail::splitAddress(base);
    return playlist_detail::resolveAgainst(&baseParts, reference);
}

namespace {

// Valid UTF-8 without C1 controls; ASCII without controls, spaces, quotes, angle brackets or
// backslashes.
bool hasOnlyAddressCharacters(std::string_view url) {
    for (size_t i = 0; i < url.size(); ++i) {
        const auto c = static_cast<unsigned char>(url[i]);
        if (c < 0x80) {
            if (c <= ' ' || c == 0x7F || c == '"' || c == '\'' || c == '`' || c == '<' ||
                c == '>' || c == '\\') {
                return false;
            }
            continue;
        }
        // Decoding through the text reader gives well-formed UTF-8 for valid input; check it
        // here because callers pass any string.
        int length = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
        } else {
            return false;
        }
        if (i + length > url.size()) {
            return false;
        }
        char32_t code = c & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(url[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
            (code >= 0x80 && code <= 0x9F)) {
            return false;
        }
        i += length - 1;
    }
    return true;
}

}  // namespace

namespace {

bool isHeaderNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

// A request header's name: a word with a "-" ("User-Agent", "X-Forwarded-For") or one of the
// single-word headers lists set. A query parameter ("type", "id") is none.
bool isHeaderName(std::string_view name) {
    if (name.empty() || name.size() > 64 || !std::isalpha(static_cast<unsigned char>(name[0]))) {
        return false;
    }
    for (const char c : name) {
        if (!isHeaderNameCharacter(c)) {
            return false;
        }
    }
    if (name.find('-') != std::string_view::npos) {
        return true;
    }
    const std::string lower = playlist_detail::lowerAscii(name);
    for (const std::string_view word :
         {"referer", "referrer", "origin", "cookie", "authorization", "accept", "host", "range"}) {
        if (lower == word) {
            return true;
        }
    }
    return false;
}

// Calls `piece` with each "&"-separated part of a "|"-separated segment.
template <typename Piece>
bool eachPiece(std::string_view segment, Piece piece) {
    while (true) {
        const size_t amp = segment.find('&');
        if (!piece(segment.substr(0, amp))) {
            return false;
        }
        if (amp == std::string_view::npos) {
            return true;
        }
        segment.remove_prefix(amp + 1);
    }
}

bool isHeaderPiece(std::string_view piece) {
    const size_t equals = piece.find('=');
    return piece.empty() ||
           (equals != std::string_view::npos && isHeaderName(piece.substr(0, equals)));
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string percentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

void appendWithEncodedBars(std::string& out, std::string_view text) {
    for (const char c : text) {
        if (c == '|') {
            out += "%7C";
        } else {
            out.push_back(c);
        }
    }
}

}  // namespace

SuffixedAddress splitHeaderSuffix(std::string_view text) {
    if (text.find('|') == std::string_view::npos) {
        return {std::string(text), {}};
    }
    std::vector<size_t> bars;
    for (size_t at = text.find('|'); at != std::string_view::npos; at = text.find('|', at + 1)) {
        bars.push_back(at);
    }
    // From the last "|" back: the first one after which every segment has the header shape.
    size_t cut = std::string_view::npos;
    for (size_t i = bars.size(); i-- > 0;) {
        const size_t end = i + 1 < bars.size() ? bars[i + 1] : text.size();
        if (!eachPiece(text.substr(bars[i] + 1, end - bars[i] - 1), isHeaderPiece)) {
            break;
        }
        cut = bars[i];
    }
    SuffixedAddress result;
    appendWithEncodedBars(result.address, text.substr(0, cut));
    if (cut == std::string_view::npos) {
        return result;
    }
    std::string_view suffix = text.substr(cut + 1);
    while (true) {
        const size_t bar = suffix.find('|');
        eachPiece(suffix.substr(0, bar), [&](std::string_view piece) {
            if (!piece.empty()) {
                const size_t equals = piece.find('=');
                result.headers.emplace_back(std::string(piece.substr(0, equals)),
                                            percentDecoded(piece.substr(equals + 1)));
            }
            return true;
        });
        if (bar == std::string_view::npos) {
            break;
        }
        suffix.remove_prefix(bar + 1);
    }
    return result;
}

std::string withEncodedSpaces(std::string_view address) {
    if (address.find(' ') == std::string_view::npos) {
        return std::string(address);
    }
    size_t start = 0;
    if (!schemeOf(address).empty()) {
        start = address.find(':') + 1;
        if (address.substr(start, 2) == "//") {
            start = address.find_first_of("/?#", start + 2);
        }
    }
    if (start == std::string_view::npos ||
        address.substr(0, start).find(' ') != std::string_view::npos) {
        return std::string(address);
    }
    std::string out(address.substr(0, start));
    for (const char c : address.substr(start)) {
        if (c == ' ') {
            out += "%20";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

bool isPlayableAddress(std::string_view url) {
    const std::string scheme = schemeOf(url);
    if (scheme != "http" && scheme != "https") {
        return false;
    }
    const std::string_view rest = url.substr(scheme.size() + 1);
    if (!rest.starts_with("//")) {
        return false;
    }
    const std::string_view authority = rest.substr(2, rest.find_first_of("/?#", 2) - 2);
    const size_t at = authority.rfind('@');
    const std::string_view host =
        at == std::string_view::npos ? authority : authority.substr(at + 1);
    if (host.empty() || host.front() == ':') {
        return false;
    }
    return hasOnlyAddressCharacters(url);
}

std::vector<std::string> playableAddresses(std::string_view entryUrl) {
    const std::string scheme = schemeOf(entryUrl);
    if (scheme == "mms" || scheme == "mmsh" || scheme == "mmst") {
        std::string http = "http" + std::string(entryUrl.substr(scheme.size()));
        if (isPlayableAddress(http)) {
            return {std::move(http)};
        }
        return {};
    }
    if (isPlayableAddress(entryUrl)) {
        return {std::string(entryUrl)};
    }
    return {};
}

}  // namespace vistrelle
