// The desktop's media controls as the program runs them: where the watched channel's stream is,
// what each command does there, and what the controls show.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "player/playback.h"
#include "ui/media_controls.h"

namespace vistrelle {

class Channel;

enum class MediaPhase {
    Idle,      // nothing watched yet
    Starting,  // a watch or a restart, until the element plays
    Playing,
    Paused,
    Stopped,  // by the user
    Failed,   // the failure line is shown
};

// What a command comes to.
struct MediaOutcome {
    enum class Kind { Nothing, Element, Watch, Volume, Raise, Quit };
    Kind kind = Kind::Nothing;
    MediaAction action = MediaAction::Pause;  // Element
    // Element: the phase it leads to at once; none when the element tells it (pausing and
    // resuming), so that what it says late never undoes a later command.
    std::optional<MediaPhase> phase = std::nullopt;
    int32_t rowStep = 0;  // Watch: 1 the next row, -1 the previous one
    friend bool operator==(const MediaOutcome&, const MediaOutcome&) = default;
};
MediaOutcome mediaOutcome(MediaPhase phase, MediaCommand command);

// The row Next (`step` 1) or Previous (-1) watches: the one after or before the watched row when
// the list shows it, else the selected row; wrapping round. With neither, Next takes the first
// row and Previous the last. -1 when the list is empty.
int32_t neighbourRow(int32_t watchedRow, int32_t selectedRow, int32_t rowCount, int32_t step);

// A volume the controls ask for, from 0 to 1; nullopt when it is no number.
std::optional<double> mediaVolume(double requested);

class MediaSession final : public PlaybackListener {
public:
    // `ui` may be null: the platform has no such controls.
    explicit MediaSession(MediaControlsUi* ui);

    MediaPhase phase() const { return phase_; }
    const MediaState& state() const { return shown_; }
    // A command carried out: the phase it led to.
    void setPhase(MediaPhase phase);
    // The number of rows the list shows (Next and Previous need one).
    void setRowCount(size_t rows);

    // PlaybackListener.
    void watching(const Channel& channel) override;
    void streamStarting() override;
    void streamPlaying() override;
    void streamPaused() override;
    void streamFailed() override;
    void titleChanged(const std::string& title) override;
    void volumeChanged(double volume) override;

private:
    // Tells the controls when what they show changed.
    void publish();

    MediaControlsUi* ui_;
    MediaPhase phase_ = MediaPhase::Idle;
    int32_t track_ = 0;
    std::string channel_;
    std::string genre_;
    std::string country_;
    std::string address_;
    std::string song_;
    double volume_ = 1.0;
    size_t rows_ = 0;
    MediaState shown_;
    bool published_ = false;
};

}  // namespace vistrelle
