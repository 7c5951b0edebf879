#include "ui/type_ahead.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/catalog_format.h"
#include "catalog/channel_rows.h"
#include "fake/type_ahead_steps.h"
#include "support/catalog_lines.h"

namespace vistrelle {
namespace {

using Key = TypeAhead::Key;

ChannelRows rowsOf(std::string_view catalogue) {
    ChannelRows rows;
    for (const std::string& line : testing::linesByteByByte(catalogue)) {
        rows.append(parseChannelLine(line));
    }
    return rows;
}

// Decodes the next UTF-8 character of `keys`.
char32_t nextCharacter(std::string_view keys, size_t& at) {
    const auto lead = static_cast<unsigned char>(keys[at++]);
    if (lead < 0x80) {
        return lead;
    }
    const size_t more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    char32_t c = lead & (0x3F >> more);
    for (size_t k = 0; k < more; ++k) {
        c = (c << 6) | (static_cast<unsigned char>(keys[at++]) & 0x3F);
    }
    return c;
}

TEST(TypeAheadTest, TheWalkEveryWindowLayerTakes) {
    const ChannelRows rows = rowsOf(testing::kTypeAheadCatalogue);
    TypeAhead search;
    int32_t selected = -1;
    uint32_t clock = 0xFFFFF000;  // the clock wraps round during the walk
    for (const testing::TypeAheadStep& step : testing::kTypeAheadSteps) {
        SCOPED_TRACE(std::string(step.keys));
        TypeAhead::Outcome outcome;
        for (size_t at = 0; at < step.keys.size();) {
            const char32_t c = nextCharacter(step.keys, at);
            clock += 50;
            if (c == '|') {
                clock += testing::kTypeAheadPauseMs;
                continue;
            }
            const Key key = c == '\b'                ? Key::Backspace
                            : c == '\x1b'            ? Key::Escape
                            : c == '\n' || c == '\a' ? Key::Next
                            : c == '~'               ? Key::Other
                                                     : Key::Character;
            outcome = search.press(rows, selected, key, clock, key == Key::Character ? c : 0);
            if (outcome.row >= 0) {
                selected = outcome.row;
            }
        }
        EXPECT_EQ(selected, step.row);
        EXPECT_EQ(search.text(), step.text);
        EXPECT_EQ(search.searching(clock), step.searching);
        EXPECT_EQ(outcome.notFound, step.notFound);
    }
}

TEST(TypeAheadTest, WhichKeysAreTheSearchsAndWhenItEnds) {
    const ChannelRows rows = rowsOf(testing::kTypeAheadCatalogue);
    struct Case {
        const char* name;
        uint32_t after;  // milliseconds after "b" (row 1) was typed at 1000
        Key key;
        char32_t character;
        bool handled;
        int32_t row;
        std::string_view text;
    };
    const Case cases[] = {
        {"a letter just within the pause", 1000, Key::Character, 'e', true, 1, "be"},
        {"a letter just after it", 1001, Key::Character, 'e', true, -1, "e"},
        {"Down just before the end", 5000, Key::Next, 0, true, 3, "b"},
        {"Down after the end", 5001, Key::Next, 0, false, -1, ""},
        {"Backspace after the end", 5001, Key::Backspace, 0, false, -1, ""},
        {"Escape after the end", 5001, Key::Escape, 0, false, -1, ""},
        {"a space within the search", 10, Key::Character, ' ', true, -1, "b "},
        {"a space after the end", 5001, Key::Character, ' ', false, -1, ""},
        {"a control character", 10, Key::Character, 0x07, false, -1, ""},
        {"a delete character", 10, Key::Character, 0x7F, false, -1, ""},
        {"no character at all", 10, Key::Character, 0x110000, false, -1, ""},
        {"any other key", 10, Key::Other, 0, false, -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TypeAhead search;
        ASSERT_EQ(search.press(rows, -1, Key::Character, 1000, 'b').row, 1);
        const TypeAhead::Outcome outcome =
            search.press(rows, 1, c.key, 1000 + c.after, c.character);
        EXPECT_EQ(outcome.handled, c.handled);
        EXPECT_EQ(outcome.row, c.row);
        EXPECT_EQ(search.text(), c.text);
    }

    // The end from outside (a click, new rows, the focus gone) makes the next letter a new text.
    TypeAhead search;
    search.press(rows, -1, Key::Character, 0, 'b');
    search.end();
    EXPECT_FALSE(search.searching(0));
    EXPECT_EQ(search.press(rows, 1, Key::Character, 10, 'b').row, 3);
    EXPECT_EQ(search.press(rows, 1, Key::Character, 20, 0x1F600).row,
              -1);  // beyond the rows' letters
    EXPECT_EQ(search.text(), "b\xF0\x9F\x98\x80");
    EXPECT_EQ(search.press(rows, 1, Key::Backspace, 30).row, 1);  // the whole character goes
    EXPECT_EQ(search.text(), "b");
}

}  // namespace
}  // namespace vistrelle
