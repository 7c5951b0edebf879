// Finding channels by any word of their name, category or comment.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "catalog/channel.h"

namespace vistrelle {

// The words of a search text. Words are separated by spaces (and tabs, line breaks and the
// no-break space). A text is read as the lists show texts (UTF-8 when valid, otherwise
// Windows-1252), and letter case is ignored as the list's type-ahead ignores it (foldLetterCase).
class SearchWords {
public:
    SearchWords() = default;
    explicit SearchWords(std::string_view typed);

    // No words: the text was empty or only spaces, and narrows nothing.
    bool empty() const { return words_.empty(); }
    // True when every word is found in at least one of the texts (a word never runs from one
    // text into the next).
    bool foundIn(std::string_view name, std::string_view category, std::string_view comment) const;
    bool matches(const Channel& channel) const;

    // The same words, whatever their order, repeats and spacing.
    friend bool operator==(const SearchWords& a, const SearchWords& b) {
        return a.words_ == b.words_;
    }

private:
    struct Word {
        std::u32string folded;  // each character in its small letter
        // The word in ASCII bytes when every character is ASCII (empty otherwise); such a
        // word is found by comparing bytes, whatever the text's encoding.
        std::string ascii;
        bool hasSmallI = false;  // a capital I with dot above (U+0130) in a text stands for it
        friend bool operator==(const Word& a, const Word& b) { return a.folded == b.folded; }
    };
    // The three texts one after another in `texts`, the first two ending where given.
    bool foundInJoined(std::string_view texts, size_t nameEnd, size_t categoryEnd) const;

    std::vector<Word> words_;         // longest first: they rule out most channels soonest
    mutable std::u32string decoded_;  // a text's folded characters, reused between texts
    mutable std::string joined_;      // foundIn's texts, one after another
};

}  // namespace vistrelle
