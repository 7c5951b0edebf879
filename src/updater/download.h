// What the downloads of every platform share: their limits and the words for their failures,
// so that a failure reads the same whichever network library met it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vistrelle::updater {

struct NetworkLimits {
    long connectSeconds = 20;
    long totalSeconds = 600;   // for one download
    long stalledSeconds = 60;  // with less than 16 bytes a second
    uint64_t maxBytes = 0;     // when not 0, a lower cap than the one each download asks for
    int maxRedirects = 10;
};

enum class DownloadFailure {
    NameNotFound,      // the server's name cannot be looked up
    ProxyNotFound,     // nor the proxy's
    NoConnection,      // refused or unreachable
    TimedOut,          // no answer, or no progress, in time
    Untrusted,         // the secure connection failed its checks
    BrokeOff,          // the answer ended before its end
    TooManyRedirects,  // more redirects than the limit
    Other,             // described by the detail
};

// "the name radio.example cannot be looked up (is the computer online?)." and the like; `host`
// is the host (and port) of the address asked for, `detail` the library's own words for Other.
std::string downloadFailureText(DownloadFailure failure, std::string_view host,
                                std::string_view detail = {});
// "the server answered with the error 404."
std::string httpErrorText(long status);
// "the answer is larger than 1.0 MB."
std::string tooLargeText(uint64_t maxBytes);

// The host and port of an address: "radio.example:8000" of "http://radio.example:8000/x".
std::string hostOfAddress(std::string_view url);

}  // namespace vistrelle::updater
