#include "catalog/catalog_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "catalog/channel.h"
#include "support/catalog_lines.h"

namespace vistrelle {
namespace {

using Lines = std::vector<std::string>;
using testing::linesByteByByte;

Lines readAll(const std::string& bytes, size_t blockSize) {
    Lines lines;
    CatalogReader reader(bytes, blockSize);
    while (!reader.atEnd()) {
        lines.emplace_back(reader.readCatalogLine());
    }
    return lines;
}

struct LinesCase {
    std::string bytes;
    Lines lines;
};

class ReadCatalogLineTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(ReadCatalogLineTest, GivesTheLinesOfTheRulesForEveryBlockSize) {
    const LinesCase& c = GetParam();
    EXPECT_EQ(linesByteByByte(c.bytes), c.lines);
    for (size_t blockSize :
         {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{64}, CatalogReader::kBlockSize}) {
        EXPECT_EQ(readAll(c.bytes, blockSize), c.lines) << "block size " << blockSize;
    }
}

INSTANTIATE_TEST_SUITE_P(
    ByteSequences, ReadCatalogLineTest,
    ::testing::Values(LinesCase{"", {}}, LinesCase{"X\r\nY", {"X", "Y"}}, LinesCase{"X\r\n", {"X"}},
                      LinesCase{"X\r\n\r\n", {"X", ""}}, LinesCase{"X\rY\nZ", {"X", "Y", "Z"}},
                      LinesCase{"X\n\rY", {"X", "", "Y"}}, LinesCase{"X\r", {"X"}},
                      LinesCase{"X", {"X"}}, LinesCase{"\n", {""}}, LinesCase{"\r", {""}},
                      LinesCase{"\r\r\n\n", {"", "", ""}},
                      LinesCase{std::string("A\0B\0", 4), {"A", "B"}},
                      LinesCase{std::string("A\r\0B", 4), {"A", "", "B"}},
                      LinesCase{"\xEF\xBB\xBFNorway|x\r\n", {"\xEF\xBB\xBFNorway|x"}},
                      LinesCase{"\xFF\xFE\x80|\xC3\x28\n", {"\xFF\xFE\x80|\xC3\x28"}},
                      LinesCase{"twelve bytes\r\neight by\r\n", {"twelve bytes", "eight by"}}));

TEST(ReadCatalogLine, RandomBytesGiveTheSameLinesAsByteByByteReading) {
    uint32_t state = 12345;
    const char alphabet[] = {'a', '|', '\r', '\n', '\0', 'b', '\xFF'};
    for (int round = 0; round < 200; ++round) {
        std::string bytes;
        state = state * 1664525u + 1013904223u;
        size_t length = state % 300;
        for (size_t i = 0; i < length; ++i) {
            state = state * 1664525u + 1013904223u;
            bytes.push_back(alphabet[(state >> 16) % sizeof alphabet]);
        }
        const Lines expected = linesByteByByte(bytes);
        for (size_t blockSize : {size_t{1}, size_t{5}, size_t{8}, size_t{9}, size_t{4096}}) {
            ASSERT_EQ(readAll(bytes, blockSize), expected) << "round " << round;
        }
    }
}

TEST(ReadCatalogLine, LongLineWithoutTerminatorComesBackWhole) {
    std::string bytes(3 * CatalogReader::kBlockSize + 17, 'x');
    Lines lines = readAll(bytes, CatalogReader::kBlockSize);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], bytes);
}

TEST(ReadCatalogLine, ManyEmptyLines) {
    std::string bytes(100000, '\n');
    Lines lines = splitCatalogLines(bytes);
    EXPECT_EQ(lines.size(), 100000u);
    EXPECT_EQ(lines.back(), "");
}

struct FieldCase {
    std::string line;
    int k;
    std::string field;
};

