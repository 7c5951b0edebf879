#include "player/playback.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace vistrelle {
namespace {

using namespace std::string_literals;
using Action = PlaybackStep::Action;
using Names = std::vector<std::string>;
using Server = std::map<std::string, FetchResult>;  // unlisted addresses: unreachable

const std::string kMp3 = std::string("ID3\x03\x00", 5) + std::string(2000, '\x55');
const std::string kAsf = std::string("\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8) + std::string(2000, 0);
const std::string kA = "http://a.example/";  // addresses in the table are relative to this

FetchResult failed(FetchOutcome outcome, int32_t status = 0, std::string reason = {}) {
    FetchResult result;
    result.outcome = outcome;
    result.status = status;
    result.reason = std::move(reason);
    return result;
}

FetchResult answer(std::string bytes, std::string final = {}, std::string type = {}) {
    FetchResult result = failed(FetchOutcome::Answered, 200);
    result.finalUrl = std::move(final);
    result.contentType = std::move(type);
    result.bytes = std::move(bytes);
    return result;
}

FetchResult moved(std::string location) {
    FetchResult result = failed(FetchOutcome::Redirected, 302);
    result.location = std::move(location);
    return result;
}

std::string hls(const std::string& targetDuration, bool ended = false) {
    return "#EXTM3U\n#EXT-X-TARGETDURATION:" + targetDuration + "\n#EXTINF:1,\ns.ts\n" +
           (ended ? "#EXT-X-ENDLIST\n" : "");
}

// `count` chains of redirects ("c0/0" to "c0/15", ...) that end in a missing page.
Server redirectChains(int count, int hops, Server server) {
    for (int c = 0; c < count; ++c) {
        const std::string stem = "c" + std::to_string(c) + "/";
        for (int i = 0; i < hops; ++i) {
            server[stem + std::to_string(i)] = moved(kA + stem + std::to_string(i + 1));
        }
        server[stem + std::to_string(hops)] = failed(FetchOutcome::HttpError, 404, "Not Found");
    }
    return server;
}

std::string cannot(const std::string& reason) {
    return "Cannot play this stream: " + reason;
}

// {head..., stem0end, stem1end, ...}
Names numbered(const std::string& stem, int count, const std::string& end, Names head = {}) {
    for (int i = 0; i < count; ++i) {
        head.push_back(stem + std::to_string(i) + end);
    }
    return head;
}

Server nested(int depth) {
    Server server{{std::to_string(depth) + ".m3u", answer(kMp3)}};
    for (int i = 0; i < depth; ++i) {
        server[std::to_string(i) + ".m3u"] = answer("#EXTM3U\n" + std::to_string(i + 1) + ".m3u\n");
    }
    return server;
}

struct ResolveCase {
    const char* name;
    std::string address;
    Server server;
    Names fetches;
    Action action;
    std::string result;  // the address played, or the failure line
};

TEST(PlaybackTest, ResolvesByFetchingInOrderThenPlaysOrFails) {
    const auto full = [](const std::string& n) { return n.find(':') == n.npos ? kA + n : n; };
    const auto shortName = [](const std::string& url) {
        return url.starts_with(kA) ? url.substr(kA.size()) : url;
    };
    const FetchResult notFound = failed(FetchOutcome::HttpError, 404, "Not Found");
    std::string dead;  // a list of 30 dead addresses
    for (const std::string& name : numbered("dead/", 30, "\n")) {
        dead += name;
    }
    const std::string kB = "http://b.example/x";
    const std::string unreachable = "the server could not be reached";
    const std::string kC = "http://c.example/dir/stream.ogg";
    const std::string kSc = "http://sc.example:8000/";
    const std::string rtsp = "<asx><entry><ref href='rtsp://r.example/a'/></entry></asx>";
    const std::string tooMany = failureLine(PlaybackFailure::Redirects);
    const std::string master =
        "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\nlow/"
        "i.m3u8\n#EXT-X-STREAM-INF:BANDWIDTH=2\nhi.m3u8\n";
    Server fifty;
    for (int i = 0; i < 50; ++i) {
        fifty["h" + std::to_string(i)] = moved("/h" + std::to_string(i + 1));
    }
    // clang-format off
    const std::vector<ResolveCase> cases = {
        {"direct", "s.mp3", {{"s.mp3", answer(kMp3)}}, {"s.mp3"}, Action::Play, "s.mp3"},
        {"pls under any name", "live.mp3", {{"live.mp3", answer("[playlist]\nFile1=" + kB + "\n")},
         {kB, answer(kMp3)}}, {"live.mp3", kB}, Action::Play, kB},
        {"relative entry against the address after redirects", "r.m3u",
         {{"r.m3u", answer("stream.ogg\n", "http://c.example/dir/list.m3u")},
         {kC, answer(kMp3)}}, {"r.m3u", kC}, Action::Play, kC},
        {"hls is played itself", "tv.m3u8",
         {{"tv.m3u8", answer("#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\ns.ts\n")}},
         {"tv.m3u8"}, Action::Play, "tv.m3u8"},
        {"five nested playlists", "0.m3u", nested(5), numbered("", 6, ".m3u"), Action::Play,
         "5.m3u"},
        {"six nested playlists", "0.m3u", nested(6), numbered("", 6, ".m3u"), Action::Fail,
         failureLine(PlaybackFailure::TooDeep)},
        {"loop", "1.m3u", {{"1.m3u", answer(kA + "2.m3u\n")}, {"2.m3u", answer(kA + "1.m3u\n")}},
         {"1.m3u", "2.m3u"}, Action::Fail, failureLine(PlaybackFailure::Loop)},
        {"mms tried as http", "mms://m.example/live", {{"http://m.example/live", answer(kMp3)}},
         {"http://m.example/live"}, Action::Play, "http://m.example/live"},
        {"mms without http", "mms://m.example/live", {}, {"http://m.example/live"}, Action::Fail,
         failureLine(PlaybackFailure::Protocol, "mms")},
        {"rtsp only", "x.asx", {{"x.asx", answer(rtsp)}}, {"x.asx"}, Action::Fail,
         cannot("the protocol rtsp:// cannot be played here")},
        {"pnm channel", "pnm://r.example/a.ra", {}, {}, Action::Fail,
         cannot("the protocol pnm:// cannot be played here")},
        {"script and file entries", "x.m3u",
         {{"x.m3u", answer("#EXTM3U\njavascript:alert(1)\nfile:///etc/passwd\n")}},
         {"x.m3u"}, Action::Fail, failureLine(PlaybackFailure::NoPlayable)},
        {"shoutcast status page", kSc, {{kSc, answer("<html><body>status</body></html>")},
         {kSc + ";", answer(kMp3)}}, {kSc, kSc + ";"}, Action::Play, kSc + ";"},
        {"only web pages", "page", {{"page", answer("<!DOCTYPE html><html></html>")},
         {"page/;", answer("<html></html>")}}, {"page", "page/;"}, Action::Fail,
         cannot("the format HTML page cannot be played here")},
        {"next entry after an error", "two.pls",
         {{"two.pls", answer("[playlist]\nFile1=/gone\nFile2=/here\n")}, {"gone", notFound},
          {"here", answer(kMp3)}}, {"two.pls", "gone", "here"}, Action::Play, "here"},
        {"http error", "gone", {{"gone", notFound}}, {"gone"}, Action::Fail,
         cannot("the server answered with an HTTP error: 404 Not Found")},
        {"no answer", "slow", {{"slow", failed(FetchOutcome::NoAnswer)}}, {"slow"}, Action::Fail,
         cannot("the server did not answer within 10 s")},
        {"twenty fetches at most", "dead.m3u",
         {{"dead.m3u", answer(dead)}},
         numbered("dead/", 19, "", {"dead.m3u"}), Action::Fail, cannot(unreachable)},
        {"unreachable", "off", {}, {"off"}, Action::Fail, cannot(unreachable)},
        {"a redirect plays where it leads", "r", {{"r", moved("/s.mp3")}, {"s.mp3", answer(kMp3)}},
         {"r", "s.mp3"}, Action::Play, "s.mp3"},
        {"redirect loop", "a", {{"a", moved(kA + "b")}, {"b", moved("a")}}, {"a", "b"},
         Action::Fail, tooMany},
        {"fifty redirects", "h0", fifty, numbered("h", 20, ""), Action::Fail, tooMany},
        {"redirect to a file", "f", {{"f", moved("file:///etc/passwd")}}, {"f"}, Action::Fail,
         cannot("a redirect to an address that cannot be played")},
        {"redirect to data", "d", {{"d", moved("data:audio/mpeg;base64,SUQz")}}, {"d"},
         Action::Fail, failureLine(PlaybackFailure::RedirectTarget)},
        {"redirects count among the twenty fetches", "chains.m3u",
         redirectChains(2, 15, {{"chains.m3u", answer("c0/0\nc1/0\n")}}),
         numbered("c1/", 3, "", numbered("c0/", 16, "", {"chains.m3u"})), Action::Fail,
         cannot("the server answered with an HTTP error: 404 Not Found")},
        {"live hls reloaded without pause", "live.m3u8", {{"live.m3u8", answer(hls("0"))}},
         {"live.m3u8"}, Action::Fail,
         cannot("the live HLS playlist gives a target duration below 1 s")},
        {"hls recording with a short target", "rec.m3u8", {{"rec.m3u8", answer(hls("0", true))}},
         {"rec.m3u8"}, Action::Play, "rec.m3u8"},
        {"the next entry after a refused hls", "two.m3u",
         {{"two.m3u", answer("a.m3u8\nb.m3u8\n")}, {"a.m3u8", answer(hls("0.5"))},
          {"b.m3u8", answer(hls("6"))}}, {"two.m3u", "a.m3u8", "b.m3u8"}, Action::Play, "b.m3u8"},
        {"first variant refused", "m.m3u8", {{"m.m3u8", answer(master)},
         {"low/i.m3u8", answer(hls("-1"))}}, {"m.m3u8", "low/i.m3u8"}, Action::Fail,
         failureLine(PlaybackFailure::ShortTargetDuration)},
        {"sound variant plays the whole playlist", "m.m3u8", {{"m.m3u8", answer(master)},
         {"low/i.m3u8", answer(hls("4"))}}, {"m.m3u8", "low/i.m3u8"}, Action::Play, "m.m3u8"},
        {"only local files", "home.m3u",
         {{"home.m3u", answer("#EXTM3U\n/home/anna/a.mp3\nC:\\Music\\b.mp3\n")}}, {"home.m3u"},
         Action::Fail, cannot("the playlist names only files on another computer")},
    };
    // clang-format on
    for (const ResolveCase& c : cases) {
        StreamResolution plan(full(c.address));
        Names fetches;
        PlaybackStep step = plan.begin();
        while (step.action == Action::Fetch && fetches.size() < 50) {
            fetches.push_back(shortName(step.url));
            const auto found = c.server.find(fetches.back());
            step = plan.fetched(found != c.server.end() ? found->second
                                                        : failed(FetchOutcome::Unreachable));
        }
        EXPECT_EQ(fetches, c.fetches) << c.name;
        EXPECT_EQ(step.action, c.action) << c.name;
        if (c.action == Action::Play) {
            EXPECT_EQ(shortName(step.url), c.result) << c.name;
        } else {
            EXPECT_EQ(step.line, c.result) << c.name;
            EXPECT_EQ(step.url, full(c.address)) << c.name;
        }
    }
}

// The headers an IPTV entry asks for go with its fetch, its playing and its reopening, and
// with the entries of a playlist it names.
TEST(PlaybackTest, TheHeadersOfAnEntryGoWithItsRequests) {
    const StreamHeaders tuner{"Tuner/2.0", "http://b.example/"};
    StreamResolution plan("http://a.example/tv.m3u");
    EXPECT_EQ(plan.begin().headers, StreamHeaders{});
    PlaybackStep step = plan.fetched(
        answer("#EXTM3U\nhttp://b.example/list.m3u|User-Agent=Tuner/2.0&Referer=http://b.example/"
               "&Cookie=x\n"));
    EXPECT_EQ(std::tuple(step.action, step.url, step.headers),
              std::tuple(Action::Fetch, "http://b.example/list.m3u"s, tuner));
    step = plan.fetched(answer("http://b.example/live.m3u8\n"));
    EXPECT_EQ(std::tuple(step.url, step.headers), std::tuple("http://b.example/live.m3u8"s, tuner));
    step = plan.fetched(answer("#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\ns.ts\n"));
    EXPECT_EQ(std::tuple(step.action, step.headers), std::tuple(Action::Play, tuner));
    EXPECT_EQ(plan.mediaReported({MediaEvent::Stalled, 0, true, true}).headers, tuner);

    using Headers = std::vector<std::pair<std::string, std::string>>;
    const std::pair<Headers, StreamHeaders> kept[] = {
        {{{"USER-AGENT", "VLC/3.0"}, {"Referrer", "https://r.example/"}},
         {"VLC/3.0", "https://r.example/"}},
        {{{"Referer", "javascript:alert(1)"}, {"User-Agent", "a\r\nX-Evil: 1"}}, {}},
        {{{"Cookie", "x"}, {"Origin", "http://o.example/"}, {"User-Agent", ""}}, {}},
        {{{"User-Agent", std::string(513, 'a')}}, {}},
    };
    for (const auto& [asked, headers] : kept) {
        EXPECT_EQ(keptHeaders(asked), headers);
    }
}

TEST(PlaybackTest, ALiveStreamIsReopenedThreeTimesThenFails) {
    StreamResolution plan("http://a.example/live");
    ASSERT_EQ(plan.begin().action, Action::Fetch);
    ASSERT_EQ(plan.fetched(answer(kMp3)).action, Action::Play);
    const MediaReport kLiveEnd{MediaEvent::Ended, 0, true, true};
    const std::vector<std::pair<MediaReport, int32_t>> reopens = {
        {kLiveEnd, 1000},
        {{MediaEvent::Stalled, 0, true, true}, 2000},
        {{MediaEvent::Error, 2, true, false}, 4000}};
    for (const auto& [report, delayMs] : reopens) {
        const PlaybackStep step = plan.mediaReported(report);
        EXPECT_EQ(std::tuple(step.action, step.url, step.delayMs),
                  std::tuple(Action::Play, "http://a.example/live"s, delayMs));
    }
    // Playing again starts the count afresh; a recording that ends, or a stop, is left alone.
    EXPECT_EQ(plan.mediaReported({MediaEvent::Playing, 0, true, true}).action, Action::Nothing);
    EXPECT_EQ(plan.mediaReported(kLiveEnd).delayMs, 1000);
    EXPECT_EQ(plan.mediaReported({MediaEvent::Ended, 0, false, true}).action, Action::Nothing);
    EXPECT_EQ(plan.mediaReported({MediaEvent::Error, 1, true, true}).action, Action::Nothing);
    EXPECT_EQ(plan.mediaReported(kLiveEnd).delayMs, 2000);
    EXPECT_EQ(plan.mediaReported(kLiveEnd).delayMs, 4000);
    const PlaybackStep last = plan.mediaReported(kLiveEnd);
    EXPECT_EQ(last.action, Action::Fail);
    EXPECT_EQ(last.line, cannot("the stream stopped and could not be reopened"));
    // After the failure line the element is gone: nothing it said before is acted upon.
    EXPECT_EQ(plan.mediaReported({MediaEvent::Playing, 0, true, true}).action, Action::Nothing);
    EXPECT_EQ(plan.mediaReported(kLiveEnd).action, Action::Nothing);
}

struct EventLog final : PlaybackListener {
    void watching(const Channel&) override { events.push_back("watching"); }
    void streamStarting() override { events.push_back("starting"); }
    void streamPlaying() override { events.push_back("playing"); }
    void streamPaused() override { events.push_back("paused"); }
    void streamFailed() override { events.push_back("failed"); }
    void titleChanged(const std::string& title) override { events.push_back("title " + title); }
    void volumeChanged(double volume) override {
        events.push_back("volume " + std::to_string(volume).substr(0, 4));
    }
    Names events;
};

TEST(PlaybackTest, TheListenerFollowsTheElementAndItsFirstDataIsAwaitedAsAFetchIs) {
    auto log = std::make_shared<EventLog>();
    StreamResolution plan("http://a.example/two.m3u", log);
    const MediaReport kNoData{MediaEvent::NoData, 0, false, false};
    plan.begin();
    plan.fetched(answer("http://a.example/1\nhttp://a.example/2\n"));
    ASSERT_EQ(plan.fetched(answer(kMp3)).url, "http://a.example/1");
    // The first entry's data never comes: the second is tried.
    PlaybackStep step = plan.mediaReported(kNoData);
    EXPECT_EQ(std::tuple(step.action, step.url), std::tuple(Action::Fetch, "http://a.example/2"s));
    plan.fetched(answer(kMp3));
    for (const MediaReport& report :
         {MediaReport{MediaEvent::Playing, 0, true, true}, MediaReport{MediaEvent::Paused},
          MediaReport{MediaEvent::Volume, 0, false, false, 0.5},
          MediaReport{MediaEvent::Volume, 0, false, false, 0.5, true},
          MediaReport{MediaEvent::Volume, 0, false, false, 7}}) {
        EXPECT_EQ(plan.mediaReported(report).action, Action::Nothing);
    }
    // Once it has played, data that does not come back is one more stop.
    EXPECT_EQ(plan.mediaReported(kNoData).delayMs, 1000);
    step = plan.mediaReported({MediaEvent::Lost});
    EXPECT_EQ(std::tuple(step.action, step.line),
              std::tuple(Action::Fail, cannot("the player stopped responding")));
    EXPECT_EQ(log->events, (Names{"starting", "playing", "paused", "volume 0.50", "volume 0.00",
                                  "volume 1.00", "failed"}));

    StreamResolution single("http://a.example/live");
    single.begin();
    single.fetched(answer(kMp3));
    EXPECT_EQ(single.mediaReported(kNoData).line, cannot("the server did not answer within 10 s"));
    EXPECT_EQ(single.limits().firstDataMs, 10000);
    EXPECT_EQ(std::pair(single.limits().pingMs, single.limits().unresponsiveMs),
              std::pair(1000, 5000));
}

TEST(PlaybackTest, APageLostBeforeItAskedStartsAfreshOnce) {
    StreamResolution plan("http://a.example/live");
    EXPECT_EQ(plan.mediaReported({MediaEvent::Lost}).action, Action::Nothing);
    EXPECT_EQ(plan.mediaReported({MediaEvent::Lost}).line, cannot("the player stopped responding"));
}

TEST(PlaybackTest, AFormatTheElementCannotReadNamesItOrTriesTheNextEntry) {
    const MediaReport kSource{MediaEvent::Error, 4, false, false};
    StreamResolution single("http://a.example/tv");
    single.begin();
    single.fetched(answer(kAsf, "", "video/x-ms-asf"));
    PlaybackStep step = single.mediaReported(kSource);
    EXPECT_EQ(step.action, Action::Fail);
    EXPECT_EQ(step.line, cannot("the format Windows Media (ASF) cannot be played here"));
    StreamResolution list("http://a.example/two.m3u");
    list.begin();
    list.fetched(answer("http://a.example/1\nhttp://a.example/2\n"));
    list.fetched(answer(kMp3, "", "audio/x-unknown; rate=1"));
    step = list.mediaReported({MediaEvent::Error, 3, false, false});
    EXPECT_EQ(step.action, Action::Fetch);
    EXPECT_EQ(step.url, "http://a.example/2");
    list.fetched(answer(kMp3, "", "application/octet-stream"));
    EXPECT_EQ(list.mediaReported(kSource).line,
              cannot("the format audio/x-unknown cannot be played here"));
}

TEST(PlaybackTest, EnoughIsTheSniffForMediaAndPagesAndTheLimitForPlaylists) {
    StreamResolution plan("http://a.example/");
    std::string m3u = "#EXTM3U\n";
    while (m3u.size() < 4096) {
        m3u += "#EXTINF:-1,Channel\nhttp://a.example/stream\n";
    }
    EXPECT_FALSE(plan.enoughToDecide(kMp3.substr(0, 500)));
    EXPECT_TRUE(plan.enoughToDecide(kMp3));
    EXPECT_TRUE(plan.enoughToDecide("<html>" + std::string(2000, ' ')));
    EXPECT_FALSE(plan.enoughToDecide(m3u));
    EXPECT_TRUE(plan.enoughToDecide(std::string(kFetchByteLimit, '#')));
    EXPECT_EQ(plan.limits().userAgent, "Vistrelle/1.0");
    EXPECT_EQ(plan.limits().fetchBytes, 256u * 1024);
    EXPECT_EQ(plan.limits().fetchMs, 10000);
}

}  // namespace
}  // namespace vistrelle
