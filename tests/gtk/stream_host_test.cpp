// Channels played by the web view for real: the program's pages written as on a watch, streams
// and playlists served on loopback, the media element read back through script evaluation.
#include <glibmm/main.h>
#include <gtest/gtest.h>
#include <gtkmm/main.h>
#include <gtkmm/window.h>
#include <signal.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "gtk/stream_fetcher.h"
#include "gtk/web_view.h"
#include "gtk_fixture.h"
#include "loop_pump.h"
#include "player/pages.h"
#include "player/playback.h"
#include "player/web_writer.h"
#include "support/stream_answers.h"
#include "test_media.h"

namespace vistrelle::gtk {
namespace {

using testing::iterateMainLoopUntil;

using testing::LoopPump;
using vistrelle::testing::IcyStation;
using vistrelle::testing::Request;
using vistrelle::testing::Response;

// The web processes of this test program that still run (stopped ones included).
std::vector<pid_t> webProcesses() {
    std::vector<pid_t> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "stat");
        std::string stat;  // "PID (NAME) STATE PARENT ..."
        if (!std::getline(in, stat) || stat.find(" (WebKitWebProces) ") == std::string::npos) {
            continue;
        }
        std::istringstream rest(stat.substr(stat.rfind(')') + 1));
        char state = 0;
        pid_t parent = 0;
        if (rest >> state >> parent && parent == getpid() && state != 'Z') {
            found.push_back(static_cast<pid_t>(std::stoi(stat)));
        }
    }
    return found;
}

class StreamHostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        testing::initGtk();
        ASSERT_FALSE(testing::testMediaFolder().empty()) << "gst-launch-1.0 made no media";
    }

    StreamHostTest() {
        window.set_default_size(320, 240);
        window.add(web->widget());
        window.show_all();
        const char* kPlaylists[][3] = {
            {"/radio.pls", "audio/x-scpls",
             "[playlist]\nNumberOfEntries=2\nFile1=rtsp://127.0.0.1/a\n"
             "File2={base}/tone.mp3\nTitle2=Tone\nLength2=-1\nVersion=2\n"},
            {"/radio.m3u", "text/plain", "#EXTM3U\n#EXTINF:-1,Tone\ntone.ogg\n"},
            {"/tv.asx", "video/x-ms-asf",
             "<ASX version=\"3.0\"><ENTRY><REF HREF=\"{base}/clip.webm?a=1&b=2\"/></ENTRY></ASX>"},
            {"/radio.ram", "application/octet-stream",
             "pnm://127.0.0.1/old.ra\r\n{base}/tone.ogg\r\n"},
            {"/radio.xspf", "application/xspf+xml",
             "<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"
             "<trackList><track><location>{base}/tone.mp3</location></track>"
             "</trackList></playlist>"},
            {"/tv.m3u", "audio/x-mpegurl", "#EXTM3U\n{base}/hls/index.m3u8\n"},
            {"/outer.m3u", "text/plain", "{base}/inner.pls\n"},
            {"/inner.pls", "text/plain", "[playlist]\nFile1=/tone.ogg\n"},
            {"/loop-a.m3u", "text/plain", "{base}/loop-b.m3u\n"},
            {"/loop-b.m3u", "text/plain", "{base}/loop-a.m3u\n"},
            {"/rtsp.asx", "video/x-ms-asf",
             "<asx version='3.0'><entry><ref href='rtsp://127.0.0.1/live'/></entry></asx>"},
            {"/empty.pls", "text/plain", "[playlist]\nNumberOfEntries=0\n"},
            // Reloaded without pause: the media element would never get to play it.
            {"/live.m3u8", "application/vnd.apple.mpegurl",
             "#EXTM3U\n#EXT-X-TARGETDURATION:0\n#EXTINF:0.1,\n{base}/hls/seg00000.ts\n"},
            {"/sc", "text/html", "<html><body><h1>Stream status</h1></body></html>"},
            {"/icy.pls", "audio/x-scpls", "[playlist]\nFile1={base}/icy\n"},
            {"/home.m3u", "audio/x-mpegurl", "#EXTM3U\n/home/anna/a.mp3\nC:\\Music\\b.mp3\n"},
            {"/iptv.m3u", "audio/x-mpegurl",
             "#EXTM3U\n====tones====\n#EXTINF-1,Tone\n"
             "{base}/tone.mp3|User-Agent=Tuner/2.0&Referer={base}/guide\n"}};
        for (const auto& [path, type, body] : kPlaylists) {
            std::string text = body;
            for (size_t at; (at = text.find("{base}")) != std::string::npos;) {
                text.replace(at, 6, server.base());
            }
            server.serve(path, Response{200, text, type});
        }
        server.serveFolder("", testing::testMediaFolder());
        server.serve("/sc/;", Response::fromFile(testing::testMediaFolder() + "/tone.mp3"));
        icy.setTitle("Test tone");
        server.serve("/icy", icy.handler());
        server.serve("/hang", Response::hanging());
        // Redirects: a loop, to a file, to data, chains of 3 and 50, a hundred chains of 15.
        server.serve("/a", Response::redirect("/b"));
        server.serve("/b", Response::redirect(server.url("/a")));
        server.serve("/f", Response::redirect("file:///etc/passwd"));
        server.serve("/d", Response::redirect("data:audio/mpeg;base64,SUQz"));
        vistrelle::testing::serveRedirectChain(server, "/moved", 3, "/tone.mp3");
        vistrelle::testing::serveRedirectChain(server, "/r", 50, "/tone.mp3");
        std::string chains;
        for (int chain = 0; chain < 100; ++chain) {
            const std::string prefix = "/c" + std::to_string(chain);
            vistrelle::testing::serveRedirectChain(server, prefix, 15, "/missing");
            chains += server.url(prefix + "/0") + "\n";
        }
        server.serve("/chains.m3u", Response{200, chains, "audio/x-mpegurl"});
    }
    ~StreamHostTest() override {
        if (web) {
            window.remove();
            web.reset();
        }
        StreamFetcher::setTimeLimitForTesting(0);
    }

    // What watchSelectedChannel does for a channel with this address.
    void watch(const std::string& address) {
        web->hostStream(std::make_unique<StreamResolution>(address));
        ASSERT_EQ(writeWebViewDocument(web.get(), playerPage(address, 0), pump, pump), 1);
    }

    std::string evaluate(const std::string& script) {
        return testing::evaluateScript(web->webKitView(), script);
    }

    // The media element's time passes beyond half a second.
    bool plays() {
        return iterateMainLoopUntil([this] {
            return evaluate(
                       "(function(){const v=document.querySelector('video');"
                       "return !!v && v.currentTime > 0.5;})()") == "true";
        });
    }
    std::string failureText() {
        iterateMainLoopUntil([this] {
            return evaluate("!!document.getElementById('vistrelle-failure')") == "true";
        });
        return evaluate(
            "(function(){const f=document.getElementById('vistrelle-failure');"
            "return f.children[0].textContent + '|' + f.children[1].textContent;})()");
    }

    std::unique_ptr<GtkWebView> web = std::make_unique<GtkWebView>();
    Gtk::Window window;
    LoopPump pump;
    // The values of one header in the requests for a path.
    std::set<std::string> sent(const std::string& path, const std::string& header) {
        std::set<std::string> values;
        for (const Request& request : server.requests(path)) {
            values.insert(request.header(header));
        }
        return values;
    }

    vistrelle::testing::LoopbackServer server;
    IcyStation icy{testing::toneMp3()};
};

// A channel's address: on the loopback server ("/icy" is a live ICY station), "refused" for a
// port where nothing listens, or as written when it has a scheme. It plays (the media element gets
// an address ending in `playing`) or shows the failure line.
struct StreamCase {
    const char* name;
    const char* path;
    const char* playing;
    PlaybackFailure failure = {};
    const char* detail = "";
};

class StreamTest : public StreamHostTest, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(StreamTest, MediaTimeAdvancesOrTheFailureNamesItsReason) {
    const StreamCase& c = GetParam();
    const std::string path = c.path;
    const std::string address =
        path == "refused"
            ? "http://127.0.0.1:" + std::to_string(vistrelle::testing::unusedLoopbackPort()) +
                  "/live"
        : path.find("://") != std::string::npos ? path
                                                : server.url(path);
    if (c.playing == nullptr) {
        StreamFetcher::setTimeLimitForTesting(1500);
    }
    watch(address);
    if (c.playing != nullptr) {
        EXPECT_TRUE(plays()) << failureText();
        const std::string src = evaluate("document.querySelector('video').src");
        EXPECT_TRUE(src.ends_with(c.playing)) << src;
        // The page's own object stays, byte for byte as written.
        EXPECT_EQ(evaluate("document.querySelectorAll('object').length"), "1");
        return;
    }
    EXPECT_EQ(failureText(), failureLine(c.failure, c.detail) + "|" + address);
    EXPECT_EQ(evaluate("getComputedStyle(document.getElementById('vistrelle-failure')).color"),
              "rgb(0, 68, 193)");
    EXPECT_EQ(evaluate("document.querySelectorAll('video').length"), "0");
    // Every redirect counted: one watch never sends more than twenty requests.
    EXPECT_LE(server.requests().size(), 20u);
}

