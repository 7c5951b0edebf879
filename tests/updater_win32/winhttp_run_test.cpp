// Whole runs through WinHTTP against the tests' loopback server: the catalogue written, or the
// old one kept byte for byte with the reason, as the Linux updater says it.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <chrono>
#include <thread>

#include "fake/sandbox.h"
#include "os/lock_file.h"
#include "samples.h"
#include "updater/run.h"
#include "updater_win32/winhttp_network.h"

namespace vistrelle::updater {
namespace {

using testing::Response;
using Texts = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

// Reports nothing; cancelled when the test says so.
class Recorder : public Reporter {
public:
    explicit Recorder(const std::atomic<bool>& cancel) : cancel_(cancel) {}
    void stage(const std::string&) override {}
    void progress(const std::string&) override {}
    bool cancelled() override { return cancel_.load(); }

private:
    const std::atomic<bool>& cancel_;
};

std::string gzipped(std::string_view bytes) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

const std::string kOld = "Old|catalogue|1|||http://old.example/|\r\n";
const std::string kKept = " The old channel list is kept.";

class WinHttpRunTest : public testing::SandboxTest {
protected:
    WinHttpRunTest() {
        sandbox.write("iso.json", testing::kIsoCodes);
        sandbox.write("channels.dat", kOld);
        testing::serveSamples(server);
        options.isoCodes = "iso.json";
        options.tvDirectory = server.url("/api");
        options.radioDirectory = server.base();
    }

    RunResult run() {
        WinHttpNetwork network(cancel, limits);
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
    NetworkLimits limits{5, 20, 2, 0, 10};
    std::atomic<bool> cancel{false};
    Recorder recorder{cancel};
};

TEST_F(WinHttpRunTest, WritesRadioTvAndAPlaylistReachedThroughARelativeRedirect) {
    Response stations{200, gzipped(testing::kStations), "application/json"};
    stations.headers = {{"Content-Encoding", "gzip"}};
    server.serve("/json/stations", stations);
    server.serve("/old/list.m3u", Response::redirect("../lists/radio.m3u", 301));
    server.serve("/lists/radio.m3u",
                 {200, "#EXTM3U\n#EXTINF:-1,Relay one\nrelay/one\n", "audio/x-mpegurl"});
    options.playlists = {server.url("/old/list.m3u")};

    RunResult result = run();
    EXPECT_EQ(result.message, "7 channels saved: 4 radio, 2 TV, 1 from playlists.");
    // The playlist's relative entry resolves against the address it was redirected to.
    std::string expected = testing::kSampleCatalog;
    expected.insert(expected.find("International|"), "International|Relay one|0|Playlist||" +
                                                         server.url("/lists/relay/one") + "|\r\n");
    EXPECT_EQ(sandbox.read("channels.dat"), expected);
    EXPECT_EQ(sandbox.entries(), (Texts{"channels.dat", "iso.json"}));
    const auto asked = server.requests("/json/stations");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].target, "/json/stations?hidebroken=true&order=clickcount&reverse=true");
    EXPECT_EQ(asked[0].header("User-Agent"), "Vistrelle channel updater/1.0");
    EXPECT_EQ(asked[0].header("Accept-Encoding"), "gzip");
}

TEST_F(WinHttpRunTest, HostileAnswersKeepTheOldCatalogueAndSayWhy) {
    const std::string html = "<!DOCTYPE html><html><body>Oops</body></html>";
    const std::string host = server.base().substr(7);
    const std::string packed = gzipped(testing::kStations);
    Response damaged{200, packed.substr(0, 20) + std::string(200, 'x')};
    Response packedCut{200, packed.substr(0, packed.size() / 2)};
    damaged.headers = packedCut.headers = {{"Content-Encoding", "gzip"}};
    const struct {
        Response answer;
        std::string reason;
    } cases[] = {
        {{200, html, "text/html"}, "the server sent a web page instead of a list."},
        {{200, testing::kStations.substr(0, 700)}, "the answer is not valid JSON (at byte 701)."},
        {{503, html, "text/html"}, "the server answered with the error 503."},
        {{404, html, "text/html"}, "the server answered with the error 404."},
        {{200, "[]"}, "it sent no stations."},
        {{200, "null"}, "the answer is not a list."},
        {Response::endless("[" + std::string(3000, ' ')), "the answer is larger than 1.0 MB."},
        {Response::cutShort(testing::kStations, testing::kStations.size() + 1000),
         "the connection to " + host + " broke off."},
        {packedCut, "the connection to " + host + " broke off."},
        {damaged, "the download from " + host + " failed: the compressed answer is damaged."},
        {Response::dribble("[" + std::string(100000, ' ') + "]", 4096, 1500),
         host + " did not answer in time."},
        {Response::hanging(), host + " did not answer in time."},
        {Response::redirect("/json/stations"),
         "the download from " + host + " failed: it was redirected too many times."},
        {Response::redirect("ftp://127.0.0.1/list"), "the download from " + host +
                                                         " failed: it was sent on to an address "
                                                         "that is not http or https."},
    };
    options.tv = false;
    limits.maxBytes = 1'000'000;
    limits.stalledSeconds = 1;
    const std::string failed = "The radio directory could not be read: ";
    for (const auto& c : cases) {
        server.serve("/json/stations", c.answer);
        const Clock::time_point start = Clock::now();
        expectKept(run(), failed + c.reason + kKept);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)) << c.reason;
    }
    const std::string refused = "127.0.0.1:" + std::to_string(testing::unusedLoopbackPort());
    options.radioDirectory = "http://" + refused;
    expectKept(run(), failed + "no connection to " + refused + " can be made." + kKept);
}

TEST_F(WinHttpRunTest, CancelEndsAWaitingOrRunningDownloadWithinASecond) {
    options.tv = false;
    limits.stalledSeconds = 60;
    for (Response answer :
         {Response::hanging(), Response::dribble("[" + std::string(1'000'000, ' '), 100, 50)}) {
        cancel = false;
        server.serve("/json/stations", answer);
        const size_t asked = server.count("/json/stations") + 1;
        Clock::time_point cancelledAt;
        std::thread user([&] {
            server.waitForRequests("/json/stations", asked);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            cancelledAt = Clock::now();
            cancel = true;
        });
        RunResult result = run();
        const auto answered = Clock::now();
        user.join();
        EXPECT_LT(answered - cancelledAt, std::chrono::seconds(1));
        expectKept(result, "Cancelled." + kKept);
    }
}

TEST_F(WinHttpRunTest, ASecondUpdaterIsRefusedWhileTheLockIsHeld) {
    os::LockFile other;
    ASSERT_EQ(other.acquire("channels.dat.lock"), os::LockFile::Result::Locked);
    EXPECT_EQ(run().message, "Another channel updater is already updating channels.dat.");
    EXPECT_EQ(server.requests().size(), 0u);
    other.release();
    // The system deletes the lock file with its last handle.
    EXPECT_FALSE(sandbox.exists("channels.dat.lock"));
    EXPECT_TRUE(run().ok);
}

}  // namespace
}  // namespace vistrelle::updater
