#include "player/playback.h"

#include <algorithm>
#include <cctype>

#include "player/playlist.h"

namespace vistrelle {

namespace {

// Enough of a response to tell media and web pages from playlists.
constexpr size_t kSniffBytes = 1024;
constexpr size_t kReopenings = std::size(kReopenDelaysMs);

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lower);
    return out;
}

// The scheme of an address in lower case ("rtsp"); empty when it has none.
std::string schemeOf(std::string_view url) {
    size_t colon = url.find(':');
    if (colon == 0 || colon == std::string_view::npos ||
        !std::isalpha(static_cast<unsigned char>(url[0]))) {
        return {};
    }
    for (char c : url.substr(0, colon)) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
            return {};
        }
    }
    return lowered(url.substr(0, colon));
}

bool isStreamingScheme(std::string_view scheme) {
    static constexpr std::string_view kSchemes[] = {"rtsp",  "rtsps", "rtspu", "mms",   "mmsh",
                                                    "mmst",  "pnm",   "rtmp",  "rtmps", "rtmpt",
                                                    "rtmpe", "rtp",   "udp"};
    return std::find(std::begin(kSchemes), std::end(kSchemes), scheme) != std::end(kSchemes);
}

bool startsWith(std::string_view bytes, std::string_view magic) {
    return bytes.substr(0, magic.size()) == magic;
}

}  // namespace

std::string failureLine(PlaybackFailure failure, std::string_view detail) {
    std::string line(kFailurePrefix);
    switch (failure) {
        case PlaybackFailure::Unreachable:
            line += "the server could not be reached";
            break;
        case PlaybackFailure::NoAnswer:
            line += "the server did not answer within " + std::to_string(kFetchTimeLimitMs / 1000) +
                    " s";
            break;
        case PlaybackFailure::HttpError:
            line += "the server answered with an HTTP error: ";
            line += detail;
            break;
        case PlaybackFailure::NoPlayable:
            line += "the playlist holds no address that can be played here";
            break;
        case PlaybackFailure::Format:
            if (detail.empty()) {
                line += "the format of the stream cannot be played here";
            } else {
                line += "the format ";
                line += detail;
                line += " cannot be played here";
            }
            break;
        case PlaybackFailure::Protocol:
            if (detail.empty()) {
                line += "the address is not a valid web address";
            } else {
                line += "the protocol ";
                line += detail;
                line += ":// cannot be played here";
            }
            break;
        case PlaybackFailure::Loop:
            line += "the playlists refer to each other in a loop";
            break;
        case PlaybackFailure::TooDeep:
            line += "the playlists are nested more than " + std::to_string(kMaxNestedPlaylists) +
                    " deep";
            break;
        case PlaybackFailure::Stopped:
            line += "the stream stopped and could not be reopened";
            break;
        case PlaybackFailure::LocalFiles:
            line += "the playlist names only files on another computer";
            break;
    }
    return line;
}

std::string formatName(std::string_view bytes, std::string_view contentType) {
    static constexpr std::string_view kAsfHeader = "\x30\x26\xB2\x75\x8E\x66\xCF\x11";
    if (startsWith(bytes, kAsfHeader)) {
        return "Windows Media (ASF)";
    }
    if (startsWith(bytes, ".RMF")) {
        return "RealMedia";
    }
    if (startsWith(bytes, "FLV")) {
        return "Flash Video";
    }
    if (startsWith(bytes, "FWS") || startsWith(bytes, "CWS") || startsWith(bytes, "ZWS")) {
        return "Flash";
    }
    if (startsWith(bytes, "NSVf") || startsWith(bytes, "NSVs")) {
        return "Nullsoft Video";
    }
    std::string type = lowered(contentType.substr(0, contentType.find(';')));
    type.erase(std::remove_if(type.begin(), type.end(),
                              [](char c) { return !std::isgraph(static_cast<unsigned char>(c)); }),
               type.end());
    if (type == "application/octet-stream" || type == "text/plain" ||
        type.find('/') == std::string::npos) {
        return {};
    }
    return type;
}

