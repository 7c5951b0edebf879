// Addresses in playlists: resolving relative ones (RFC 3986 section 5) and deciding which can be
// played here.
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
