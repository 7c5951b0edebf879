// Whole runs against a loopback server: the catalogue written, or the old one kept.
#include "updater/run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "fake/sandbox.h"
#include "os/lock_file.h"
#include "samples.h"
#include "support/catalog_lines.h"
#include "updater_net/curl_network.h"

namespace vistrelle::updater {
namespace {

using testing::Response;
using Texts = std::vector<std::string>;

class Recorder : public Reporter {
public:
    void stage(const std::string& text) override { stages.push_back(text); }
    void progress(const std::string&) override {}
    bool cancelled() override { return cancelAfter > 0 && stages.size() >= cancelAfter; }
    Texts stages;
    size_t cancelAfter = 0;
};

std::atomic<bool> neverCancelled{false};

// The network of the program, with the radio servers given instead of looked up.
class TestNetwork : public CurlNetwork {
public:
    TestNetwork(Texts servers, NetworkLimits limits)
        : CurlNetwork(neverCancelled, limits), servers_(std::move(servers)) {}
    Texts radioServers(std::string* error) override {
        *error = servers_.empty() ? "no servers." : "";
        return servers_;
    }

private:
    Texts servers_;
};

const std::string kOld = "Old|catalogue|1|||http://old.example/|\r\n";
const std::string kKept = " The old channel list is kept.";

class UpdaterRunTest : public testing::SandboxTest {
protected:
    UpdaterRunTest() {
        sandbox.write("iso.json", testing::kIsoCodes);
        sandbox.write("channels.dat", kOld);
        testing::serveSamples(server);
        options.isoCodes = "iso.json";
        options.tvDirectory = server.base() + "/api";
        options.radioDirectory = server.base();
    }

    RunResult run(Texts servers = {}) {
        TestNetwork network(std::move(servers), limits);
        return runUpdate(options, network, recorder);
    }

    // Fails with `message`, the old file kept byte for byte and no temporary file left.
    void expectKept(const RunResult& result, const std::string& message) {
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.message, message);
        EXPECT_EQ(sandbox.read("channels.dat"), kOld);
        EXPECT_EQ(sandbox.entries(), (Texts{"channels.dat", "iso.json"}));
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
    EXPECT_EQ(sandbox.read("channels.dat"), testing::kSampleCatalog);
    EXPECT_EQ(sandbox.entries(), (Texts{"channels.dat", "iso.json"}));
    const std::string host = server.base().substr(7);
    EXPECT_EQ(recorder.stages, (Texts{"Downloading TV channels...", "Downloading TV streams...",
                                      "Downloading radio stations from " + host + "...",
                                      "Sorting 7 channels...", "Saving channels.dat..."}));
    std::vector<testing::Request> requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].line(),
              "GET /json/stations?hidebroken=true&order=clickcount&reverse=true HTTP/1.1");
    EXPECT_EQ(requests[2].header("User-Agent"), "Vistrelle channel updater/1.0");
}

TEST_F(UpdaterRunTest, FailsOverToTheNextRadioServer) {
    testing::LoopbackServer broken;
    broken.serve("/json/stations", {200, "<html><body>Maintenance</body></html>", "text/html"});
    options.radioDirectory.clear();
    options.tv = false;
    RunResult result = run({broken.base(), server.base()});
    EXPECT_EQ(result.message, "4 channels saved: 4 radio, 0 TV.");
    EXPECT_EQ(recorder.stages[0], "Finding a radio directory server...");
}

