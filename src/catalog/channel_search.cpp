#include "catalog/channel_search.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "ui/text_prefix.h"

namespace vistrelle {

namespace {

bool isSpace(char32_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0xA0;
}

uint8_t smallAscii(uint8_t b) {
    return b >= 'A' && b <= 'Z' ? static_cast<uint8_t>(b + 32) : b;
}

// True when the bytes at `at` are `word` (small ASCII letters), letter case ignored.
bool wordAt(const unsigned char* at, std::string_view word) {
    for (size_t k = 0; k < word.size(); ++k) {
        if (smallAscii(at[k]) != static_cast<uint8_t>(word[k])) {
            return false;
        }
    }
    return true;
}

constexpr uint64_t kOnes = 0x0101010101010101u;
constexpr uint64_t kHighs = 0x8080808080808080u;

// Whether `text` holds an ASCII `word` (in small letters), letter case ignored. Eight bytes at a
// time are compared with the word's first character; only where one matches is the rest looked
// at.
bool findAsciiWord(std::string_view text, std::string_view word) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t starts = text.size() - word.size() + 1;  // the caller checked the sizes
    const auto first = static_cast<uint8_t>(word[0]);
    // With a letter first, setting the case bit of every byte makes its capital match too.
    const uint8_t caseBit = first >= 'a' && first <= 'z' ? 0x20 : 0;
    size_t start = 0;
    if constexpr (std::endian::native == std::endian::little) {
        const uint64_t pattern = kOnes * first;
        const uint64_t fold = kOnes * caseBit;
        for (; start + 8 <= starts; start += 8) {
            uint64_t block;
            std::memcpy(&block, bytes + start, sizeof block);
            const uint64_t differ = (block | fold) ^ pattern;
            // The high bit of every byte that is 0 here (and of a few that are not, which the
            // comparison that follows rules out).
            for (uint64_t hits = (differ - kOnes) & ~differ & kHighs; hits != 0; hits &= hits - 1) {
                const size_t at = start + static_cast<size_t>(std::countr_zero(hits) / 8);
                if (wordAt(bytes + at, word)) {
                    return true;
                }
            }
        }
    }
    for (; start < starts; ++start) {
        if ((bytes[start] | caseBit) == first && wordAt(bytes + start, word)) {
            return true;
        }
    }
    return false;
}

bool hasHighByte(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<uint8_t>(c) >= 0x80; });
}

}  // namespace

SearchWords::SearchWords(std::string_view typed) {
    std::u32string characters;
    appendFoldedText(typed, characters);
    for (size_t at = 0; at < characters.size();) {
        if (isSpace(characters[at])) {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < characters.size() && !isSpace(characters[end])) {
            ++end;
        }
        Word word;
        word.folded = characters.substr(at, end - at);
        if (std::all_of(word.folded.begin(), word.folded.end(),
                        [](char32_t c) { return c < 0x80; })) {
            word.ascii.assign(word.folded.begin(), word.folded.end());
            word.hasSmallI = word.ascii.find('i') != std::string::npos;
        }
        words_.push_back(std::move(word));
        at = end;
    }
    std::sort(words_.begin(), words_.end(), [](const Word& a, const Word& b) {
        return a.folded.size() != b.folded.size() ? a.folded.size() > b.folded.size()
                                                  : a.folded < b.folded;
    });
    words_.erase(std::unique(words_.begin(), words_.end()), words_.end());
}

bool SearchWords::wordIn(const Word& word, std::string_view text) const {
    // Every character takes at least one byte.
    if (text.size() < word.folded.size()) {
        return false;
    }
    if (!word.ascii.empty()) {
        // ASCII bytes are the same characters in UTF-8 and Windows-1252, and no other byte
        // stands for one: comparing bytes finds the word, except where a capital I with dot
        // above (UTF-8 C4 B0) stands for a small i of it.
        if (findAsciiWord(text, word.ascii)) {
            return true;
        }
        if (!word.hasSmallI || text.find("\xC4\xB0") == std::string_view::npos) {
            return false;
        }
    } else if (!hasHighByte(text)) {
        return false;  // a character beyond ASCII is not among ASCII ones
    }
    decoded_.clear();
    appendFoldedText(text, decoded_);
    return decoded_.find(word.folded) != std::u32string::npos;
}

bool SearchWords::foundIn(std::string_view name, std::string_view category,
                          std::string_view comment) const {
    for (const Word& word : words_) {
        if (!wordIn(word, name) && !wordIn(word, category) && !wordIn(word, comment)) {
            return false;
        }
    }
    return true;
}

}  // namespace vistrelle
