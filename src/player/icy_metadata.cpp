#include "player/icy_metadata.h"

#include <algorithm>
#include <cctype>

#include "ui/display_text.h"

namespace vistrelle {

namespace {

constexpr std::string_view kTitleKey = "StreamTitle=";

bool isKeyStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

bool isKeyChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-';
}

// The length of the field name at the start of `text` when a "=" follows it ("StreamUrl="),
// else 0.
size_t keyLength(std::string_view text) {
    if (text.empty() || !isKeyStart(text[0])) {
        return 0;
    }
    size_t at = 1;
    while (at < text.size() && isKeyChar(text[at])) {
        ++at;
    }
    return at < text.size() && text[at] == '=' ? at : 0;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The value of a quoted field that starts at `text` (after the opening quote). It ends at the
// first "';" that is followed by the end or by another field, so that titles may hold quotes
// ("Don't Stop"); a block cut short keeps what it has.
std::string_view quotedValue(std::string_view text) {
    for (size_t at = text.find("';"); at != std::string_view::npos; at = text.find("';", at + 1)) {
        std::string_view rest = text.substr(at + 2);
        if (rest.empty() || keyLength(rest) > 0) {
            return text.substr(0, at);
        }
    }
    if (!text.empty() && text.back() == '\'') {
        return text.substr(0, text.size() - 1);
    }
    return text;
}

// Decodes one character of valid UTF-8 at `at`, moving past it.
char32_t nextCodePoint(std::string_view text, size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t code = length == 1   ? lead
                    : length == 2 ? lead & 0x1Fu
                    : length == 3 ? lead & 0x0Fu
                                  : lead & 0x07u;
    for (size_t i = 1; i < length && at + i < text.size(); ++i) {
        code = (code << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3Fu);
    }
    at += length;
    return code;
}

bool isBlank(char32_t c) {
    return c < 0x20 || c == ' ' || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029;
}

// Characters that change the direction of the text around them: a title could make the rest of a
// line read backwards.
bool isDirectionControl(char32_t c) {
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

size_t metaIntervalOf(std::string_view header) {
    while (!header.empty() && (header.front() == ' ' || header.front() == '\t')) {
        header.remove_prefix(1);
    }
    while (!header.empty() && (header.back() == ' ' || header.back() == '\t')) {
        header.remove_suffix(1);
    }
    if (header.empty() || header.size() > 9) {
        return 0;  // nine digits are far beyond any interval worth reading
    }
    size_t interval = 0;
    for (char c : header) {
        if (c < '0' || c > '9') {
            return 0;
        }
        interval = interval * 10 + static_cast<size_t>(c - '0');
    }
    return interval <= kMaxMetaInterval ? interval : 0;
}

IcyMetadataReader::IcyMetadataReader(size_t interval) : interval_(interval), audioLeft_(interval) {}

std::vector<std::string> IcyMetadataReader::read(std::string_view bytes) {
    std::vector<std::string> blocks;
    while (!bytes.empty()) {
        if (!inBlock_) {
            if (audioLeft_ > 0) {
                const size_t skip = std::min(audioLeft_, bytes.size());
                audioLeft_ -= skip;
                bytes.remove_prefix(skip);
                continue;
            }
            metaLeft_ = static_cast<size_t>(static_cast<unsigned char>(bytes.front())) * 16;
            bytes.remove_prefix(1);
            block_.clear();
            inBlock_ = metaLeft_ > 0;
            if (!inBlock_) {
                audioLeft_ = interval_;
            }
            continue;
        }
        const size_t take = std::min(metaLeft_, bytes.size());
        block_.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        metaLeft_ -= take;
        if (metaLeft_ == 0) {
            inBlock_ = false;
            audioLeft_ = interval_;
            block_.resize(std::min(block_.find('\0'), block_.size()));
            if (!block_.empty()) {
                blocks.push_back(std::move(block_));
            }
            block_.clear();
        }
    }
    return blocks;
}

IcyBlock readIcyBlock(std::string_view block) {
    IcyBlock result;
    if (keyLength(block) == 0) {
        return result;  // garbage: metadata always starts with a field
    }
    result.kind = IcyBlock::Kind::NoTitle;
    std::string_view rest = block;
    while (!rest.empty()) {
        const size_t key = keyLength(rest);
        if (key == 0) {
            break;
        }
        const bool title = equalNoCase(rest.substr(0, key + 1), kTitleKey);
        std::string_view value = rest.substr(key + 1);
        if (!value.empty() && value.front() == '\'') {
            value = quotedValue(value.substr(1));
            rest = rest.substr(std::min(rest.size(), key + 2 + value.size() + 2));
        } else {
            value = value.substr(0, value.find(';'));
            rest = rest.substr(std::min(rest.size(), key + 1 + value.size() + 1));
        }
        if (title) {
            result.kind = IcyBlock::Kind::Title;
            result.title = std::string(value);
            break;
        }
    }
    return result;
}

std::string titleText(std::string_view raw) {
    const std::string text = displayText(raw);
    std::string out;
    size_t characters = 0;
    bool blankPending = false;
    for (size_t at = 0; at < text.size() && characters < kMaxTitleCharacters;) {
        const char32_t c = nextCodePoint(text, at);
        if (isBlank(c)) {
            blankPending = !out.empty();
            continue;
        }
        if (isDirectionControl(c)) {
            continue;
        }
        if (blankPending) {
            out += ' ';
            blankPending = false;
            if (++characters == kMaxTitleCharacters) {
                break;
            }
        }
        appendUtf8(out, c);
        ++characters;
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

}  // namespace vistrelle
