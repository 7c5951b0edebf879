#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/catalog_format.h"
#include "fake/memory_layer.h"

namespace vistrelle {
namespace {

using testing::MemoryWindows;
using Texts = std::vector<std::string>;

// The column sort written out plainly: recursion into both parts, keys read from the entries.
class PlainQuicksort {
public:
    PlainQuicksort(SortKey key, SortDirection direction) : key_(key), direction_(direction) {}

    void sort(std::vector<Channel>& c, int64_t l, int64_t r) {
        if (r - l < 1) {
            return;
        }
        int64_t p = partition(c, l, r);
        sort(c, l, p);
        sort(c, p + 1, r);
    }

private:
    struct Key {
        std::string text;
        int32_t number;
    };
    Key key(const Channel& c) const {
        switch (key_) {
            case SortKey::Name:
                return {std::string(c.name()), 0};
            case SortKey::Category:
                return {std::string(c.category()), 0};
            case SortKey::Comment:
                return {std::string(c.comment()), 0};
            case SortKey::Bitrate:
                break;
        }
        return {"", c.bitrate()};
    }
    int compare(const Key& a, const Key& b) const {
        if (key_ == SortKey::Bitrate) {
            return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
        }
        // Byte by byte, unsigned; a prefix first.
        for (size_t i = 0; i < a.text.size() && i < b.text.size(); ++i) {
            auto x = static_cast<unsigned char>(a.text[i]);
            auto y = static_cast<unsigned char>(b.text[i]);
            if (x != y) {
                return x < y ? -1 : 1;
            }
        }
        return a.text.size() < b.text.size() ? -1 : (a.text.size() > b.text.size() ? 1 : 0);
    }
    bool before(const Key& a, const Key& b) const {
        return direction_ == SortDirection::Ascending ? compare(a, b) < 0 : compare(a, b) > 0;
    }
    bool after(const Key& a, const Key& b) const {
        return direction_ == SortDirection::Ascending ? compare(a, b) > 0 : compare(a, b) < 0;
    }
    int64_t partition(std::vector<Channel>& c, int64_t l, int64_t r) {
        auto at = [&](int64_t i) { return key(c[static_cast<size_t>(i)]); };
        auto exchange = [&](int64_t a, int64_t b) {
            swap(c[static_cast<size_t>(a)], c[static_cast<size_t>(b)]);
        };
        int64_t k = r - l;
        int64_t m = l + k / 2;
        int64_t p;
        if (!after(at(l), at(r)) && !after(at(m), at(l))) {
            p = l;
        } else if (after(at(l), at(r))) {
            p = m;
        } else if (before(at(m), at(r))) {
            p = m;
        } else {
            p = r;
        }
        exchange(p, l);
        Key v = at(l);
        int64_t i = l - 1;
        int64_t j = r + 1;
        for (;;) {
            do {
                --j;
            } while (after(at(j), v));
            do {
                ++i;
            } while (before(at(i), v));
            if (i >= j) {
                return j;
            }
            exchange(i, j);
        }
    }

    SortKey key_;
    SortDirection direction_;
};

// Identifies each entry by its stream address, which the generators make unique.
Texts order(const std::vector<Channel>& channels) {
    Texts ids;
    for (const Channel& channel : channels) {
        ids.emplace_back(channel.streamUrl());
    }
    return ids;
}

std::vector<Channel> randomChannels(uint32_t start, size_t count, int distinctKeys) {
    uint32_t state = start;
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    // Keys that share long beginnings, differ only past eight bytes, hold zero and high bytes,
    // and are prefixes of one another.
    const Texts texts = {"",
                         "a",
                         "A",
                         "ab",
                         "abcdefgh",
                         "abcdefghi",
                         "abcdefghj",
                         "abcdefgh\xE9",
                         "Zeta",
                         "zeta",
                         "\xFF",
                         std::string("a\0b", 3),
                         std::string("a\0", 2),
                         "abcdefghijklmnopq",
                         "abcdefghijklmnopr",
                         "abcdefghijklmnop",
                         std::string("abcdefghijklmnop\0", 17)};
    const int32_t numbers[] = {0, -1, 1, 64, 128, -2147483647 - 1, 2147483647, 300};
    std::vector<Channel> channels;
    for (size_t i = 0; i < count; ++i) {
        auto text = [&] { return texts[next() % static_cast<uint32_t>(distinctKeys)]; };
        Channel channel("C", text(), numbers[next() % 8], text(), text(), "id" + std::to_string(i),
                        "");
        channel.watching = next() % 50 == 0 ? 1 : 0;
        channels.push_back(channel);
    }
    return channels;
}

TEST(SortShownChannels, SameOrderAsThePlainQuicksortOnRandomData) {
    const SortKey keys[] = {SortKey::Name, SortKey::Category, SortKey::Bitrate, SortKey::Comment};
    const SortDirection directions[] = {SortDirection::Ascending, SortDirection::Descending};
    uint32_t run = 1;
    for (size_t count :
         {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{10}, size_t{257}, size_t{2000}}) {
        for (int distinct : {1, 2, 5, 17}) {
            for (SortKey key : keys) {
                for (SortDirection direction : directions) {
                    std::vector<Channel> channels = randomChannels(run++, count, distinct);
                    std::vector<Channel> expected = channels;
                    PlainQuicksort(key, direction)
                        .sort(expected, 0, static_cast<int64_t>(expected.size()) - 1);
                    sortShownChannels(channels, key, direction);
                    ASSERT_EQ(order(channels), order(expected))
                        << count << " entries, " << distinct << " keys";
                    for (size_t i = 0; i < channels.size(); ++i) {
                        ASSERT_EQ(channels[i].watching, expected[i].watching);
                    }
                }
            }
        }
    }
}

TEST(SortShownChannels, SortedInputsAndAllEqualKeysStayShallow) {
    // Inputs that drive a plain quicksort to its worst depth finish and stay ordered.
    for (int pattern = 0; pattern < 3; ++pattern) {
        std::vector<Channel> channels;
        for (int i = 0; i < 200000; ++i) {
            int32_t bitrate = pattern == 0 ? i : (pattern == 1 ? -i : 7);
            channels.emplace_back("C", "", bitrate, "", "", "", "");
        }
        sortShownChannels(channels, SortKey::Bitrate, SortDirection::Ascending);
        for (size_t i = 1; i < channels.size(); ++i) {
            ASSERT_LE(channels[i - 1].bitrate(), channels[i].bitrate());
        }
    }
}

class SortByColumnTest : public ::testing::Test {
protected:
    void load(const std::vector<std::string>& lines) {
        for (const std::string& line : lines) {
            catalog.allChannels.push_back(parseChannelLine(line));
            catalog.shownChannels.push_back(catalog.allChannels.back().copy());
        }
        refillChannelList(catalog, windows);
    }
    Texts column(int32_t index) const {
        Texts texts;
        for (int32_t row = 0; row < windows.list.rowCount(); ++row) {
            texts.push_back(windows.list.rows->columnText(row, index));
        }
        return texts;
    }

