// Channels played by the web view for real: the program's pages written as on a watch, streams
// and playlists served on loopback, the media element read back through script evaluation.
#include <gtest/gtest.h>
#include <gtkmm/main.h>
#include <gtkmm/window.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <set>
#include <string>

#include "gtk/stream_fetcher.h"
#include "gtk/web_view.h"
#include "gtk_fixture.h"
#include "player/pages.h"
#include "player/playback.h"
#include "player/web_writer.h"
#include "stream_server.h"

namespace vistrelle::gtk {
namespace {

using testing::iterateMainLoopUntil;

// The GLib main loop as the program's event source: the writer's waits run it.
class LoopPump final : public EventPump, public EventDrain {
public:
    bool pumpMessage(bool wait, uint32_t& wParam) override {
        wParam = 0;
        return g_main_context_iteration(nullptr, wait) != FALSE;
    }
    void sleepMilliseconds(int32_t ms) override { g_usleep(static_cast<gulong>(ms) * 1000); }
    int64_t monotonicMilliseconds() override { return g_get_monotonic_time() / 1000; }
    void drainPendingEvents() override {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }
};

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
        server.add("/radio.pls", "audio/x-scpls",
                   "[playlist]\nNumberOfEntries=2\nFile1=rtsp://127.0.0.1/a\n"
                   "File2={base}/tone.mp3\nTitle2=Tone\nLength2=-1\nVersion=2\n");
        server.add("/radio.m3u", "text/plain", "#EXTM3U\n#EXTINF:-1,Tone\ntone.ogg\n");
        server.add("/tv.asx", "video/x-ms-asf",
                   "<ASX version=\"3.0\"><ENTRY><REF HREF=\"{base}/clip.webm?a=1&b=2\"/>"
                   "</ENTRY></ASX>");
        server.add("/radio.ram", "application/octet-stream",
                   "pnm://127.0.0.1/old.ra\r\n{base}/tone.ogg\r\n");
        server.add("/radio.xspf", "application/xspf+xml",
                   "<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"
                   "<trackList><track><location>{base}/tone.mp3</location></track>"
                   "</trackList></playlist>");
        server.add("/tv.m3u", "audio/x-mpegurl", "#EXTM3U\n{base}/hls/index.m3u8\n");
        server.add("/outer.m3u", "text/plain", "{base}/inner.pls\n");
        server.add("/inner.pls", "text/plain", "[playlist]\nFile1=/tone.ogg\n");
        server.add("/icy.pls", "audio/x-scpls", "[playlist]\nFile1=" + icy.url() + "\n");
        server.add("/loop-a.m3u", "text/plain", "{base}/loop-b.m3u\n");
        server.add("/loop-b.m3u", "text/plain", "{base}/loop-a.m3u\n");
        server.add("/rtsp.asx", "video/x-ms-asf",
                   "<asx version='3.0'><entry><ref href='rtsp://127.0.0.1/live'/></entry></asx>");
        server.add("/empty.pls", "text/plain", "[playlist]\nNumberOfEntries=0\n");
        server.add("/sc", "text/html", "<html><body><h1>Stream status</h1></body></html>");
        server.add("/sc/;", "audio/mpeg", "@/tone.mp3");
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
        struct Result {
            bool done = false;
            std::string text;
        } result;
        webkit_web_view_evaluate_javascript(
            web->webKitView(), script.c_str(), -1, nullptr, nullptr, nullptr,
            [](GObject* view, GAsyncResult* async, gpointer data) {
                auto* out = static_cast<Result*>(data);
                JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view),
                                                                             async, nullptr);
                if (value != nullptr) {
                    gchar* text = jsc_value_to_string(value);
                    out->text = text;
                    g_free(text);
                    g_object_unref(value);
                }
                out->done = true;
            },
            &result);
        iterateMainLoopUntil([&result] { return result.done; });
        return result.text;
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
            "return f ? f.children[0].textContent + '|' + f.children[1].textContent "
            ": 'none';})()");
    }

    std::unique_ptr<GtkWebView> web = std::make_unique<GtkWebView>();
    Gtk::Window window;
    LoopPump pump;
    testing::MediaServer server;
    testing::IcyServer icy;
};

