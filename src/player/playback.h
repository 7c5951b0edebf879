// Playing a channel's address where the web view hosts the media itself: from the address through
// its playlists to the stream the media element gets, the reopening of a live stream that stops,
// and the one line shown when nothing can be played.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "player/icy_metadata.h"
#include "ui/stream_plan.h"

namespace vistrelle {

inline constexpr std::string_view kPlayerUserAgent = "Vistrelle/1.0";
inline constexpr size_t kFetchByteLimit = 256 * 1024;
inline constexpr int32_t kFetchTimeLimitMs = 10000;
inline constexpr int32_t kStallLimitMs = 10000;
// How often the page is asked whether it still answers, and how long it may stay silent.
inline constexpr int32_t kPingIntervalMs = 1000;
inline constexpr int32_t kUnresponsiveLimitMs = 5000;
// The channel's address may be a playlist; so may its entries, to this depth.
inline constexpr int32_t kMaxNestedPlaylists = 5;
// At most this many fetches for one watch, every redirect counted: a long playlist of dead
// entries or redirects ends in its failure.
inline constexpr size_t kMaxFetches = 20;
// The pauses before each reopening of a live stream that ended or stalled.
inline constexpr int32_t kReopenDelaysMs[] = {1000, 2000, 4000};
// The welcome page's text colour.
inline constexpr std::string_view kFailureColour = "#0044C1";
// The song title under the player: light on the page's black.
inline constexpr std::string_view kTitleColour = "#E8E8E8";

enum class PlaybackFailure {
    Unreachable,
    NoAnswer,
    HttpError,            // detail: "404 Not Found"
    NoPlayable,           // a playlist without an address that can be played here
    Format,               // detail: the format's name, may be empty
    Protocol,             // detail: a streaming scheme ("rtsp"); empty: not a valid web address
    Loop,                 // playlists that refer to each other
    TooDeep,              // playlists nested beyond kMaxNestedPlaylists
    Stopped,              // a live stream that could not be reopened
    LocalFiles,           // a playlist that names only files on a computer
    ShortTargetDuration,  // a live HLS playlist that would be reloaded without pause
    Redirects,            // too many redirects, or a loop of them
    RedirectTarget,       // a redirect to an address that cannot be played
    Unresponsive,         // the player stopped answering
};

// The whole line: texts::kCannotPlay and the reason in plain words.
std::string failureLine(PlaybackFailure failure, std::string_view detail = {});

// The name of a media format that cannot be played here, from the first bytes of the stream and
// its content type; empty when unknown.
std::string formatName(std::string_view bytes, std::string_view contentType);

// Of the request headers a playlist entry asks for, those the program sends: User-Agent and
// Referer (also spelt Referrer), in any letter case, with printable values of at most 512 bytes
// and a Referer that is a web address. Others (Cookie, Origin, ...) are dropped.
StreamHeaders keptHeaders(const std::vector<std::pair<std::string, std::string>>& headers);

// The address an old Shoutcast server answers with its stream rather than its status page.
std::string shoutcastStreamAddress(std::string_view url);

// What a live HLS playlist asks of its player; from the start of the playlist.
struct HlsHead {
    bool live = false;  // no end tag and not a recording
    std::optional<double> targetDuration;
    std::string firstVariant;  // a multi-variant playlist: its first variant, resolved
};
HlsHead readHlsHead(std::string_view bytes, std::string_view base);

class Channel;

// Told what the watched channel's stream does: the desktop's media controls follow it.
class PlaybackListener {
public:
    virtual ~PlaybackListener() = default;
    virtual void watching(const Channel& channel) = 0;  // a new watch
    virtual void streamStarting() = 0;
    virtual void streamPlaying() = 0;
    virtual void streamPaused() = 0;
    virtual void streamFailed() = 0;
    virtual void titleChanged(const std::string& title) = 0;  // empty: none
    virtual void volumeChanged(double volume) = 0;
};

class StreamResolution final : public StreamPlan {
public:
    explicit StreamResolution(std::string_view address,
                              std::weak_ptr<PlaybackListener> listener = {});

    const std::string& address() const override { return address_; }
    StreamLimits limits() const override;
    std::string_view failureColour() const override { return kFailureColour; }
    std::string_view titleColour() const override { return kTitleColour; }
    PlaybackStep begin() override;
    PlaybackStep fetched(const FetchResult& result) override;
    bool enoughToDecide(std::string_view bytes) const override;
    PlaybackStep mediaReported(const MediaReport& report) override;
    TitleStep titlesAnswered(const FetchResult& head) override;
    TitleStep titlesRead(std::string_view bytes) override;

private:
    struct Candidate {
        std::string url;
        StreamHeaders headers;
        int32_t depth = 0;            // playlists above it
        std::string fallbackFor;      // the scheme it stands in for ("mms"), or empty
        bool shoutcastRetry = false;  // already the "/;" form
        std::string hlsPlaylist;      // a variant read for this HLS playlist, played when sound
    };

    // Takes the next address not fetched before, or fails with the first failure met.
    PlaybackStep next();
    PlaybackStep play(const Candidate& candidate);
    PlaybackStep fail(std::string line);
    PlaybackStep redirected(const FetchResult& result);
    // A live HLS playlist that would be reloaded without pause is refused.
    bool refuseHls(const HlsHead& head);
    void note(PlaybackFailure failure, std::string_view detail = {});
    void tell(void (PlaybackListener::*what)());

    // The candidates for one entry (or the channel's address) at this depth, front first.
    std::vector<Candidate> candidatesFor(std::string_view url, const StreamHeaders& headers,
                                         int32_t depth);

    std::string address_;
    std::vector<Candidate> queue_;  // the next candidate last
    std::set<std::string> fetchedUrls_;
    Candidate current_;
    std::string failure_;  // the first failure met on the way, as its line
    std::string unplayableScheme_;
    std::string playing_;  // the address given to the media element
    StreamHeaders playingHeaders_;
    std::string formatName_;
    size_t reopenings_ = 0;
    size_t fetches_ = 0;
    bool begun_ = false;  // the page has asked for its stream at least once
    bool lost_ = false;   // the page was lost once before it asked
    bool everPlayed_ = false;
    bool icy_ = false;         // the stream played is an internet radio's: its titles are read
    bool titlesOpen_ = false;  // the side connection for the titles was asked for
    std::optional<IcyMetadataReader> titles_;
    std::string title_;
    std::weak_ptr<PlaybackListener> listener_;
};

}  // namespace vistrelle