TEST_F(UpdaterRunTest, BadAnswersKeepTheOldCatalogue) {
    const std::string html = "<!DOCTYPE html><html><body>Oops</body></html>";
    const std::string host = server.base().substr(7);
    const struct {
        Response answer;
        std::string reason;
    } cases[] = {
        {{200, html, "text/html"}, "the server sent a web page instead of a list."},
        {{200, testing::kStations.substr(0, 700)}, "the answer is not valid JSON (at byte 701)."},
        {{503, html, "text/html"}, "the server answered with the error 503."},
        {{200, "[]"}, "it sent no stations."},
        {{200, R"({"error":"rate limited"})"}, "the answer is not a list."},
        {{200, "null"}, "the answer is not a list."},
        {Response::endless("[" + std::string(3000, ' ')), "the answer is larger than 1.0 MB."},
        {Response::cutShort(testing::kStations, testing::kStations.size() + 1000),
         "the connection to " + host + " broke off."},
        {Response::dribble("[" + std::string(100000, ' ') + "]", 4096, 1500),
         host + " did not answer in time."},
        {Response::hanging(), host + " did not answer in time."},
        {Response::redirect("/json/stations"),
         "the download from " + host + " failed: it was redirected too many times."},
    };
    options.tv = false;
    limits.maxBytes = 1'000'000;
    limits.stalledSeconds = 1;
    const std::string failed = "The radio directory could not be read: ";
    for (const auto& c : cases) {
        server.serve("/json/stations", c.answer);
        expectKept(run(), failed + c.reason + kKept);
    }
    const std::string refused = "no connection to 127.0.0.1:1 can be made.";
    options.radioDirectory = "http://127.0.0.1:1";
    expectKept(run(), failed + refused + kKept);
    options.radioDirectory.clear();
    expectKept(run(), "No radio directory server can be found: no servers." + kKept);
    expectKept(run({"http://127.0.0.1:1", "http://127.0.0.1:1/b"}),
               "The radio directory could not be read from any of its 2 servers (the last, "
               "127.0.0.1:1: " +
                   refused + ")" + kKept);
}

TEST_F(UpdaterRunTest, CancelLockLimitAndNothingFoundKeepTheOldCatalogue) {
    recorder.cancelAfter = 2;
    expectKept(run(), "Cancelled." + kKept);
    recorder.cancelAfter = 0;
    size_t requests = server.requests().size();
    os::LockFile other;
    ASSERT_EQ(other.acquire("channels.dat.lock"), os::LockFile::Result::Locked);
    EXPECT_EQ(run().message, "Another channel updater is already updating channels.dat.");
    EXPECT_EQ(server.requests().size(), requests);
    EXPECT_EQ(sandbox.read("channels.dat"), kOld);
    other.release();

    options.maxListObjects = 5;
    expectKept(run(),
               "The radio directory could not be read: the list holds more than 5 stations, which "
               "cannot be right." +
                   kKept);
    options.maxListObjects = 6;
    EXPECT_TRUE(run().ok);
    sandbox.write("channels.dat", kOld);

    server.serve("/json/stations", {200, R"([{"name":"x","url":"javascript:1","lastcheckok":1}])"});
    options.tv = false;
    EXPECT_FALSE(run().ok);
    EXPECT_EQ(sandbox.read("channels.dat"), kOld);
    options.radio = false;
    EXPECT_EQ(run().message,
              "Nothing to do: radio and TV are both left out and no playlist is given.");
    options.isoCodes = "missing.json";
    EXPECT_EQ(run().message,
              "The country names cannot be read from missing.json (install the iso-codes "
              "package).");
    // A program that carries the names names no package; an empty file name takes its own.
    options.carriedIsoCodes = "{}";
    EXPECT_EQ(run().message, "The country names cannot be read from missing.json.");
    options.isoCodes.clear();
    EXPECT_EQ(run().message, "The country names the program carries cannot be read.");
    options.carriedIsoCodes = testing::kIsoCodes;
    EXPECT_EQ(run().message,
              "Nothing to do: radio and TV are both left out and no playlist is given.");
}

