#include "player/playlist_text.h"

#include <cstdint>

#include "ui/display_text.h"

namespace vistrelle::playlist_detail {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

uint8_t byteAt(std::string_view bytes, size_t i) {
    return static_cast<uint8_t>(bytes[i]);
}

// The length of the valid UTF-8 sequence at `i`; 0 when there is none, and -1 when the bytes end
// inside a sequence that is valid so far.
int utf8SequenceAt(std::string_view bytes, size_t i) {
    const uint8_t lead = byteAt(bytes, i);
    int length = 0;
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    for (int k = 1; k < length; ++k) {
        if (i + k >= bytes.size()) {
            return -1;
        }
        const uint8_t c = byteAt(bytes, i + k);
        if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) {
            return 0;
        }
    }
    return length;
}

std::string decodeUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    bool sawUtf8 = false;
    for (size_t i = 0; i < bytes.size();) {
        const uint8_t c = byteAt(bytes, i);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        const int length = utf8SequenceAt(bytes, i);
        if (length > 0) {
            out.append(bytes.substr(i, length));
            i += length;
            sawUtf8 = true;
        } else if (length < 0 && sawUtf8) {
            break;  // UTF-8 text cut off in the middle of a character
        } else {
            appendUtf8(out, windows1252CodePoint(c));
            ++i;
        }
    }
    return out;
}

std::string decodeUtf16(std::string_view bytes, bool littleEndian) {
    std::string out;
    out.reserve(bytes.size());
    auto unitAt = [&](size_t i) -> char32_t {
        const char32_t a = byteAt(bytes, i);
        const char32_t b = byteAt(bytes, i + 1);
        return littleEndian ? (a | (b << 8)) : ((a << 8) | b);
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t next = unitAt(i + 2);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
    }
    return out;
}

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

}  // namespace

bool hasUtf16ByteOrderMark(std::string_view bytes) {
    return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

std::string decodeText(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        return decodeUtf8(bytes.substr(3));
    }
    if (hasUtf16ByteOrderMark(bytes)) {
        return decodeUtf16(bytes.substr(2), bytes[0] == '\xFF');
    }
    return decodeUtf8(bytes);
}

bool looksBinary(std::string_view text) {
    constexpr size_t kSample = 1024;
    for (const char c : text.substr(0, kSample)) {
        const auto u = static_cast<unsigned char>(c);
        // Tab, line ends, vertical tab, form feed and the DOS end-of-file mark occur in text.
        if (isControl(u) && !(u >= 0x09 && u <= 0x0D) && u != 0x1A) {
            return true;
        }
    }
    return false;
}

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view trimSpace(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

bool startsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
    return text.size() >= lowerPrefix.size() &&
           lowerAscii(text.substr(0, lowerPrefix.size())) == lowerPrefix;
}

std::string schemeOf(std::string_view address) {
    const size_t colon = address.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return {};
    }
    for (size_t i = 0; i < colon; ++i) {
        const char c = address[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digitOrMark = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && !(i > 0 && digitOrMark)) {
            return {};
        }
    }
    return lowerAscii(address.substr(0, colon));
}

namespace {

// The character a reference names (without "&" and ";"), or 0.
char32_t referencedCharacter(std::string_view name) {
    if (name == "amp")
        return '&';
    if (name == "lt")
        return '<';
    if (name == "gt")
        return '>';
    if (name == "quot")
        return '"';
    if (name == "apos")
        return '\'';
    if (name.size() < 2 || name[0] != '#') {
        return 0;
    }
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty()) {
        return 0;
    }
    char32_t value = 0;
    for (const char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0) {
            return 0;
        }
        value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
        if (value > 0x10FFFF) {
            return kReplacement;
        }
    }
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) {
        return kReplacement;
    }
    return value;
}

}  // namespace