using enum PlaybackFailure;
INSTANTIATE_TEST_SUITE_P(
    Streams, StreamTest,
    ::testing::Values(
        StreamCase{"Ogg", "/tone.ogg", "/tone.ogg"}, StreamCase{"Mp3", "/tone.mp3", "/tone.mp3"},
        StreamCase{"WebM", "/clip.webm", "/clip.webm"},
        StreamCase{"Hls", "/hls/index.m3u8", "/hls/index.m3u8"},
        StreamCase{"IcyLive", "/icy", "/icy"}, StreamCase{"Pls", "/radio.pls", "/tone.mp3"},
        StreamCase{"M3uRelative", "/radio.m3u", "/tone.ogg"},
        StreamCase{"AsxAsOctetStream", "/tv.asx", "/clip.webm?a=1&b=2"},
        StreamCase{"Ram", "/radio.ram", "/tone.ogg"},
        StreamCase{"Xspf", "/radio.xspf", "/tone.mp3"},
        StreamCase{"M3uOfHls", "/tv.m3u", "/hls/index.m3u8"},
        StreamCase{"TwoLevels", "/outer.m3u", "/tone.ogg"},
        StreamCase{"IcyThroughPls", "/icy.pls", "/icy"},
        StreamCase{"ShoutcastStatusPage", "/sc", "/sc/;"},
        StreamCase{"NotFound", "/missing.mp3", nullptr, HttpError, "404 Not Found"},
        StreamCase{"Refused", "refused", nullptr, Unreachable},
        StreamCase{"NeverAnswers", "/hang", nullptr, NoAnswer},
        StreamCase{"RtspOnlyPlaylist", "/rtsp.asx", nullptr, Protocol, "rtsp"},
        StreamCase{"PlaylistLoop", "/loop-a.m3u", nullptr, Loop},
        StreamCase{"EmptyPlaylist", "/empty.pls", nullptr, NoPlayable},
        StreamCase{"LocalFilesOnly", "/home.m3u", nullptr, LocalFiles},
        StreamCase{"RtmpAddress", "rtmp://127.0.0.1/live", nullptr, Protocol, "rtmp"},
        StreamCase{"Redirected", "/moved/0", "/tone.mp3"},
        StreamCase{"LiveHlsWithoutPause", "/live.m3u8", nullptr, ShortTargetDuration},
        StreamCase{"RedirectLoop", "/a", nullptr, Redirects},
        StreamCase{"FiftyRedirects", "/r/0", nullptr, Redirects},
        StreamCase{"RedirectToAFile", "/f", nullptr, RedirectTarget},
        StreamCase{"RedirectToData", "/d", nullptr, RedirectTarget},
        StreamCase{"HundredChainsOfRedirects", "/chains.m3u", nullptr, HttpError, "404 Not Found"},
        // Markup in the address is shown as text.
        StreamCase{"MarkupInAddress", "/<b>x</b>&amp;'\".mp3", nullptr, Protocol}),
    [](const auto& param) { return std::string(param.param.name); });

// The second watch stops the first stream and keeps its volume; every request of the
// playlists and the stream carries the program's user agent.
TEST_F(StreamHostTest, TheSecondWatchStopsTheFirstStreamAndKeepsTheVolume) {
    watch(server.url("/icy"));
    ASSERT_TRUE(plays());
    // The element's stream and the side connection for the titles; the program's own fetch
    // closed once it knew what the address gives.
    EXPECT_TRUE(iterateMainLoopUntil([this] { return server.open("/icy") == 2u; }))
        << server.open("/icy") << " connections to the station";
    size_t plain = 0;
    for (const Request& request : server.requests("/icy")) {
        plain += request.header("Icy-MetaData").empty() ? 1 : 0;
    }
    EXPECT_EQ(plain, 1u);
    // The page tells the host of the new volume from its own listener, which runs before this
    // one: once this one has run, the host's message is on its way ahead of the next answer.
    evaluate(
        "(function(){const v=document.querySelector('video');"
        "v.addEventListener('volumechange',()=>{window.volumeSeen=true});"
        "v.volume=0.25;return true;})()");
    ASSERT_TRUE(iterateMainLoopUntil([this] { return evaluate("window.volumeSeen") == "true"; }))
        << "the media element never reported its new volume";
    watch(server.url("/outer.m3u"));
    EXPECT_TRUE(iterateMainLoopUntil([this] { return server.open("/icy") == 0; }))
        << "the first stream stayed open";
    ASSERT_TRUE(plays());
    EXPECT_EQ(evaluate("document.querySelectorAll('video').length"), "1");
    EXPECT_EQ(evaluate("document.querySelector('video').volume"), "0.25");
    for (const char* path : {"/outer.m3u", "/inner.pls", "/tone.ogg"}) {
        EXPECT_EQ(sent(path, "User-Agent"), std::set<std::string>{"Vistrelle/1.0"}) << path;
    }
}

