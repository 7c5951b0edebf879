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
    const struct {
        std::string in, text, address, homepage;
    } cases[] = {
        {"  plain  ", "plain", "", ""},
        {"a|b\r\nc\td", "a b  c d", "", ""},
        {std::string("nul\0byte", 8), "nul byte", "", ""},
        {"Ærø Radio — 东方", "Ærø Radio — 东方", "", ""},
        {"http://s.example/live", "http://s.example/live", "http://s.example/live",
         "http://s.example/live"},
        {"HTTPS://S.example/x", "HTTPS://S.example/x", "HTTPS://S.example/x",
         "HTTPS://S.example/x"},
        {"http://s.example/a.m3u8|User-Agent=VLC&Referer=x",
         "http://s.example/a.m3u8 User-Agent=VLC&Referer=x", "http://s.example/a.m3u8", ""},
        {" http://s.example/a \r\n", "http://s.example/a", "http://s.example/a",
         "http://s.example/a"},
        {"mms://m.example/x", "mms://m.example/x", "mms://m.example/x", ""},
        {"javascript:alert(1)", "javascript:alert(1)", "", ""},
        {"rtmp://r.example/x", "rtmp://r.example/x", "", ""},
        {"ftp://f.example/x", "ftp://f.example/x", "", ""},
        {"http://", "http://", "", ""},
        {"http://with space/x", "http://with space/x", "", ""},
        {"www.example.com", "www.example.com", "", ""},
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(cleanText(c.in), c.text);
        EXPECT_EQ(cleanAddress(c.in), c.address);
        EXPECT_EQ(cleanHomepage(c.in), c.homepage);
    }
    // Addresses of any length stay whole.
    std::string longAddress = "http://s.example/" + std::string(100000, 'a');
    EXPECT_EQ(cleanAddress(longAddress), longAddress);
}

TEST(UpdaterCleaning, CountriesAndComments) {
    CountryNames countries = sampleCountries();
    const struct {
        std::string code, country;
    } cases[] = {{"NO", "Norway"},
                 {"no", "Norway"},
                 {" NO ", "Norway"},
                 {"UK", "United Kingdom"},
                 {"GB;NO", "United Kingdom"},
                 {"CI", "Côte d'Ivoire"},
                 {"", "International"},
                 {"XK", "International"},
                 {"NOR", "International"},
                 {"N", "International"}};
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

TEST(UpdaterMapping, RadioStations) {
    CountryNames countries = sampleCountries();
    RadioStation full{"  Radio | One\n",          "http://a.example/one.pls",
                      "http://a.example/one.mp3", "javascript:void(0)",
                      "pop,rock , ,80s",          "NO",
                      "norwegian,english",        "MP3"};
    full.bitrate = 128;
    full.clickCount = 7;
    RadioStation bare{"",       "http://b.example/two|icy", "", "https://b.example/", "", "", "",
                      "UNKNOWN"};
    bare.bitrate = -5;
    RadioStation big{"Å", "", "http://c.example/x", "http://c.example/", "jazz", "CI", "", "AAC+"};
    big.bitrate = 99999999999;
    const struct {
        RadioStation station;
        std::string line;
        int64_t popularity;
    } cases[] = {
        {full,
         "Norway|Radio   One|128|Pop|MP3, norwegian, english, rock, 80s|http://a.example/one.mp3|",
         7},
        {bare,
         "International|http://b.example/two|0|Radio||http://b.example/two|https://b.example/", 0},
        {big, "Côte d'Ivoire|Å|100000|Jazz|AAC+|http://c.example/x|http://c.example/", 0},
    };
    for (const auto& c : cases) {
        std::optional<Entry> entry = mapRadioStation(c.station, countries);
        ASSERT_TRUE(entry.has_value()) << c.line;
        EXPECT_EQ(lineOf(*entry), c.line);
        EXPECT_EQ(entry->source, Source::Radio);
        EXPECT_EQ(entry->popularity, c.popularity);
    }
    RadioStation broken = full;
    broken.broken = true;
    RadioStation noAddress{"Name", "javascript:x", "", "", "", "NO", "", ""};
    EXPECT_FALSE(mapRadioStation(broken, countries));
    EXPECT_FALSE(mapRadioStation(noAddress, countries));
}

TEST(UpdaterMapping, TvStreams) {
    CountryNames countries = sampleCountries();
    TvChannel news{"News.no", "Nyheter\r\n", "NO", "news,general", "https://n.example/"};
    TvChannel adult{"A.gb", "A", "UK", "", ""};
    adult.nsfw = true;
    TvChannel closed{"C.gb", "C", "UK", "", ""};
    closed.closed = true;
    TvChannel unknown{"U", "Unknown land", "ZZ", "", "javascript:x"};
    const TvStream stream{"News.no", "", "https://n.example/live.m3u8|Referer=x", "720p",
                          "Geo-blocked"};
    const TvStream orphan{"", "Orphan TV", "http://o.example/s", "", ""};
    const struct {
        TvStream stream;
        const TvChannel* channel;
        std::string line;
    } cases[] = {
        {stream, &news,
         "Norway|Nyheter|0|News|720p, Geo-blocked|https://n.example/live.m3u8|https://n.example/"},
        {orphan, nullptr, "International|Orphan TV|0|TV||http://o.example/s|"},
        {orphan, &unknown, "International|Unknown land|0|TV||http://o.example/s|"},
    };
    for (const auto& c : cases) {
        std::optional<Entry> entry = mapTvStream(c.stream, c.channel, countries);
        ASSERT_TRUE(entry.has_value()) << c.line;
        EXPECT_EQ(lineOf(*entry), c.line);
        EXPECT_EQ(entry->source, Source::Tv);
    }
    EXPECT_FALSE(mapTvStream(stream, &adult, countries));
    EXPECT_FALSE(mapTvStream(stream, &closed, countries));
    EXPECT_FALSE(mapTvStream(TvStream{"News.no", "", "", "", ""}, &news, countries));
}

TEST(UpdaterMapping, PlaylistEntries) {
    CountryNames countries = sampleCountries();
    const struct {
        PlaylistFields fields;
        Source source;
        std::string line;  // empty: left out
    } cases[] = {
        {{"http://p.example/1", "One | Two", "", "no", "Sport;News"},
         Source::Playlist,
         "Norway|One   Two|0|Sport||http://p.example/1|"},
        {{"http://p.example/2", "", "tvg name", "", ""},
         Source::Playlist,
         "International|tvg name|0|Playlist||http://p.example/2|"},
        {{"http://p.example/3|x", "", "", "", ""},
         Source::Tv,
         "International|http://p.example/3|0|TV||http://p.example/3|"},
        {{"file:///home/me/a.mp3", "Local", "", "", ""}, Source::Playlist, ""},
    };
    for (const auto& c : cases) {
        std::optional<Entry> entry = mapPlaylistFields(c.fields, c.source, countries);
        EXPECT_EQ(entry ? lineOf(*entry) : std::string(), c.line);
    }
}

}  // namespace
}  // namespace vistrelle::updater
