#include "player/playback.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace vistrelle {
namespace {

using Action = PlaybackStep::Action;

const std::string kMp3 = std::string("ID3\x03\x00", 5) + std::string(2000, '\x55');
const std::string kAsf = std::string("\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8) + std::string(2000, 0);

FetchResult answer(std::string bytes, std::string finalUrl = {}, std::string type = {}) {
    FetchResult result;
    result.outcome = FetchOutcome::Answered;
    result.status = 200;
    result.bytes = std::move(bytes);
    result.finalUrl = std::move(finalUrl);
    result.contentType = std::move(type);
    return result;
}

FetchResult failed(FetchOutcome outcome, int32_t status = 0, std::string reason = {}) {
    FetchResult result;
    result.outcome = outcome;
    result.status = status;
    result.reason = std::move(reason);
    return result;
}

struct ResolveCase {
    const char* name;
    std::string address;
    std::map<std::string, FetchResult> server;  // unlisted addresses: unreachable
    std::vector<std::string> fetches;
    Action action;
    std::string result;  // the address played, or the failure line
};

// Runs the plan against `server` until it plays or fails.
PlaybackStep resolve(StreamResolution& plan, const std::map<std::string, FetchResult>& server,
                     std::vector<std::string>& fetches, PlaybackStep step) {
    while (step.action == Action::Fetch && fetches.size() < 50) {
        fetches.push_back(step.url);
        auto found = server.find(step.url);
        step =
            plan.fetched(found != server.end() ? found->second : failed(FetchOutcome::Unreachable));
    }
    return step;
}

class ResolveTest : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveTest, FetchesInOrderThenPlaysOrFails) {
    const ResolveCase& c = GetParam();
    StreamResolution plan(c.address);
    std::vector<std::string> fetches;
    PlaybackStep step = resolve(plan, c.server, fetches, plan.begin());
    EXPECT_EQ(fetches, c.fetches);
    EXPECT_EQ(step.action, c.action);
    EXPECT_EQ(c.action == Action::Play ? step.url : step.line, c.result);
    if (c.action == Action::Fail) {
        EXPECT_EQ(step.url, c.address);
    }
}

std::string chain(int i) {
    return "http://p.example/" + std::to_string(i) + ".m3u";
}

std::map<std::string, FetchResult> nestedPlaylists(int count) {
    std::map<std::string, FetchResult> server;
    for (int i = 0; i < count; ++i) {
        server[chain(i)] = answer("#EXTM3U\n" + chain(i + 1) + "\n");
    }
    server[chain(count)] = answer(kMp3);
    return server;
}

std::vector<std::string> chainFetches(int count) {
    std::vector<std::string> out;
    for (int i = 0; i <= count; ++i) {
        out.push_back(chain(i));
    }
    return out;
}

const std::string kA = "http://a.example/";

std::string deadEntries(int count) {
    std::string list;
    for (int i = 0; i < count; ++i) {
        list += kA + "dead/" + std::to_string(i) + "\n";
    }
    return list;
}

std::vector<std::string> deadFetches(int count) {
    std::vector<std::string> out{kA + "dead.m3u"};
    for (int i = 0; i < count; ++i) {
        out.push_back(kA + "dead/" + std::to_string(i));
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ResolveTest,
    ::testing::Values(
        ResolveCase{"DirectStream",
                    kA + "s.mp3",
                    {{kA + "s.mp3", answer(kMp3)}},
                    {kA + "s.mp3"},
                    Action::Play,
                    kA + "s.mp3"},
        ResolveCase{"PlsUnderAnyName",
                    kA + "live.mp3",
                    {{kA + "live.mp3", answer("[playlist]\nFile1=http://b.example/x\n")},
                     {"http://b.example/x", answer(kMp3)}},
                    {kA + "live.mp3", "http://b.example/x"},
                    Action::Play,
                    "http://b.example/x"},
        ResolveCase{"RelativeEntryAgainstTheAddressAfterRedirects",
                    kA + "r.m3u",
                    {{kA + "r.m3u", answer("stream.ogg\n", "http://c.example/dir/list.m3u")},
                     {"http://c.example/dir/stream.ogg", answer(kMp3)}},
                    {kA + "r.m3u", "http://c.example/dir/stream.ogg"},
                    Action::Play,
                    "http://c.example/dir/stream.ogg"},
        ResolveCase{
            "HlsIsPlayedItself",
            kA + "tv.m3u8",
            {{kA + "tv.m3u8", answer("#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\ns.ts\n")}},
            {kA + "tv.m3u8"},
            Action::Play,
            kA + "tv.m3u8"},
        ResolveCase{"FiveNestedPlaylists", chain(0), nestedPlaylists(5), chainFetches(5),
                    Action::Play, chain(5)},
        ResolveCase{"SixNestedPlaylists", chain(0), nestedPlaylists(6), chainFetches(5),
                    Action::Fail, failureLine(PlaybackFailure::TooDeep)},
        ResolveCase{
            "Loop",
            kA + "1.m3u",
            {{kA + "1.m3u", answer(kA + "2.m3u\n")}, {kA + "2.m3u", answer(kA + "1.m3u\n")}},
            {kA + "1.m3u", kA + "2.m3u"},
            Action::Fail,
            failureLine(PlaybackFailure::Loop)},
        ResolveCase{"MmsTriedAsHttp",
                    "mms://m.example/live",
                    {{"http://m.example/live", answer(kMp3)}},
                    {"http://m.example/live"},
                    Action::Play,
                    "http://m.example/live"},
        ResolveCase{"MmsWithoutHttpFallback",
                    "mms://m.example/live",
                    {},
                    {"http://m.example/live"},
                    Action::Fail,
                    failureLine(PlaybackFailure::Protocol, "mms")},
        ResolveCase{
            "RtspOnly",
            kA + "x.asx",
            {{kA + "x.asx", answer("<asx><entry><ref href='rtsp://r.example/a'/></entry></asx>")}},
            {kA + "x.asx"},
            Action::Fail,
            "Cannot play this stream: the protocol rtsp:// cannot be played here"},
        ResolveCase{"PnmChannel",
                    "pnm://r.example/a.ra",
                    {},
                    {},
                    Action::Fail,
                    "Cannot play this stream: the protocol pnm:// cannot be played here"},
        ResolveCase{"ScriptAndFileEntries",
                    kA + "x.m3u",
                    {{kA + "x.m3u", answer("#EXTM3U\njavascript:alert(1)\nfile:///etc/passwd\n")}},
                    {kA + "x.m3u"},
                    Action::Fail,
                    failureLine(PlaybackFailure::NoPlayable)},
        ResolveCase{"ShoutcastStatusPage",
                    "http://sc.example:8000/",
                    {{"http://sc.example:8000/", answer("<html><body>status</body></html>")},
                     {"http://sc.example:8000/;", answer(kMp3)}},
                    {"http://sc.example:8000/", "http://sc.example:8000/;"},
                    Action::Play,
                    "http://sc.example:8000/;"},
        ResolveCase{"OnlyWebPages",
                    kA + "page",
                    {{kA + "page", answer("<!DOCTYPE html><html></html>")},
                     {kA + "page/;", answer("<html></html>")}},
                    {kA + "page", kA + "page/;"},
                    Action::Fail,
                    "Cannot play this stream: the format HTML page cannot be played here"},
        ResolveCase{"NextEntryAfterAnError",
                    kA + "two.pls",
                    {{kA + "two.pls", answer("[playlist]\nFile1=/gone\nFile2=/here\n")},
                     {kA + "gone", failed(FetchOutcome::HttpError, 404, "Not Found")},
                     {kA + "here", answer(kMp3)}},
                    {kA + "two.pls", kA + "gone", kA + "here"},
                    Action::Play,
                    kA + "here"},
        ResolveCase{
            "HttpError",
            kA + "gone",
            {{kA + "gone", failed(FetchOutcome::HttpError, 404, "Not Found")}},
            {kA + "gone"},
            Action::Fail,
            "Cannot play this stream: the server answered with an HTTP error: 404 Not Found"},
        ResolveCase{"NoAnswer",
                    kA + "slow",
                    {{kA + "slow", failed(FetchOutcome::NoAnswer)}},
                    {kA + "slow"},
                    Action::Fail,
                    "Cannot play this stream: the server did not answer within 10 s"},
        ResolveCase{"TwentyFetchesAtMost",
                    kA + "dead.m3u",
                    {{kA + "dead.m3u", answer(deadEntries(30))}},
                    deadFetches(19),
                    Action::Fail,
                    "Cannot play this stream: the server could not be reached"},
        ResolveCase{"Unreachable",
                    kA + "off",
                    {},
                    {kA + "off"},
                    Action::Fail,
                    "Cannot play this stream: the server could not be reached"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(PlaybackTest, ALiveStreamIsReopenedThreeTimesThenFails) {
    StreamResolution plan("http://a.example/live");
    ASSERT_EQ(plan.begin().action, Action::Fetch);
    ASSERT_EQ(plan.fetched(answer(kMp3)).action, Action::Play);
    const MediaReport kLiveEnd{MediaEvent::Ended, 0, true, true};
    const MediaReport kStall{MediaEvent::Stalled, 0, true, true};
    const MediaReport kNetwork{MediaEvent::Error, 2, true, false};
    std::vector<int32_t> delays;
    for (const MediaReport& report : {kLiveEnd, kStall, kNetwork}) {
        PlaybackStep step = plan.mediaReported(report);
        EXPECT_EQ(step.action, Action::Play);
        EXPECT_EQ(step.url, "http://a.example/live");
        delays.push_back(step.delayMs);
    }
    EXPECT_EQ(delays, (std::vector<int32_t>{1000, 2000, 4000}));
    PlaybackStep last = plan.mediaReported(kLiveEnd);
    EXPECT_EQ(last.action, Action::Fail);
    EXPECT_EQ(last.line, "Cannot play this stream: the stream stopped and could not be reopened");

    // Playing again starts the count afresh; a recording that ends, or a stop, is left alone.
    EXPECT_EQ(plan.mediaReported({MediaEvent::Playing, 0, true, true}).action, Action::Nothing);
    EXPECT_EQ(plan.mediaReported(kLiveEnd).delayMs, 1000);
    EXPECT_EQ(plan.mediaReported({MediaEvent::Ended, 0, false, true}).action, Action::Nothing);
    EXPECT_EQ(plan.mediaReported({MediaEvent::Error, 1, true, true}).action, Action::Nothing);
}

TEST(PlaybackTest, AFormatTheElementCannotReadNamesItOrTriesTheNextEntry) {
    StreamResolution single("http://a.example/tv");
    single.begin();
    single.fetched(answer(kAsf, "", "video/x-ms-asf"));
    PlaybackStep step = single.mediaReported({MediaEvent::Error, 4, false, false});
    EXPECT_EQ(step.action, Action::Fail);
    EXPECT_EQ(step.line,
              "Cannot play this stream: the format Windows Media (ASF) cannot be played here");

    StreamResolution list("http://a.example/two.m3u");
    list.begin();
    list.fetched(answer("http://a.example/1\nhttp://a.example/2\n"));
    list.fetched(answer(kMp3, "", "audio/x-unknown; rate=1"));
    step = list.mediaReported({MediaEvent::Error, 3, false, false});
    EXPECT_EQ(step.action, Action::Fetch);
    EXPECT_EQ(step.url, "http://a.example/2");
    step = list.fetched(answer(kMp3, "", "application/octet-stream"));
    step = list.mediaReported({MediaEvent::Error, 4, false, false});
    EXPECT_EQ(step.line,
              "Cannot play this stream: the format audio/x-unknown cannot be played here");
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
