// Loopback servers for the stream tests and the benchmark: an HTTP server (libsoup) with the media
// made at run time by gst-launch-1.0 and playlists pointing at them, and a raw-socket server that
// answers "ICY 200 OK" with an endless MP3 stream.
#pragma once

#include <libsoup/soup.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace vistrelle::gtk::testing {

// Makes the test media once per process in a temporary folder; its path, or empty on failure.
const std::string& testMediaFolder();

class MediaServer {
public:
    MediaServer();
    ~MediaServer();
    MediaServer(const MediaServer&) = delete;
    MediaServer& operator=(const MediaServer&) = delete;

    std::string url(const std::string& path) const;
    // Serves `body` at `path` ("/a.pls"); "{base}" in it stands for "http://127.0.0.1:port".
    void add(const std::string& path, const std::string& type, const std::string& body);
    // The user agents and the Referer headers (empty when none) of the requests for `path`.
    std::set<std::string> agents(const std::string& path) const;
    std::set<std::string> referers(const std::string& path) const;

private:
    static void handle(SoupServer* server, SoupServerMessage* message, const char* path,
                       GHashTable* query, gpointer self);
    SoupServer* server_ = nullptr;
    int port_ = 0;
    std::map<std::string, std::pair<std::string, std::string>> routes_;
    std::map<std::string, std::set<std::string>> agents_;
    std::map<std::string, std::set<std::string>> referers_;
};

// "ICY 200 OK" with MP3 (the test tone, over and over) and metadata when asked for it.
class IcyServer {
public:
    IcyServer();
    ~IcyServer();
    IcyServer(const IcyServer&) = delete;
    IcyServer& operator=(const IcyServer&) = delete;

    std::string url() const;
    int connections() const { return connections_; }
    int open() const { return open_; }

private:
    void serve(int client);
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::atomic<int> open_{0};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::thread> clients_;
    std::vector<int> sockets_;
};

// A loopback port where nothing listens.
int closedPort();

}  // namespace vistrelle::gtk::testing
