#include "player/playlist.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fake/sandbox.h"

namespace vistrelle {
namespace {

using testing::assetBytes;

constexpr std::string_view kFrom = "http://radio.example/lists/station.asx";

struct Sniffed {
    const char* name;
    std::string bytes;
    PlaylistKind kind;
};

TEST(PlaylistTest, KindComesFromTheBytes) {
    const std::string asf("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
    const std::vector<Sniffed> cases = {
        {"empty", "", PlaylistKind::Stream},
        {"mp3 frame", "\xFF\xFB\x90\x64rest of a frame", PlaylistKind::Stream},
        {"mp3 with tag", std::string("ID3\x03\x00", 5), PlaylistKind::Stream},
        {"aac adts", "\xFF\xF1\x50\x80", PlaylistKind::Stream},
        {"ogg page", std::string("OggS\0\x02", 6) + "#EXTM3U", PlaylistKind::Stream},
        {"asf header", asf + "<ASX>", PlaylistKind::Stream},
        {"webm", "\x1A\x45\xDF\xA3\x9F\x42\x86\x81", PlaylistKind::Stream},
        {"mp4",
         std::string("\0\0\0\x20"
                     "ftypisom",
                     12),
         PlaylistKind::Stream},
        {"binary noise", std::string("#EXTM3U\n\x01\x02\x03\x7F", 12), PlaylistKind::Stream},
        {"html error page",
         "\r\n<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\n"
         "<html><head><title>404 Not Found</title></head></html>",
         PlaylistKind::Html},
        {"shoutcast status page", "<html><head><title>SHOUTcast Administrator</title>",
         PlaylistKind::Html},
        {"other markup", "<?xml version='1.0'?><rss><channel/></rss>", PlaylistKind::Html},
        {"asx after a prolog", "<?xml version='1.0'?><!-- <html> --><Asx version='3'>",
         PlaylistKind::Asx},
        {"truncated asx", "<asx version=\"3.0\"><entry><ref href=\"http://a.example/",
         PlaylistKind::Asx},
        {"asx without its root", "<Entry><Ref href='http://a.example/'/></Entry>",
         PlaylistKind::Asx},
        {"reference file", "[Reference]\r\nRef1=http://wm.example/live?MSWMExt=.asf\r\n",
         PlaylistKind::Asx},
        {"xspf", "<playlist xmlns='http://xspf.org/ns/0/'>", PlaylistKind::Xspf},
        {"pls", "\xEF\xBB\xBF\n[PlayList]\nFile1=http://a.example/", PlaylistKind::Pls},
        {"pls without header", "File1=http://a.example/\n", PlaylistKind::Pls},
        {"hls media", "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:9.9,\nseg1.ts\n",
         PlaylistKind::Hls},
        {"hls without header", "#EXT-X-VERSION:3\nchunks.m3u8", PlaylistKind::Hls},
        {"plain list", "http://a.example/stream\n", PlaylistKind::M3u},
        {"server message", "ICY 404 Resource Not Available\r\n", PlaylistKind::M3u},
        {"ram", "rtsp://a.example/live.rm\n", PlaylistKind::Ram},
    };
    for (const Sniffed& c : cases) {
        EXPECT_EQ(readPlaylist(c.bytes, kFrom).kind, c.kind) << c.name;
    }
}

using Entries = std::vector<std::pair<std::string, std::string>>;  // address, title

Entries entriesOf(const Playlist& playlist) {
    Entries entries;
    for (const PlaylistEntry& entry : playlist.entries) {
        entries.emplace_back(entry.url, entry.title);
    }
    return entries;
}

struct Read {
    const char* name;
    std::string bytes;
    Entries entries;
};

TEST(PlaylistTest, FormatsWithTheirQuirks) {
    const std::vector<Read> cases = {
        {"asx: case, unquoted values, bare &, title after the refs",
         "<asx><ENTRY><ref HREF=http://a.example/x?a=1&b=2><REF Href='b.asf'/>"
         "<Title>A &amp; B &#233;</TITLE></ENTRY></asx>",
         {{"http://a.example/x?a=1&b=2", "A & B \xC3\xA9"},
          {"http://radio.example/lists/b.asf", "A & B \xC3\xA9"}}},
        {"asx: base of the playlist and of an entry",
         "<asx><base href='http://base.example/a/'/><entry><ref href='one'/></entry>"
         "<entry><base href='/other/'><ref href='two'/></entry><entry><ref href='three'/>"
         "</entry></asx>",
         {{"http://base.example/a/one", ""},
          {"http://base.example/other/two", ""},
          {"http://base.example/a/three", ""}}},
        {"asx: quote left open, comments, empty href",
         "<asx><!-- <ref href='http://no.example/'> --><ref href=\"http://a.example/1>\n"
         "<ref href=''><ref href=\"http://b.example/2\"></asx>",
         {{"http://a.example/1", ""}, {"http://b.example/2", ""}}},
        {"asx: CR-only line ends inside tags",
         "<ASX>\r<ENTRY>\r<REF\rHREF=\"http://a.example/\"\r/>",
         {{"http://a.example/", ""}}},
        {"pls: numbers out of order, leading zeros, quotes, duplicate",
         "[playlist]\nFile10=http://j.example/\nfile02=\"http://b.example/\"\nTitle2=Two\n"
         "File1=http://a.example/\nFile1=http://dup.example/\nTitle9=Orphan\n",
         {{"http://a.example/", ""}, {"http://b.example/", "Two"}, {"http://j.example/", ""}}},
        {"m3u: comments, blank lines, relative and absolute, CR only",
         "#EXTM3U\r\r# a comment\r#EXTINF:123, Artist - Song, Live\r../up.mp3\r#EXTVLCOPT:x=1\r"
         "mms://wm.example/live\r",
         {{"http://radio.example/up.mp3", "Artist - Song, Live"}, {"mms://wm.example/live", ""}}},
        {"m3u: plain list keeps only address lines",
         "Stream list\nhttp://a.example/1\n  relative/2.mp3  \nnot an address\n",
         {{"http://a.example/1", ""}, {"http://radio.example/lists/relative/2.mp3", ""}}},
        {"ram: real protocols kept, list ends at --stop--",
         "rtsp://a.example/x.rm\r\npnm://b.example/y.rm\r\n--stop--\r\nhttp://c.example/\r\n",
         {{"rtsp://a.example/x.rm", ""}, {"pnm://b.example/y.rm", ""}}},
        {"xspf: entities, CDATA, location outside a track ignored",
         "<playlist><location>http://self.example/</location><trackList><track>"
         "<location> http://a.example/?a=1&amp;b=2 </location><title><![CDATA[A & <B>]]>"
         "</title><location>alt.ogg</location></ ></track></trackList></playlist>",
         {{"http://a.example/?a=1&b=2", "A & <B>"},
          {"http://radio.example/lists/alt.ogg", "A & <B>"}}},
    };
    for (const Read& c : cases) {
        EXPECT_EQ(entriesOf(readPlaylist(c.bytes, kFrom)), c.entries) << c.name;
    }
}

TEST(PlaylistTest, ExtendedM3uAttributesKeepOrderAndCommasInQuotes) {
    const Playlist list = readPlaylist(
        "#EXTM3U\n#EXTINF:-1 TVG-ID=\"a.de\" tvg-name='A, B' tvg-country=DE group-title=\"News, "
        "Sport\" broken,Das Erste, HD\nhttp://a.example/a.m3u8\nhttp://b.example/b\n",
        kFrom);
    ASSERT_EQ(list.entries.size(), 2u);
    const PlaylistEntry& first = list.entries[0];
    EXPECT_EQ(first.title, "Das Erste, HD");
    const std::vector<std::pair<std::string, std::string>> attributes = {
        {"tvg-id", "a.de"},
        {"tvg-name", "A, B"},
        {"tvg-country", "DE"},
        {"group-title", "News, Sport"}};
    EXPECT_EQ(first.attributes, attributes);
    EXPECT_TRUE(list.entries[1].attributes.empty());
    EXPECT_EQ(list.entries[1].title, "");
}

TEST(PlaylistTest, HlsGivesNoEntries) {
    const Playlist list = readPlaylist(assetBytes("playlists/master.m3u8"), kFrom);
    EXPECT_EQ(list.kind, PlaylistKind::Hls);
    EXPECT_TRUE(list.entries.empty());
}

TEST(PlaylistTest, RealWorldFiles) {
    const Playlist asx = readPlaylist(assetBytes("playlists/nordlicht.asx"), kFrom);
    EXPECT_EQ(asx.kind, PlaylistKind::Asx);
    EXPECT_EQ(
        entriesOf(asx),
        (Entries{{"mms://wm.nordlicht.example/nordlicht?sid=4&auth=x", "Nordlicht & Friends"},
                 {"http://media.nordlicht.example/live/nordlicht_64.asf", "Nordlicht & Friends"},
                 {"http://media.nordlicht.example/backup.asx", ""}}));
    ASSERT_EQ(asx.entries.size(), 3u);
    EXPECT_FALSE(asx.entries[1].isReference);
    EXPECT_TRUE(asx.entries[2].isReference);

    const Playlist pls = readPlaylist(assetBytes("playlists/skyfm.pls"), kFrom);
    EXPECT_EQ(pls.kind, PlaylistKind::Pls);
    EXPECT_EQ(entriesOf(pls), (Entries{{"http://relay1.example:8000/", "(#1 - 480/500) Sky FM"},
                                       {"http://relay2.example:8000/", "(#2 - 80/500) Sky FM"},
                                       {"http://relay3.example:8000/;", "(#3 - 12/500) Sky FM"}}));

    const Playlist m3u = readPlaylist(assetBytes("playlists/iptv.m3u"), kFrom);
    EXPECT_EQ(m3u.kind, PlaylistKind::M3u);
    EXPECT_EQ(entriesOf(m3u),
              (Entries{{"https://cdn.example/daserste/master.m3u8", "Das Erste HD"},
                       {"http://f24.example/live/f24_en.m3u8", "France 24 (720p), English"}}));
    ASSERT_EQ(m3u.entries.size(), 2u);
    EXPECT_EQ(m3u.entries[0].attributes.size(), 6u);
    EXPECT_EQ(m3u.entries[0].attributes[5],
              (std::pair<std::string, std::string>{"group-title", "General;News"}));

    const Playlist ram = readPlaylist(assetBytes("playlists/live.ram"), kFrom);
    EXPECT_EQ(ram.kind, PlaylistKind::Ram);
    EXPECT_EQ(ram.entries.size(), 2u);

    const Playlist xspf =
        readPlaylist(assetBytes("playlists/favourites.xspf"), "http://lists.example/fav.xspf");
    EXPECT_EQ(xspf.kind, PlaylistKind::Xspf);
    EXPECT_EQ(entriesOf(xspf),
              (Entries{{"http://stream.example/jazz.ogg?a=1&b=2", "Jazz & Blues \xE2\x98\xBA"},
                       {"http://lists.example/talk/stream.mp3", "Talk <live>"}}));
}

TEST(PlaylistTest, NestedPlaylistsResolveAgainstTheirOwnAddress) {
    // An ASX names a PLS by a relative address; the PLS, fetched from there, names the stream
    // relative to itself.
    const Playlist outer = readPlaylist(
        "<asx><entry><ref href='lists/inner.pls?id=7'/></entry>"
        "<entryref href='//other.example/more.asx'/></asx>",
        "https://radio.example/a/b/outer.asx");
    ASSERT_EQ(outer.entries.size(), 2u);
    EXPECT_EQ(outer.entries[0].url, "https://radio.example/a/b/lists/inner.pls?id=7");
    EXPECT_EQ(outer.entries[1].url, "https://other.example/more.asx");
    EXPECT_TRUE(outer.entries[1].isReference);

    const Playlist inner =
        readPlaylist("[playlist]\nFile1=../../live/stream.mp3\n", outer.entries[0].url);
    EXPECT_EQ(entriesOf(inner), (Entries{{"https://radio.example/a/live/stream.mp3", ""}}));

    // Without an absolute address of its own, a relative entry cannot be resolved.
    EXPECT_TRUE(readPlaylist("#EXTM3U\nstream.mp3\n", "").entries.empty());
    EXPECT_EQ(readPlaylist("#EXTM3U\nhttp://a.example/\n", "").entries.size(), 1u);
}

TEST(PlaylistTest, CutOffInputKeepsWhatWasRead) {
    const Playlist asx =
        readPlaylist("<ASX><Entry><Ref href=\"http://a.example/1\"/></Entry><Entry><Ref hr", kFrom);
    EXPECT_EQ(entriesOf(asx), (Entries{{"http://a.example/1", ""}}));
    // A character of UTF-8 text cut in two at the end is left out; in text that is not UTF-8,
    // the last byte is a character of its own.
    const Playlist pls =
        readPlaylist("[playlist]\nFile1=http://a.example/\nTitle1=\xC3\xA9t\xC3\xA9 \xC3", kFrom);
    EXPECT_EQ(entriesOf(pls), (Entries{{"http://a.example/", "\xC3\xA9t\xC3\xA9"}}));
    const Playlist latin =
        readPlaylist("[playlist]\nFile1=http://a.example/\nTitle1=Caf\xE9", kFrom);
    EXPECT_EQ(entriesOf(latin), (Entries{{"http://a.example/", "Caf\xC3\xA9"}}));
}

std::string utf16(std::u16string_view text, bool littleEndian) {
    std::string bytes;
    for (const char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        bytes += littleEndian ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
}

TEST(PlaylistTest, Utf16WithByteOrderMark) {
    const std::u16string asx =
        u"\uFEFF<ASX><Entry><Title>K\u00F6ln \U0001F4FB</Title>"
        u"<Ref href=\"http://a.example/\"/></Entry></ASX>";
    for (const bool little : {true, false}) {
        const Playlist list = readPlaylist(utf16(asx, little), kFrom);
        EXPECT_EQ(list.kind, PlaylistKind::Asx);
        EXPECT_EQ(entriesOf(list),
                  (Entries{{"http://a.example/", "K\xC3\xB6ln \xF0\x9F\x93\xBB"}}));
    }
    // An unpaired surrogate and an odd last byte.
    const std::string pls =
        utf16(u"\uFEFF[playlist]\nFile1=http://a.example/\nTitle1=\xD800x", true);
    const Playlist list = readPlaylist(pls + "\x41", kFrom);
    EXPECT_EQ(entriesOf(list), (Entries{{"http://a.example/", "\xEF\xBF\xBDx"}}));
}

TEST(PlaylistTest, TextThatIsNotUtf8IsReadAsWindows1252) {
    const Playlist list =
        readPlaylist("[playlist]\nFile1=http://a.example/\nTitle1=K\xF6ln \x80", kFrom);
    EXPECT_EQ(entriesOf(list), (Entries{{"http://a.example/", "K\xC3\xB6ln \xE2\x82\xAC"}}));
}

TEST(PlaylistTest, OutputStaysNearTheSizeOfTheInput) {
    // A long base with many short relative entries must not multiply into gigabytes.
    std::string asx = "<asx><base href='http://a.example/" + std::string(200000, 'x') + "/'>";
    for (int i = 0; i < 50000; ++i) {
        asx += "<ref href=a>";
    }
    const Playlist list = readPlaylist(asx, kFrom);
    size_t total = 0;
    for (const PlaylistEntry& entry : list.entries) {
        total += entry.url.size();
    }
    EXPECT_GT(list.entries.size(), 0u);
    EXPECT_LT(total, 16 * asx.size());
}

struct Resolved {
    const char* reference;
    const char* result;
};

TEST(PlaylistTest, ResolvesAsRfc3986Section5_4) {
    const std::vector<Resolved> cases = {
        {"g:h", "g:h"},
        {"g", "http://a/b/c/g"},
        {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},
        {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q#s"},
        {"g#s", "http://a/b/c/g#s"},
        {"g?y#s", "http://a/b/c/g?y#s"},
        {";x", "http://a/b/c/;x"},
        {"g;x", "http://a/b/c/g;x"},
        {"g;x?y#s", "http://a/b/c/g;x?y#s"},
        {"", "http://a/b/c/d;p?q"},
        {".", "http://a/b/c/"},
        {"./", "http://a/b/c/"},
        {"..", "http://a/b/"},
        {"../", "http://a/b/"},
        {"../g", "http://a/b/g"},
        {"../..", "http://a/"},
        {"../../", "http://a/"},
        {"../../g", "http://a/g"},
        {"../../../g", "http://a/g"},
        {"../../../../g", "http://a/g"},
        {"/./g", "http://a/g"},
        {"/../g", "http://a/g"},
        {"g.", "http://a/b/c/g."},
        {".g", "http://a/b/c/.g"},
        {"g..", "http://a/b/c/g.."},
        {"..g", "http://a/b/c/..g"},
        {"./../g", "http://a/b/g"},
        {"./g/.", "http://a/b/c/g/"},
        {"g/./h", "http://a/b/c/g/h"},
        {"g/../h", "http://a/b/c/h"},
        {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
        {"g;x=1/../y", "http://a/b/c/y"},
        {"g?y/./x", "http://a/b/c/g?y/./x"},
        {"g?y/../x", "http://a/b/c/g?y/../x"},
        {"g#s/./x", "http://a/b/c/g#s/./x"},
        {"g#s/../x", "http://a/b/c/g#s/../x"},
        {"http:g", "http:g"},
    };
    for (const Resolved& c : cases) {
        EXPECT_EQ(resolveAddress("http://a/b/c/d;p?q", c.reference), c.result) << c.reference;
    }
    EXPECT_EQ(resolveAddress("http://a", "g"), "http://a/g");
    EXPECT_EQ(resolveAddress("not absolute", "g"), "");
    EXPECT_EQ(resolveAddress("", "HTTP://A/./b"), "HTTP://A/b");
}

struct Playable {
    const char* entry;
    std::vector<std::string> addresses;
};

TEST(PlaylistTest, PlayableAddresses) {
    const std::vector<Playable> cases = {
        {"http://a.example/live", {"http://a.example/live"}},
        {"HTTPS://a.example:8443/x?y=1#z", {"HTTPS://a.example:8443/x?y=1#z"}},
        {"http://user@a.example/\xC3\xA4", {"http://user@a.example/\xC3\xA4"}},
        {"mms://wm.example/live", {"http://wm.example/live"}},
        {"MMSH://wm.example/live", {"http://wm.example/live"}},
        {"mmst://wm.example/live", {"http://wm.example/live"}},
        {"rtsp://a.example/x.rm", {}},
        {"pnm://a.example/x.rm", {}},
        {"rtmp://a.example/live", {}},
        {"javascript:alert(1)", {}},
        {"file:///etc/passwd", {}},
        {"data:audio/mpeg;base64,AAAA", {}},
        {"http:g", {}},
        {"http:///path", {}},
        {"http://@/x", {}},
        {"not an address", {}},
        {"http://a.example/\"onerror=\"x", {}},
        {"http://a.example/'x", {}},
        {"http://a.example/<script>", {}},
        {"http://a.example/a b", {}},
        {"http://a.example/\x01", {}},
        {"http://a.example/\xC2\x85", {}},
        {"http://a.example/\xFF", {}},
        {"mms://wm.example/\"", {}},
    };
    for (const Playable& c : cases) {
        EXPECT_EQ(playableAddresses(c.entry), c.addresses) << c.entry;
        EXPECT_EQ(isPlayableAddress(c.entry), c.addresses == std::vector<std::string>{c.entry})
            << c.entry;
    }
}

}  // namespace
}  // namespace vistrelle
