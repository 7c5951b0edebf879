// Whole runs against a loopback server: the catalogue written, or the old one kept.
#include "updater/run.h"

#include <gtest/gtest.h>

#include "fake/sandbox.h"
#include "loopback_server.h"
#include "os/lock_file.h"
#include "samples.h"
#include "updater_net/curl_network.h"

namespace vistrelle::updater {
namespace {

using testing::Answer;
using testing::kSampleCatalog;

class Recorder : public Reporter {
public:
    void stage(const std::string& text) override { stages.push_back(text); }
    void progress(const std::string& text) override { details.push_back(text); }
    bool cancelled() override {
        return cancelAfterStages > 0 && stages.size() >= cancelAfterStages;
    }
    std::vector<std::string> stages;
    std::vector<std::string> details;
    size_t cancelAfterStages = 0;
};

std::atomic<bool> neverCancelled{false};

// The network of the program, with the radio servers given instead of looked up.
class TestNetwork : public CurlNetwork {
public:
    TestNetwork(std::vector<std::string> servers, NetworkLimits limits)
        : CurlNetwork(neverCancelled, limits), servers_(std::move(servers)) {}
    std::vector<std::string> radioServers(std::string* error) override {
        if (servers_.empty()) {
            *error = "no servers.";
        }
        return servers_;
    }

private:
    std::vector<std::string> servers_;
};

const std::string kOld = "Old|catalogue|1|||http://old.example/|\r\n";

class UpdaterRunTest : public testing::SandboxTest {
protected:
    UpdaterRunTest() {
        sandbox.write("iso.json", testing::kIsoCodes);
        sandbox.write("channels.dat", kOld);
        server.serve("/json/stations", {200, testing::kStations});
        server.serve("/api/channels.json", {200, testing::kChannels});
        server.serve("/api/streams.json", {200, testing::kStreams});
        options.isoCodes = "iso.json";
        options.tvDirectory = server.base() + "/api";
        options.radioDirectory = server.base();
    }

    RunResult run(std::vector<std::string> servers = {}) {
        TestNetwork network(std::move(servers), limits);
        return runUpdate(options, network, recorder);
    }

    void expectOldKept(const RunResult& result) {
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(sandbox.read("channels.dat"), kOld);
        EXPECT_EQ(sandbox.entries(), (std::vector<std::string>{"channels.dat", "iso.json"}));
    }

    testing::LoopbackServer server;
    Options options;
    NetworkLimits limits{5, 20, 2, 0};
    Recorder recorder;
};

TEST_F(UpdaterRunTest, WritesTheSampleDirectories) {
    RunResult result = run();
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.message, "6 channels saved: 4 radio, 2 TV.");
    EXPECT_EQ(sandbox.read("channels.dat"), kSampleCatalog);
    EXPECT_EQ(sandbox.entries(), (std::vector<std::string>{"channels.dat", "iso.json"}));
    EXPECT_EQ(recorder.stages,
              (std::vector<std::string>{
                  "Downloading TV channels...", "Downloading TV streams...",
                  "Downloading radio stations from " + server.base().substr(7) + "...",
                  "Sorting 7 channels...", "Saving channels.dat..."}));
    std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(requests[4],
              "GET /json/stations?hidebroken=true&order=clickcount&reverse=true HTTP/1.1");
    EXPECT_EQ(requests[5], "User-Agent: Vistrelle channel updater/1.0");
}

TEST_F(UpdaterRunTest, FailsOverToTheNextRadioServer) {
    testing::LoopbackServer broken;
    broken.serve("/json/stations", {200, "<html><body>Maintenance</body></html>", "text/html"});
    options.radioDirectory.clear();
    options.tv = false;
    RunResult result = run({broken.base(), server.base()});
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.message, "4 channels saved: 4 radio, 0 TV.");
    EXPECT_EQ(recorder.stages[0], "Finding a radio directory server...");
}

