// The loopback server byte for byte, on Linux and under Wine: the tests of the updater and of
// the stream host rely on each of these answers.
#include "support/loopback_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fake/sandbox.h"

namespace vistrelle::testing {
namespace {

std::string get(const std::string& target, const std::string& headers = "") {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n";
}

class LoopbackServerTest : public SandboxTest {};

TEST_F(LoopbackServerTest, AnswersByteForByte) {
    LoopbackServer server;
    server.serve("/a.json", {200, "hello"});
    server.serve("/old", Response::redirect("/a.json"));
    server.serve("/cut", Response::cutShort("abc", 100));
    server.serve("/icy", [](const Request& request) {
        Response live = Response::endless("mp3", 10, "audio/mpeg");
        live.statusLine = "ICY 200 OK";
        live.headers = {{"icy-metaint", request.header("icy-metadata") == "1" ? "8192" : "0"}};
        return live;
    });
    sandbox.write("served.txt", "from a file");
    server.serve("/file", Response::fromFile("served.txt"));
    server.serveFolder("/media", sandbox.path().string());
    const std::string close = "Connection: close\r\n";
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: ";
    const struct {
        std::string request;
        std::string answer;
    } cases[] = {
        {get("/a.json?x=1", close),
         head + "application/json\r\nAccept-Ranges: bytes\r\nContent-Length: 5\r\n"
                "Connection: close\r\n\r\nhello"},
        {get("/a.json", close + "Range: bytes=1-3\r\n"),
         "HTTP/1.1 206 Partial Content\r\nContent-Type: application/json\r\nAccept-Ranges: bytes"
         "\r\nContent-Range: bytes 1-3/5\r\nContent-Length: 3\r\nConnection: close\r\n\r\nell"},
        {get("/a.json", close + "Range: bytes=-2\r\n"), "Content-Range: bytes 3-4/5"},
        {get("/a.json", close + "Range: bytes=5-\r\n"),
         "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Type: application/json\r\nAccept-Ranges: "
         "bytes\r\nContent-Range: bytes */5\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"},
        // Two requests on one connection: both answered, the first keeping it open.
        {get("/a.json") + get("/file", close),
         head +
             "application/json\r\nAccept-Ranges: bytes\r\nContent-Length: 5\r\n"
             "Connection: keep-alive\r\n\r\nhello" +
             head +
             "text/plain\r\nAccept-Ranges: bytes\r\nContent-Length: 11\r\n"
             "Connection: close\r\n\r\nfrom a file"},
        {get("/media/served.txt", close + "Range: bytes=5-\r\n"), "\r\n\r\na file"},
        {"HEAD /a.json HTTP/1.0\r\n\r\n", "Content-Length: 5\r\nConnection: close\r\n\r\n"},
        {get("/old"),
         "HTTP/1.1 302 Found\r\nContent-Type: application/octet-stream\r\nContent-Length: "
         "0\r\nConnection: keep-alive\r\nLocation: /a.json\r\n\r\n"},
        {get("/cut"),
         "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 100\r\n"
         "Connection: close\r\n\r\nabc"},
        {get("/icy", "Icy-MetaData: 1\r\n"),
         "ICY 200 OK\r\nContent-Type: audio/mpeg\r\nConnection: close\r\nicy-metaint: 8192\r\n\r\n"
         "mp3mp3"},
        {get("/missing", close), "HTTP/1.1 404 Not Found\r\n"},
        {get("/media/../served.txt", close), "HTTP/1.1 404 Not Found\r\n"},
    };
    for (const auto& c : cases) {
        // Answers that stay open are read for a moment only.
        const std::string answer = exchangeBytes(server.port(), c.request, 300);
        if (c.answer.starts_with("HTTP/") || c.answer.starts_with("ICY")) {
            EXPECT_EQ(answer.substr(0, c.answer.size()), c.answer) << c.request;
        } else {
            EXPECT_NE(answer.find(c.answer), std::string::npos) << c.request << answer;
        }
    }
    EXPECT_EQ(server.count("/a.json"), 6u);
    EXPECT_EQ(server.requests("/icy").at(0).header("ICY-METADATA"), "1");
    EXPECT_EQ(server.requests("/a.json").at(0).line(), "GET /a.json?x=1 HTTP/1.1");
    // The endless answer ends once its client has gone.
    for (int i = 0; i < 500 && server.open("/icy") > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(server.open("/icy"), 0u);
}

TEST_F(LoopbackServerTest, AHeldAnswerBlocksNoOtherAndEndsWithTheServer) {
    auto server = std::make_unique<LoopbackServer>();
    server->serve("/hang", Response::hanging());
    server->serve("/slow", Response::dribble("abcdef", 2, 20));
    const int port = server->port();
    std::string held = "not yet";
    std::thread client([&held, port] { held = exchangeBytes(port, get("/hang"), 60000); });
    ASSERT_TRUE(server->waitForRequests("/hang", 1));
    EXPECT_EQ(server->open("/hang"), 1u);
    const std::string slow = exchangeBytes(port, get("/slow"));
    EXPECT_EQ(slow.substr(slow.size() - 8), "\r\nabcdef");
    EXPECT_EQ(server->connections(), 2u);
    const auto start = std::chrono::steady_clock::now();
    server.reset();
    client.join();
    EXPECT_EQ(held, "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(exchangeBytes(port, get("/hang"), 100), "");
}

}  // namespace
}  // namespace vistrelle::testing
