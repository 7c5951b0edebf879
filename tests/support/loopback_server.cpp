#include "loopback_server.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <list>
#include <map>
#include <mutex>
#include <thread>

namespace vistrelle::testing {

namespace {

// The few socket calls, the same on Winsock and POSIX. Sockets are never inherited by the
// programs a test starts (on Windows only those accepted), and accepted ones do not block.
#ifdef _WIN32
using Socket = SOCKET;
const Socket kNoSocket = INVALID_SOCKET;
constexpr int kSendFlags = 0;

Socket openSocket() {
    static const int started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    (void)started;
    return ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
}
Socket acceptSocket(Socket listener) {
    Socket socket = ::accept(listener, nullptr, nullptr);
    if (socket != kNoSocket) {
        u_long on = 1;
        ioctlsocket(socket, FIONBIO, &on);
        SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    }
    return socket;
}
int pollSocket(pollfd& ready, int ms) {
    return WSAPoll(&ready, 1, ms);
}
void closeSocket(Socket socket) {
    closesocket(socket);
}
// After a failed call: true when it only would have blocked.
bool wouldBlock() {
    return WSAGetLastError() == WSAEWOULDBLOCK;
}
void setNoProxy() {
    _putenv_s("no_proxy", "127.0.0.1,localhost");
    _putenv_s("NO_PROXY", "127.0.0.1,localhost");
}
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
constexpr int kSendFlags = MSG_NOSIGNAL;

Socket openSocket() {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}
Socket acceptSocket(Socket listener) {
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
}
int pollSocket(pollfd& ready, int ms) {
    return ::poll(&ready, 1, ms);
}
void closeSocket(Socket socket) {
    ::close(socket);
}
// After a failed call: true when it only would have blocked (or was interrupted).
bool wouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}
void setNoProxy() {
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
}
#endif

sockaddr_in loopbackAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

// A socket bound to a free loopback port; its port.
Socket bindLoopback(int& port) {
    Socket socket = openSocket();
    sockaddr_in address = loopbackAddress(0);
    socklen_t size = sizeof address;
    ::bind(socket, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return socket;
}

// Waits are cut in slices of this length, so that every thread sees the server stop soon.
constexpr int kSliceMs = 50;

bool equalNoCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string typeOf(std::string_view name) {
    static const std::pair<const char*, const char*> kTypes[] = {
        {".json", "application/json"}, {".html", "text/html"},
        {".txt", "text/plain"},        {".m3u8", "application/vnd.apple.mpegurl"},
        {".m3u", "audio/x-mpegurl"},   {".pls", "audio/x-scpls"},
        {".asx", "video/x-ms-asf"},    {".xspf", "application/xspf+xml"},
        {".ogg", "audio/ogg"},         {".mp3", "audio/mpeg"},
        {".aac", "audio/aac"},         {".webm", "video/webm"},
        {".ts", "video/mp2t"},         {".mp4", "video/mp4"},
    };
    for (const auto& [extension, type] : kTypes) {
        if (name.ends_with(extension)) {
            return type;
        }
    }
    return "application/octet-stream";
}

const char* reasonOf(int status) {
    static const std::pair<int, const char*> kReasons[] = {
        {200, "OK"},
        {206, "Partial Content"},
        {301, "Moved Permanently"},
        {302, "Found"},
        {303, "See Other"},
        {307, "Temporary Redirect"},
        {308, "Permanent Redirect"},
        {400, "Bad Request"},
        {403, "Forbidden"},
        {404, "Not Found"},
        {416, "Range Not Satisfiable"},
        {429, "Too Many Requests"},
        {500, "Internal Server Error"},
        {502, "Bad Gateway"},
        {503, "Service Unavailable"},
    };
    for (const auto& [code, reason] : kReasons) {
        if (code == status) {
            return reason;
        }
    }
    return "Unknown";
}

// The part of a body of `size` bytes that "Range: bytes=..." asks for, as [first, end); nullopt
// when no range applies (none asked, or several); {size, size} when it cannot be satisfied.
std::optional<std::pair<uint64_t, uint64_t>> rangeOf(const std::string& range, uint64_t size) {
    if (size == 0 || !range.starts_with("bytes=") || range.find(',') != std::string::npos) {
        return std::nullopt;
    }
    const std::string bounds = range.substr(6);
    const size_t dash = bounds.find('-');
    if (dash == std::string::npos) {
        return std::nullopt;
    }
    const std::string from = bounds.substr(0, dash), to = bounds.substr(dash + 1);
    const std::pair<uint64_t, uint64_t> unsatisfiable{size, size};
    if (from.empty()) {  // the last `to` bytes
        const uint64_t last = std::strtoull(to.c_str(), nullptr, 10);
        return last == 0 ? unsatisfiable : std::make_pair(size - std::min(last, size), size);
    }
    const uint64_t first = std::strtoull(from.c_str(), nullptr, 10);
    uint64_t end = to.empty() ? size : std::strtoull(to.c_str(), nullptr, 10) + 1;
    end = std::min(end, size);
    return first >= end ? unsatisfiable : std::make_pair(first, end);
}

}  // namespace

std::string Request::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalNoCase(key, name)) {
            return value;
        }
    }
    return {};
}