TEST_F(UpdaterRunTest, BadAnswersKeepTheOldCatalogue) {
    const std::string html = "<!DOCTYPE html><html><body>Oops</body></html>";
    Answer endless(200, "[" + std::string(3000, ' '));
    endless.endless = true;
    const std::string kept = " The old channel list is kept.";
    const std::string failed = "The radio directory could not be read: ";
    const struct {
        Answer answer;
        std::string message;
    } cases[] = {
        {{200, html, "text/html"}, failed + "the server sent a web page instead of a list." + kept},
        {{200, testing::kStations.substr(0, 700)},
         failed + "the answer is not valid JSON (at byte 701)." + kept},
        {{503, html, "text/html"}, failed + "the server answered with the error 503." + kept},
        {{200, "[]"}, failed + "it sent no stations." + kept},
        {{200, R"({"error":"rate limited"})"}, failed + "the answer is not a list." + kept},
        {{200, "null"}, failed + "the answer is not a list." + kept},
        {endless, failed + "the answer is larger than 1.0 MB." + kept},
    };
    options.tv = false;
    limits.maxBytes = 1'000'000;
    for (const auto& c : cases) {
        server.serve("/json/stations", c.answer);
        RunResult result = run();
        expectOldKept(result);
        EXPECT_EQ(result.message, c.message);
    }
}

TEST_F(UpdaterRunTest, CutShortStalledAndMissingServersKeepTheOldCatalogue) {
    Answer cut{200, testing::kStations};
    cut.cutShort = true;
    Answer stalled{200, "[" + std::string(100000, ' ') + "]"};
    stalled.delayMs = 1500;
    options.tv = false;
    limits.stalledSeconds = 1;
    const std::string host = server.base().substr(7);
    const struct {
        Answer answer;
        std::string message;
    } cases[] = {
        {cut, "The radio directory could not be read: the connection to " + host +
                  " broke off. The old channel list is kept."},
        {stalled, "The radio directory could not be read: " + host +
                      " did not answer in time. The old channel list is kept."},
    };
    for (const auto& c : cases) {
        server.serve("/json/stations", c.answer);
        RunResult result = run();
        expectOldKept(result);
        EXPECT_EQ(result.message, c.message);
    }
    // Nothing listening; then no server at all.
    options.radioDirectory = "http://127.0.0.1:1";
    EXPECT_EQ(run().message,
              "The radio directory could not be read: no connection to "
              "127.0.0.1:1 can be made. The old channel list is kept.");
    options.radioDirectory.clear();
    EXPECT_EQ(run().message,
              "No radio directory server can be found: no servers. The old channel list is kept.");
    EXPECT_EQ(run({"http://127.0.0.1:1", "http://127.0.0.1:1/b"}).message,
              "The radio directory could not be read from any of its 2 servers (the last, "
              "127.0.0.1:1: no connection to 127.0.0.1:1 can be made.) The old channel list is "
              "kept.");
    EXPECT_EQ(sandbox.read("channels.dat"), kOld);
}

TEST_F(UpdaterRunTest, TheTvPlaylistStandsInForTheTvLists) {
    server.serve("/api/streams.json", {404, "gone", "text/plain"});
    options.radio = false;
    RunResult result = run();
    // Without a playlist on the server either, the run fails and says why, once when both
    // failed alike.
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message,
              "The TV directory could not be read: the server answered with the error 404. The "
              "old channel list is kept.");
    server.serve("/api/index.m3u", {200, "<html><body>No</body></html>", "text/html"});
    EXPECT_EQ(run().message,
              "The TV directory could not be read: the server answered with the error 404. Nor "
              "could its playlist: it is a web page, not a playlist. The old channel list is "
              "kept.");
    EXPECT_EQ(sandbox.read("channels.dat"), kOld);
}

TEST_F(UpdaterRunTest, AListFarTooLongIsRefused) {
    options.tv = false;
    options.maxListObjects = 5;
    EXPECT_EQ(run().message,
              "The radio directory could not be read: the list holds more than 5 "
              "stations, which cannot be right. The old channel list is kept.");
    EXPECT_EQ(sandbox.read("channels.dat"), kOld);
    options.maxListObjects = 6;
    EXPECT_TRUE(run().ok);
}

TEST_F(UpdaterRunTest, CancelKeepsTheOldCatalogue) {
    recorder.cancelAfterStages = 2;
    RunResult result = run();
    expectOldKept(result);
    EXPECT_EQ(result.message, "Cancelled. The old channel list is kept.");
}