TEST(LineField, TakesTheKthBarSeparatedField) {
    const FieldCase cases[] = {
        {"a|b|c", 1, "a"},
        {"a|b|c", 2, "b"},
        {"a|b|c", 3, "c"},
        {"a|b|c", 4, ""},
        {"a|b|c", 0, "a"},
        {"a|b|c", -5, "a"},
        {"", 1, ""},
        {"|", 1, ""},
        {"|", 2, ""},
        {"|", 3, ""},
        {"a||c", 2, ""},
        {"a||c", 3, "c"},
        {"x|", 2, ""},
        {"1|2|3|4|5|6|7|8", 7, "7"},
        {"1|2|3|4|5|6|7|8", 8, "8"},
    };
    for (const FieldCase& c : cases) {
        EXPECT_EQ(lineField(c.line, c.k), c.field) << c.line << " field " << c.k;
    }
}

TEST(ParseBitrate, ReadsSignAndDigitsAndWraps) {
    const std::pair<std::string, int32_t> cases[] = {
        {"128", 128},
        {"  64 kbit", 64},
        {"-5", -5},
        {"- 5", 0},
        {"abc", 0},
        {"", 0},
        {"+64", 64},
        {"\t\t 7", 7},
        {"+-3", 0},
        {"--3", 0},
        {"12x", 12},
        {"007", 7},
        {"2147483647", 2147483647},
        {"2147483648", std::numeric_limits<int32_t>::min()},
        {"-2147483648", std::numeric_limits<int32_t>::min()},
        {"4294967296", 0},
        {"4294967297", 1},
        {"4294967295", -1},
        {"99999999999999999999", static_cast<int32_t>(UINT32_C(1661992959))},
        {"\n5", 0},
        {" \xB2", 0},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(parseBitrate(text), value) << "\"" << text << "\"";
    }
}

TEST(DecimalText, SignAndDigitsWithoutLeadingZeros) {
    const std::pair<int64_t, std::string> cases[] = {
        {0, "0"},
        {7, "7"},
        {-7, "-7"},
        {152, "152"},
        {2147483647, "2147483647"},
        {-2147483648LL, "-2147483648"},
        {std::numeric_limits<int64_t>::min(), "-9223372036854775808"},
        {std::numeric_limits<int64_t>::max(), "9223372036854775807"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(decimalText(value), text);
    }
}

struct ParseCase {
    std::string line;
    std::string country, name;
    int32_t bitrate;
    std::string category, comment, streamUrl, homepage;
};

TEST(ParseChannelLine, TakesTheSevenFields) {
    const ParseCase cases[] = {
        {"Norway|Channel one|300|News|Evening news|stream|page", "Norway", "Channel one", 300,
         "News", "Evening news", "stream", "page"},
        {"A|B", "A", "B", 0, "", "", "", ""},
        {"A|B|12x|C|D|E|F|G", "A", "B", 12, "C", "D", "E", "F"},
        {"||||||", "", "", 0, "", "", "", ""},
        {"", "", "", 0, "", "", "", ""},
        {"A", "A", "", 0, "", "", "", ""},
        {"|N|-40|||u|", "", "N", -40, "", "", "u", ""},
        {" A | B | 9 |", " A ", " B ", 9, "", "", "", ""},
    };
    for (const ParseCase& c : cases) {
        Channel channel = parseChannelLine(c.line);
        EXPECT_EQ(channel.country(), c.country) << c.line;
        EXPECT_EQ(channel.name(), c.name) << c.line;
        EXPECT_EQ(channel.bitrate(), c.bitrate) << c.line;
        EXPECT_EQ(channel.category(), c.category) << c.line;
        EXPECT_EQ(channel.comment(), c.comment) << c.line;
        EXPECT_EQ(channel.streamUrl(), c.streamUrl) << c.line;
        EXPECT_EQ(channel.homepage(), c.homepage) << c.line;
        EXPECT_EQ(channel.watching, 0);
        EXPECT_EQ(channel.favoriteId, 0u);
        // The one-pass parse agrees with lineField.
        EXPECT_EQ(channel.homepage(), lineField(c.line, 7));
        EXPECT_EQ(channel.streamUrl(), lineField(c.line, 6));
    }
}

TEST(FormatChannelLine, NormalisesTheLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"Norway|Channel one|300|News|Evening news|stream|page",
         "Norway|Channel one|300|News|Evening news|stream|page"},
        {"A|B|+64", "A|B|64||||"},
        {"A|B|  128 kbit|C", "A|B|128|C|||"},
        {"A|B|-12|C|D|E|F|G", "A|B|-12|C|D|E|F"},
        {"", "||0||||"},
        {"A|B|abc", "A|B|0||||"},
    };
    for (const auto& [line, formatted] : cases) {
        EXPECT_EQ(formatChannelLine(parseChannelLine(line)), formatted);
    }
}

