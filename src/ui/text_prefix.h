// A typed search text as the lists compare it with the start of their row texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vistrelle {

// The text is read as the lists show texts (UTF-8 when valid, otherwise Windows-1252) and letter
// case is ignored for the ASCII letters and the Latin letters of Latin-1 and Latin Extended-A,
// which cover every letter of Windows-1252.
class TextPrefix {
public:
    explicit TextPrefix(std::string_view typed);

    bool empty() const { return folded_.empty(); }
    // True when `bytes`, read the same way, starts with the text.
    bool startsOf(std::string_view bytes) const;
    // The head of a text: its first kHeadBytes bytes, ASCII capitals made small, other bytes as
    // they are, 0 past its end; packed first byte lowest. Rows can keep it beside their own
    // numbers so that most rows are told apart without reading their texts.
    static constexpr size_t kHeadBytes = 3;
    static uint32_t headOf(std::string_view bytes);
    enum class Head { kNo, kYes, kCheck };
    // What a row's head says of startsOf(row text): kCheck when only the whole text can tell.
    Head matchHead(uint32_t head) const;
    // True for a text of one character typed two or more times ("aaa", "aA").
    bool isOneCharacterRepeated() const;
    // The text's first character alone.
    TextPrefix firstCharacter() const;

private:
    TextPrefix() = default;
    bool startsOfDecoded(std::string_view bytes, size_t byte, size_t matched) const;

    std::vector<char32_t> folded_;  // the text's characters, each in its small letter
};

// The small letter of a character for the comparison above; other characters stay as they are.
char32_t foldLetterCase(char32_t c);

// Appends the characters of `bytes`, read as above, each in its small letter.
void appendFoldedText(std::string_view bytes, std::u32string& out);

}  // namespace vistrelle
