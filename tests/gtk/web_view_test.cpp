// webView under a real display: pages written through the program's writer and read back
// through the view's own script evaluation. No network is used.
#include "gtk/web_view.h"

#include <gtest/gtest.h>
#include <gtkmm/main.h>
#include <gtkmm/window.h>
#include <webkit2/webkit2.h>

#include <string>
#include <vector>

#include "gtk_fixture.h"
#include "loop_pump.h"
#include "player/pages.h"
#include "player/web_writer.h"
#include "settings/launch.h"

namespace vistrelle::gtk {
namespace {

using testing::iterateMainLoopUntil;

// GTK started before any widget of a test exists.
struct GtkReady {
    GtkReady() {
        static const bool ready = [] {
            gtk_init_check(nullptr, nullptr);
            Gtk::Main::init_gtkmm_internals();
            return true;
        }();
        (void)ready;
    }
};

using testing::LoopPump;

class WebViewTest : public ::testing::Test {
protected:
    WebViewTest() {
        window.set_default_size(270, 290);
        window.add(web.widget());
        window.show_all();
        web.setLinkOpener([this](const std::string& url) { opened.push_back(url); });
    }
    ~WebViewTest() override { window.remove(); }

    // Writes `page` as the program does and waits until the view has shown it.
    void show(std::string_view page) {
        ASSERT_EQ(writeWebViewDocument(&web, page, pump, pump), 1);
        ASSERT_TRUE(iterateMainLoopUntil([this] { return !web.busy(); }))
            << "the page never finished";
    }

    // The result of a script run in the shown document, as text.
    std::string evaluate(const std::string& script) {
        return testing::evaluateScript(web.webKitView(), script);
    }

    std::string objectCount() { return evaluate("document.querySelectorAll('object').length"); }
    std::string elementNames() {
        return evaluate("Array.from(document.querySelectorAll('*')).map(e => e.tagName).join(' ')");
    }
    std::string params() {
        return evaluate(
            "JSON.stringify(Array.from(document.querySelectorAll('object > param'))"
            ".map(p => [p.getAttribute('name'), p.getAttribute('value')]))");
    }

