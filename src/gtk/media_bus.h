// The desktop's media controls on Linux: the program as an MPRIS media player on the session bus
// (GDBus). It shows what the program publishes and passes every call on to the program as an
// event; it decides nothing. Without a session bus there are simply no such controls.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <string>

#include "ui/media_controls.h"
#include "ui/window_layer.h"

namespace vistrelle::gtk {

inline constexpr const char* kMediaBusName = "org.mpris.MediaPlayer2.vistrelle";
inline constexpr const char* kMediaBusPath = "/org/mpris/MediaPlayer2";

class MediaBus final : public MediaControlsUi {
public:
    // Connects to the session bus in the background; `raise` brings MainWindow up.
    MediaBus(EventSink& sink, std::function<void()> raise);
    MediaBus(const MediaBus&) = delete;
    MediaBus& operator=(const MediaBus&) = delete;
    ~MediaBus() override;

    void publish(const MediaState& state) override;
    void raiseWindow() override;

    // For tests: the bus name owned, empty while none is.
    const std::string& ownedName() const { return owned_; }

    // What the calls of the bus reach (public for the C callbacks).
    void call(const char* interface, const char* method, GVariant* parameters,
              GDBusMethodInvocation* invocation);
    GVariant* property(const char* interface, const char* name);
    bool setProperty(const char* name, GVariant* value, GError** error);
    void connected(GDBusConnection* connection);
    void nameAcquired(const char* name);
    void nameLost(const char* name);

private:
    void own(const std::string& name);
    GVariant* metadata() const;

    EventSink& sink_;
    std::function<void()> raise_;
    GCancellable* cancellable_ = nullptr;
    GDBusConnection* connection_ = nullptr;
    GDBusNodeInfo* info_ = nullptr;
    guint objects_[2] = {0, 0};
    guint owner_ = 0;
    std::string owned_;
    bool triedOwnName_ = false;
    MediaState state_;
};

}  // namespace vistrelle::gtk