TEST_F(UpdaterRunTest, AnotherUpdaterHoldsTheLock) {
    os::LockFile other;
    ASSERT_EQ(other.acquire("channels.dat.lock"), os::LockFile::Result::Locked);
    RunResult result = run();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, "Another channel updater is already updating channels.dat.");
    EXPECT_EQ(sandbox.read("channels.dat"), kOld);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(UpdaterRunTest, NothingFoundKeepsTheOldCatalogue) {
    server.serve("/json/stations", {200, R"([{"name":"x","url":"javascript:1","lastcheckok":1}])"});
    options.tv = false;
    RunResult result = run();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(sandbox.read("channels.dat"), kOld);
    options.radio = false;
    result = run();
    EXPECT_EQ(result.message,
              "Nothing to do: radio and TV are both left out and no playlist is given.");
    options.isoCodes = "missing.json";
    result = run();
    EXPECT_EQ(
        result.message,
        "The country names cannot be read from missing.json (install the iso-codes package).");
}

TEST_F(UpdaterRunTest, PlaylistFilesAndAddressesJoinTheDirectories) {
    sandbox.write("mine.m3u",
                  "#EXTM3U\r\n"
                  "#EXTINF:-1 tvg-name=\"Fjell TV\" tvg-country=\"NO\" group-title=\"Local;News\","
                  "Fjell | TV\r\n"
                  "#EXTVLCOPT:http-referrer=http://fjell.example/\r\n"
                  "http://fjell.example/live.m3u8|Referer=http://fjell.example/\r\n"
                  "#EXTINF:-1,Seoul Jazz again\r\n"
                  "http://seoul.example/jazz\r\n"
                  "#EXTINF:-1 tvg-country=\"\",\r\n"
                  "relative/stream.mp3\r\n");
    sandbox.write("list.xspf",
                  "<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"
                  "<trackList><track><location>https://x.example/a.ogg</location>"
                  "<title>Ünïcode &amp; more</title></track></trackList></playlist>");
    server.serve("/lists/radio.pls", {200,
                                      "[playlist]\nNumberOfEntries=1\nFile1=/relay/one\n"
                                      "Title1=Relay one\n",
                                      "audio/x-scpls"});
    options.tv = false;
    options.playlists = {"mine.m3u", server.base() + "/lists/radio.pls", "list.xspf"};
    RunResult result = run();
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.message, "7 channels saved: 4 radio, 0 TV, 3 from playlists.");
    const std::string catalog = sandbox.read("channels.dat");
    for (const std::string& line :
         {"International|Relay one|0|Playlist||" + server.base() +
              "/relay/one|\r\n"
              "International|Ünïcode & more|0|Playlist||https://x.example/a.ogg|\r\n"
              "International|Nowhere Radio|0|Radio||http://nowhere.example/live|\r\n",
          std::string("Norway|Fjell   TV|0|Local||http://fjell.example/live.m3u8|\r\n"
                      "Norway|Fjord FM")}) {
        EXPECT_NE(catalog.find(line), std::string::npos) << catalog;
    }
    // The playlist's copy of a directory station is kept once, as the directory has it.
    EXPECT_EQ(catalog.find("Seoul Jazz again"), std::string::npos);

    options.playlists = {"missing.m3u"};
    result = run();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message,
              "The playlist missing.m3u: the file cannot be read. The old channel list is kept.");
    sandbox.write("page.m3u", "<!DOCTYPE html><html><head><title>x</title></head></html>");
    options.playlists = {"page.m3u"};
    result = run();
    EXPECT_EQ(result.message,
              "The playlist page.m3u: it is a web page, not a playlist. The old channel list is "
              "kept.");
}

TEST_F(UpdaterRunTest, TheTvPlaylistStandsInWhenTheListsFail) {
    server.serve("/api/channels.json", {200, "<html>moved</html>", "text/html"});
    server.serve("/api/index.m3u",
                 {200,
                  "#EXTM3U\n#EXTINF:-1 tvg-id=\"A.de\" tvg-country=\"DE\" group-title=\"Kids\","
                  "Kinder TV (576p)\nhttps://kinder.example/a.m3u8\n"
                  "#EXTINF:-1 group-title=\"Undefined\",Plain\nhttp://plain.example/p\n",
                  "audio/x-mpegurl"});
    options.radio = false;
    RunResult result = run();
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(sandbox.read("channels.dat"),
              "Germany|Kinder TV (576p)|0|Kids||https://kinder.example/a.m3u8|\r\n"
              "International|Plain|0|Undefined||http://plain.example/p|\r\n");
    EXPECT_EQ(recorder.stages[1], "Downloading the TV playlist...");
}

}  // namespace
}  // namespace vistrelle::updater
