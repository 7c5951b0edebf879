#include "ui/find_row.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/channel_rows.h"

namespace vistrelle {
namespace {

// Rows that keep only their names and find through ListRows' own loop over columnText.
class NameRows final : public ListRows {
public:
    explicit NameRows(std::vector<std::string> names) : names_(std::move(names)) {}
    int32_t count() const override { return static_cast<int32_t>(names_.size()); }
    std::string text(int32_t row) const override { return columnText(row, 0); }
    std::string columnText(int32_t row, int32_t column) const override {
        return column == 0 && row >= 0 && row < count() ? names_[static_cast<size_t>(row)] : "";
    }
    RowColours colours(int32_t) const override { return {}; }

private:
    std::vector<std::string> names_;
};

// Octal escapes where a letter follows, so that it is not read as part of the escape.
const std::vector<std::string> kNames = {
    "Alpen Radio",      // 0
    "alpha Jazz",       // 1
    "Zeta FM",          // 2
    "\303\211cole FM",  // 3: UTF-8 "Ecole" with an acute E
    "\xC9tudes Radio",  // 4: Windows-1252, the same capital E
    "\x8Alager",        // 5: Windows-1252 capital S with caron
    "Mid Talk",         // 6
    "\xC5\xA0kola",     // 7: UTF-8 capital S with caron
    "",                 // 8
    "Alpen Kino",       // 9
    "AArdvark",         // 10
    "zulu",             // 11
    "\303\237a",        // 12: sharp s has no capital here
    "Caf\xE9",          // 13: Windows-1252
    "Cafe",             // 14
    "Mu",               // 15: shorter than the head a row keeps
};

TEST(FindChannelRow, FirstMatchFromTheStartRowWrappingAround) {
    struct Case {
        std::string_view text;
        int32_t start;
        int32_t found;  // findChannelRow
        int32_t typed;  // findTypedChannelRow
    };
    const Case cases[] = {
        {"alp", 0, 0, 0},
        {"ALP", 1, 1, 1},  // the start row itself
        {"alpen", 1, 9, 9},
        {"ALPEN k", 0, 9, 9},
        {"alpha", 9, 1, 1},  // wraps to the top
        {"zeta", 5, 2, 2},
        {"alpen", 13, 0, 0},    // a start beyond the rows starts at the top
        {"alpen", -1, 0, 0},    // no selected row
        {"\xC3\xA9", 0, 3, 3},  // typed UTF-8 small e acute: UTF-8 name
        {"\xC3\xA9", 4, 4, 4},  // ... and the Windows-1252 name
        {"\xC9", 0, 3, 3},      // typed Windows-1252 capital E acute
        {"\xC3\xA9TUDES", 0, 4, 4},
        {"\xC5\xA1", 0, 5, 5},  // small s caron: Windows-1252 byte 0x8A
        {"\xC5\xA1", 6, 7, 7},  // ... and UTF-8
        {"\xC5\xA0KOL", 0, 7, 7},
        {"s", 0, -1, -1},   // s caron is not s
        {"ss", 0, -1, -1},  // sharp s is not folded to ss
        {"\xC3\x9F", 0, 12, 12},
        {"", 0, -1, -1},
        {"x", 3, -1, -1},
        {"Alpen Radio and more", 0, -1, -1},  // longer than the name
        {"a", 8, 9, 9},                       // the empty name matches nothing
        {"aa", 0, 10, 10},                    // the whole text first
        {"zz", 2, -1, 11},                    // one letter again: the next row with it
        {"zzz", 11, -1, 2},                   // ... wrapping around
        {"zZ", 16, -1, 2},                    // ... from the top when the start is outside
        {"mm", 6, -1, 15},
        {"mmm", 15, -1, 6},
        {"caf", 0, 13, 13},
        {"CAF\xC3\xA9", 0, 13, 13},
        {"CAF\xC3\xA9", 14, 13, 13},
        {"cafe", 0, 14, 14},
        {"mu", 0, 15, 15},
        {"mux", 0, -1, -1},
        {"zy", 2, -1, -1},
    };
    ChannelRows channels;
    for (const std::string& name : kNames) {
        channels.append(Channel("", name, 0, "", "", "", ""));
    }
    const NameRows names(kNames);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " from " + std::to_string(c.start));
        EXPECT_EQ(findChannelRow(channels, c.text, c.start), c.found);
        EXPECT_EQ(findTypedChannelRow(channels, c.text, c.start), c.typed);
        EXPECT_EQ(findChannelRow(names, c.text, c.start), c.found);
        EXPECT_EQ(findTypedChannelRow(names, c.text, c.start), c.typed);
    }
    EXPECT_EQ(findChannelRow(ChannelRows(), "a", 0), -1);
    EXPECT_EQ(findTypedChannelRow(ChannelRows(), "aa", 0), -1);
}

}  // namespace
}  // namespace vistrelle