    Catalog catalog;
    MemoryWindows windows;
};

TEST_F(SortByColumnTest, EachColumnKeepsItsOwnDirection) {
    load({"X|alpha|64|News|b", "X|Zeta|-5|Music|", "X|beta|0|Sport|a", "X|\xE9t\xE9|300|Art|c"});
    struct Click {
        int32_t column;
        int32_t shownColumn;
        Texts texts;
        std::array<uint8_t, 4> toggles;
    };
    const Click clicks[] = {
        {0, 0, {"Zeta", "alpha", "beta", "\xE9t\xE9"}, {1, 0, 0, 0}},
        {0, 0, {"\xE9t\xE9", "beta", "alpha", "Zeta"}, {0, 0, 0, 0}},
        {2, 2, {"300", "64", "0", "-5"}, {0, 0, 1, 0}},  // first click: highest first
        {2, 2, {"-5", "0", "64", "300"}, {0, 0, 0, 0}},
        {0, 0, {"Zeta", "alpha", "beta", "\xE9t\xE9"}, {1, 0, 0, 0}},
        {1, 1, {"Art", "Music", "News", "Sport"}, {1, 1, 0, 0}},
        {0, 0, {"\xE9t\xE9", "beta", "alpha", "Zeta"}, {0, 1, 0, 0}},
        {3, 3, {"", "a", "b", "c"}, {0, 1, 0, 1}},  // empty comments first ascending
        {3, 3, {"c", "b", "a", ""}, {0, 1, 0, 0}},  // and last descending
        {7, 3, {"c", "b", "a", ""}, {0, 1, 0, 0}},  // no such column: nothing happens
        {-1, 3, {"c", "b", "a", ""}, {0, 1, 0, 0}},
    };
    for (const Click& click : clicks) {
        sortByColumn(catalog, windows, click.column);
        EXPECT_EQ(column(click.shownColumn), click.texts) << "column " << click.column;
        EXPECT_EQ(catalog.sortToggle, click.toggles) << "column " << click.column;
    }
}

TEST_F(SortByColumnTest, EmptyViewOnlyFlipsTheFlag) {
    const int32_t resets = windows.list.resets;
    sortByColumn(catalog, windows, 2);
    EXPECT_EQ(catalog.sortToggle, (std::array<uint8_t, 4>{0, 0, 1, 0}));
    EXPECT_EQ(windows.list.rowCount(), 0);
    EXPECT_EQ(windows.list.resets, resets + 1);
}

TEST_F(SortByColumnTest, WatchedMarkTravelsWithItsChannel) {
    load({"X|c", "X|a", "X|d", "X|b"});
    catalog.shownChannels[0].watching = 1;
    catalog.watchedRow = 0;
    const std::pair<int32_t, int32_t> clicks[] = {{0, 2}, {0, 1}};  // a b c d, then d c b a
    for (const auto& [columnIndex, watchedRow] : clicks) {
        sortByColumn(catalog, windows, columnIndex);
        EXPECT_EQ(catalog.watchedRow, watchedRow);
        EXPECT_EQ(catalog.shownChannels[static_cast<size_t>(watchedRow)].name(), "c");
        for (int32_t row = 0; row < 4; ++row) {
            EXPECT_EQ(windows.list.background(row).has_value(), row == watchedRow) << row;
        }
    }
    EXPECT_EQ(catalog.allChannels[0].name(), "c");  // the lists keep their order
}

TEST_F(SortByColumnTest, SortingTheFavoritesViewLeavesTheFavouritesInOrder) {
    for (const char* line : {"F|b", "F|a"}) {
        catalog.favoriteChannels.push_back(parseChannelLine(line));
    }
    windows.selector.items = {"Favorites", "All countries"};
    windows.selector.select(0);
    applyFilter(catalog, windows);
    sortByColumn(catalog, windows, 0);
    EXPECT_EQ(column(0), (Texts{"a", "b"}));
    EXPECT_EQ(formatChannelLine(catalog.favoriteChannels[0]), "F|b|0||||");
}

}  // namespace
}  // namespace vistrelle
