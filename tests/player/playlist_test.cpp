#include "player/playlist.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fake/sandbox.h"

namespace vistrelle {
namespace {

using namespace std::string_literals;
using testing::assetBytes;

const auto file = [](const char* name) { return assetBytes("playlists/"s + name); };

const std::string kDir = "http://radio.example/lists/";
const std::string kFrom = kDir + "station.asx";
const std::string kA = "http://a.example/";

TEST(PlaylistTest, KindComesFromTheBytes) {
    using enum PlaylistKind;
    // clang-format off
    const std::vector<std::pair<PlaylistKind, std::vector<std::string>>> cases = {
        {Stream, {"", "\xFF\xFB\x90\x64", "\xFF\xF1\x50\x80", "ID3\x03\x00"s, "OggS\0\x02#EXTM3U"s,
                  "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C<ASX>"s,
                  "\x1A\x45\xDF\xA3\x9F\x42\x86\x81", "\0\0\0 ftypisom"s,
                  "#EXTM3U\n\x01\x02\x03\x7F"}},
        {Html, {"\r\n<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\n<html>",
                "<html><head><title>SHOUTcast Administrator</title>",
                "<?xml version='1.0'?><rss><channel/></rss>"}},
        {Asx, {"<?xml version='1.0'?><!-- <html> --><Asx version='3'>",
               "<asx version=\"3.0\"><entry><ref href=\"http://a.example/",
               "<Entry><Ref href='http://a.example/'/></Entry>",
               "[Reference]\r\nRef1=http://wm.example/live?MSWMExt=.asf\r\n"}},
        {Xspf, {"<playlist xmlns='http://xspf.org/ns/0/'>"}},
        {Pls, {"\xEF\xBB\xBF\n[PlayList]\nFile1=http://a.example/", "File1=http://a.example/\n",
               "NumberOfEntries=1\nFile1=http://a.example/\n"}},
        {Hls, {"#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:9.9,\nseg1.ts\n",
               "#EXT-X-VERSION:3\nchunks.m3u8", file("master.m3u8")}},
        {M3u, {"http://a.example/stream\n", "ICY 404 Resource Not Available\r\n"}},
        {Ram, {"rtsp://a.example/live.rm\n"}},
    };
    // clang-format on
    for (const auto& [kind, samples] : cases) {
        for (const std::string& bytes : samples) {
            EXPECT_EQ(readPlaylist(bytes, kFrom).kind, kind) << bytes;
        }
    }
}

using Pairs = std::vector<std::pair<std::string, std::string>>;  // address and title, or attributes

Pairs entriesOf(const Playlist& playlist) {
    Pairs entries;
    for (const PlaylistEntry& entry : playlist.entries) {
        entries.emplace_back(entry.url, entry.title);
    }
    return entries;
}

std::string utf16(std::u16string_view text, bool littleEndian) {
    std::string bytes;
    for (const char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += littleEndian ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
}

struct Read {
    const char* name;
    std::string bytes;
    Pairs entries;
    std::string from = kFrom;
};

TEST(PlaylistTest, FormatsWithTheirQuirks) {
    const std::u16string asx16 =
        u"\uFEFF<ASX><Entry><Title>K\u00F6ln \U0001F4FB</Title>"
        u"<Ref href=\"http://a.example/\"/></Entry></ASX>";
    const Pairs koeln = {{kA, "K\xC3\xB6ln \xF0\x9F\x93\xBB"}};
    const std::string pls = "[playlist]\nFile1=http://a.example/\nTitle1=";
    // clang-format off
    const std::vector<Read> cases = {
        {"asx: case, unquoted values, bare &, title after the refs",
         "<asx><ENTRY><ref HREF=http://a.example/x?a=1&b=2><REF Href='b.asf'/>"
         "<Title>A &amp; B &#233;</TITLE></ENTRY></asx>",
         {{"http://a.example/x?a=1&b=2", "A & B \xC3\xA9"}, {kDir + "b.asf", "A & B \xC3\xA9"}}},
        {"asx: base of the playlist and of an entry",
         "<asx><base href='http://base.example/a/'/><entry><ref href='one'/></entry><entry>"
         "<base href='/other/'><ref href='two'/></entry><entry><ref href='three'/></entry></asx>",
         {{"http://base.example/a/one", ""}, {"http://base.example/other/two", ""},
          {"http://base.example/a/three", ""}}},
        {"asx: quote left open, comments, empty href",
         "<asx><!-- <ref href='http://no.example/'> --><ref href=\"http://a.example/1>\n"
         "<ref href=''><ref href=\"http://b.example/2\"></asx>",
         {{"http://a.example/1", ""}, {"http://b.example/2", ""}}},
        {"asx: CR-only line ends in tags", "<ASX>\r<ENTRY>\r<REF\rHREF=\"http://a.example/\"\r/>",
         {{kA, ""}}},
        {"asx: nested, against its own address", "<asx><entry><ref href='lists/inner.pls?id=7'/>"
         "</entry><entryref href='//other.example/more.asx'/></asx>",
         {{"https://radio.example/a/b/lists/inner.pls?id=7", ""},
          {"https://other.example/more.asx", ""}},
         "https://radio.example/a/b/outer.asx"},
        {"asx: cut off", "<ASX><Entry><Ref href=\"http://a.example/1\"/></Entry><Entry><Ref hr",
         {{"http://a.example/1", ""}}},
        {"asx: UTF-16 LE", utf16(asx16, true), koeln},
        {"asx: UTF-16 BE", utf16(asx16, false), koeln},
        {"pls: numbers out of order, leading zeros, quotes, duplicate",
         "[playlist]\nFile10=http://j.example/\nfile02=\"http://b.example/\"\nTitle2=Two\n"
         "File1=http://a.example/\nFile1=http://dup.example/\nTitle9=Orphan\n",
         {{kA, ""}, {"http://b.example/", "Two"}, {"http://j.example/", ""}}},
        {"pls: UTF-8 cut in a char", pls + "\xC3\xA9t\xC3\xA9 \xC3", {{kA, "\xC3\xA9t\xC3\xA9"}}},
        {"pls: a last byte that is not UTF-8", pls + "Caf\xE9", {{kA, "Caf\xC3\xA9"}}},
        {"pls: Windows-1252", pls + "K\xF6ln \x80", {{kA, "K\xC3\xB6ln \xE2\x82\xAC"}}},
        {"pls: UTF-16, unpaired surrogate, odd last byte",
         utf16(u"\uFEFF[playlist]\nFile1=http://a.example/\nTitle1=\xD800x", true) + "A",
         {{kA, "\xEF\xBF\xBDx"}}},
        {"pls: nested, against its own address", "[playlist]\nFile1=../../live/stream.mp3\n",
         {{"https://radio.example/a/live/stream.mp3", ""}},
         "https://radio.example/a/b/lists/inner.pls?id=7"},
        {"m3u: comments, blank lines, relative and absolute, CR only",
         "#EXTM3U\r\r# a comment\r#EXTINF:123, Artist - Song, Live\r../up.mp3\r#EXTVLCOPT:x=1\r"
         "mms://wm.example/live\r",
         {{"http://radio.example/up.mp3", "Artist - Song, Live"}, {"mms://wm.example/live", ""}}},
        {"m3u: plain list keeps only address lines",
         "Stream list\nhttp://a.example/1\n  relative/2.mp3  \nnot an address\n",
         {{"http://a.example/1", ""}, {kDir + "relative/2.mp3", ""}}},
        {"m3u: relative without an address of its own", "#EXTM3U\nstream.mp3\nhttp://a.example/\n",
         {{kA, ""}}, ""},
        {"ram: real protocols kept, list ends at --stop--",
         "rtsp://a.example/x.rm\r\npnm://b.example/y.rm\r\n--stop--\r\nhttp://c.example/\r\n",
         {{"rtsp://a.example/x.rm", ""}, {"pnm://b.example/y.rm", ""}}},
        {"xspf: entities, CDATA, location outside a track ignored",
         "<playlist><location>http://self.example/</location><trackList><track>"
         "<location> http://a.example/?a=1&amp;b=2 </location><title><![CDATA[A & <B>]]>"
         "</title><location>alt.ogg</location></ ></track></trackList></playlist>",
         {{"http://a.example/?a=1&b=2", "A & <B>"}, {kDir + "alt.ogg", "A & <B>"}}},
        {"nordlicht.asx", file("nordlicht.asx"),
         {{"mms://wm.nordlicht.example/nordlicht?sid=4&auth=x", "Nordlicht & Friends"},
          {"http://media.nordlicht.example/live/nordlicht_64.asf", "Nordlicht & Friends"},
          {"http://media.nordlicht.example/backup.asx", ""}}},
        {"skyfm.pls", file("skyfm.pls"), {{"http://relay1.example:8000/", "(#1 - 480/500) Sky FM"},
          {"http://relay2.example:8000/", "(#2 - 80/500) Sky FM"},
          {"http://relay3.example:8000/;", "(#3 - 12/500) Sky FM"}}},
        {"iptv.m3u", file("iptv.m3u"),
         {{"https://cdn.example/daserste/master.m3u8", "Das Erste HD"},
          {"http://f24.example/live/f24_en.m3u8", "France 24 (720p), English"}}},
        {"live.ram", file("live.ram"),
         {{"rtsp://real.example/encoder/live.rm", ""}, {"pnm://real.example/encoder/live.rm", ""}}},
        {"favourites.xspf", file("favourites.xspf"),
         {{"http://stream.example/jazz.ogg?a=1&b=2", "Jazz & Blues \xE2\x98\xBA"},
          {"http://lists.example/talk/stream.mp3", "Talk <live>"}}, "http://lists.example/f"},
        {"master.m3u8: the stream itself, never its entries", file("master.m3u8"), {}},
    };
    // clang-format on
    for (const Read& c : cases) {
        EXPECT_EQ(entriesOf(readPlaylist(c.bytes, c.from)), c.entries) << c.name;
    }
}

// The shapes of real IPTV lists and of playlists made on someone's own computer.
TEST(PlaylistTest, RealWorldShapes) {
    // clang-format off
    const std::vector<Read> cases = {
        {"pls: a line before the header", "Relay 2 of 5\r\n[playlist]\r\nFile1=" + kA +
         "\r\nTitle1=A\r\n", {{kA, "A"}}},
        {"m3u: #EXTINF without its colon", "#EXTM3U\n#EXTINF-1,Kanal Nord\n" + kA + "\n",
         {{kA, "Kanal Nord"}}},
        {"m3u: separator lines", "#EXTM3U\n====morocco====\n#EXTINF:-1,Medi\n" + kA +
         "\n--- Sport ---\nlive\n", {{kA, "Medi"}}},
        {"m3u: header suffix cut, a \"|\" of the query kept", "#EXTM3U\n#EXTINF:-1,TV\n"
         "http://a.example/tv.m3u8|User-Agent=Mozilla/5.0&Referer=http://a.example/\n"
         "http://b.example/s?format=mp3|aac&type=live\n",
         {{"http://a.example/tv.m3u8", "TV"}, {"http://b.example/s?format=mp3%7Caac&type=live", ""}}},
        {"m3u: local files left out", "#EXTM3U\n#EXTINF:-1,Home\n/home/anna/Music/a.mp3\n"
         "C:\\Music\\b.mp3\n~/c.mp3\nAlternative\\Song One.mp3\nfile:///C:/d.mp3\n"
         "\\\\nas\\share\\e.mp3\n/live/my stream.mp3\n",
         {{"http://radio.example/live/my%20stream.mp3", ""}}},
        {"xspf: xml:base on the playlist, the list and a track, nested",
         "<playlist xml:base='http://base.example/lists/'><trackList xml:base='../music/'>"
         "<track xml:base='jazz/'><location>a b.ogg</location></track><track>"
         "<location>two.mp3</location></track></trackList><location>x</location></playlist>",
         {{"http://base.example/music/jazz/a%20b.ogg", ""}, {"http://base.example/music/two.mp3", ""}}},
        {"asx: a space in a REF", "<asx><entry><ref href=\"http://a.example/my stream.asf\"/>"
         "</entry></asx>", {{"http://a.example/my%20stream.asf", ""}}},
    };
    // clang-format on
    for (const Read& c : cases) {
        EXPECT_EQ(entriesOf(readPlaylist(c.bytes, c.from)), c.entries) << c.name;
    }
    EXPECT_EQ(readPlaylist(cases[4].bytes, kFrom).localFiles, 6u);
    EXPECT_EQ(readPlaylist(cases[3].bytes, kFrom).entries.at(0).headers,
              (Pairs{{"User-Agent", "Mozilla/5.0"}, {"Referer", "http://a.example/"}}));
}

TEST(PlaylistTest, HeaderSuffixesAndSpacesInAddresses) {
    const struct {
        std::string text, address;
        Pairs headers;
    } cases[] = {
        {"http://a/tv.m3u8|User-Agent=Mozilla/5.0%20(X11)&Referer=http://a/",
         "http://a/tv.m3u8",
         {{"User-Agent", "Mozilla/5.0 (X11)"}, {"Referer", "http://a/"}}},
        {"http://a/s?x=1|icy", "http://a/s?x=1%7Cicy", {}},
        {"http://a/s?f=a|b|user-agent=VLC|referrer=http://r/",
         "http://a/s?f=a%7Cb",
         {{"user-agent", "VLC"}, {"referrer", "http://r/"}}},
        {"http://a/s|Origin=x||Cookie=", "http://a/s", {{"Origin", "x"}, {"Cookie", ""}}},
        {"http://a/s|", "http://a/s", {}},
        {"http://a/s|type=x", "http://a/s%7Ctype=x", {}},
    };
    for (const auto& c : cases) {
        const SuffixedAddress split = splitHeaderSuffix(c.text);
        EXPECT_EQ(split.address, c.address) << c.text;
        EXPECT_EQ(split.headers, c.headers) << c.text;
    }
    EXPECT_EQ(withEncodedSpaces("http://a/b c?d e#f g"), "http://a/b%20c?d%20e#f%20g");
    EXPECT_EQ(withEncodedSpaces("http://with space/x y"), "http://with space/x y");
    EXPECT_EQ(withEncodedSpaces("my song.mp3"), "my%20song.mp3");
}

TEST(PlaylistTest, AttributesKeepOrderAndCommasInQuotesAndReferencesAreMarked) {
    const Playlist list = readPlaylist(
        "#EXTM3U\n#EXTINF:-1 TVG-ID=\"a.de\" tvg-name='A, B' tvg-country=DE group-title=\"News, "
        "Sport\" broken,Das Erste, HD\nhttp://a.example/a.m3u8\nhttp://b.example/b\n",
        kFrom);
    EXPECT_EQ(entriesOf(list),
              (Pairs{{"http://a.example/a.m3u8", "Das Erste, HD"}, {"http://b.example/b", ""}}));
    EXPECT_EQ(list.entries.at(0).attributes, (Pairs{{"tvg-id", "a.de"},
                                                    {"tvg-name", "A, B"},
                                                    {"tvg-country", "DE"},
                                                    {"group-title", "News, Sport"}}));
    EXPECT_TRUE(list.entries[1].attributes.empty());
    const Playlist m3u = readPlaylist(file("iptv.m3u"), kFrom);
    EXPECT_EQ(m3u.entries.at(0).attributes.size(), 6u);
    EXPECT_EQ(m3u.entries[0].attributes.at(5), std::pair("group-title"s, "General;News"s));
    const Playlist asx = readPlaylist(file("nordlicht.asx"), kFrom);
    EXPECT_FALSE(asx.entries.at(1).isReference);
    EXPECT_TRUE(asx.entries.at(2).isReference);
}

TEST(PlaylistTest, OutputStaysNearTheSizeOfTheInput) {
    // A long base with many short relative entries must not multiply into gigabytes.
    std::string asx = "<asx><base href='http://a.example/" + std::string(200000, 'x') + "/'>";
    for (int i = 0; i < 50000; ++i) {
        asx += "<ref href=a>";
    }
    size_t total = 0;
    for (const PlaylistEntry& entry : readPlaylist(asx, kFrom).entries) {
        total += entry.url.size();
    }
    EXPECT_GT(total, 0u);
    EXPECT_LT(total, 16 * asx.size());
}

TEST(PlaylistTest, ResolvesAsRfc3986Section5_4) {
    // clang-format off
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"g:h", "g:h"}, {"g", "http://a/b/c/g"}, {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"}, {"/g", "http://a/g"}, {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"}, {"g?y", "http://a/b/c/g?y"}, {"#s", "http://a/b/c/d;p?q#s"},
        {"g#s", "http://a/b/c/g#s"}, {"g?y#s", "http://a/b/c/g?y#s"}, {";x", "http://a/b/c/;x"},
        {"g;x", "http://a/b/c/g;x"}, {"g;x?y#s", "http://a/b/c/g;x?y#s"},
        {"", "http://a/b/c/d;p?q"}, {".", "http://a/b/c/"}, {"./", "http://a/b/c/"},
        {"..", "http://a/b/"}, {"../", "http://a/b/"}, {"../g", "http://a/b/g"},
        {"../..", "http://a/"}, {"../../", "http://a/"}, {"../../g", "http://a/g"},
        {"../../../g", "http://a/g"}, {"../../../../g", "http://a/g"}, {"/./g", "http://a/g"},
        {"/../g", "http://a/g"}, {"g.", "http://a/b/c/g."}, {".g", "http://a/b/c/.g"},
        {"g..", "http://a/b/c/g.."}, {"..g", "http://a/b/c/..g"}, {"./../g", "http://a/b/g"},
        {"./g/.", "http://a/b/c/g/"}, {"g/./h", "http://a/b/c/g/h"}, {"g/../h", "http://a/b/c/h"},
        {"g;x=1/./y", "http://a/b/c/g;x=1/y"}, {"g;x=1/../y", "http://a/b/c/y"},
        {"g?y/./x", "http://a/b/c/g?y/./x"}, {"g?y/../x", "http://a/b/c/g?y/../x"},
        {"g#s/./x", "http://a/b/c/g#s/./x"}, {"g#s/../x", "http://a/b/c/g#s/../x"},
        {"http:g", "http:g"},
    };
    // clang-format on
    for (const auto& [reference, result] : cases) {
        EXPECT_EQ(resolveAddress("http://a/b/c/d;p?q", reference), result) << reference;
    }
    EXPECT_EQ(resolveAddress("http://a", "g"), "http://a/g");
    EXPECT_EQ(resolveAddress("not absolute", "g"), "");
    EXPECT_EQ(resolveAddress("", "HTTP://A/./b"), "HTTP://A/b");
}

TEST(PlaylistTest, PlayableAddresses) {
    const std::string mms = "http://wm.example/live";
    // clang-format off
    const Pairs played = {
        {"http://a.example/live", "http://a.example/live"}, {"mms://wm.example/live", mms},
        {"HTTPS://a.example:8443/x?y=1#z", "HTTPS://a.example:8443/x?y=1#z"},
        {"http://user@a.example/\xC3\xA4", "http://user@a.example/\xC3\xA4"},
        {"MMSH://wm.example/live", mms}, {"mmst://wm.example/live", mms}};
    // clang-format on
    for (const auto& [entry, address] : played) {
        EXPECT_EQ(playableAddresses(entry), std::vector{address}) << entry;
        EXPECT_EQ(isPlayableAddress(entry), entry == address) << entry;
    }
    for (const char* entry :
         {"rtsp://a.example/x.rm", "pnm://a.example/x.rm", "rtmp://a.example/live",
          "javascript:alert(1)", "file:///etc/passwd", "data:audio/mpeg;base64,AAAA", "http:g",
          "http:///path", "http://@/x", "not an address", "http://a.example/\"onerror=\"x",
          "http://a.example/'x", "http://a.example/<script>", "http://a.example/a b",
          "http://a.example/\x01", "http://a.example/\xC2\x85", "http://a.example/\xFF",
          "mms://wm.example/\""}) {
        EXPECT_TRUE(playableAddresses(entry).empty()) << entry;
        EXPECT_FALSE(isPlayableAddress(entry)) << entry;
    }
}

}  // namespace
}  // namespace vistrelle