struct PlayCase {
    const char* name;
    const char* path;     // on the media server, or "icy" for the ICY server
    const char* playing;  // the end of the address the media element gets
};

class PlayTest : public StreamHostTest, public ::testing::WithParamInterface<PlayCase> {};

TEST_P(PlayTest, MediaTimeAdvances) {
    const PlayCase& c = GetParam();
    const std::string address = std::string(c.path) == "icy" ? icy.url() : server.url(c.path);
    watch(address);
    EXPECT_TRUE(plays()) << failureText();
    const std::string src = evaluate("document.querySelector('video').src");
    EXPECT_TRUE(src.ends_with(c.playing)) << src;
    // The page's own object stays, byte for byte as written.
    EXPECT_EQ(evaluate("document.querySelectorAll('object').length"), "1");
}

INSTANTIATE_TEST_SUITE_P(
    Streams, PlayTest,
    ::testing::Values(PlayCase{"Ogg", "/tone.ogg", "/tone.ogg"},
                      PlayCase{"Mp3", "/tone.mp3", "/tone.mp3"},
                      PlayCase{"WebM", "/clip.webm", "/clip.webm"},
                      PlayCase{"Hls", "/hls/index.m3u8", "/hls/index.m3u8"},
                      PlayCase{"IcyLive", "icy", "/"}, PlayCase{"Pls", "/radio.pls", "/tone.mp3"},
                      PlayCase{"M3uRelative", "/radio.m3u", "/tone.ogg"},
                      PlayCase{"AsxAsOctetStream", "/tv.asx", "/clip.webm?a=1&b=2"},
                      PlayCase{"Ram", "/radio.ram", "/tone.ogg"},
                      PlayCase{"Xspf", "/radio.xspf", "/tone.mp3"},
                      PlayCase{"M3uOfHls", "/tv.m3u", "/hls/index.m3u8"},
                      PlayCase{"TwoLevels", "/outer.m3u", "/tone.ogg"},
                      PlayCase{"IcyThroughPls", "/icy.pls", "/"},
                      PlayCase{"ShoutcastStatusPage", "/sc", "/sc/;"}),
    [](const auto& param) { return std::string(param.param.name); });

struct FailCase {
    const char* name;
    const char* path;  // on the media server; "refused" for a port where nothing listens
    PlaybackFailure failure;
    const char* detail;
};

class FailTest : public StreamHostTest, public ::testing::WithParamInterface<FailCase> {};

