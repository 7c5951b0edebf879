// Directory entries and playlist entries to the seven fields of a catalogue line.
#include <gtest/gtest.h>

#include "catalog/catalog_format.h"
#include "updater/entry.h"

namespace vistrelle::updater {
namespace {

CountryNames sampleCountries() {
    CountryNames countries;
    countries.add("NO", "Norway");
    countries.add("gb", "United Kingdom");
    countries.add("CI", "Côte d'Ivoire");
    return countries;
}

// The catalogue line of an entry, as written.
std::string lineOf(const Entry& entry) {
    return formatChannelLine(Channel(entry.country, entry.name, entry.bitrate, entry.category,
                                     entry.comment, entry.url, entry.homepage));
}

TEST(UpdaterCleaning, Fields) {
    // text "" stands for the input unchanged; address "=" for the text.
    const struct {
        std::string in, text, address;
        bool homepage;  // the address is a homepage too
    } cases[] = {
        {"  plain  ", "plain", "", false},
        {"a|b\r\nc\td", "a b  c d", "", false},
        {std::string("nul\0byte", 8), "nul byte", "", false},
        {"Ærø Radio — 东方", "", "", false},
        {"http://s.example/live", "", "=", true},
        {"HTTPS://S.example/x", "", "=", true},
        {" http://s.example/a \r\n", "http://s.example/a", "=", true},
        {"http://s.example/a.m3u8|Referer=x", "http://s.example/a.m3u8 Referer=x",
         "http://s.example/a.m3u8", false},
        {"mms://m.example/x", "", "=", false},
        {"javascript:alert(1)", "", "", false},
        {"rtmp://r.example/x", "", "", false},
        {"http://", "", "", false},
        {"http://with space/x", "", "", false},
        {"www.example.com", "", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        const std::string text = c.text.empty() ? c.in : c.text;
        const std::string address = c.address == "=" ? text : c.address;
        EXPECT_EQ(cleanText(c.in), text);
        EXPECT_EQ(cleanAddress(c.in), address);
        EXPECT_EQ(cleanHomepage(c.in), c.homepage ? address : "");
    }
    // Addresses of any length stay whole.
    std::string longAddress = "http://s.example/" + std::string(100000, 'a');
    EXPECT_EQ(cleanAddress(longAddress), longAddress);
}

TEST(UpdaterCleaning, CountriesAndComments) {
    CountryNames countries = sampleCountries();
    const struct {
        std::string code, country;
    } cases[] = {{" no ", "Norway"},      {"UK", "United Kingdom"}, {"GB;NO", "United Kingdom"},
                 {"CI", "Côte d'Ivoire"}, {"", "International"},    {"XK", "International"},
                 {"NOR", "International"}};
    for (const auto& c : cases) {
        EXPECT_EQ(countries.countryOf(c.code), c.country) << c.code;
    }
    EXPECT_EQ(joinComment({"MP3", "", " english ", "rock"}), "MP3, english, rock");
    std::string cut = joinComment({std::string(200, 'a')}, 10);
    EXPECT_EQ(cut, "aaaaaaaaaa...");
    // Never in the middle of a character.
    EXPECT_EQ(joinComment({"ééééé"}, 5), "éé...");
    EXPECT_EQ(capitalised("pop"), "Pop");
    EXPECT_EQ(capitalised("été"), "été");
}

// The directory samples of the run tests cover pipes, line breaks, missing and lower-case
// countries, javascript: homepages, "|" suffixes, broken, adult and closed entries; these are
// the cases they leave out.
TEST(UpdaterMapping, RadioStationsAndTvStreams) {
    CountryNames countries = sampleCountries();
    RadioStation bare{"",       "http://b.example/two|icy", "", "https://b.example/", "", "", "",
                      "UNKNOWN"};
    bare.bitrate = -5;
    bare.clickCount = 7;
    RadioStation big{"Å", "", "http://c.example/x", "http://c.example/", "jazz", "CI", "", "AAC+"};
    big.bitrate = 99999999999;
    std::optional<Entry> entry = mapRadioStation(bare, countries);
    ASSERT_TRUE(entry);
    EXPECT_EQ(
        lineOf(*entry),
        "International|http://b.example/two|0|Radio||http://b.example/two|https://b.example/");
    EXPECT_EQ(entry->source, Source::Radio);
    EXPECT_EQ(entry->popularity, 7);
    entry = mapRadioStation(big, countries);
    ASSERT_TRUE(entry);
    EXPECT_EQ(lineOf(*entry),
              "Côte d'Ivoire|Å|100000|Jazz|AAC+|http://c.example/x|http://c.example/");
    EXPECT_FALSE(mapRadioStation({"Name", "javascript:x", "", "", "", "NO", "", ""}, countries));

    TvChannel unknown{"U", "Unknown land", "ZZ", "", "javascript:x"};
    entry = mapTvStream({"", "Orphan TV", "http://o.example/s", "", ""}, &unknown, countries);
    ASSERT_TRUE(entry);
    EXPECT_EQ(lineOf(*entry), "International|Unknown land|0|TV||http://o.example/s|");
    EXPECT_EQ(entry->source, Source::Tv);
    EXPECT_FALSE(mapTvStream({"U", "", "", "", ""}, &unknown, countries));
}

TEST(UpdaterMapping, PlaylistEntries) {
    CountryNames countries = sampleCountries();
    using enum Source;
    const struct {
        PlaylistFields fields;
        Source source;
        std::string line;  // empty: left out
    } cases[] = {
        {{"http://p/1", "One | Two", "", "no", "Sport;News"},
         Playlist,
         "Norway|One   Two|0|Sport||http://p/1|"},
        {{"http://p/2", "", "tvg name", "", ""},
         Playlist,
         "International|tvg name|0|Playlist||http://p/2|"},
        {{"http://p/3|x", "", "", "", ""}, Tv, "International|http://p/3|0|TV||http://p/3|"},
        {{"file:///home/me/a.mp3", "Local", "", "", ""}, Playlist, ""},
    };
    for (const auto& c : cases) {
        std::optional<Entry> entry = mapPlaylistFields(c.fields, c.source, countries);
        EXPECT_EQ(entry ? lineOf(*entry) : std::string(), c.line);
    }
}

}  // namespace
}  // namespace vistrelle::updater
