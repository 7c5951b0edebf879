// A small HTTP/1.1 server on 127.0.0.1 for the updater's tests: fixed answers by path.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vistrelle::testing {

struct Answer {
    int status = 200;
    std::string body;
    std::string contentType = "application/json";
    bool endless = false;   // the body repeats without end
    int delayMs = 0;        // waits this long before each piece of 4 KB
    bool cutShort = false;  // announces more bytes than it sends, then closes
};

class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();

    // Answers requests of `path` (without the query) with `answer`; others get 404.
    void serve(const std::string& path, Answer answer);
    // "http://127.0.0.1:PORT"
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // The request lines and User-Agent headers received, in order.
    std::vector<std::string> requests() const;

private:
    void run();
    void answer(int client);

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::map<std::string, Answer> answers_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace vistrelle::testing