// An IPTV entry's user agent goes with the program's fetch and the media element's request,
// its Referer with the fetch; the next channel has the program's own again.
TEST_F(StreamHostTest, AnIptvEntryPlaysWithTheHeadersItAsksFor) {
    watch(server.url("/iptv.m3u"));
    ASSERT_TRUE(plays()) << failureText();
    EXPECT_TRUE(evaluate("document.querySelector('video').src").ends_with("/tone.mp3"));
    EXPECT_EQ(sent("/iptv.m3u", "User-Agent"), std::set<std::string>{"Vistrelle/1.0"});
    EXPECT_EQ(sent("/tone.mp3", "User-Agent"), std::set<std::string>{"Tuner/2.0"});
    EXPECT_TRUE(sent("/tone.mp3", "Referer").contains(server.url("/guide")));
    watch(server.url("/tone.ogg"));
    ASSERT_TRUE(plays());
    EXPECT_EQ(sent("/tone.ogg", "User-Agent"), std::set<std::string>{"Vistrelle/1.0"});
}

// A live stream that ends is reopened; closing the view (as at Exit) stops it.
TEST_F(StreamHostTest, ALiveStreamThatEndsIsReopenedAndClosingTheViewStopsIt) {
    watch(server.url("/icy"));
    ASSERT_TRUE(plays());
    evaluate("document.querySelector('video').dispatchEvent(new Event('ended')); true");
    EXPECT_TRUE(iterateMainLoopUntil([this] { return server.count("/icy") >= 2; }))
        << "the stream was not reopened";
    window.remove();
    web.reset();
    EXPECT_TRUE(iterateMainLoopUntil([this] { return server.open("/icy") == 0; }))
        << "closing the view left the stream open";
}

TEST_F(StreamHostTest, TheWindowKeepsHandlingEventsWhileAnAddressResolves) {
    StreamFetcher::setTimeLimitForTesting(2000);
    int ticks = 0;
    sigc::connection timer = Glib::signal_timeout().connect([&ticks] { return ++ticks > 0; }, 50);
    watch(server.url("/hang"));
    const gint64 start = g_get_monotonic_time();
    EXPECT_TRUE(iterateMainLoopUntil([this] { return web->streamHost().resolving(); }));
    EXPECT_TRUE(iterateMainLoopUntil([this] { return !web->streamHost().resolving(); }));
    const gint64 elapsedMs = (g_get_monotonic_time() - start) / 1000;
    timer.disconnect();
    // The timer fires through the whole wait: at least half of its due ticks.
    EXPECT_GE(ticks, elapsedMs / 100) << elapsedMs << " ms";
    EXPECT_GE(elapsedMs, 1000);
}

// The program's fetch is answered, the element's request is not: the element's first data is
// held to the same limit, and no connection stays open.
TEST_F(StreamHostTest, AStreamThatStallsForTheElementFailsWithinTheLimitAndLeavesNoConnection) {
    StreamFetcher::setTimeLimitForTesting(6000);
    server.serve("/stall", vistrelle::testing::answerThenHang(
                               Response::endless(testing::toneMp3(), 50, "audio/mpeg")));
    const std::string address = server.url("/stall");
    watch(address);
    // The program's connection closes as soon as it has decided, long before the limit; the
    // element's hangs.
    const gint64 halfway = g_get_monotonic_time() + 3 * G_USEC_PER_SEC;
    EXPECT_TRUE(iterateMainLoopUntil([this, halfway] {
        return g_get_monotonic_time() > halfway ||
               (server.count("/stall") >= 2 && server.open("/stall") == 1);
    }));
    EXPECT_LT(g_get_monotonic_time(), halfway);
    EXPECT_EQ(failureText(), failureLine(NoAnswer) + "|" + address);
    EXPECT_TRUE(iterateMainLoopUntil([this] { return server.open("/stall") == 0; }));
}