StreamHeaders keptHeaders(const std::vector<std::pair<std::string, std::string>>& headers) {
    constexpr size_t kLongestValue = 512;
    const auto printable = [](std::string_view value) {
        return !value.empty() && value.size() <= kLongestValue &&
               std::none_of(value.begin(), value.end(), [](char c) {
                   return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
               });
    };
    StreamHeaders kept;
    for (const auto& [name, value] : headers) {
        const std::string key = lowered(name);
        if (key == "user-agent" && printable(value)) {
            kept.userAgent = value;
        } else if ((key == "referer" || key == "referrer") && printable(value) &&
                   isPlayableAddress(value)) {
            kept.referer = value;
        }
    }
    return kept;
}

std::string shoutcastStreamAddress(std::string_view url) {
    std::string out(url);
    while (!out.empty() && out.back() == '/') {
        out.pop_back();
    }
    return out + "/;";
}

StreamResolution::StreamResolution(std::string_view address) : address_(address) {}

StreamLimits StreamResolution::limits() const {
    return StreamLimits{kPlayerUserAgent, kFetchByteLimit, kFetchTimeLimitMs, kStallLimitMs};
}

PlaybackStep StreamResolution::begin() {
    queue_.clear();
    fetchedUrls_.clear();
    failure_.clear();
    playing_.clear();
    formatName_.clear();
    reopenings_ = 0;
    unplayableScheme_.clear();
    queue_ = candidatesFor(address_, {}, 0);
    std::reverse(queue_.begin(), queue_.end());
    if (queue_.empty()) {
        note(PlaybackFailure::Protocol, unplayableScheme_);
    }
    return next();
}

std::vector<StreamResolution::Candidate> StreamResolution::candidatesFor(
    std::string_view url, const StreamHeaders& headers, int32_t depth) {
    std::vector<Candidate> out;
    const std::string scheme = schemeOf(url);
    for (std::string& playable : playableAddresses(url)) {
        Candidate candidate;
        candidate.url = std::move(playable);
        candidate.headers = headers;
        candidate.depth = depth;
        if (scheme != "http" && scheme != "https") {
            candidate.fallbackFor = scheme;
        }
        out.push_back(std::move(candidate));
    }
    // Only the streaming protocols are named; anything else is no address to play.
    if (out.empty() && unplayableScheme_.empty() && isStreamingScheme(scheme)) {
        unplayableScheme_ = scheme;
    }
    return out;
}

void StreamResolution::note(PlaybackFailure failure, std::string_view detail) {
    if (failure_.empty()) {
        failure_ = failureLine(failure, detail);
    }
}

PlaybackStep StreamResolution::next() {
    while (!queue_.empty() && fetchedUrls_.size() < kMaxFetches) {
        Candidate candidate = std::move(queue_.back());
        queue_.pop_back();
        if (!fetchedUrls_.insert(candidate.url).second) {
            note(PlaybackFailure::Loop);
            continue;
        }
        current_ = std::move(candidate);
        return PlaybackStep{PlaybackStep::Action::Fetch, current_.url, {}, 0, current_.headers};
    }
    if (failure_.empty()) {
        note(PlaybackFailure::NoPlayable);
    }
    return PlaybackStep{PlaybackStep::Action::Fail, address_, failure_, 0, {}};
}

PlaybackStep StreamResolution::play(const Candidate& candidate) {
    playing_ = candidate.url;
    playingHeaders_ = candidate.headers;
    reopenings_ = 0;
    return PlaybackStep{PlaybackStep::Action::Play, playing_, {}, 0, playingHeaders_};
}