std::string decodeReferences(std::string_view text) {
    constexpr size_t kLongestReference = 10;  // "&#x10FFFF;"
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            const size_t semicolon = text.substr(i, kLongestReference + 1).find(';');
            if (semicolon != std::string_view::npos) {
                const char32_t c = referencedCharacter(text.substr(i + 1, semicolon - 1));
                if (c != 0) {
                    appendUtf8(out, c);
                    i += semicolon;
                    continue;
                }
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::string cleanTitle(std::string_view text) {
    std::string out(trimSpace(text));
    for (char& c : out) {
        if (isControl(static_cast<unsigned char>(c))) {
            c = ' ';
        }
    }
    return std::string(trimSpace(out));
}

bool LineReader::next(std::string_view& line) {
    if (at_ >= text_.size()) {
        return false;
    }
    size_t end = text_.find_first_of("\r\n", at_);
    if (end == std::string_view::npos) {
        end = text_.size();
    }
    line = text_.substr(at_, end - at_);
    at_ = end;
    if (at_ < text_.size() && text_[at_] == '\r') {
        ++at_;
    }
    if (at_ < text_.size() && text_[at_] == '\n') {
        ++at_;
    }
    return true;
}

namespace {

// The address as browsers take it: surrounding spaces and controls dropped, tabs and line ends
// inside removed.
std::string cleanAddress(std::string_view address) {
    while (!address.empty() && static_cast<unsigned char>(address.front()) <= ' ') {
        address.remove_prefix(1);
    }
    while (!address.empty() && static_cast<unsigned char>(address.back()) <= ' ') {
        address.remove_suffix(1);
    }
    std::string out;
    out.reserve(address.size());
    for (const char c : address) {
        if (c != '\t' && c != '\r' && c != '\n') {
            out.push_back(c);
        }
    }
    return out;
}

std::optional<AddressParts> absoluteParts(std::string_view address) {
    AddressParts parts = splitAddress(cleanAddress(address));
    if (parts.scheme.empty()) {
        return std::nullopt;
    }
    return parts;
}

}  // namespace

bool isLocalFilePath(std::string_view address) {
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (address.size() >= 3 && letter(address[0]) && address[1] == ':' &&
        (address[2] == '\\' || address[2] == '/')) {
        return true;  // a drive
    }
    if (schemeOf(address) == "file") {
        return true;
    }
    if (!schemeOf(address).empty()) {
        return false;
    }
    if (address.find('\\') != std::string_view::npos || address == "~" ||
        address.starts_with("~/")) {
        return true;
    }
    // The folders of users' own files on Linux, macOS and Android.
    for (const std::string_view folder : {"/home/", "/root/", "/Users/", "/media/", "/run/media/",
                                          "/mnt/", "/Volumes/", "/storage/", "/sdcard/"}) {
        if (address.starts_with(folder)) {
            return true;
        }
    }
    return false;
}

EntryList::EntryList(std::string_view finalUrl, size_t budget)
    : final_(absoluteParts(finalUrl)), budget_(budget) {}

std::string EntryList::resolve(std::string_view address) const {
    const std::string cleaned = cleanAddress(address);
    if (cleaned.empty() || cleaned.find('\0') != std::string::npos) {
        return {};
    }
    return resolveAgainst(base_ ? &*base_ : (final_ ? &*final_ : nullptr),
                          withEncodedSpaces(cleaned));
}

void EntryList::setBase(std::string_view address) {
    base_ = address.empty() ? std::nullopt : absoluteParts(address);
}

bool EntryList::add(std::string_view address, std::string title,
                    std::vector<std::pair<std::string, std::string>> attributes, bool isReference) {
    if (full()) {
        return false;
    }
    const std::string cleaned = cleanAddress(address);
    if (isLocalFilePath(cleaned)) {
        ++localFiles_;
        return false;
    }
    SuffixedAddress split = splitHeaderSuffix(cleaned);
    std::string url = resolve(split.address);
    if (url.empty()) {
        return false;
    }
    used_ += url.size() + title.size() + 64;
    for (const auto& [key, value] : attributes) {
        used_ += key.size() + value.size();
    }
    for (const auto& [key, value] : split.headers) {
        used_ += key.size() + value.size();
    }
    entries_.push_back(PlaylistEntry{std::move(url), std::move(title), std::move(attributes),
                                     isReference, std::move(split.headers)});
    return true;
}

void EntryList::setTitle(size_t index, const std::string& title) {
    if (index < entries_.size() && entries_[index].title.empty()) {
        used_ += title.size();
        entries_[index].title = title;
    }
}

}  // namespace vistrelle::playlist_detail