Response Response::fromFile(std::string path, std::string contentType) {
    Response response(200, {}, std::move(contentType));
    response.file = std::move(path);
    return response;
}

Response Response::redirect(std::string location, int status) {
    Response response(status);
    response.headers = {{"Location", std::move(location)}};
    return response;
}

Response Response::hanging() {
    Response response;
    response.hang = true;
    return response;
}

Response Response::endless(std::string piece, int pauseMs, std::string contentType) {
    Response response(200, {}, std::move(contentType));
    response.generate = [piece = std::move(piece), pauseMs](BodyWriter& out) {
        while (out.write(piece) && out.pause(pauseMs)) {
        }
    };
    return response;
}

Response Response::dribble(std::string body, size_t pieceBytes, int pauseMs,
                           std::string contentType) {
    Response response(200, {}, std::move(contentType));
    response.contentLength = body.size();
    response.generate = [body = std::move(body), pieceBytes, pauseMs](BodyWriter& out) {
        for (size_t at = 0; at < body.size(); at += pieceBytes) {
            if (!out.pause(pauseMs) || !out.write(std::string_view(body).substr(at, pieceBytes))) {
                return;
            }
        }
    };
    return response;
}

Response Response::cutShort(std::string body, uint64_t announced, std::string contentType) {
    Response response(200, {}, std::move(contentType));
    response.contentLength = announced;
    response.generate = [body = std::move(body)](BodyWriter& out) { out.write(body); };
    return response;
}

struct LoopbackServer::State {
    Socket listener = kNoSocket;
    int port = 0;
    std::atomic<bool> stopping{false};

    mutable std::mutex mutex;
    mutable std::condition_variable logged;
    std::map<std::string, Handler> routes;
    std::vector<std::pair<std::string, std::string>> folders;  // prefix, folder
    std::vector<Request> log;
    std::map<std::string, size_t> open;
    size_t connections = 0;

    struct Client {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::list<Client> clients;  // the acceptor's, then the destructor's
    std::thread acceptor;

    void accept();
    Response find(const Request& request);
};

namespace {

// One connection: requests read and answered in turn until either side closes it.
class Connection final : public BodyWriter {
public:
    Connection(LoopbackServer::State& server, Socket socket) : server_(server), socket_(socket) {}
    ~Connection() override { closeSocket(socket_); }

    void run() {
        Request request;
        for (bool more = true; more && readRequest(request);) {
            more = answer(request);
            std::lock_guard lock(server_.mutex);
            --server_.open[request.path];
        }
    }

    bool write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const int piece = static_cast<int>(std::min<size_t>(bytes.size(), 1 << 16));
            const auto sent = ::send(socket_, bytes.data(), piece, kSendFlags);
            if (sent > 0) {
                bytes.remove_prefix(static_cast<size_t>(sent));
            } else if (sent < 0 && wouldBlock()) {
                if (!waitFor(POLLOUT)) {
                    return false;
                }
            } else {
                return false;
            }
        }
        return true;
    }

    bool pause(int ms) override {
        for (int left = ms; !server_.stopping; left -= kSliceMs) {
            if (left <= 0) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, kSliceMs)));
        }
        return false;
    }

