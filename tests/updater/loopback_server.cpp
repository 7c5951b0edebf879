#include "loopback_server.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace vistrelle::testing {

namespace {

bool sendAll(int socket, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

}  // namespace

LoopbackServer::LoopbackServer() {
    // Requests to this server never go through a proxy the machine may name.
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 16);
    socklen_t size = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

LoopbackServer::~LoopbackServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

void LoopbackServer::serve(const std::string& path, Answer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[path] = std::move(answer);
}

std::vector<std::string> LoopbackServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void LoopbackServer::run() {
    while (!stop_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 50) > 0) {
            if (int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC); client >= 0) {
                answer(client);
                ::close(client);
            }
        }
    }
}

void LoopbackServer::answer(int client) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        pollfd waiting{client, POLLIN, 0};
        ssize_t n = ::poll(&waiting, 1, 2000) > 0 ? ::recv(client, buffer, sizeof buffer, 0) : 0;
        if (n <= 0) {
            return;
        }
        request.append(buffer, static_cast<size_t>(n));
    }
    std::string line = request.substr(0, request.find("\r\n"));
    std::string path = line.substr(line.find(' ') + 1);
    path = path.substr(0, path.find_first_of(" ?"));
    size_t agent = request.find("User-Agent: ");
    Answer found{404, "<html><body>Not here</body></html>", "text/html"};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(line);
        requests_.push_back(agent == std::string::npos
                                ? ""
                                : request.substr(agent, request.find("\r\n", agent) - agent));
        if (auto it = answers_.find(path); it != answers_.end()) {
            found = it->second;
        }
    }
    const char* reason = found.status == 200 ? "OK" : found.status == 404 ? "Not Found" : "Error";
    std::string head = "HTTP/1.1 " + std::to_string(found.status) + " " + reason +
                       "\r\nContent-Type: " + found.contentType + "\r\nConnection: close\r\n";
    if (!found.endless) {
        size_t announced = found.body.size() + (found.cutShort ? 1000 : 0);
        head += "Content-Length: " + std::to_string(announced) + "\r\n";
    }
    if (!sendAll(client, head + "\r\n")) {
        return;
    }
    std::string_view body = found.body;
    do {
        for (size_t at = 0; at < body.size() && !stop_; at += 4096) {
            std::this_thread::sleep_for(std::chrono::milliseconds(found.delayMs));
            if (!sendAll(client, body.substr(at, 4096))) {
                return;
            }
        }
    } while (found.endless && !stop_);
}

}  // namespace vistrelle::testing