TEST_F(UpdaterRunTest, TheTvPlaylistStandsInForTheTvLists) {
    options.radio = false;
    server.serve("/api/streams.json", {404, "gone", "text/plain"});
    // Without a playlist on the server either, the run fails and says why, once when both
    // failed alike.
    const std::string failed =
        "The TV directory could not be read: the server answered with "
        "the error 404.";
    expectKept(run(), failed + kKept);
    server.serve("/api/index.m3u", {200, "<html><body>No</body></html>", "text/html"});
    expectKept(run(),
               failed + " Nor could its playlist: it is a web page, not a playlist." + kKept);

    server.serve("/api/channels.json", {200, "<html>moved</html>", "text/html"});
    server.serve("/api/index.m3u",
                 {200,
                  "#EXTM3U\n#EXTINF:-1 tvg-id=\"A.de\" tvg-country=\"DE\" group-title=\"Kids\","
                  "Kinder TV (576p)\nhttps://kinder.example/a.m3u8\n"
                  "#EXTINF:-1 group-title=\"Undefined\",Plain\nhttp://plain.example/p\n",
                  "audio/x-mpegurl"});
    recorder.stages.clear();
    EXPECT_TRUE(run().ok);
    EXPECT_EQ(recorder.stages[1], "Downloading the TV playlist...");
    EXPECT_EQ(sandbox.read("channels.dat"),
              "Germany|Kinder TV (576p)|0|Kids||https://kinder.example/a.m3u8|\r\n"
              "International|Plain|0|Undefined||http://plain.example/p|\r\n");
}

TEST_F(UpdaterRunTest, PlaylistFilesAndAddressesJoinTheDirectories) {
    sandbox.write("mine.m3u",
                  "#EXTM3U\r\n"
                  "#EXTINF:-1 tvg-name=\"Fjell TV\" tvg-country=\"NO\" group-title=\"Local;News\","
                  "Fjell | TV\r\n#EXTVLCOPT:http-referrer=http://fjell.example/\r\n"
                  "http://fjell.example/live.m3u8|Referer=http://fjell.example/\r\n"
                  "#EXTINF:-1,Seoul Jazz again\r\nhttp://seoul.example/jazz\r\n"
                  "#EXTINF:-1 tvg-country=\"\",\r\nrelative/stream.mp3\r\n");
    sandbox.write("list.xspf",
                  "<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"
                  "<trackList><track><location>https://x.example/a.ogg</location>"
                  "<title>Ünïcode &amp; more</title></track></trackList></playlist>");
    sandbox.write("page.m3u", "<!DOCTYPE html><html><head><title>x</title></head></html>");
    server.serve("/lists/radio.pls",
                 {200, "[playlist]\nNumberOfEntries=1\nFile1=/relay/one\nTitle1=Relay one\n",
                  "audio/x-scpls"});
    options.tv = false;
    options.playlists = {"mine.m3u", server.base() + "/lists/radio.pls", "list.xspf"};
    RunResult result = run();
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

    sandbox.write("channels.dat", kOld);
    options.playlists = {"missing.m3u"};
    EXPECT_EQ(run().message, "The playlist missing.m3u: the file cannot be read." + kKept);
    options.playlists = {"page.m3u"};
    EXPECT_EQ(run().message, "The playlist page.m3u: it is a web page, not a playlist." + kKept);
    EXPECT_EQ(sandbox.read("channels.dat"), kOld);
}

