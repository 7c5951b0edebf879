// The stream of a player page, as the program plans its playing. A web view that cannot run the
// page's player object itself (WebKitGTK) fetches the addresses the plan names, reports what came
// back and what its media element did, and carries out the steps the plan gives; every decision
// and every text is the plan's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vistrelle {

// What a fetch of one address came to.
enum class FetchOutcome {
    Answered,     // a successful status: `bytes` holds the start of the body
    Unreachable,  // no connection (refused, unknown host, TLS failure, ...)
    NoAnswer,     // no status line within the time limit
    HttpError,    // an error status (400 and above)
    Redirected,   // a redirect status with a Location: it is not followed by the fetch itself
};

struct FetchResult {
    FetchOutcome outcome = FetchOutcome::Unreachable;
    int32_t status = 0;
    std::string reason;        // the status line's text ("Not Found")
    std::string finalUrl;      // after redirects
    std::string contentType;   // as sent, may be empty
    std::string bytes;         // at most StreamLimits::fetchBytes
    std::string location;      // Redirected: the Location header as sent
    bool icy = false;          // the answer carries headers of an internet radio server ("icy-...")
    std::string metaInterval;  // its "icy-metaint" header as sent, may be empty
};

// The limits of one fetch and of the media element's watch, and how requests present themselves.
struct StreamLimits {
    std::string_view userAgent;
    size_t fetchBytes = 0;
    int32_t fetchMs = 0;
    // A playing stream whose time has not moved for this long counts as stalled.
    int32_t stallMs = 0;
    // The media element's first data is awaited this long after it is given an address.
    int32_t firstDataMs = 0;
    // While a stream starts or plays, the page is asked every pingMs whether it still answers;
    // a page that has not answered for unresponsiveMs has stopped working.
    int32_t pingMs = 0;
    int32_t unresponsiveMs = 0;
};

// The request headers an address asks for (an IPTV list's "|User-Agent=...|Referer=..."), as
// far as the program sends them; an empty text is not sent.
struct StreamHeaders {
    std::string userAgent;  // in place of StreamLimits::userAgent
    std::string referer;

    bool operator==(const StreamHeaders&) const = default;
};

// What the media element reported.
enum class MediaEvent {
    Playing,
    Ended,
    Stalled,
    Error,
    Paused,  // by the user, on the element or through the desktop's controls
    NoData,  // no first data within StreamLimits::firstDataMs
    Volume,  // the element's volume changed
    Lost,    // the page stopped answering or its process ended; it is shown again afresh
};

struct MediaReport {
    MediaEvent event = MediaEvent::Playing;
    int32_t errorCode = 0;  // MediaError.code for Error: 1 aborted, 2 network, 3 decode, 4 source
    bool live = false;      // the element knows no end (an infinite duration)
    bool played = false;    // it has been playing since the last Play step
    double volume = 1.0;    // Volume: from 0 to 1
    bool muted = false;
};

// The next thing the web view does.
struct PlaybackStep {
    enum class Action {
        Nothing,  // carry on as before
        Fetch,    // fetch `url` and report it through StreamPlan::fetched
        Play,     // give `url` to the media element after `delayMs`
        Fail,     // show `line` and then `url` (the channel's address) in the page area
        // Open the side connection that reads the song titles of `url`, unless one reads them
        // already; report through StreamPlan::titlesAnswered and titlesRead.
        ReadTitles,
        EndTitles,  // close that connection

    };
    Action action = Action::Nothing;
    std::string url;
    std::string line;
    int32_t delayMs = 0;
    // For Fetch and Play: the headers of the requests for `url`, where the web view lets the
    // program set them.
    StreamHeaders headers;
};

// What the side connection that reads a radio's song titles does next, and the title to show.
struct TitleStep {
    bool keepReading = false;
    bool changed = false;  // `title` replaces the one shown
    std::string title;     // UTF-8 text, never markup; empty: no title line
};

class StreamPlan {
public:
    virtual ~StreamPlan() = default;
    // The channel's address as the catalogue gives it.
    virtual const std::string& address() const = 0;
    virtual StreamLimits limits() const = 0;
    // The colours of the failure line and of the song title line, as "#RRGGBB".
    virtual std::string_view failureColour() const = 0;
    virtual std::string_view titleColour() const = 0;
    // Starts (again) from the channel's address.
    virtual PlaybackStep begin() = 0;
    // The result of the fetch the last Fetch step asked for.
    virtual PlaybackStep fetched(const FetchResult& result) = 0;
    // True when a fetch that has read `bytes` so far may stop: enough to tell what they are.
    virtual bool enoughToDecide(std::string_view bytes) const = 0;
    virtual PlaybackStep mediaReported(const MediaReport& report) = 0;
    // The head of the side connection's answer (no bytes), then what it reads, chunk by chunk.
    virtual TitleStep titlesAnswered(const FetchResult& head) = 0;
    virtual TitleStep titlesRead(std::string_view bytes) = 0;
};

}  // namespace vistrelle
