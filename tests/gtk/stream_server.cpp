#include "stream_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vistrelle::gtk::testing {

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string typeFor(const std::string& path) {
    static const std::pair<const char*, const char*> types[] = {
        {".ogg", "audio/ogg"},
        {".mp3", "audio/mpeg"},
        {".webm", "video/webm"},
        {".ts", "video/mp2t"},
        {".m3u8", "application/vnd.apple.mpegurl"},
    };
    for (const auto& [extension, type] : types) {
        if (path.ends_with(extension)) {
            return type;
        }
    }
    return "application/octet-stream";
}

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

const std::string& testMediaFolder() {
    static const std::string folder = [] {
        gchar* made = g_dir_make_tmp("vistrelle-media-XXXXXX", nullptr);
        if (made == nullptr) {
            return std::string();
        }
        const std::string dir = made;
        g_free(made);
        const std::string tone = "audiotestsrc num-buffers=430 ! audio/x-raw,rate=44100,channels=2";
        const std::string video =
            "videotestsrc num-buffers=250 ! video/x-raw,width=160,height=120,framerate=25/1";
        const std::string launch = "gst-launch-1.0 -q -e ";
        bool ok =
            run(launch + tone + " ! vorbisenc ! oggmux ! filesink location=" + dir + "/tone.ogg") &&
            run(launch + tone + " ! lamemp3enc ! filesink location=" + dir + "/tone.mp3") &&
            run(launch + video + " ! vp8enc deadline=1 ! webmmux ! filesink location=" + dir +
                "/clip.webm") &&
            run("mkdir -p " + dir + "/hls") &&
            run(launch + "mpegtsmux name=m ! hlssink location=" + dir +
                "/hls/seg%05d.ts playlist-location=" + dir +
                "/hls/index.m3u8 target-duration=2 playlist-length=0 max-files=0 " + video +
                " ! x264enc key-int-max=25 speed-preset=ultrafast tune=zerolatency ! "
                "h264parse ! m. " +
                tone + " ! avenc_aac ! aacparse ! m.");
        // The folder goes with the process.
        static const std::string* made_ = new std::string(dir);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(*made_, ignored);
        });
        return ok ? dir : std::string();
    }();
    return folder;
}

MediaServer::MediaServer() {
    server_ = soup_server_new(nullptr, nullptr);
    soup_server_add_handler(server_, nullptr, handle, this, nullptr);
    soup_server_listen_local(server_, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, nullptr);
    GSList* uris = soup_server_get_uris(server_);
    if (uris != nullptr) {
        port_ = g_uri_get_port(static_cast<GUri*>(uris->data));
    }
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
}

MediaServer::~MediaServer() {
    soup_server_disconnect(server_);
    g_object_unref(server_);
}

std::string MediaServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void MediaServer::add(const std::string& path, const std::string& type, const std::string& body) {
    std::string text = body;
    const std::string base = url("");
    for (size_t at = text.find("{base}"); at != std::string::npos; at = text.find("{base}", at)) {
        text.replace(at, 6, base);
    }
    routes_[path] = {type, text};
}

std::set<std::string> MediaServer::agents(const std::string& path) const {
    auto found = agents_.find(path);
    return found == agents_.end() ? std::set<std::string>() : found->second;
}

std::set<std::string> MediaServer::referers(const std::string& path) const {
    auto found = referers_.find(path);
    return found == referers_.end() ? std::set<std::string>() : found->second;
}