// A directory and playlists with every shape real ones have, each of the reader's and the
// mapping's cases in one run.
TEST_F(UpdaterRunTest, RealDirectoriesAndPlaylistsAsTheyAre) {
    sandbox.write("iso.json", R"json({"3166-1": [{"alpha_2": "AD", "name": "Andorra"},
 {"alpha_2": "CI", "name": "Côte d'Ivoire"}, {"alpha_2": "LY", "name": "Libya"},
 {"alpha_2": "NO", "name": "Norway"}, {"alpha_2": "RE", "name": "Réunion"},
 {"alpha_2": "US", "name": "United States"}]})json");
    server.serve("/json/stations", {200, R"([
 {"name":"Query Pipe","url":"http://q.example/s?format=mp3|aac&type=live","url_resolved":"",
  "countrycode":"NO","tags":"поп-музыка,dance","codec":"MP3","bitrate":128000,"lastcheckok":1,
  "clickcount":9},
 {"name":"Exponent","url_resolved":"http://e.example/a","countrycode":"XK","bitrate":1.28e2,
  "lastcheckok":1,"clickcount":8,"geo_lat":1e999},
 {"name":"\ud800Lone","url_resolved":"http://l.example/a","countrycode":"CI","tags":"ελληνικά",
  "bitrate":"64","lastcheckok":1,"clickcount":)" +
                                             std::string(401, '7') + R"(},
 {"name":"Cut","url_resolved":"http://c.example/)" +
                                             std::string(1 << 20, 'a') + R"(",
  "countrycode":"RE","lastcheckok":1},
 {"name":"Réunion FM","url_resolved":"http://r.example/","countrycode":"RE","lastcheckok":1},
 {"name":"Dead","url_resolved":"http://d.example/","lastcheckok":0}])"});
    server.serve("/api/channels.json",
                 {200, R"([{"id":"Closed.de","name":"Closed","country":"DE","closed":"2020-01-01"},
 {"id":"Nord.no","name":"Nord TV","country":"NO","categories":["news"]}])"});
    server.serve("/api/streams.json",
                 {200, R"([{"channel":"Closed.de","url":"http://closed.example/s.m3u8"},
 {"channel":"LibyasChannel.ly","title":null,"url":"http://ly.example/s.m3u8|Referer=http://ly.example/"},
 {"channel":"Nord.no","url":"http://nord.example/n.m3u8","quality":"720p"}])"});
    server.serve("/iptv.m3u",
                 {200,
                  "#EXTM3U\n====andorra====\n"
                  "#EXTINF:-1 tvg-id=\"AndorraTV.ad\" group-title=\"General\",Andorra TV\n"
                  "http://ad.example/tv.m3u8|User-Agent=Mozilla/5.0&Referer=http://ad.example/\n"
                  "#EXTINF-1 tvg-id=\"Nord2.no\",Nord Zwei\nhttp://nord.example/2.m3u8\n"
                  "#EXTINF:-1 tvg-id=\"Multi.us\" tvg-country=\"US;CA\",Multi\n"
                  "http://m.example/m.m3u8\n"
                  "#EXTINF:-1 tvg-id=\"Region.ad\" tvg-country=\"INT\",Region\n"
                  "http://region.example/r.m3u8\n",
                  "audio/x-mpegurl"});
    server.serve(
        "/refs.asx",
        {200, "<asx version=\"3.0\"><entryref href=\"http://refs.example/live.asx\"/></asx>",
         "video/x-ms-asf"});
    server.serve("/prefixed.pls",
                 {200, "Relay 1 of 3\n[playlist]\nFile1=http://pls.example/one\nTitle1=PLS One\n",
                  "audio/x-scpls"});
    server.serve("/local.m3u",
                 {200, "/home/anna/Music/a.mp3\nC:\\Music\\b.mp3\n", "audio/x-mpegurl"});
    sandbox.write("empty.m3u", "#EXTM3U\n");
    sandbox.write("based.xspf",
                  "<playlist xml:base=\"http://x.example/music/\"><trackList><track>"
                  "<location>jazz night.ogg</location><title>Jazz Night</title></track>"
                  "</trackList></playlist>");
    options.playlists = {
        server.base() + "/iptv.m3u",     "empty.m3u",  server.base() + "/refs.asx",
        server.base() + "/prefixed.pls", "based.xspf", server.base() + "/local.m3u"};
    RunResult result = run();
    EXPECT_EQ(result.message,
              "13 channels saved: 4 radio, 2 TV, 7 from playlists. The playlist empty.m3u: it "
              "holds no channel that can be played. The playlist " +
                  server.base() + "/local.m3u: it names only files on another computer.");
    EXPECT_EQ(
        testing::linesByteByByte(sandbox.read("channels.dat")),
        (Texts{"Andorra|Andorra TV|0|General||http://ad.example/tv.m3u8|",
               "Côte d'Ivoire|\uFFFDLone|64|Ελληνικά||http://l.example/a|",
               "International|Region|0|Playlist||http://region.example/r.m3u8|",
               "International|http://refs.example/live.asx|0|Playlist||"
               "http://refs.example/live.asx|",
               "International|PLS One|0|Playlist||http://pls.example/one|",
               "International|Jazz Night|0|Playlist||http://x.example/music/jazz%20night.ogg|",
               "Kosovo|Exponent|128|Radio||http://e.example/a|",
               "Libya|Libyas Channel|0|TV||http://ly.example/s.m3u8|",
               "Norway|Nord Zwei|0|Playlist||http://nord.example/2.m3u8|",
               "Norway|Nord TV|0|News|720p|http://nord.example/n.m3u8|",
               "Norway|Query Pipe|128|Поп-музыка|MP3, dance|"
               "http://q.example/s?format=mp3%7Caac&type=live|",
               "Réunion|Réunion FM|0|Radio||http://r.example/|",
               "United States|Multi|0|Playlist||http://m.example/m.m3u8|"}));
}

