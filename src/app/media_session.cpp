#include "app/media_session.h"

#include <algorithm>
#include <cmath>

#include "app/app.h"
#include "catalog/channel.h"
#include "ui/display_text.h"
#include "ui/ids.h"

namespace vistrelle {

namespace {

MediaOutcome element(MediaAction action, std::optional<MediaPhase> phase = std::nullopt) {
    return MediaOutcome{MediaOutcome::Kind::Element, action, phase, 0};
}

}  // namespace

MediaOutcome mediaOutcome(MediaPhase phase, MediaCommand command) {
    using Kind = MediaOutcome::Kind;
    using enum MediaPhase;
    switch (command) {
        case MediaCommand::Next:
            return MediaOutcome{Kind::Watch, MediaAction::Pause, std::nullopt, 1};
        case MediaCommand::Previous:
            return MediaOutcome{Kind::Watch, MediaAction::Pause, std::nullopt, -1};
        case MediaCommand::Raise:
            return MediaOutcome{Kind::Raise};
        case MediaCommand::Quit:
            return MediaOutcome{Kind::Quit};
        case MediaCommand::SetVolume:
            return MediaOutcome{Kind::Volume, MediaAction::SetVolume, std::nullopt, 0};
        case MediaCommand::Play:
            if (phase == Paused) {
                return element(MediaAction::Resume);
            }
            if (phase == Stopped || phase == Failed) {
                return element(MediaAction::Restart, Starting);
            }
            return {};
        case MediaCommand::Pause:
            // A stream still starting has nothing to hold: pausing it stops it.
            if (phase == Playing) {
                return element(MediaAction::Pause);
            }
            return phase == Starting ? element(MediaAction::Stop, Stopped) : MediaOutcome{};
        case MediaCommand::PlayPause:
            return phase == Playing || phase == Starting ? mediaOutcome(phase, MediaCommand::Pause)
                                                         : mediaOutcome(phase, MediaCommand::Play);
        case MediaCommand::Stop:
            if (phase == Starting || phase == Playing || phase == Paused) {
                return element(MediaAction::Stop, Stopped);
            }
            return {};
    }
    return {};
}

int32_t neighbourRow(int32_t watchedRow, int32_t selectedRow, int32_t rowCount, int32_t step) {
    if (rowCount <= 0) {
        return -1;
    }
    const int32_t from = watchedRow >= 0 && watchedRow < rowCount     ? watchedRow
                         : selectedRow >= 0 && selectedRow < rowCount ? selectedRow
                                                                      : -1;
    if (from < 0) {
        return step > 0 ? 0 : rowCount - 1;
    }
    return static_cast<int32_t>((static_cast<int64_t>(from) + step + rowCount) % rowCount);
}

std::optional<double> mediaVolume(double requested) {
    if (std::isnan(requested)) {
        return std::nullopt;
    }
    return std::clamp(requested, 0.0, 1.0);
}

MediaSession::MediaSession(MediaControlsUi* ui) : ui_(ui) {}

void MediaSession::setPhase(MediaPhase phase) {
    phase_ = phase;
    if (phase == MediaPhase::Stopped || phase == MediaPhase::Failed ||
        phase == MediaPhase::Starting) {
        song_.clear();
    }
    publish();
}

void MediaSession::setRowCount(size_t rows) {
    rows_ = rows;
    publish();
}

void MediaSession::watching(const Channel& channel) {
    ++track_;
    channel_ = displayText(channel.name());
    genre_ = displayText(channel.category());
    country_ = displayText(channel.country());
    address_ = displayText(channel.streamUrl());
    setPhase(MediaPhase::Starting);
}

void MediaSession::streamStarting() {
    setPhase(MediaPhase::Starting);
}

void MediaSession::streamPlaying() {
    setPhase(MediaPhase::Playing);
}

void MediaSession::streamPaused() {
    if (phase_ == MediaPhase::Playing || phase_ == MediaPhase::Starting) {
        setPhase(MediaPhase::Paused);
    }
}

void MediaSession::streamFailed() {
    setPhase(MediaPhase::Failed);
}

void MediaSession::titleChanged(const std::string& title) {
    song_ = title;
    publish();
}

void MediaSession::volumeChanged(double volume) {
    // The element keeps its volume in single precision: the same volume, told back, is no news.
    if (std::abs(volume - volume_) > 1e-6) {
        volume_ = volume;
        publish();
    }
}

void MediaSession::publish() {
    MediaState state;
    switch (phase_) {
        case MediaPhase::Starting:
        case MediaPhase::Playing:
            state.status = PlaybackStatus::Playing;
            break;
        case MediaPhase::Paused:
            state.status = PlaybackStatus::Paused;
            break;
        default:
            state.status = PlaybackStatus::Stopped;
            break;
    }
    if (phase_ != MediaPhase::Idle) {
        state.track = track_;
        state.title = song_.empty() ? channel_ : song_;
        state.album = song_.empty() ? std::string() : channel_;
        state.genre = genre_;
        state.country = country_;
        state.address = address_;
    }
    state.volume = volume_;
    state.canPlay = phase_ != MediaPhase::Idle;
    state.canPause = phase_ == MediaPhase::Starting || phase_ == MediaPhase::Playing ||
                     phase_ == MediaPhase::Paused;
    state.canGoNext = rows_ > 0;
    state.canGoPrevious = rows_ > 0;
    if (published_ && state == shown_) {
        return;
    }
    shown_ = std::move(state);
    published_ = true;
    if (ui_ != nullptr) {
        ui_->publish(shown_);
    }
}

bool App::dispatchMediaCommand(MediaCommand command, double value) {
    const MediaOutcome outcome = mediaOutcome(media->phase(), command);
    WebView* view = windows_.webView();
    switch (outcome.kind) {
        case MediaOutcome::Kind::Nothing:
            break;
        case MediaOutcome::Kind::Element:
            if (view != nullptr) {
                view->controlMedia(outcome.action, 0);
            }
            if (outcome.phase) {
                media->setPhase(*outcome.phase);
            }
            break;
        case MediaOutcome::Kind::Volume:
            if (const std::optional<double> volume = mediaVolume(value)) {
                if (view != nullptr) {
                    view->controlMedia(MediaAction::SetVolume, *volume);
                }
                media->volumeChanged(*volume);
            }
            break;
        case MediaOutcome::Kind::Watch: {
            // Exactly what a double click on that row does.
            int32_t watched = -1;
            const auto& shown = catalog.shownChannels;
            const auto found = std::find_if(shown.begin(), shown.end(),
                                            [](const Channel& c) { return c.watching != 0; });
            if (found != shown.end()) {
                watched = static_cast<int32_t>(found - shown.begin());
            }
            const int32_t row = neighbourRow(watched, windows_.channelList().selectedRow(),
                                             static_cast<int32_t>(shown.size()), outcome.rowStep);
            if (row >= 0) {
                windows_.channelList().selectRow(row);
                dispatchControlEvent(kChannelList, ControlAction::DoubleClick);
            }
            break;
        }
        case MediaOutcome::Kind::Raise:
            if (MediaControlsUi* controls = layer_.mediaControls()) {
                controls->raiseWindow();
            }
            break;
        case MediaOutcome::Kind::Quit:
            return true;  // as Exit
    }
    return false;
}

}  // namespace vistrelle
