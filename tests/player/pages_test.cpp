#include "player/pages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrelle {
namespace {

// The opening and the end of every player page; between them the player's object.
const std::string kOpening =
    "<body bgcolor='#000000' style='overflow: hidden; margin: 0'>"
    "<object id='VIDEO' width='100%' height='100%'"
    "style='position:absolute; left:0; top:0;'";
const std::string kClosing = "</object></body>";

// The objects for http://example.net/live.asx, as each player version takes it.
const std::string kNewestWmp =
    "classid='clsid:6BF52A52-394A-11d3-B153-00C04F79FAA6'type='application/x-oleobject'>"
    "<param name='URL' value='http://example.net/live.asx'><param name='StretchToFit' "
    "value='true'><param name='UiMode' value='mini'><param name='EnableContextMenu' "
    "value='false'>";
const std::string kOlderWmp =
    "classid='clsid:22D6F312-B0F6-11D0-94AB-0080C74C7E95'type='application/x-oleobject'>"
    "<param name='FileName' value='http://example.net/live.asx'><param name='ShowTracker' "
    "value='false'><param name='ShowPositionControls' value='false'><param "
    "name='EnableContextMenu' value='false'>";
const std::string kWmp64 =
    "classid='clsid:05589FA1-C356-11CE-BF01-00AA0055595A'type='application/x-oleobject'>"
    "<param name='FileName' value='http://example.net/live.asx'><param name='ShowTracker' "
    "value='false'><param name='ShowPositionControls' value='false'><param name='AutoStart' "
    "value='true'><param name='EnableContextMenu' value='false'>";
// A version the program does not know: the object has no class.
const std::string kUnknownWmp =
    "type='application/x-oleobject'><param name='FileName' value='http://example.net/live.asx'>"
    "<param name='ShowTracker' value='false'><param name='ShowPositionControls' "
    "value='false'><param name='EnableContextMenu' value='false'>";

struct ExtensionCase {
    std::string address;
    std::string extension;
};

TEST(AddressExtension, TakesTheTextAfterTheLastDotOfTheLastPathPart) {
    const std::vector<ExtensionCase> cases = {
        {"http://example.net/live.asx", "asx"},
        {"http://example.net/live.ASX", "ASX"},
        {"http://example.net/play.asx?id=3", "asx?id=3"},
        {"http://example.net/a.b.m3u", "m3u"},
        {"http://example.net/live.asx#top", "asx#top"},
        {"http://example.net/live.asx\"tail", "asx"},
        {"http://example.net/live.\"asx", ""},
        {"http://example.net/live.", ""},
        {"http://example.net/", ""},
        {"http://example.net/stream", ""},
        {"http://radio.example.net", "net"},
        {"mms://media.example.ram", "ram"},
        {"C:\\Streams\\live.ram", "ram"},
        {"C:\\Streams.d\\live", ""},
        {"dir.d/live", ""},
        {".asx", "asx"},
        {".", ""},
        {"asx", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(addressExtension(c.address), c.extension) << c.address;
    }
}

TEST(AttributeText, WritesTheFiveMarkupCharactersAsReferences) {
    EXPECT_EQ(attributeText("http://example.net/live.asx?a=1;b=2%20"),
              "http://example.net/live.asx?a=1;b=2%20");
    EXPECT_EQ(attributeText("&<>\"'"), "&amp;&lt;&gt;&quot;&#39;");
    EXPECT_EQ(attributeText("a&amp;b"), "a&amp;amp;b");
    EXPECT_EQ(attributeText(""), "");
    EXPECT_EQ(attributeText(std::string("caf\xe9", 4)), std::string("caf\xe9", 4));
}

TEST(PlayerPage, WritesTheObjectOfThePlayerForTheAddress) {
    const std::string asx = "http://example.net/live.asx";
    const struct {
        std::string address;
        int8_t version;
        std::string object;
    } cases[] = {
        {asx, 0, kNewestWmp},
        {asx, 1, kOlderWmp},
        {asx, 2, kWmp64},
        {asx, 3, kUnknownWmp},
        {asx, -1, kUnknownWmp},
        {asx, 127, kUnknownWmp},
        {"rtsp://example.net/tv.ram", 2,
         "classid='clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA'type='application/x-oleobject'>"
         "<param name='controls' value='All'><param name='controls' value='ControlPanel'>"
         "<param name='autostart' value='true'><param name='src' "
         "value='rtsp://example.net/tv.ram'>"},
        // The player is chosen by the exact, case-sensitive extension: else no object at all.
        {"http://example.net/live.ASX", 0, ""},
        {"http://example.net/live.asx?x=1", 0, ""},
        {"http://example.net/a.asx?x=1&y=2", 1, ""},  // the extension is "asx?x=1&y=2"
        {"http://example.net/live.wmv", 0, ""},
        {"http://example.net/stream", 0, ""},
        {"", 0, ""},
        // A host name alone: its last label is the extension.
        {"http://radio.example.com", 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(playerPage(c.address, c.version), kOpening + c.object + kClosing)
            << c.address << " version " << int{c.version};
    }
}

// Other addresses of each kind give the same object with their own address in it.
TEST(PlayerPage, PutsTheAddressWhereThePlayerTakesIt) {
    const struct {
        std::string address;
        int8_t version;
        std::string classid;
        std::string param;
    } cases[] = {
        {"http://example.net/radio.m3u", 0, "6BF52A52",
         "<param name='URL' value='http://example.net/radio.m3u'>"},
        {"http://example.net/radio.m3u", 2, "05589FA1",
         "<param name='FileName' value='http://example.net/radio.m3u'>"},
        {"mms://media.example.asx", 1, "22D6F312",
         "<param name='FileName' value='mms://media.example.asx'>"},
        {"rtsp://example.net/tv.ram", 0, "CFCDAA03",
         "<param name='src' value='rtsp://example.net/tv.ram'>"},
        {"rtsp://example.net/tv.ram", 9, "CFCDAA03",
         "<param name='src' value='rtsp://example.net/tv.ram'>"},
        // Markup characters of the address cannot leave the attribute.
        {"http://example.net/it's.asx", 0, "6BF52A52", "value='http://example.net/it&#39;s.asx'>"},
        {"http://example.net/a&b.asx", 1, "22D6F312", "value='http://example.net/a&amp;b.asx'>"},
        {"http://example.net/a<b.asx", 0, "6BF52A52", "value='http://example.net/a&lt;b.asx'>"},
        {"http://example.net/a>b.ram", 0, "CFCDAA03", "value='http://example.net/a&gt;b.ram'>"},
        {"http://example.net/a.asx\"x", 2, "05589FA1", "value='http://example.net/a.asx&quot;x'>"},
        {"http://example.net/x'><script>alert(1)</script><p a='.ram", 0, "CFCDAA03",
         "value='http://example.net/x&#39;&gt;&lt;script&gt;alert(1)&lt;/script&gt;&lt;p "
         "a=&#39;.ram'>"},
        // Bytes outside ASCII are kept.
        {"http://example.net/m\xfcnchen.asx", 1, "22D6F312",
         "value='http://example.net/m\xfcnchen.asx'>"},
    };
    for (const auto& c : cases) {
        const std::string page = playerPage(c.address, c.version);
        EXPECT_TRUE(page.starts_with(kOpening) && page.ends_with(kClosing)) << page;
        EXPECT_NE(page.find("classid='clsid:" + c.classid), std::string::npos) << page;
        EXPECT_NE(page.find(c.param), std::string::npos) << page;
        EXPECT_EQ(page.find("<script"), std::string::npos) << page;
    }
}

TEST(WelcomePage, ShowsTheProductAndWhereThePlayersComeFrom) {
    EXPECT_EQ(welcomePage(),
              "<body bgcolor='#000000' style='overflow: hidden; margin: 0' link='#0044C1' "
              "text='#0044C1' vlink='#0044C1' alink='#0044C1'><center><br><b>"
              "<div style='font-size: 26'>Vistrelle</div><div style='font-size: 14'>"
              "v1.0 Beta 3<br><br><b>You may need the latest versions of:</b><br>"
              "<a target='blank' href='https://www.microsoft.com/windows/windows-media-player'>"
              "Windows Media Player</a><br>"
              "<a target='blank' href='https://www.real.com/'>Real Player</a><br><br>"
              "<a target='blank' href='https://vistrelle.org/'>(c) 2026 The Vistrelle "
              "developers</a></div></b></body>");
}

}  // namespace
}  // namespace vistrelle
