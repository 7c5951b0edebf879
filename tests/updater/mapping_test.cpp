// Directory entries and playlist entries to the seven fields of a catalogue line.
#include <gtest/gtest.h>

#include <algorithm>

#include "catalog/catalog_format.h"
#include "updater/entry.h"
#include "updater/letters.h"

namespace vistrelle::updater {
namespace {

CountryNames sampleCountries() {
    CountryNames countries;
    countries.add("NO", "Norway");
    countries.add("gb", "United Kingdom");
    countries.add("CI", "Côte d'Ivoire");
    countries.add("AD", "Andorra");
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
                 {"CI", "Côte d'Ivoire"}, {"", "International"},    {"XK", "Kosovo"},
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
    EXPECT_EQ(capitalised("été"), "Été");
}

// The directory samples of the run tests cover pipes, line breaks, missing and lower-case
// countries, javascript: homepages, "|" suffixes, broken, adult and closed entries; these are
// the cases they leave out.
TEST(UpdaterMapping, RadioStationsAndTvStreams) {
    CountryNames countries = sampleCountries();
    RadioStation bare{
        "", "http://b.example/two|Icy-MetaData=1", "", "https://b.example/", "", "", "", "UNKNOWN"};
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
        {{"http://p/1", "One | Two", "", "no", "Sport;News", ""},
         Playlist,
         "Norway|One   Two|0|Sport||http://p/1|"},
        {{"http://p/2", "", "tvg name", "", "", ""},
         Playlist,
         "International|tvg name|0|Playlist||http://p/2|"},
        {{"http://p/3|User-Agent=x", "", "", "", "", ""},
         Tv,
         "International|http://p/3|0|TV||http://p/3|"},
        {{"file:///home/me/a.mp3", "Local", "", "", "", ""}, Playlist, ""},
    };
    for (const auto& c : cases) {
        std::optional<Entry> entry = mapPlaylistFields(c.fields, c.source, countries);
        EXPECT_EQ(entry ? lineOf(*entry) : std::string(), c.line);
    }
}

// The shapes of the real directories and IPTV lists that the run test's samples leave out.
TEST(UpdaterMapping, RealWorldShapes) {
    CountryNames countries = sampleCountries();
    RadioStation spaced{"R", "http://q.example/my stream", "", "", "ελληνικά", "NO", "", ""};
    std::optional<Entry> radio = mapRadioStation(spaced, countries);
    ASSERT_TRUE(radio);
    EXPECT_EQ(lineOf(*radio), "Norway|R|0|Ελληνικά||http://q.example/my%20stream|");
    const struct {
        PlaylistFields fields;
        std::string line;
    } cases[] = {
        {{"http://p/2", "", "", "", "News", "AndorraTV.ad@SD"},
         "Andorra|Andorra TV|0|News||http://p/2|"},
        {{"http://p/5", "Plain", "", "", "", "Plain"},
         "International|Plain|0|Playlist||http://p/5|"},
    };
    for (const auto& c : cases) {
        std::optional<Entry> entry = mapPlaylistFields(c.fields, Source::Playlist, countries);
        EXPECT_EQ(entry ? lineOf(*entry) : std::string(), c.line);
    }
}

TEST(UpdaterMapping, BitratesAndNamesOfIds) {
    const std::pair<int64_t, int32_t> rates[] = {
        {-1, 0},       {64, 64},      {10000, 10000},       {10001, 10},
        {128000, 128}, {127600, 128}, {99999999999, 100000}};
    for (const auto& [given, kbps] : rates) {
        EXPECT_EQ(kbpsOf(given), kbps) << given;
    }
    const std::pair<std::string_view, std::string_view> ids[] = {
        {"LibyasChannel.ly", "Libyas Channel"},
        {"BBCOne.uk", "BBC One"},
        {"France24.fr", "France 24"},
        {"TV5Monde.fr@SD", "TV5 Monde"},
        {"Canal_Sur.es", "Canal Sur"},
        {"plain", "plain"},
        {"", ""}};
    for (const auto& [id, name] : ids) {
        EXPECT_EQ(nameOfId(id), name) << id;
    }
    EXPECT_EQ(countryCodeOfId("AndorraTV.ad@SD"), "ad");
    EXPECT_EQ(countryCodeOfId("Channel.tv1"), "");
}

TEST(UpdaterLetters, TitleCaseInEveryScriptAndTheOrderOfReaders) {
    const std::pair<std::string_view, std::string_view> titles[] = {
        {"pop", "Pop"},
        {"поп-музыка", "Поп-музыка"},
        {"ёлка", "Ёлка"},
        {"été", "Été"},
        {"ελληνικά", "Ελληνικά"},
        {"հայ", "Հայ"},
        {"ǆungla", "ǅungla"},
        {"ⴀ", "Ⴀ"},
        {"ქართული", "ქართული"},
        {"ß", "ß"},
        {"80s", "80s"},
        {"𐐨", "𐐀"},
        {"ｐｏｐ", "Ｐｏｐ"},
        {"\377bad", "\377bad"},
        {"", ""},
    };
    for (const auto& [text, title] : titles) {
        EXPECT_EQ(withTitleCaseFirst(text), title) << text;
    }
    std::vector<std::string> countries = {"Zimbabwe",     "Åland Islands", "Rwanda",  "Réunion",
                                          "Czechia",      "Côte d'Ivoire", "Cote",    "Afghanistan",
                                          "albania",      "Albania",       "Curaçao", "Türkiye",
                                          "Turkmenistan", "Ærø",           "Aeon"};
    std::sort(countries.begin(), countries.end(),
              [](const std::string& a, const std::string& b) { return compareAsRead(a, b) < 0; });
    EXPECT_EQ(countries, (std::vector<std::string>{"Aeon", "Ærø", "Afghanistan", "Åland Islands",
                                                   "Albania", "albania", "Cote", "Côte d'Ivoire",
                                                   "Curaçao", "Czechia", "Réunion", "Rwanda",
                                                   "Türkiye", "Turkmenistan", "Zimbabwe"}));
}

}  // namespace
}  // namespace vistrelle::updater
