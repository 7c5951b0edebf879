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

// The high bit of every byte of `block` that is `byte`, letter case ignored when `caseBit` is
// 0x20 (and of a few bytes that are not, which the comparison that follows rules out).
uint64_t bytesLike(uint64_t block, uint8_t byte, uint8_t caseBit) {
    const uint64_t differ = (block | (kOnes * caseBit)) ^ (kOnes * byte);
    return (differ - kOnes) & ~differ & kHighs;
}

uint64_t load(const unsigned char* at) {
    uint64_t block;
    std::memcpy(&block, at, sizeof block);
    return block;
}

// Where the text holding position `at` of the joined texts ends.
size_t textEnd(size_t at, const size_t (&ends)[3]) {
    return at < ends[0] ? ends[0] : at < ends[1] ? ends[1] : ends[2];
}

// Whether one of the joined texts (ending at `ends`) holds an ASCII `word` (in small letters),
// letter case ignored. Eight places at a time are compared with the word's first two
// characters; only where both match is the rest looked at.
bool findAsciiWord(std::string_view texts, const size_t (&ends)[3], std::string_view word) {
    if (texts.size() < word.size()) {
        return false;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(texts.data());
    const size_t starts = texts.size() - word.size() + 1;
    const auto found = [&](size_t at) {
        return at + word.size() <= textEnd(at, ends) && wordAt(bytes + at, word);
    };
    // With a letter, setting the case bit of every byte makes its capital match too.
    const auto caseBitOf = [](uint8_t c) -> uint8_t { return c >= 'a' && c <= 'z' ? 0x20 : 0; };
    const auto first = static_cast<uint8_t>(word[0]);
    const uint8_t firstCase = caseBitOf(first);
    size_t start = 0;
    if constexpr (std::endian::native == std::endian::little) {
        const auto second = static_cast<uint8_t>(word.size() > 1 ? word[1] : 0);
        const uint8_t secondCase = caseBitOf(second);
        // The second character's block starts one byte later: it ends within the texts.
        for (; word.size() > 1 && start + 8 <= starts; start += 8) {
            uint64_t hits = bytesLike(load(bytes + start), first, firstCase) &
                            bytesLike(load(bytes + start + 1), second, secondCase);
            for (; hits != 0; hits &= hits - 1) {
                if (found(start + static_cast<size_t>(std::countr_zero(hits) / 8))) {
                    return true;
                }
            }
        }
        for (; start + 8 <= starts; start += 8) {
            for (uint64_t hits = bytesLike(load(bytes + start), first, firstCase); hits != 0;
                 hits &= hits - 1) {
                if (found(start + static_cast<size_t>(std::countr_zero(hits) / 8))) {
                    return true;
                }
            }
        }
    }
    for (; start < starts; ++start) {
        if ((bytes[start] | firstCase) == first && found(start)) {
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

bool SearchWords::matches(const Channel& channel) const {
    size_t nameEnd = 0;
    size_t categoryEnd = 0;
    const std::string_view texts = channel.searchedTexts(nameEnd, categoryEnd);
    return foundInJoined(texts, nameEnd, categoryEnd);
}

bool SearchWords::foundIn(std::string_view name, std::string_view category,
                          std::string_view comment) const {
    joined_.assign(name);
    joined_.append(category);
    joined_.append(comment);
    return foundInJoined(joined_, name.size(), name.size() + category.size());
}

bool SearchWords::foundInJoined(std::string_view texts, size_t nameEnd,
                                size_t categoryEnd) const {
    const size_t ends[3] = {nameEnd, categoryEnd, texts.size()};
    for (const Word& word : words_) {
        if (!word.ascii.empty()) {
            // ASCII bytes are the same characters in UTF-8 and Windows-1252, and no other byte
            // stands for one: comparing bytes finds the word, except where a capital I with dot
            // above (UTF-8 C4 B0) stands for a small i of it.
            if (findAsciiWord(texts, ends, word.ascii)) {
                continue;
            }
            if (!word.hasSmallI || texts.find("\xC4\xB0") == std::string_view::npos) {
                return false;
            }
        } else if (!hasHighByte(texts)) {
            return false;  // a character beyond ASCII is not among ASCII ones
        }
        // Each text read as the lists read it, on its own.
        bool found = false;
        for (size_t begin = 0, at = 0; at < 3 && !found; begin = ends[at++]) {
            const std::string_view text = texts.substr(begin, ends[at] - begin);
            // Every character takes at least one byte.
            if (text.size() < word.folded.size() || !hasHighByte(text)) {
                continue;
            }
            decoded_.clear();
            appendFoldedText(text, decoded_);
            found = decoded_.find(word.folded) != std::u32string::npos;
        }
        if (!found) {
            return false;
        }
    }
    return true;
}

}  // namespace vistrelle