TEST_P(FailTest, ShowsTheReasonAndTheAddress) {
    const FailCase& c = GetParam();
    StreamFetcher::setTimeLimitForTesting(1500);
    const std::string address =
        std::string(c.path) == "refused"
            ? "http://127.0.0.1:" + std::to_string(testing::closedPort()) + "/live"
            : (std::string(c.path).find("://") != std::string::npos ? c.path : server.url(c.path));
    watch(address);
    EXPECT_EQ(failureText(), failureLine(c.failure, c.detail) + "|" + address);
    EXPECT_EQ(evaluate("getComputedStyle(document.getElementById('vistrelle-failure')).color"),
              "rgb(0, 68, 193)");
    EXPECT_EQ(evaluate("document.querySelectorAll('video').length"), "0");
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailTest,
    ::testing::Values(
        FailCase{"NotFound", "/missing.mp3", PlaybackFailure::HttpError, "404 Not Found"},
        FailCase{"Refused", "refused", PlaybackFailure::Unreachable, ""},
        FailCase{"NeverAnswers", "/hang", PlaybackFailure::NoAnswer, ""},
        FailCase{"RtspOnlyPlaylist", "/rtsp.asx", PlaybackFailure::Protocol, "rtsp"},
        FailCase{"PlaylistLoop", "/loop-a.m3u", PlaybackFailure::Loop, ""},
        FailCase{"EmptyPlaylist", "/empty.pls", PlaybackFailure::NoPlayable, ""},
        FailCase{"RtmpAddress", "rtmp://127.0.0.1/live", PlaybackFailure::Protocol, "rtmp"},
        // Markup in the address is shown as text.
        FailCase{"MarkupInAddress", "/<b>x</b>&amp;'\".mp3", PlaybackFailure::Protocol, ""}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(StreamHostTest, TheSecondWatchStopsTheFirstStream) {
    watch(icy.url());
    ASSERT_TRUE(plays());
    ASSERT_EQ(icy.open(), 1);
    watch(server.url("/tone.ogg"));
    EXPECT_TRUE(iterateMainLoopUntil([this] { return icy.open() == 0; }));
    EXPECT_TRUE(plays());
    EXPECT_EQ(evaluate("document.querySelectorAll('video').length"), "1");
}

TEST_F(StreamHostTest, EveryRequestCarriesTheProgramsUserAgent) {
    watch(server.url("/outer.m3u"));
    ASSERT_TRUE(plays());
    for (const char* path : {"/outer.m3u", "/inner.pls", "/tone.ogg"}) {
        EXPECT_EQ(server.agents(path), std::set<std::string>{"Vistrelle/1.0"}) << path;
    }
}

TEST_F(StreamHostTest, ClosingTheViewStopsTheStream) {
    watch(icy.url());
    ASSERT_TRUE(plays());
    window.remove();
    web.reset();  // as at Exit
    EXPECT_TRUE(iterateMainLoopUntil([this] { return icy.open() == 0; }));
}

TEST_F(StreamHostTest, TheVolumeStaysForTheNextChannel) {
    watch(server.url("/tone.ogg"));
    ASSERT_TRUE(plays());
    evaluate("document.querySelector('video').volume = 0.25; true");
    const gint64 until = g_get_monotonic_time() + 300000;
    iterateMainLoopUntil([until] { return g_get_monotonic_time() > until; });
    watch(server.url("/tone.mp3"));
    ASSERT_TRUE(plays());
    EXPECT_EQ(evaluate("document.querySelector('video').volume"), "0.25");
}

TEST_F(StreamHostTest, TheWindowKeepsHandlingEventsWhileAnAddressResolves) {
    StreamFetcher::setTimeLimitForTesting(2000);
    int ticks = 0;
    guint timer = g_timeout_add(
        50,
        [](gpointer count) -> gboolean {
            ++*static_cast<int*>(count);
            return G_SOURCE_CONTINUE;
        },
        &ticks);
    watch(server.url("/hang"));
    const gint64 start = g_get_monotonic_time();
    EXPECT_TRUE(iterateMainLoopUntil([this] { return web->streamHost().resolving(); }));
    EXPECT_TRUE(iterateMainLoopUntil([this] { return !web->streamHost().resolving(); }));
    const gint64 elapsedMs = (g_get_monotonic_time() - start) / 1000;
    g_source_remove(timer);
    // The timer fires through the whole wait: at least half of its due ticks.
    EXPECT_GE(ticks, elapsedMs / 100) << elapsedMs << " ms";
    EXPECT_GE(elapsedMs, 1000);
}

TEST_F(StreamHostTest, ALiveStreamThatEndsIsReopened) {
    // A live stream served once: its end is followed by a reopening after a second.
    watch(icy.url());
    ASSERT_TRUE(plays());
    evaluate("document.querySelector('video').dispatchEvent(new Event('ended')); true");
    EXPECT_TRUE(iterateMainLoopUntil([this] { return icy.connections() >= 2; }));
}

}  // namespace
}  // namespace vistrelle::gtk