TEST(FormatChannelLine, RoundTripKeepsEveryField) {
    Channel original("Norway", "\xE6\xF8\xE5 TV", std::numeric_limits<int32_t>::min(), "News", "",
                     "mms://x/y.asx", "http://www.example.org/");
    Channel read = parseChannelLine(formatChannelLine(original));
    EXPECT_EQ(read.country(), original.country());
    EXPECT_EQ(read.name(), original.name());
    EXPECT_EQ(read.bitrate(), original.bitrate());
    EXPECT_EQ(read.category(), original.category());
    EXPECT_EQ(read.comment(), original.comment());
    EXPECT_EQ(read.streamUrl(), original.streamUrl());
    EXPECT_EQ(read.homepage(), original.homepage());
}

TEST(ChannelRowText, NameCategoryBitrateCommentJoinedByLf) {
    EXPECT_EQ(channelRowText(parseChannelLine("N|Radio|-64|Music|Live|u|h")),
              "Radio\nMusic\n-64\nLive");
    EXPECT_EQ(channelRowText(Channel()), "\n\n0\n");
}

TEST(Channel, CopiesShareFieldsButNotTheMarks) {
    Channel original("C", "N", 5, "Cat", "Com", "U", "H");
    original.watching = 1;
    original.favoriteId = 9;
    Channel copied = original.copy();
    EXPECT_EQ(copied.watching, 0);
    EXPECT_EQ(copied.favoriteId, 0u);
    EXPECT_EQ(copied.name().data(), original.name().data());  // one record for both
    Channel assigned;
    assigned = original;
    EXPECT_EQ(assigned.watching, 1);
    EXPECT_EQ(assigned.favoriteId, 9u);
    {
        Channel shortLived = original;
        swap(shortLived, assigned);
    }
    EXPECT_EQ(original.homepage(), "H");
    EXPECT_EQ(assigned.homepage(), "H");

    Channel empty;
    EXPECT_EQ(empty.country(), "");
    EXPECT_EQ(empty.bitrate(), 0);
    Channel moved = std::move(original);
    EXPECT_EQ(moved.category(), "Cat");
}

TEST(Channel, EntriesOutliveTheOthersOfTheirBlock) {
    // Entries of every size, large ones among them, from many blocks; half of them dropped.
    std::vector<Channel> channels;
    for (int i = 0; i < 6000; ++i) {
        const size_t size = i % 1000 == 999 ? 300000 : static_cast<size_t>(i % 700);
        channels.emplace_back(std::to_string(i), std::string(size, static_cast<char>('a' + i % 26)),
                              i, "", "", "", "h");
    }
    std::vector<Channel> kept;
    for (size_t i = 0; i < channels.size(); i += 2) {
        kept.push_back(channels[i].copy());
    }
    channels.clear();
    for (size_t k = 0; k < kept.size(); ++k) {
        const int i = static_cast<int>(k * 2);
        const size_t size = i % 1000 == 999 ? 300000 : static_cast<size_t>(i % 700);
        ASSERT_EQ(kept[k].country(), std::to_string(i));
        ASSERT_EQ(kept[k].name(), std::string(size, static_cast<char>('a' + i % 26)));
        ASSERT_EQ(kept[k].bitrate(), i);
        ASSERT_EQ(kept[k].homepage(), "h");
    }
}

}  // namespace
}  // namespace vistrelle
