#include "player/playback.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

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

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && lowered(text.substr(0, prefix.size())) == prefix;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

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

HlsHead readHlsHead(std::string_view bytes, std::string_view base) {
    HlsHead head;
    bool ended = false;
    bool recording = false;
    bool variants = false;
    bool variantNext = false;
    while (!bytes.empty()) {
        const size_t end = std::min(bytes.find('\n'), bytes.size());
        const std::string_view line = trimmed(bytes.substr(0, end));
        bytes.remove_prefix(std::min(end + 1, bytes.size()));
        if (startsWithNoCase(line, "#ext-x-targetduration:")) {
            const std::string_view value = trimmed(line.substr(22));
            double seconds = 0;
            const auto [rest, error] =
                std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (error == std::errc() && rest != value.data()) {
                head.targetDuration = seconds;
            }
        } else if (startsWithNoCase(line, "#ext-x-endlist")) {
            ended = true;
        } else if (startsWithNoCase(line, "#ext-x-playlist-type:vod")) {
            recording = true;
        } else if (startsWithNoCase(line, "#ext-x-stream-inf")) {
            variants = true;
            variantNext = head.firstVariant.empty();
        } else if (variantNext && !line.empty() && line.front() != '#') {
            head.firstVariant = resolveAddress(base, line);
            variantNext = false;
        }
    }
    head.live = !ended && !recording && !variants;
    return head;
}

StreamResolution::StreamResolution(std::string_view address,
                                   std::weak_ptr<PlaybackListener> listener)
    : address_(address), listener_(std::move(listener)) {}

StreamLimits StreamResolution::limits() const {
    return StreamLimits{kPlayerUserAgent,  kFetchByteLimit, kFetchTimeLimitMs,   kStallLimitMs,
                        kFetchTimeLimitMs, kPingIntervalMs, kUnresponsiveLimitMs};
}

void StreamResolution::tell(void (PlaybackListener::*what)()) {
    if (std::shared_ptr<PlaybackListener> listener = listener_.lock()) {
        (listener.get()->*what)();
    }
}

PlaybackStep StreamResolution::begin() {
    queue_.clear();
    fetchedUrls_.clear();
    failure_.clear();
    playing_.clear();
    formatName_.clear();
    reopenings_ = 0;
    fetches_ = 0;
    begun_ = true;
    everPlayed_ = false;
    icy_ = false;
    titlesOpen_ = false;
    titles_.reset();
    title_.clear();
    unplayableScheme_.clear();
    tell(&PlaybackListener::streamStarting);
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
    while (!queue_.empty() && fetches_ < kMaxFetches) {
        Candidate candidate = std::move(queue_.back());
        queue_.pop_back();
        if (!fetchedUrls_.insert(candidate.url).second) {
            note(PlaybackFailure::Loop);
            continue;
        }
        ++fetches_;
        current_ = std::move(candidate);
        return PlaybackStep{PlaybackStep::Action::Fetch, current_.url, {}, 0, current_.headers};
    }
    if (failure_.empty()) {
        note(PlaybackFailure::NoPlayable);
    }
    return fail(failure_);
}

PlaybackStep StreamResolution::play(const Candidate& candidate) {
    playing_ = candidate.url;
    playingHeaders_ = candidate.headers;
    reopenings_ = 0;
    return PlaybackStep{PlaybackStep::Action::Play, playing_, {}, 0, playingHeaders_};
}

PlaybackStep StreamResolution::fail(std::string line) {
    playing_.clear();
    titles_.reset();
    titlesOpen_ = false;
    tell(&PlaybackListener::streamFailed);
    return PlaybackStep{PlaybackStep::Action::Fail, address_, std::move(line), 0, {}};
}

PlaybackStep StreamResolution::redirected(const FetchResult& result) {
    const std::string target = resolveAddress(current_.url, result.location);
    if (target.empty() || !isPlayableAddress(target)) {
        note(PlaybackFailure::RedirectTarget);
        return next();
    }
    // A redirect back to an address already asked for goes round in a loop.
    if (fetchedUrls_.contains(target) || fetches_ >= kMaxFetches) {
        note(PlaybackFailure::Redirects);
        return next();
    }
    Candidate hop = current_;
    hop.url = target;
    queue_.push_back(std::move(hop));
    return next();
}

bool StreamResolution::refuseHls(const HlsHead& head) {
    if (head.live && head.targetDuration.has_value() && *head.targetDuration < 1) {
        note(PlaybackFailure::ShortTargetDuration);
        return true;
    }
    return false;
}