PlaybackStep StreamResolution::fetched(const FetchResult& result) {
    const bool fallback = !current_.fallbackFor.empty();
    switch (result.outcome) {
        case FetchOutcome::Unreachable:
        case FetchOutcome::NoAnswer:
        case FetchOutcome::HttpError: {
            if (fallback) {
                note(PlaybackFailure::Protocol, current_.fallbackFor);
            } else if (result.outcome == FetchOutcome::Unreachable) {
                note(PlaybackFailure::Unreachable);
            } else if (result.outcome == FetchOutcome::NoAnswer) {
                note(PlaybackFailure::NoAnswer);
            } else {
                std::string detail = std::to_string(result.status);
                if (!result.reason.empty()) {
                    detail += " " + result.reason;
                }
                note(PlaybackFailure::HttpError, detail);
            }
            return next();
        }
        case FetchOutcome::Answered:
            break;
    }

    if (!result.finalUrl.empty()) {
        fetchedUrls_.insert(result.finalUrl);
    }
    const std::string& base = result.finalUrl.empty() ? current_.url : result.finalUrl;
    Playlist playlist = readPlaylist(result.bytes, base);
    switch (playlist.kind) {
        case PlaylistKind::Stream:
            formatName_ = formatName(result.bytes, result.contentType);
            return play(current_);
        case PlaylistKind::Hls:
            formatName_.clear();
            return play(current_);
        case PlaylistKind::Html:
            if (!current_.shoutcastRetry) {
                Candidate retry = current_;
                retry.url = shoutcastStreamAddress(current_.url);
                retry.shoutcastRetry = true;
                queue_.push_back(std::move(retry));
            } else {
                note(PlaybackFailure::Format, "HTML page");
            }
            return next();
        default:
            break;
    }

    if (current_.depth >= kMaxNestedPlaylists) {
        note(PlaybackFailure::TooDeep);
        return next();
    }
    std::vector<Candidate> entries;
    unplayableScheme_.clear();
    for (const PlaylistEntry& entry : playlist.entries) {
        // An entry without headers of its own asks for those of the playlist that names it.
        StreamHeaders headers = keptHeaders(entry.headers);
        if (headers == StreamHeaders{}) {
            headers = current_.headers;
        }
        std::vector<Candidate> more = candidatesFor(entry.url, headers, current_.depth + 1);
        entries.insert(entries.end(), more.begin(), more.end());
    }
    if (entries.empty()) {
        if (!unplayableScheme_.empty()) {
            note(PlaybackFailure::Protocol, unplayableScheme_);
        } else if (playlist.entries.empty() && playlist.localFiles > 0) {
            note(PlaybackFailure::LocalFiles);
        } else {
            note(PlaybackFailure::NoPlayable);
        }
    }
    queue_.insert(queue_.end(), entries.rbegin(), entries.rend());
    return next();
}

bool StreamResolution::enoughToDecide(std::string_view bytes) const {
    if (bytes.size() >= kFetchByteLimit) {
        return true;
    }
    if (bytes.size() < kSniffBytes) {
        return false;
    }
    PlaylistKind kind = readPlaylist(bytes.substr(0, kSniffBytes), address_).kind;
    return kind == PlaylistKind::Stream || kind == PlaylistKind::Html;
}

PlaybackStep StreamResolution::mediaReported(const MediaReport& report) {
    if (playing_.empty()) {
        return {};
    }
    switch (report.event) {
        case MediaEvent::Playing:
            reopenings_ = 0;
            return {};
        case MediaEvent::Ended:
            if (!report.live) {
                return {};  // a recording played to its end
            }
            break;
        case MediaEvent::Stalled:
            break;
        case MediaEvent::Error:
            if (report.errorCode == 1) {
                return {};  // stopped on purpose
            }
            if ((report.errorCode == 3 || report.errorCode == 4) && !report.played) {
                // The element cannot read what the server sends: try the playlist's next entry.
                note(PlaybackFailure::Format, formatName_);
                playing_.clear();
                return next();
            }
            break;
    }
    if (reopenings_ >= kReopenings) {
        return PlaybackStep{
            PlaybackStep::Action::Fail, address_, failureLine(PlaybackFailure::Stopped), 0, {}};
    }
    const int32_t delay = kReopenDelaysMs[reopenings_++];
    return PlaybackStep{PlaybackStep::Action::Play, playing_, {}, delay, playingHeaders_};
}

}  // namespace vistrelle
