#include "player/pages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/launch.h"

namespace vistrelle {
namespace {

// The pages are spelled out here piece by piece, independently of the program's own tables.
const std::string kOpening =
    "<body bgcolor='#000000' style='overflow: hidden; margin: 0'>"
    "<object id='VIDEO' width='100%' height='100%'"
    "style='position:absolute; left:0; top:0;'";
const std::string kClosing = "</object></body>";
const std::string kType = "type='application/x-oleobject'>";

std::string wmpPage(const std::string& value, int version) {
    std::string page = kOpening;
    if (version == 0) {
        page += "classid='clsid:6BF52A52-394A-11d3-B153-00C04F79FAA6'";
    } else if (version == 1) {
        page += "classid='clsid:22D6F312-B0F6-11D0-94AB-0080C74C7E95'";
    } else if (version == 2) {
        page += "classid='clsid:05589FA1-C356-11CE-BF01-00AA0055595A'";
    }
    page += kType;
    if (version == 0) {
        page += "<param name='URL' value='" + value + "'>";
        page += "<param name='StretchToFit' value='true'>";
        page += "<param name='UiMode' value='mini'>";
    } else {
        page += "<param name='FileName' value='" + value + "'>";
        page += "<param name='ShowTracker' value='false'>";
        page += "<param name='ShowPositionControls' value='false'>";
    }
    if (version == 2) {
        page += "<param name='AutoStart' value='true'>";
    }
    page += "<param name='EnableContextMenu' value='false'>";
    return page + kClosing;
}

std::string realPage(const std::string& value) {
    return kOpening + "classid='clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA'" + kType +
           "<param name='controls' value='All'>" + "<param name='controls' value='ControlPanel'>" +
           "<param name='autostart' value='true'>" + "<param name='src' value='" + value + "'>" +
           kClosing;
}

const std::string kNoPlayerPage = kOpening + kClosing;

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

struct PageCase {
    std::string address;
    int8_t version;
    std::string expected;
};

TEST(PlayerPage, IsComposedPieceByPieceForEachPlayer) {
    const std::string asx = "http://example.net/live.asx";
    const std::string m3u = "http://example.net/radio.m3u";
    const std::string ram = "rtsp://example.net/tv.ram";
    const std::vector<PageCase> cases = {
        {asx, 0, wmpPage(asx, 0)},
        {asx, 1, wmpPage(asx, 1)},
        {asx, 2, wmpPage(asx, 2)},
        {asx, 3, wmpPage(asx, 3)},
        {asx, -1, wmpPage(asx, -1)},
        {asx, 127, wmpPage(asx, 127)},
        {m3u, 0, wmpPage(m3u, 0)},
        {m3u, 1, wmpPage(m3u, 1)},
        {m3u, 2, wmpPage(m3u, 2)},
        {ram, 0, realPage(ram)},
        {ram, 2, realPage(ram)},
        {ram, 9, realPage(ram)},
        // The player kind is chosen by exact, case-sensitive comparison.
        {"http://example.net/live.ASX", 0, kNoPlayerPage},
        {"http://example.net/live.Asx", 0, kNoPlayerPage},
        {"http://example.net/live.asx?x=1", 0, kNoPlayerPage},
        {"http://example.net/live.wmv", 0, kNoPlayerPage},
        {"http://example.net/live.rm", 1, kNoPlayerPage},
        {"http://example.net/stream", 0, kNoPlayerPage},
        {"http://example.net/", 2, kNoPlayerPage},
        {"", 0, kNoPlayerPage},
        // A host name alone: its last label is the extension.
        {"http://radio.example.com", 0, kNoPlayerPage},
        {"mms://media.example.asx", 1, wmpPage("mms://media.example.asx", 1)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(playerPage(c.address, c.version), c.expected)
            << c.address << " version " << int{c.version};
    }
}

TEST(PlayerPage, MarkupCharactersOfTheAddressCannotLeaveTheAttribute) {
    const std::vector<PageCase> cases = {
        {"http://example.net/it's.asx", 0, wmpPage("http://example.net/it&#39;s.asx", 0)},
        {"http://example.net/a.asx?x=1&y=2", 1,  // the extension is "asx?x=1&y=2": no player
         kNoPlayerPage},
        {"http://example.net/a&b.asx", 1, wmpPage("http://example.net/a&amp;b.asx", 1)},
        {"http://example.net/a<b.asx", 0, wmpPage("http://example.net/a&lt;b.asx", 0)},
        {"http://example.net/a>b.ram", 0, realPage("http://example.net/a&gt;b.ram")},
        {"http://example.net/a.asx\"x", 2, wmpPage("http://example.net/a.asx&quot;x", 2)},
        {"http://example.net/x'><script>alert(1)</script><p a='.ram", 0,
         realPage("http://example.net/x&#39;&gt;&lt;script&gt;alert(1)&lt;/script&gt;&lt;p "
                  "a=&#39;.ram")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(playerPage(c.address, c.version), c.expected) << c.address;
    }
}

TEST(PlayerPage, AddressBytesOutsideAsciiAreKept) {
    const std::string address = "http://example.net/m\xfcnchen.asx";
    EXPECT_EQ(playerPage(address, 1), wmpPage(address, 1));
}

TEST(WelcomePage, IsComposedPieceByPiece) {
    const std::string expected =
        "<body bgcolor='#000000' style='overflow: hidden; margin: 0' link='#0044C1' "
        "text='#0044C1' vlink='#0044C1' alink='#0044C1'>"
        "<center><br><b>"
        "<div style='font-size: 26'>Vistrelle</div>"
        "<div style='font-size: 14'>"
        "v1.0 Beta 3<br><br>"
        "<b>You may need the latest versions of:</b><br>"
        "<a target='blank' href='" +
        std::string(kWmpDownloadAddress) + "'>Windows Media Player</a><br>" +
        "<a target='blank' href='" + std::string(kRealPlayerDownloadAddress) +
        "'>Real Player</a><br><br>" + "<a target='blank' href='" + std::string(kHomepageAddress) +
        "'>(c) 2026 The Vistrelle developers</a>" + "</div></b></body>";
    EXPECT_EQ(welcomePage(), expected);
}

}  // namespace
}  // namespace vistrelle
