#include "ui/text_prefix.h"

#include "ui/display_text.h"

namespace vistrelle {

namespace {

// Decodes the character at `i` of text that is known to be valid UTF-8 and moves `i` past it.
char32_t nextUtf8(std::string_view text, size_t& i) {
    const auto lead = static_cast<uint8_t>(text[i]);
    size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1   ? lead
                 : length == 2 ? (lead & 0x1Fu)
                 : length == 3 ? (lead & 0x0Fu)
                               : (lead & 0x07u);
    for (size_t k = 1; k < length && i + k < text.size(); ++k) {
        c = (c << 6) | (static_cast<uint8_t>(text[i + k]) & 0x3Fu);
    }
    i += length;
    return c;
}

char32_t nextWindows1252(std::string_view text, size_t& i) {
    return windows1252CodePoint(static_cast<uint8_t>(text[i++]));
}

}  // namespace

char32_t foldLetterCase(char32_t c) {
    if (c < 0x80) {
        return c >= 'A' && c <= 'Z' ? c + 32 : c;
    }
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
        return c + 32;  // Latin-1 capitals
    }
    if (c < 0x100 || c > 0x17E) {
        return c;
    }
    // Latin Extended-A: capital and small letters alternate, in three runs.
    if (c == 0x130) {
        return 'i';  // capital I with dot above
    }
    if (c == 0x178) {
        return 0xFF;  // capital Y with diaeresis
    }
    if ((c < 0x138 && c != 0x131) || (c >= 0x14A && c <= 0x177)) {
        return (c % 2 == 0) ? c + 1 : c;
    }
    if ((c >= 0x139 && c <= 0x148) || c >= 0x179) {
        return (c % 2 == 1) ? c + 1 : c;
    }
    return c;
}

void appendFoldedText(std::string_view bytes, std::u32string& out) {
    if (isValidUtf8(bytes)) {
        for (size_t i = 0; i < bytes.size();) {
            out.push_back(foldLetterCase(nextUtf8(bytes, i)));
        }
    } else {
        for (size_t i = 0; i < bytes.size();) {
            out.push_back(foldLetterCase(nextWindows1252(bytes, i)));
        }
    }
}

TextPrefix::TextPrefix(std::string_view typed) {
    const std::string text = displayText(typed);
    folded_.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        folded_.push_back(foldLetterCase(nextUtf8(text, i)));
    }
}

bool TextPrefix::startsOf(std::string_view bytes) const {
    // ASCII reads the same in both encodings: compare byte by byte until the first other byte.
    const size_t size = folded_.size();
    size_t i = 0;
    for (; i < size; ++i) {
        if (i >= bytes.size()) {
            return false;
        }
        const auto b = static_cast<uint8_t>(bytes[i]);
        if (b >= 0x80) {
            return startsOfDecoded(bytes, i, i);
        }
        const char32_t folded = (b >= 'A' && b <= 'Z') ? b + 32u : b;
        if (folded != folded_[i]) {
            return false;
        }
    }
    return true;
}

bool TextPrefix::startsOfDecoded(std::string_view bytes, size_t byte, size_t matched) const {
    const bool utf8 = isValidUtf8(bytes);
    while (matched < folded_.size()) {
        if (byte >= bytes.size()) {
            return false;
        }
        const char32_t c = utf8 ? nextUtf8(bytes, byte) : nextWindows1252(bytes, byte);
        if (foldLetterCase(c) != folded_[matched]) {
            return false;
        }
        ++matched;
    }
    return true;
}

uint32_t TextPrefix::headOf(std::string_view bytes) {
    uint32_t head = 0;
    for (size_t i = 0; i < kHeadBytes && i < bytes.size(); ++i) {
        auto b = static_cast<uint8_t>(bytes[i]);
        if (b >= 'A' && b <= 'Z') {
            b = static_cast<uint8_t>(b + 32);
        }
        head |= static_cast<uint32_t>(b) << (8 * i);
    }
    return head;
}

TextPrefix::Head TextPrefix::matchHead(uint32_t head) const {
    const size_t compared = folded_.size() < kHeadBytes ? folded_.size() : kHeadBytes;
    for (size_t i = 0; i < compared; ++i) {
        const uint32_t b = (head >> (8 * i)) & 0xFFu;
        if (b == 0 || b >= 0x80) {
            // The end of a short text (or a NUL byte), or a byte that decodes differently in
            // UTF-8 and Windows-1252: the whole text tells.
            return Head::kCheck;
        }
        if (folded_[i] != b) {
            return Head::kNo;  // an ASCII character, read alike in both encodings
        }
    }
    return folded_.size() <= kHeadBytes ? Head::kYes : Head::kCheck;
}

bool TextPrefix::isOneCharacterRepeated() const {
    if (folded_.size() < 2) {
        return false;
    }
    for (char32_t c : folded_) {
        if (c != folded_.front()) {
            return false;
        }
    }
    return true;
}

TextPrefix TextPrefix::firstCharacter() const {
    TextPrefix first;
    if (!folded_.empty()) {
        first.folded_.push_back(folded_.front());
    }
    return first;
}

}  // namespace vistrelle
