// Stream servers of the kinds players meet, on the loopback server: an internet radio sending
// song titles (or hostile metadata), a stream that stalls for every client after the first,
// chains of redirects.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "support/loopback_server.h"

namespace vistrelle::testing {

// An internet radio: "ICY 200 OK", `audio` over and over at about the pace of a 128 kbit/s
// stream, and for a client that asks for titles ("Icy-MetaData: 1") the header `metaInterval`
// and, when its text is a number that fits, a metadata block after every that many bytes.
class IcyStation {
public:
    explicit IcyStation(std::string audio, std::string metaInterval = "8192");

    // The blocks from now on carry this title (its bytes as they are).
    void setTitle(std::string_view title);
    // The blocks from now on are exactly these bytes, length byte included.
    void setBlock(std::string block);
    // A well-formed block holding `text` ("StreamTitle='...';"): length byte, text, NUL padding.
    static std::string blockOf(std::string_view text);

    // What the server answers on the station's path; the station may go before the server.
    LoopbackServer::Handler handler() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

// Answers the first `answered` requests with `first`; every later one is held unanswered.
LoopbackServer::Handler answerThenHang(Response first, size_t answered = 1);

// `hops` redirects under `prefix` ("/r/0" to "/r/1" and so on), the last one to `target`.
void serveRedirectChain(LoopbackServer& server, const std::string& prefix, int hops,
                        const std::string& target);

}  // namespace vistrelle::testing
