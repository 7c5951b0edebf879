// The words of a search text and where they are found.
#include <gtest/gtest.h>

#include <string>

#include "catalog/channel_search.h"

namespace vistrelle {
namespace {

struct Texts {
    std::string name, category, comment;
};

TEST(SearchWords, EveryWordIsFoundInOneOfTheTextsLetterCaseIgnored) {
    struct Case {
        const char* typed;
        Texts texts;
        bool found;
    };
    const Case cases[] = {
        // Each word in any of the three texts; all words needed; no word across two texts.
        {"jazz", {"Bergen Jazz", "News", ""}, true},
        {"JAZZ", {"Radio", "jazz", ""}, true},
        {"jazz", {"Radio", "News", "late night JaZz"}, true},
        {"paris jazz", {"Paris Live", "Jazz", ""}, true},
        {"paris jazz", {"Paris Live", "Pop", ""}, false},
        {"radiojazz", {"Radio", "Jazz", ""}, false},
        {"jazzz", {"Jazz", "Jazz", "Jazz"}, false},
        {"dio 1", {"Radio 1", "", ""}, true},
        // Characters that are not letters are compared as they are.
        {"@", {"`", "", ""}, false},
        {"fm+", {"FM+", "", ""}, true},
        // Latin letters of UTF-8 and Windows-1252 texts, typed either way.
        {"caf\u00e9", {"CAF\xC9", "", ""}, true},
        {"caf\u00e9", {"CAF\u00c9 NOIR", "", ""}, true},
        {"z\u00fcrich", {"", "", "Radio Z\xFCRICH"}, true},
        {"\u0142\u00f3d\u017a", {"\u0141\u00d3D\u0179 FM", "", ""}, true},
        {"caf\u00e9", {"Cafe", "", ""}, false},
        {"\u00e9radio", {"Caf\xE9 Radio", "", ""}, false},
        // A capital I with dot above folds to a small i, both typed and found.
        {"istanbul", {"\u0130STANBUL FM", "", ""}, true},
        {"\u0130stanbul", {"istanbul", "", ""}, true},
        {"radio istanbul", {"Radyo \u0130stanbul", "", ""}, false},
        // Nothing to look for: every channel.
        {"", {"", "", ""}, true},
        {" \t \u00a0 ", {"Radio", "", ""}, true},
    };
    for (const Case& c : cases) {
        const SearchWords words(c.typed);
        EXPECT_EQ(words.foundIn(c.texts.name, c.texts.category, c.texts.comment), c.found)
            << "\"" << c.typed << "\" in \"" << c.texts.name << "\", \"" << c.texts.category
            << "\", \"" << c.texts.comment << "\"";
    }
}

TEST(SearchWords, FindsAWordAtEveryPlaceOfALongText) {
    // The bytes are compared eight at a time: a word at any place, by any neighbours.
    const SearchWords jazz("jazz");
    for (size_t before = 0; before < 24; ++before) {
        for (char neighbour : {'x', 'J', '\x01', '@', '\xE9'}) {
            const std::string padding(before, neighbour);
            EXPECT_TRUE(jazz.foundIn("", padding + "JaZz" + padding, "")) << before << neighbour;
            EXPECT_FALSE(jazz.foundIn(padding + "Jaz" + padding, "", "")) << before << neighbour;
            EXPECT_TRUE(SearchWords("1").foundIn(padding + "1", "", "")) << before << neighbour;
        }
    }
}

TEST(SearchWords, WordsAreASetAndNoWordsNarrowNothing) {
    EXPECT_TRUE(SearchWords(std::string(100000, ' ')).empty());
    EXPECT_FALSE(SearchWords(".").empty());
    EXPECT_EQ(SearchWords("jazz paris"), SearchWords("  PARIS Jazz jazz "));
    EXPECT_FALSE(SearchWords("jazz paris") == SearchWords("jazz"));
    // A text of 100,000 characters: one word longer than any text, or one word repeated.
    EXPECT_FALSE(SearchWords(std::string(100000, 'a')).foundIn("aaaa", "aaaa", "aaaa"));
    std::string repeated;
    for (int i = 0; i < 50000; ++i) {
        repeated += "a ";
    }
    EXPECT_EQ(SearchWords(repeated), SearchWords("a"));
}

}  // namespace
}  // namespace vistrelle