void MediaServer::handle(SoupServer* /*server*/, SoupServerMessage* message, const char* path,
                         GHashTable* /*query*/, gpointer self) {
    auto& server = *static_cast<MediaServer*>(self);
    const std::string at = path;
    SoupMessageHeaders* headers = soup_server_message_get_request_headers(message);
    const char* agent = soup_message_headers_get_one(headers, "User-Agent");
    server.agents_[at].insert(agent != nullptr ? agent : "");
    const char* referer = soup_message_headers_get_one(headers, "Referer");
    server.referers_[at].insert(referer != nullptr ? referer : "");
    auto respond = [message](const std::string& type, const std::string& body) {
        soup_server_message_set_status(message, 200, nullptr);
        soup_server_message_set_response(message, type.c_str(), SOUP_MEMORY_COPY, body.data(),
                                         body.size());
    };
    if (at == "/hang") {
        soup_server_message_pause(message);  // never answered
        return;
    }
    const std::string& folder = testMediaFolder();
    if (auto found = server.routes_.find(at); found != server.routes_.end()) {
        const auto& [type, body] = found->second;
        // "@/file" serves a media file under another path.
        respond(type, body.starts_with("@/") ? readFile(folder + body.substr(1)) : body);
        return;
    }
    if (at.find("..") == std::string::npos && !folder.empty() &&
        g_file_test((folder + at).c_str(), G_FILE_TEST_IS_REGULAR)) {
        respond(typeFor(at), readFile(folder + at));
        return;
    }
    soup_server_message_set_status(message, 404, nullptr);
}

IcyServer::IcyServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
    listen(listener_, 8);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] {
        while (!stopping_) {
            pollfd wait{listener_, POLLIN, 0};
            if (poll(&wait, 1, 50) <= 0) {
                continue;
            }
            int client = accept(listener_, nullptr, nullptr);
            if (client < 0) {
                continue;
            }
            std::lock_guard lock(mutex_);
            sockets_.push_back(client);
            clients_.emplace_back([this, client] { serve(client); });
        }
    });
}

IcyServer::~IcyServer() {
    stopping_ = true;
    acceptor_.join();
    {
        std::lock_guard lock(mutex_);
        for (int client : sockets_) {
            shutdown(client, SHUT_RDWR);
        }
    }
    for (std::thread& client : clients_) {
        client.join();
    }
    for (int client : sockets_) {
        close(client);
    }
    close(listener_);
}

std::string IcyServer::url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

void IcyServer::serve(int client) {
    ++connections_;
    ++open_;
    std::string request;
    char buffer[2048];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
        ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) {
            --open_;
            return;
        }
        request.append(buffer, static_cast<size_t>(got));
    }
    constexpr size_t kMetaInterval = 8192;
    const bool metadata = request.find("cy-MetaData: 1") != std::string::npos ||
                          request.find("cy-metadata: 1") != std::string::npos;
    std::string head =
        "ICY 200 OK\r\nicy-name: Test tone\r\ncontent-type: audio/mpeg\r\nicy-br: 128\r\n";
    if (metadata) {
        head += "icy-metaint: " + std::to_string(kMetaInterval) + "\r\n";
    }
    head += "\r\n";
    std::string body = readFile(testMediaFolder() + "/tone.mp3");
    std::string meta = "StreamTitle='Test tone';";
    meta.resize((meta.size() + 15) / 16 * 16, '\0');
    meta.insert(meta.begin(), static_cast<char>(meta.size() / 16));

    bool ok = send(client, head.data(), head.size(), MSG_NOSIGNAL) > 0 && !body.empty();
    size_t sinceMeta = 0;
    size_t at = 0;
    while (ok && !stopping_) {
        size_t chunk = std::min<size_t>(4096, body.size() - at);
        if (metadata) {
            chunk = std::min(chunk, kMetaInterval - sinceMeta);
        }
        ok = send(client, body.data() + at, chunk, MSG_NOSIGNAL) > 0;
        at = (at + chunk) % body.size();
        sinceMeta += chunk;
        if (ok && metadata && sinceMeta == kMetaInterval) {
            ok = send(client, meta.data(), meta.size(), MSG_NOSIGNAL) > 0;
            sinceMeta = 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    --open_;
}

int closedPort() {
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    close(probe);
    return ntohs(address.sin_port);
}

}  // namespace vistrelle::gtk::testing
