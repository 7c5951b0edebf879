// Fetches the start of one address with libsoup, on the GUI main loop without ever blocking it.
// Redirects are reported, not followed: the plan decides on each. The connection is closed as
// soon as the fetch has its result.
#pragma once

#include <libsoup/soup.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/stream_plan.h"

namespace vistrelle::gtk {

class StreamFetcher {
public:
    using Done = std::function<void(FetchResult)>;
    // Tells whether the bytes read so far are enough to stop.
    using Enough = std::function<bool(const std::string& bytes)>;

    StreamFetcher();
    StreamFetcher(const StreamFetcher&) = delete;
    StreamFetcher& operator=(const StreamFetcher&) = delete;
    ~StreamFetcher();

    // Starts fetching `url` with the headers the plan asks for (a fetch still running is given
    // up). `done` runs once on the main loop, unless the fetch is given up first.
    void fetch(const std::string& url, const StreamLimits& limits, const StreamHeaders& headers,
               Enough enough, Done done);
    void cancel();

    // For tests: a shorter time limit than the plan's (0: the plan's), and addresses other than
    // loopback ones answered as unreachable without any network use.
    static void setTimeLimitForTesting(int ms);
    static void setLoopbackOnlyForTesting(bool loopbackOnly);
    // The time limit in force: the plan's, or the shorter one of a test.
    static int timeLimit(const StreamLimits& limits);
    // True when a test keeps `url` from the network (it is not a loopback address).
    static bool refused(const std::string& url);

    // What the head of an answer says: status, reason, address, content type, Location, ICY
    // headers.
    static void readHead(SoupMessage* message, FetchResult& result);
    // The User-Agent (the plan's, or the one asked for) and the Referer asked for.
    static void setRequestHeaders(SoupMessage* message, const StreamLimits& limits,
                                  const StreamHeaders& headers);

    struct Request;

private:
    SoupSession* session_ = nullptr;
    std::shared_ptr<Request> request_;
};

}  // namespace vistrelle::gtk
