#include "support/stream_answers.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace vistrelle::testing {

namespace {

// As radio servers do: a burst for the player's buffer, then about 160 kbit/s.
constexpr size_t kBurstBytes = 64 * 1024;
constexpr size_t kPieceBytes = 2048;
constexpr int kPieceMs = 100;

size_t intervalOf(const std::string& header) {
    if (header.empty() || header.size() > 7 ||
        !std::all_of(header.begin(), header.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    return static_cast<size_t>(std::stoul(header));
}

}  // namespace

struct IcyStation::State {
    std::string audio;
    std::string metaInterval;
    std::mutex mutex;
    std::string block;  // the next blocks
};

IcyStation::IcyStation(std::string audio, std::string metaInterval)
    : state_(std::make_shared<State>()) {
    state_->audio = std::move(audio);
    state_->metaInterval = std::move(metaInterval);
    state_->block = std::string(1, '\0');
}

void IcyStation::setTitle(std::string_view title) {
    setBlock(blockOf("StreamTitle='" + std::string(title) + "';"));
}

void IcyStation::setBlock(std::string block) {
    std::lock_guard lock(state_->mutex);
    state_->block = std::move(block);
}

std::string IcyStation::blockOf(std::string_view text) {
    std::string block(text.substr(0, 255 * 16));
    block.resize((block.size() + 15) / 16 * 16, '\0');
    block.insert(block.begin(), static_cast<char>(block.size() / 16));
    return block;
}

LoopbackServer::Handler IcyStation::handler() const {
    std::shared_ptr<State> state = state_;
    return [state](const Request& request) {
        const bool titles = request.header("Icy-MetaData") == "1";
        Response response(200, {}, "audio/mpeg");
        response.statusLine = "ICY 200 OK";
        response.headers = {{"icy-name", "Loopback radio"}, {"icy-br", "128"}};
        if (titles) {
            response.headers.emplace_back("icy-metaint", state->metaInterval);
        }
        const size_t interval = titles ? intervalOf(state->metaInterval) : 0;
        response.generate = [state, interval](BodyWriter& out) {
            const std::string& audio = state->audio;
            if (audio.empty()) {
                return;
            }
            size_t at = 0;
            size_t sinceBlock = 0;
            for (size_t sent = 0;;) {
                size_t piece = std::min(kPieceBytes, audio.size() - at);
                if (interval > 0) {
                    piece = std::min(piece, interval - sinceBlock);
                }
                if (!out.write(std::string_view(audio).substr(at, piece))) {
                    return;
                }
                at = (at + piece) % audio.size();
                sinceBlock += piece;
                if (interval > 0 && sinceBlock == interval) {
                    std::string block;
                    {
                        std::lock_guard lock(state->mutex);
                        block = state->block;
                    }
                    if (!out.write(block)) {
                        return;
                    }
                    sinceBlock = 0;
                }
                sent += piece;
                if (sent > kBurstBytes && !out.pause(kPieceMs)) {
                    return;
                }
            }
        };
        return response;
    };
}

LoopbackServer::Handler answerThenHang(Response first, size_t answered) {
    auto seen = std::make_shared<std::atomic<size_t>>(0);
    return [first = std::move(first), answered, seen](const Request&) {
        return ++*seen <= answered ? first : Response::hanging();
    };
}

void serveRedirectChain(LoopbackServer& server, const std::string& prefix, int hops,
                        const std::string& target) {
    for (int i = 0; i < hops; ++i) {
        const std::string next = i + 1 < hops ? prefix + "/" + std::to_string(i + 1) : target;
        server.serve(prefix + "/" + std::to_string(i), Response::redirect(next));
    }
}

}  // namespace vistrelle::testing
