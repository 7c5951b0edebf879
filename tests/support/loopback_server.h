// An HTTP/1.1 server on 127.0.0.1 for the tests and the benchmarks, on Linux and on Windows
// (Winsock, so that tests under Wine run it in their own process). Every connection has a thread
// of its own: a test may block on a client call while the server answers it, and a client may
// open several connections at once (kept alive unless the client or the answer closes them).
// The destructor ends held and endless answers and joins every thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vistrelle::testing {

using Headers = std::vector<std::pair<std::string, std::string>>;

struct Request {
    std::string method;   // "GET"
    std::string target;   // "/json/stations?order=clickcount"
    std::string path;     // "/json/stations"
    std::string version;  // "HTTP/1.1"
    Headers headers;      // as received
    std::string body;

    // The value of a header (the name in any case), or empty.
    std::string header(std::string_view name) const;
    // "GET /json/stations?order=clickcount HTTP/1.1"
    std::string line() const { return method + " " + target + " " + version; }
};

// Where a generator writes its body.
class BodyWriter {
public:
    virtual ~BodyWriter() = default;
    // Sends the bytes; false once the client has gone or the server stops.
    virtual bool write(std::string_view bytes) = 0;
    // Waits `ms` milliseconds; false, early, when the server stops.
    virtual bool pause(int ms) = 0;
};

struct Response {
    // Empty `contentType`: after the name of the file or of the path (".json", ".m3u8"...).
    Response(int code = 200, std::string bytes = {}, std::string type = {})
        : status(code), body(std::move(bytes)), contentType(std::move(type)) {}

    int status;
    std::string body;
    std::string contentType;
    Headers headers;         // sent after the server's own
    std::string statusLine;  // instead of "HTTP/1.1 200 OK"
    std::string file;        // the body is this file's bytes, read when asked for; 404 if missing
    // Writes the body instead; the connection closes after it.
    std::function<void(BodyWriter&)> generate;
    std::optional<uint64_t> contentLength;  // announced for a generated body (none: until closed)
    bool hang = false;                      // never answered
    bool close = false;                     // the connection closes after this answer

    static Response fromFile(std::string path, std::string contentType = {});
    static Response redirect(std::string location, int status = 302);
    static Response hanging();
    // `piece` over and over, `pauseMs` between pieces, until the client goes.
    static Response endless(std::string piece, int pauseMs = 0, std::string contentType = {});
    // The whole body announced, sent in pieces of `pieceBytes` with `pauseMs` before each.
    static Response dribble(std::string body, size_t pieceBytes, int pauseMs,
                            std::string contentType = {});
    // Announces `announced` bytes, sends `body` (fewer), then closes.
    static Response cutShort(std::string body, uint64_t announced, std::string contentType = {});
};

class LoopbackServer {
public:
    using Handler = std::function<Response(const Request&)>;

    // Listens on a free port of 127.0.0.1 at once. Sets no_proxy for 127.0.0.1 in the process,
    // so that clients never send these requests through a proxy the machine names.
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Answers `path` (without its query) with `response`, or with what `handler` makes of each
    // request; replaces what the path had. Paths nothing serves get 404 Not Found. Inline and file
    // bodies answer one byte range ("Range: bytes=a-b", "a-", "-n") as media players ask.
    void serve(const std::string& path, Response response);
    void serve(const std::string& path, Handler handler);
    // The files of `folder` under `prefix` ("/media" serves folder/hls/a.ts as /media/hls/a.ts).
    void serveFolder(const std::string& prefix, const std::string& folder);

    int port() const;
    std::string base() const;  // "http://127.0.0.1:PORT"
    std::string url(const std::string& path) const { return base() + path; }

    // The requests received, in order; those of one path.
    std::vector<Request> requests() const;
    std::vector<Request> requests(const std::string& path) const;
    size_t count(const std::string& path) const;
    // Answers to `path` being written or held now.
    size_t open(const std::string& path) const;
    size_t connections() const;
    // Waits until `path` has had `n` requests; false after `timeoutMs`.
    bool waitForRequests(const std::string& path, size_t n, int timeoutMs = 10000) const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// A loopback port where nothing listens (bound for a moment, then released).
int unusedLoopbackPort();

// Sends `bytes` as they are to the loopback port and gives everything that comes back until the
// server closes the connection or `timeoutMs` passes: a client for exchanges of raw bytes.
std::string exchangeBytes(int port, std::string_view bytes, int timeoutMs = 5000);

}  // namespace vistrelle::testing