private:
    // Waits until the socket is ready for `events`; false when it fails or the server stops.
    bool waitFor(short events) {
        while (!server_.stopping) {
            pollfd ready{socket_, events, 0};
            if (const int result = pollSocket(ready, kSliceMs); result != 0) {
                return result > 0 && (ready.revents & (events | POLLHUP)) != 0;
            }
        }
        return false;
    }

    // Appends what the client sent next to `buffer_`; false when it closed or the server stops.
    bool readMore() {
        char bytes[1 << 14];
        while (waitFor(POLLIN)) {
            const auto got = ::recv(socket_, bytes, static_cast<int>(sizeof bytes), 0);
            if (got > 0) {
                buffer_.append(bytes, static_cast<size_t>(got));
                return true;
            }
            if (got == 0 || !wouldBlock()) {
                return false;
            }
        }
        return false;
    }

    bool readRequest(Request& request) {
        size_t end;
        while ((end = buffer_.find("\r\n\r\n")) == std::string::npos) {
            if (buffer_.size() > (1 << 16) || !readMore()) {
                return false;
            }
        }
        request = Request{};
        const std::string head = buffer_.substr(0, end + 2);
        buffer_.erase(0, end + 4);
        size_t lineEnd = head.find("\r\n");
        const std::string line = head.substr(0, lineEnd);
        const size_t space = line.find(' '), second = line.rfind(' ');
        if (space == std::string::npos || second == space) {
            return false;
        }
        request.method = line.substr(0, space);
        request.target = line.substr(space + 1, second - space - 1);
        request.version = line.substr(second + 1);
        request.path = request.target.substr(0, request.target.find('?'));
        for (size_t at = lineEnd + 2; at < head.size(); at = lineEnd + 2) {
            lineEnd = head.find("\r\n", at);
            const std::string field = head.substr(at, lineEnd - at);
            const size_t colon = field.find(':');
            if (colon != std::string::npos) {
                const size_t value = field.find_first_not_of(" \t", colon + 1);
                request.headers.emplace_back(field.substr(0, colon), value == std::string::npos
                                                                         ? std::string()
                                                                         : field.substr(value));
            }
        }
        const size_t length = std::strtoull(request.header("Content-Length").c_str(), nullptr, 10);
        while (buffer_.size() < length) {
            if (!readMore()) {
                return false;
            }
        }
        request.body = buffer_.substr(0, length);
        buffer_.erase(0, length);
        {
            // Logged and counted as open together, so that a test that has seen the request
            // sees its answer in progress.
            std::lock_guard lock(server_.mutex);
            server_.log.push_back(request);
            ++server_.open[request.path];
        }
        server_.logged.notify_all();
        return true;
    }

    // Answers one request; true when the connection stays open for the next.
    bool answer(const Request& request) {
        Response response = server_.find(request);
        if (response.hang) {
            // Held until the client closes (or the server stops); anything more it sends is
            // dropped.
            while (readMore()) {
                buffer_.clear();
            }
            return false;
        }

        if (!response.file.empty()) {
            std::ifstream file(response.file, std::ios::binary);
            if (file) {
                response.body.assign(std::istreambuf_iterator<char>(file), {});
            } else {
                response = Response{404, "Not Found\n", "text/plain"};
            }
        }
        const uint64_t size = response.body.size();
        if (response.contentType.empty()) {
            response.contentType = typeOf(response.file.empty() ? request.path : response.file);
        }
        const bool fixed = !response.generate;
        uint64_t first = 0, end = size;
        std::string head = response.statusLine;
        std::optional<uint64_t> length = fixed ? std::optional(size) : response.contentLength;
        Headers own{{"Content-Type", response.contentType}};
        if (fixed && response.status == 200) {
            own.emplace_back("Accept-Ranges", "bytes");
            if (auto range = rangeOf(request.header("Range"), size)) {
                std::tie(first, end) = *range;
                if (first == size) {
                    response.status = 416;
                    own.emplace_back("Content-Range", "bytes */" + std::to_string(size));
                    first = end = size;
                } else {
                    response.status = 206;
                    own.emplace_back("Content-Range", "bytes " + std::to_string(first) + "-" +
                                                          std::to_string(end - 1) + "/" +
                                                          std::to_string(size));
                }
                length = end - first;
            }
        }
        if (head.empty()) {
            head = "HTTP/1.1 " + std::to_string(response.status) + " " + reasonOf(response.status);
        }
        const std::string connection = request.header("Connection");
        const bool keepAlive =
            fixed && !response.close && response.statusLine.empty() &&
            !equalNoCase(connection, "close") &&
            (request.version == "HTTP/1.1" || equalNoCase(connection, "keep-alive"));
        if (length) {
            own.emplace_back("Content-Length", std::to_string(*length));
        }
        own.emplace_back("Connection", keepAlive ? "keep-alive" : "close");
        head += "\r\n";
        for (const Headers* list : {&own, &response.headers}) {
            for (const auto& [name, value] : *list) {
                head += name + ": " + value + "\r\n";
            }
        }
        if (!write(head + "\r\n")) {
            return false;
        }
        if (request.method == "HEAD") {
            return keepAlive;
        }
        if (!fixed) {
            response.generate(*this);
            return false;
        }
        return write(std::string_view(response.body).substr(first, end - first)) && keepAlive;
    }

    LoopbackServer::State& server_;
    Socket socket_;
    std::string buffer_;
};

}  // namespace