    GtkReady gtkReady;
    Gtk::Window window;
    GtkWebView web;
    LoopPump pump;
    std::vector<std::string> opened;
};

TEST_F(WebViewTest, LocationIsEmptyUntilTheFirstWriteThenAboutBlank) {
    EXPECT_EQ(web.locationUrl(), std::string());
    show("<p>one</p>");
    EXPECT_EQ(web.locationUrl(), std::string("about:blank"));
    show("<p>two</p>");
    EXPECT_EQ(web.locationUrl(), std::string("about:blank"));
}

TEST_F(WebViewTest, WelcomePageShowsProductAndVersion) {
    show(welcomePage());
    std::string text = evaluate("document.body.innerText");
    EXPECT_NE(text.find("Vistrelle"), std::string::npos) << text;
    EXPECT_NE(text.find("v1.0 Beta 3"), std::string::npos) << text;
    EXPECT_EQ(objectCount(), "0");
}

struct PlayerCase {
    const char* address;
    int8_t playerVersion;
    const char* classId;
    const char* params;  // JSON of [name, value] pairs, in order
};

class PlayerPageTest : public WebViewTest, public ::testing::WithParamInterface<PlayerCase> {};

TEST_P(PlayerPageTest, HoldsOneObjectWithThePagesClassIdAndParameters) {
    const PlayerCase& c = GetParam();
    show(playerPage(c.address, c.playerVersion));
    EXPECT_EQ(objectCount(), "1");
    EXPECT_EQ(evaluate("document.querySelector('object').getAttribute('classid')"), c.classId);
    EXPECT_EQ(evaluate("document.querySelector('object').id"), "VIDEO");
    EXPECT_EQ(params(), c.params);
}

INSTANTIATE_TEST_SUITE_P(
    Players, PlayerPageTest,
    ::testing::Values(
        PlayerCase{"http://tv.example/live.asx", 0, "clsid:6BF52A52-394A-11d3-B153-00C04F79FAA6",
                   R"([["URL","http://tv.example/live.asx"],["StretchToFit","true"],)"
                   R"(["UiMode","mini"],["EnableContextMenu","false"]])"},
        PlayerCase{"mms://radio.example/a.m3u", 1, "clsid:22D6F312-B0F6-11D0-94AB-0080C74C7E95",
                   R"([["FileName","mms://radio.example/a.m3u"],["ShowTracker","false"],)"
                   R"(["ShowPositionControls","false"],["EnableContextMenu","false"]])"},
        PlayerCase{"http://tv.example/old.asx", 2, "clsid:05589FA1-C356-11CE-BF01-00AA0055595A",
                   R"([["FileName","http://tv.example/old.asx"],["ShowTracker","false"],)"
                   R"(["ShowPositionControls","false"],["AutoStart","true"],)"
                   R"(["EnableContextMenu","false"]])"},
        PlayerCase{"rtsp://real.example/stream.ram", 0,
                   "clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA",
                   R"([["controls","All"],["controls","ControlPanel"],["autostart","true"],)"
                   R"(["src","rtsp://real.example/stream.ram"]])"}));

TEST_F(WebViewTest, ASecondPageReplacesTheFirst) {
    show(welcomePage());
    show(playerPage("http://tv.example/first.asx", 0));
    show(playerPage("http://tv.example/second.asx", 0));
    EXPECT_EQ(objectCount(), "1");
    EXPECT_EQ(evaluate("document.querySelector('param').getAttribute('value')"),
              "http://tv.example/second.asx");
    EXPECT_EQ(evaluate("document.body.innerText.indexOf('Vistrelle')"), "-1");
}

TEST_F(WebViewTest, HostileAddressesStayInsideTheirAttribute) {
    const std::vector<std::string> addresses = {
        R"(http://x.example/a'b"c<d>e&f.asx)",
        R"(http://x.example/'><script>document.title='owned'</script><b x='.asx)",
        R"(http://x.example/"><img src=x onerror=alert(1)><a href='.ram)",
        R"(http://x.example/&lt;not a tag&gt;'/><iframe src='about:blank'></iframe>.m3u)",
    };
    for (const std::string& address : addresses) {
        SCOPED_TRACE(address);
        show(playerPage(address, 0));
        EXPECT_EQ(objectCount(), "1");
        EXPECT_EQ(elementNames(), "HTML HEAD BODY OBJECT PARAM PARAM PARAM PARAM");
        // The address comes back whole as the value of its own parameter.
        int param = address.ends_with(".ram") ? 3 : 0;
        EXPECT_EQ(evaluate("document.querySelectorAll('param')[" + std::to_string(param) +
                           "].getAttribute('value')"),
                  address);
        EXPECT_EQ(evaluate("document.title"), "");
    }
}

TEST_F(WebViewTest, BytesThatAreNotUtf8AreReadAsWindows1252) {
    show("<p>Caf\xE9 \x80</p>");
    EXPECT_EQ(evaluate("document.body.innerText"), "Caf\xC3\xA9 \xE2\x82\xAC");
    show("<p>Caf\xC3\xA9</p>");
    EXPECT_EQ(evaluate("document.body.innerText"), "Caf\xC3\xA9");
}

TEST_F(WebViewTest, WelcomePageLinksOpenInTheBrowser) {
    show(welcomePage());
    ASSERT_EQ(evaluate("document.querySelectorAll('a').length"), "3");
    for (int i = 0; i < 3; ++i) {
        evaluate("document.querySelectorAll('a')[" + std::to_string(i) + "].click(); 0");
    }
    ASSERT_TRUE(iterateMainLoopUntil([this] { return opened.size() >= 3; }));
    EXPECT_EQ(opened, (std::vector<std::string>{std::string(kWmpDownloadAddress),
                                                std::string(kRealPlayerDownloadAddress),
                                                std::string(kHomepageAddress)}));
    // The view itself stays on the welcome page.
    EXPECT_EQ(web.locationUrl(), std::string("about:blank"));
    EXPECT_NE(evaluate("document.body.innerText").find("v1.0 Beta 3"), std::string::npos);
}

TEST_F(WebViewTest, OnlyWebAddressesLeaveThePageAndNothingNavigatesTheView) {
    show(
        "<a target='blank' href='file:///etc/passwd'>f</a>"
        "<a target='blank' href='javascript:document.title=1'>j</a>"
        "<a target='blank' href='smb://server/share'>s</a>"
        "<a target='blank' href='ftp://files.example/'>t</a>"
        "<a href='http://plain.example/'>no target</a>"
        "<a target='_self' href='https://self.example/'>self</a>"
        "<a target='blank' href='HTTP://UPPER.EXAMPLE/'>u</a>"
        "<a target='blank' href='https://last.example/'>last</a>");
    int links = std::stoi(evaluate("document.querySelectorAll('a').length"));
    ASSERT_EQ(links, 8);
    for (int i = 0; i < links; ++i) {
        evaluate("document.querySelectorAll('a')[" + std::to_string(i) + "].click(); 0");
    }
    // The links are followed in order, so once the last arrived every other one was decided.
    ASSERT_TRUE(iterateMainLoopUntil(
        [this] { return !opened.empty() && opened.back() == "https://last.example/"; }));
    EXPECT_EQ(opened, (std::vector<std::string>{"http://upper.example/", "https://last.example/"}));
    ASSERT_TRUE(iterateMainLoopUntil([this] { return !web.busy(); }));
    EXPECT_EQ(web.locationUrl(), std::string("about:blank"));
    EXPECT_EQ(evaluate("document.querySelectorAll('a').length"), "8");
}

}  // namespace
}  // namespace vistrelle::gtk