// A player that stops answering (here: its process stopped) is ended and the page shown again in
// a fresh process with the failure line; the next channel plays; closing the view leaves no
// process behind, not even a stopped one.
TEST_F(StreamHostTest, APlayerThatStopsAnsweringIsReplacedAndTheNextChannelPlays) {
    const std::string address = server.url("/icy");
    watch(address);
    ASSERT_TRUE(plays());
    const std::vector<pid_t> stopped = webProcesses();
    ASSERT_FALSE(stopped.empty());
    for (pid_t pid : stopped) {
        kill(pid, SIGSTOP);
    }
    EXPECT_EQ(failureText(), failureLine(Unresponsive) + "|" + address);
    EXPECT_TRUE(iterateMainLoopUntil([&stopped] {
        const std::vector<pid_t> running = webProcesses();
        return std::none_of(stopped.begin(), stopped.end(), [&running](pid_t pid) {
            return std::find(running.begin(), running.end(), pid) != running.end();
        });
    }));
    EXPECT_TRUE(iterateMainLoopUntil([this] { return server.open("/icy") == 0; }));
    watch(server.url("/tone.ogg"));
    EXPECT_TRUE(plays());

    for (pid_t pid : webProcesses()) {
        kill(pid, SIGSTOP);
    }
    window.remove();
    web.reset();
    EXPECT_TRUE(iterateMainLoopUntil([] { return webProcesses().empty(); }));
}

class TitleTest : public StreamHostTest {
protected:
    bool shows(const std::string& title) {
        return iterateMainLoopUntil(
            [&] { return testing::shownSongTitle(web->webKitView()) == title; });
    }

    IcyStation station{testing::toneMp3()};
};

TEST_F(TitleTest, TheSongShowsUnderThePlayerAsTextAndFollowsTheStation) {
    station.setTitle("First <b>song</b> & \x01 more");
    server.serve("/station", station.handler());
    watch(server.url("/station"));
    EXPECT_TRUE(shows("First <b>song</b> & more"));
    EXPECT_EQ(evaluate("(function(){const t=document.getElementById('vistrelle-title');"
                       "const v=document.querySelector('video').getBoundingClientRect();"
                       "return t.children.length + ' ' + t.getAttribute('role') + ' ' +"
                       "getComputedStyle(t).color + ' ' +"
                       "(Math.round(v.bottom) === Math.round(t.getBoundingClientRect().top));"
                       "})()"),
              "0 status rgb(232, 232, 232) true");
    station.setTitle("Caf\xE9 \x93Live\x94");
    EXPECT_TRUE(shows("Caf\xC3\xA9 \xE2\x80\x9CLive\xE2\x80\x9D"));
    station.setTitle("");
    EXPECT_TRUE(shows(""));
    EXPECT_EQ(evaluate("!!document.getElementById('vistrelle-title')"), "false");
    EXPECT_TRUE(plays());
}

// Metadata that cannot be read: the stream goes on or ends in its failure line, the side
// connection closes, and nothing of it becomes markup.
TEST_F(TitleTest, UnreadableMetadataClosesTheSideConnectionAndTheStreamPlaysOn) {
    const std::pair<const char*, std::string> cases[] = {
        {"0", IcyStation::blockOf("StreamTitle='x';")},
        {"2147483648", IcyStation::blockOf("StreamTitle='x';")},
        // A length byte of 255 and 64 KiB of text: one title of 256 characters, then garbage.
        {"8192",
         "\xFF"
         "StreamTitle='" +
             std::string(65536, 'x')}};
    for (const auto& [interval, block] : cases) {
        IcyStation hostile(testing::toneMp3(), interval);
        hostile.setBlock(block);
        const std::string path = std::string("/hostile/") + interval;
        server.serve(path, hostile.handler());
        watch(server.url(path));
        EXPECT_TRUE(plays()) << interval;
        EXPECT_TRUE(shows(block.size() > 4080 ? std::string(256, 'x') : "")) << interval;
        // Only the element's connection is left.
        EXPECT_TRUE(iterateMainLoopUntil([&] { return server.open(path) == 1; })) << interval;
    }
}

}  // namespace
}  // namespace vistrelle::gtk