void LoopbackServer::State::accept() {
    while (!stopping) {
        pollfd ready{listener, POLLIN, 0};
        if (pollSocket(ready, kSliceMs) <= 0) {
            continue;
        }
        Socket socket = acceptSocket(listener);
        if (socket == kNoSocket) {
            continue;
        }
        {
            std::lock_guard lock(mutex);
            ++connections;
        }
        // The threads of connections that ended are joined as new ones come.
        clients.remove_if([](Client& client) {
            if (!client.done->load()) {
                return false;
            }
            client.thread.join();
            return true;
        });
        auto done = std::make_shared<std::atomic<bool>>(false);
        clients.push_back({std::thread([this, socket, done] {
                               Connection(*this, socket).run();
                               *done = true;
                           }),
                           done});
    }
}

Response LoopbackServer::State::find(const Request& request) {
    Handler handler;
    std::string file;
    {
        std::lock_guard lock(mutex);
        if (auto route = routes.find(request.path); route != routes.end()) {
            handler = route->second;
        } else if (request.path.find("..") == std::string::npos) {
            for (const auto& [prefix, folder] : folders) {
                if (request.path.starts_with(prefix + "/")) {
                    file = folder + request.path.substr(prefix.size());
                    break;
                }
            }
        }
    }
    if (handler) {
        return handler(request);
    }
    if (!file.empty()) {
        return Response::fromFile(file);
    }
    return Response{404, "<html><body>Not found</body></html>", "text/html"};
}

LoopbackServer::LoopbackServer() : state_(std::make_unique<State>()) {
    setNoProxy();
    state_->listener = bindLoopback(state_->port);
    ::listen(state_->listener, 64);
    state_->acceptor = std::thread([this] { state_->accept(); });
}

LoopbackServer::~LoopbackServer() {
    state_->stopping = true;
    state_->acceptor.join();
    for (State::Client& client : state_->clients) {
        client.thread.join();
    }
    closeSocket(state_->listener);
}

void LoopbackServer::serve(const std::string& path, Response response) {
    serve(path, [response = std::move(response)](const Request&) { return response; });
}

void LoopbackServer::serve(const std::string& path, Handler handler) {
    std::lock_guard lock(state_->mutex);
    state_->routes[path] = std::move(handler);
}

void LoopbackServer::serveFolder(const std::string& prefix, const std::string& folder) {
    std::lock_guard lock(state_->mutex);
    state_->folders.emplace_back(prefix, folder);
}

int LoopbackServer::port() const {
    return state_->port;
}

std::string LoopbackServer::base() const {
    return "http://127.0.0.1:" + std::to_string(state_->port);
}

std::vector<Request> LoopbackServer::requests() const {
    std::lock_guard lock(state_->mutex);
    return state_->log;
}

std::vector<Request> LoopbackServer::requests(const std::string& path) const {
    std::vector<Request> found;
    std::lock_guard lock(state_->mutex);
    std::copy_if(state_->log.begin(), state_->log.end(), std::back_inserter(found),
                 [&path](const Request& request) { return request.path == path; });
    return found;
}

size_t LoopbackServer::count(const std::string& path) const {
    return requests(path).size();
}

size_t LoopbackServer::open(const std::string& path) const {
    std::lock_guard lock(state_->mutex);
    auto found = state_->open.find(path);
    return found == state_->open.end() ? 0 : found->second;
}

size_t LoopbackServer::connections() const {
    std::lock_guard lock(state_->mutex);
    return state_->connections;
}

bool LoopbackServer::waitForRequests(const std::string& path, size_t n, int timeoutMs) const {
    std::unique_lock lock(state_->mutex);
    return state_->logged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return std::count_if(state_->log.begin(), state_->log.end(), [&path](const Request& r) {
                   return r.path == path;
               }) >= static_cast<std::ptrdiff_t>(n);
    });
}

int unusedLoopbackPort() {
    int port = 0;
    closeSocket(bindLoopback(port));
    return port;
}

std::string exchangeBytes(int port, std::string_view bytes, int timeoutMs) {
    Socket socket = openSocket();
    const sockaddr_in address = loopbackAddress(port);
    std::string answer;
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::send(socket, bytes.data(), static_cast<int>(bytes.size()), kSendFlags) ==
            static_cast<int>(bytes.size())) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        char piece[1 << 14];
        while (std::chrono::steady_clock::now() < end) {
            pollfd ready{socket, POLLIN, 0};
            if (pollSocket(ready, 50) <= 0) {
                continue;
            }
            const auto got = ::recv(socket, piece, static_cast<int>(sizeof piece), 0);
            if (got <= 0) {
                break;
            }
            answer.append(piece, static_cast<size_t>(got));
        }
    }
    closeSocket(socket);
    return answer;
}

}  // namespace vistrelle::testing