// Sources that were read but give nothing, and outputs that cannot be written, are told apart
// from failed downloads: the old list stays, and a bad output is found before any download.
TEST_F(UpdaterRunTest, EmptySourcesAndBadOutputs) {
    std::string dead = "[";
    for (int i = 0; i < 128; ++i) {
        dead +=
            (i > 0 ? "," : "") + std::string(R"({"name":"x","url":"http://x/","lastcheckok":0})");
    }
    sandbox.write("only-local.m3u", "#EXTM3U\n/home/anna/a.mp3\n");
    std::filesystem::create_directory(sandbox.path() / "folder");
    const struct {
        const char* name;
        std::function<void()> setUp;
        std::string message;
        bool downloads = true;
    } cases[] = {
        {"every stream of closed channels",
         [&] {
             options.radio = false;
             server.serve("/api/streams.json",
                          {200, R"([{"channel":"Gone.de","url":"http://gone.example/s.m3u8"}])"});
             server.serve("/api/index.m3u", {200, "#EXTM3U\nhttp://back.example/\n"});
         },
         "No channels were found. The TV directory lists no channel that can be played." + kKept},
        {"every station marked not working",
         [&] {
             options.tv = false;
             server.serve("/json/stations", {200, dead + "]"});
         },
         "The radio directory could not be read: all 128 stations it sent are marked as not "
         "working." +
             kKept},
        {"only local files",
         [&] {
             options.tv = options.radio = false;
             options.playlists = {"only-local.m3u"};
         },
         "No channels were found. The playlist only-local.m3u: it names only files, no streams "
         "on the web." +
             kKept,
         false},
        {"output a folder", [&] { options.output = "folder"; },
         "folder is a folder: name the channel list file to write, such as folder/channels.dat.",
         false},
        {"output in a missing folder", [&] { options.output = "missing/channels.dat"; },
         "The folder missing/ does not exist.", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        options = Options{};
        options.isoCodes = "iso.json";
        options.tvDirectory = server.base() + "/api";
        options.radioDirectory = server.base();
        testing::serveSamples(server);
        c.setUp();
        const size_t requests = server.requests().size();
        const RunResult result = run();
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(sandbox.read("channels.dat"), kOld);
        EXPECT_EQ(sandbox.entries(),
                  (Texts{"channels.dat", "folder", "iso.json", "only-local.m3u"}));
        EXPECT_EQ(server.requests().size() > requests, c.downloads);
        EXPECT_EQ(server.count("/api/index.m3u"), 0u);  // never the TV playlist
    }
}

}  // namespace
}  // namespace vistrelle::updater