PlaybackStep StreamResolution::fetched(const FetchResult& result) {
    if (result.outcome == FetchOutcome::Redirected) {
        return redirected(result);
    }
    // A variant read on behalf of a multi-variant HLS playlist: unless it is refused, the
    // playlist plays, whatever came of the variant (the media element has its own ways).
    if (!current_.hlsPlaylist.empty()) {
        Candidate playlist = current_;
        playlist.url = std::exchange(playlist.hlsPlaylist, {});
        if (result.outcome == FetchOutcome::Answered &&
            refuseHls(readHlsHead(result.bytes, current_.url))) {
            return next();
        }
        return play(playlist);
    }
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
        case FetchOutcome::Redirected:
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
            icy_ = result.icy;
            return play(current_);
        case PlaylistKind::Hls: {
            formatName_.clear();
            icy_ = false;
            const HlsHead head = readHlsHead(result.bytes, base);
            if (refuseHls(head)) {
                return next();
            }
            // The variant the media element starts with is read first, within the fetches.
            if (!head.firstVariant.empty() && isPlayableAddress(head.firstVariant) &&
                !fetchedUrls_.contains(head.firstVariant) && fetches_ < kMaxFetches) {
                Candidate variant = current_;
                variant.url = head.firstVariant;
                variant.hlsPlaylist = current_.url;
                queue_.push_back(std::move(variant));
                return next();
            }
            return play(current_);
        }
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
    switch (report.event) {
        case MediaEvent::Volume:
            if (std::shared_ptr<PlaybackListener> listener = listener_.lock()) {
                listener->volumeChanged(report.muted ? 0.0 : std::clamp(report.volume, 0.0, 1.0));
            }
            return {};
        case MediaEvent::Lost:
            // A page lost before it asked for its stream (it may have been the previous
            // channel's trouble) gets one fresh start; otherwise the line says what happened.
            if (!begun_ && !lost_) {
                lost_ = true;
                return {};
            }
            return fail(failureLine(PlaybackFailure::Unresponsive));
        default:
            break;
    }
    if (playing_.empty()) {
        return {};
    }
    switch (report.event) {
        case MediaEvent::Playing:
            reopenings_ = 0;
            everPlayed_ = true;
            tell(&PlaybackListener::streamPlaying);
            if (icy_ && !titlesOpen_) {
                titlesOpen_ = true;
                return PlaybackStep{
                    PlaybackStep::Action::ReadTitles, playing_, {}, 0, playingHeaders_};
            }
            return {};
        case MediaEvent::Paused:
            tell(&PlaybackListener::streamPaused);
            // A paused radio downloads nothing for its titles; they are read again on playing.
            if (titlesOpen_) {
                titlesOpen_ = false;
                titles_.reset();
                return PlaybackStep{PlaybackStep::Action::EndTitles, {}, {}, 0, {}};
            }
            return {};
        case MediaEvent::NoData:
            if (everPlayed_) {
                break;  // a reopening that does not start is one more stop
            }
            // Like a server that does not answer the program: try the next entry.
            note(PlaybackFailure::NoAnswer);
            playing_.clear();
            return next();
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
        default:
            break;
    }
    if (reopenings_ >= kReopenings) {
        return fail(failureLine(PlaybackFailure::Stopped));
    }
    const int32_t delay = kReopenDelaysMs[reopenings_++];
    return PlaybackStep{PlaybackStep::Action::Play, playing_, {}, delay, playingHeaders_};
}

TitleStep StreamResolution::titlesAnswered(const FetchResult& head) {
    if (!titlesOpen_ || titles_) {
        return {};
    }
    const size_t interval =
        head.outcome == FetchOutcome::Answered ? metaIntervalOf(head.metaInterval) : 0;
    if (interval == 0) {
        // An answer without usable titles will not have them later; a connection that failed
        // is tried again when the stream plays again.
        icy_ = head.outcome != FetchOutcome::Answered;
        titlesOpen_ = false;
        return {};
    }
    titles_.emplace(interval);
    return TitleStep{true, false, title_};
}

TitleStep StreamResolution::titlesRead(std::string_view bytes) {
    if (!titles_) {
        return {};
    }
    TitleStep step{true, false, {}};
    if (bytes.empty()) {
        step.keepReading = false;  // the connection ended
    }
    // Of several titles in one chunk only the last is worth showing.
    const std::string before = title_;
    for (const std::string& block : titles_->read(bytes)) {
        IcyBlock read = readIcyBlock(block);
        if (read.kind == IcyBlock::Kind::Garbage) {
            // Out of step with the server: what follows would be audio read as titles.
            icy_ = false;
            step.keepReading = false;
            break;
        }
        if (read.kind == IcyBlock::Kind::Title) {
            title_ = titleText(read.title);
        }
    }
    step.changed = title_ != before;
    if (!step.keepReading) {
        titles_.reset();
        titlesOpen_ = false;
    }
    step.title = title_;
    if (step.changed) {
        if (std::shared_ptr<PlaybackListener> listener = listener_.lock()) {
            listener->titleChanged(title_);
        }
    }
    return step;
}

}  // namespace vistrelle
