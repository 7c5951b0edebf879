// The line the status bar shows when a channel cannot be played, one wording per reason.
#include <string>

#include "player/playback.h"
#include "ui/texts.h"

namespace vistrelle {

std::string failureLine(PlaybackFailure failure, std::string_view detail) {
    std::string line(texts::kCannotPlay);
    switch (failure) {
        case PlaybackFailure::Unreachable:
            line += texts::kUnreachable;
            break;
        case PlaybackFailure::NoAnswer:
            line += texts::kNoAnswerWithin;
            line += std::to_string(kFetchTimeLimitMs / 1000) + " s";
            break;
        case PlaybackFailure::HttpError:
            line += texts::kHttpError;
            line += detail;
            break;
        case PlaybackFailure::NoPlayable:
            line += texts::kNoPlayableEntry;
            break;
        case PlaybackFailure::Format:
            if (detail.empty()) {
                line += texts::kUnplayableFormat;
            } else {
                line += texts::kTheFormat;
                line += detail;
                line += texts::kCannotBePlayedHere;
            }
            break;
        case PlaybackFailure::Protocol:
            if (detail.empty()) {
                line += texts::kNotAWebAddress;
            } else {
                line += texts::kTheProtocol;
                line += detail;
                line += texts::kProtocolCannotBePlayed;
            }
            break;
        case PlaybackFailure::Loop:
            line += texts::kPlaylistLoop;
            break;
        case PlaybackFailure::TooDeep:
            line += texts::kPlaylistsNestedBeyond;
            line += std::to_string(kMaxNestedPlaylists);
            line += texts::kDeep;
            break;
        case PlaybackFailure::Stopped:
            line += texts::kStreamStopped;
            break;
        case PlaybackFailure::LocalFiles:
            line += texts::kOnlyLocalFiles;
            break;
        case PlaybackFailure::ShortTargetDuration:
            line += texts::kShortTargetDuration;
            break;
        case PlaybackFailure::Redirects:
            line += texts::kTooManyRedirects;
            break;
        case PlaybackFailure::RedirectTarget:
            line += texts::kUnplayableRedirect;
            break;
        case PlaybackFailure::Unresponsive:
            line += texts::kPlayerUnresponsive;
            break;
    }
    return line;
}

}  // namespace vistrelle
