// The desktop's media controls (the media keys, the desktop's player applet): what they show of
// the watched channel, and the commands they send, which reach the program as events.
#pragma once

#include <cstdint>
#include <string>

namespace vistrelle {

enum class MediaCommand : int32_t {
    Play,
    Pause,
    PlayPause,
    Stop,
    Next,
    Previous,
    Raise,
    Quit,
    SetVolume,  // with a value
};

// What the program asks of the web view's media element.
enum class MediaAction : int32_t {
    Pause,
    Resume,
    Stop,     // the download ends; the page stays
    Restart,  // the stream of the page shown is opened again
    SetVolume,
};

enum class PlaybackStatus : int32_t { Stopped, Playing, Paused };

// Everything the controls show, as the program decides it. Texts are UTF-8; empty ones are
// left out.
struct MediaState {
    PlaybackStatus status = PlaybackStatus::Stopped;
    int32_t track = 0;  // the number of the watch shown; 0: nothing watched
    std::string title;  // the song when known, otherwise the channel
    std::string album;  // the channel when the title is the song
    std::string genre;  // the channel's category
    std::string country;
    std::string address;  // the channel's stream address
    double volume = 1.0;  // from 0 to 1
    bool canPlay = false;
    bool canPause = false;
    bool canGoNext = false;
    bool canGoPrevious = false;
    friend bool operator==(const MediaState&, const MediaState&) = default;
};

// Implemented by a platform that has such controls; the program calls it whenever the state
// changes.
class MediaControlsUi {
public:
    virtual ~MediaControlsUi() = default;
    virtual void publish(const MediaState& state) = 0;
    // Brings MainWindow to the front, as the desktop allows.
    virtual void raiseWindow() = 0;
};

}  // namespace vistrelle
