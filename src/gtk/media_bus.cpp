#include "gtk/media_bus.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "gtk/session_bus.h"

namespace vistrelle::gtk {

namespace {

constexpr const char* kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
constexpr const char* kIdentity = "Vistrelle";
constexpr const char* kDesktopEntry = "org.vistrelle.Vistrelle";

constexpr const char* kInterfaces = R"XML(<node>
  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="DesktopEntry" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg name="Offset" type="x" direction="in"/></method>
    <method name="SetPosition">
      <arg name="TrackId" type="o" direction="in"/>
      <arg name="Position" type="x" direction="in"/>
    </method>
    <method name="OpenUri"><arg name="Uri" type="s" direction="in"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="Rate" type="d" access="readwrite"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="readwrite"/>
    <property name="Position" type="x" access="read">
      <annotation name="org.freedesktop.DBus.Property.EmitsChangedSignal" value="false"/>
    </property>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
</node>)XML";

// The commands of the bus's methods.
const struct {
    const char* method;
    MediaCommand command;
} kMethods[] = {
    {"Raise", MediaCommand::Raise}, {"Quit", MediaCommand::Quit},
    {"Next", MediaCommand::Next},   {"Previous", MediaCommand::Previous},
    {"Pause", MediaCommand::Pause}, {"PlayPause", MediaCommand::PlayPause},
    {"Stop", MediaCommand::Stop},   {"Play", MediaCommand::Play},
};

// Texts on the bus must be UTF-8; the program's are, this only makes sure.
GVariant* text(const std::string& value) {
    if (g_utf8_validate(value.data(), static_cast<gssize>(value.size()), nullptr)) {
        return g_variant_new_string(value.c_str());
    }
    gchar* valid = g_utf8_make_valid(value.data(), static_cast<gssize>(value.size()));
    GVariant* variant = g_variant_new_string(valid);
    g_free(valid);
    return variant;
}

const char* statusName(PlaybackStatus status) {
    switch (status) {
        case PlaybackStatus::Playing:
            return "Playing";
        case PlaybackStatus::Paused:
            return "Paused";
        case PlaybackStatus::Stopped:
            break;
    }
    return "Stopped";
}

void onMethodCall(GDBusConnection* /*connection*/, const gchar* /*sender*/, const gchar* /*path*/,
                  const gchar* interface, const gchar* method, GVariant* parameters,
                  GDBusMethodInvocation* invocation, gpointer self) {
    static_cast<MediaBus*>(self)->call(interface, method, parameters, invocation);
}

GVariant* onGetProperty(GDBusConnection* /*connection*/, const gchar* /*sender*/,
                        const gchar* /*path*/, const gchar* interface, const gchar* name,
                        GError** /*error*/, gpointer self) {
    return static_cast<MediaBus*>(self)->property(interface, name);
}

gboolean onSetProperty(GDBusConnection* /*connection*/, const gchar* /*sender*/,
                       const gchar* /*path*/, const gchar* /*interface*/, const gchar* name,
                       GVariant* value, GError** error, gpointer self) {
    return static_cast<MediaBus*>(self)->setProperty(name, value, error) ? TRUE : FALSE;
}

const GDBusInterfaceVTable kVTable = {onMethodCall, onGetProperty, onSetProperty, {}};

void onConnected(GObject* /*source*/, GAsyncResult* result, gpointer self) {
    GError* error = nullptr;
    GDBusConnection* connection = g_dbus_connection_new_for_address_finish(result, &error);
    // Cancelled: the controls are gone already. Any other error: no bus, no controls.
    const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    g_clear_error(&error);
    if (connection != nullptr && !cancelled) {
        static_cast<MediaBus*>(self)->connected(connection);
    } else if (connection != nullptr) {
        g_object_unref(connection);
    }
}

void onNameAcquired(GDBusConnection* /*connection*/, const gchar* name, gpointer self) {
    static_cast<MediaBus*>(self)->nameAcquired(name);
}

void onNameLost(GDBusConnection* /*connection*/, const gchar* name, gpointer self) {
    static_cast<MediaBus*>(self)->nameLost(name);
}

}  // namespace

MediaBus::MediaBus(EventSink& sink, std::function<void()> raise)
    : sink_(sink), raise_(std::move(raise)), cancellable_(g_cancellable_new()) {
    info_ = g_dbus_node_info_new_for_xml(kInterfaces, nullptr);
    const std::string address = sessionBusAddress();
    if (address.empty()) {
        return;
    }
    g_dbus_connection_new_for_address(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, cancellable_, onConnected, this);
}

MediaBus::~MediaBus() {
    g_cancellable_cancel(cancellable_);
    g_object_unref(cancellable_);
    if (owner_ != 0) {
        g_bus_unown_name(owner_);
    }
    if (connection_ != nullptr) {
        for (guint object : objects_) {
            if (object != 0) {
                g_dbus_connection_unregister_object(connection_, object);
            }
        }
        // Closing releases the name at once for whoever comes next.
        g_dbus_connection_close_sync(connection_, nullptr, nullptr);
        g_object_unref(connection_);
    }
    g_dbus_node_info_unref(info_);
}

void MediaBus::connected(GDBusConnection* connection) {
    connection_ = connection;
    g_dbus_connection_set_exit_on_close(connection_, FALSE);
    for (size_t i = 0; i < 2; ++i) {
        objects_[i] = g_dbus_connection_register_object(
            connection_, kMediaBusPath, info_->interfaces[i], &kVTable, this, nullptr, nullptr);
    }
    own(kMediaBusName);
}

void MediaBus::own(const std::string& name) {
    if (owner_ != 0) {
        g_bus_unown_name(owner_);
    }
    owner_ =
        g_bus_own_name_on_connection(connection_, name.c_str(), G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                                     onNameAcquired, onNameLost, this, nullptr);
}

void MediaBus::nameAcquired(const char* name) {
    owned_ = name;
}

void MediaBus::nameLost(const char* /*name*/) {
    owned_.clear();
    // Another program of ours has the name: this one takes its own, as players do.
    if (!triedOwnName_ && connection_ != nullptr && !g_dbus_connection_is_closed(connection_)) {
        triedOwnName_ = true;
        own(std::string(kMediaBusName) + ".instance" + std::to_string(getpid()));
    }
}

void MediaBus::publish(const MediaState& state) {
    const MediaState old = state_;
    state_ = state;
    if (connection_ == nullptr) {
        return;
    }
    GVariantBuilder changed;
    g_variant_builder_init(&changed, G_VARIANT_TYPE("a{sv}"));
    const struct {
        const char* name;
        bool differs;
    } properties[] = {
        {"PlaybackStatus", old.status != state.status},
        {"Metadata", old.track != state.track || old.title != state.title ||
                         old.album != state.album || old.genre != state.genre ||
                         old.country != state.country || old.address != state.address},
        {"Volume", old.volume != state.volume},
        {"CanPlay", old.canPlay != state.canPlay},
        {"CanPause", old.canPause != state.canPause},
        {"CanGoNext", old.canGoNext != state.canGoNext},
        {"CanGoPrevious", old.canGoPrevious != state.canGoPrevious},
    };
    bool any = false;
    for (const auto& [name, differs] : properties) {
        if (differs) {
            g_variant_builder_add(&changed, "{sv}", name, property(kPlayerInterface, name));
            any = true;
        }
    }
    if (!any) {
        g_variant_builder_clear(&changed);
        return;
    }
    g_dbus_connection_emit_signal(
        connection_, nullptr, kMediaBusPath, "org.freedesktop.DBus.Properties", "PropertiesChanged",
        g_variant_new("(sa{sv}as)", kPlayerInterface, &changed, nullptr), nullptr);
}

void MediaBus::raiseWindow() {
    if (raise_) {
        raise_();
    }
}

void MediaBus::call(const char* interface, const char* method, GVariant* /*parameters*/,
                    GDBusMethodInvocation* invocation) {
    if (std::strcmp(method, "OpenUri") == 0) {
        g_dbus_method_invocation_return_dbus_error(
            invocation, "org.freedesktop.DBus.Error.NotSupported",
            "Vistrelle plays the channels of its catalogue only");
        return;
    }
    // Seeking does nothing in a live stream (CanSeek is false).
    g_dbus_method_invocation_return_value(invocation, nullptr);
    for (const auto& [name, command] : kMethods) {
        if (std::strcmp(method, name) == 0 &&
            (std::strcmp(interface, kRootInterface) == 0) ==
                (command == MediaCommand::Raise || command == MediaCommand::Quit)) {
            sink_.mediaCommand(command, 0);
        }
    }
}

GVariant* MediaBus::metadata() const {
    GVariantBuilder entries;
    g_variant_builder_init(&entries, G_VARIANT_TYPE("a{sv}"));
    if (state_.track == 0) {
        g_variant_builder_add(&entries, "{sv}", "mpris:trackid",
                              g_variant_new_object_path(kNoTrack));
        return g_variant_builder_end(&entries);
    }
    const std::string track = "/org/vistrelle/Vistrelle/Track/" + std::to_string(state_.track);
    g_variant_builder_add(&entries, "{sv}", "mpris:trackid",
                          g_variant_new_object_path(track.c_str()));
    const auto add = [&entries](const char* key, const std::string& value, bool list) {
        if (value.empty()) {
            return;
        }
        GVariant* item = text(value);
        g_variant_builder_add(&entries, "{sv}", key,
                              list ? g_variant_new_array(G_VARIANT_TYPE_STRING, &item, 1) : item);
    };
    add("xesam:title", state_.title, false);
    add("xesam:album", state_.album, false);
    add("xesam:genre", state_.genre, true);
    add("vistrelle:country", state_.country, false);
    add("xesam:url", state_.address, false);
    return g_variant_builder_end(&entries);
}

GVariant* MediaBus::property(const char* interface, const char* name) {
    const std::string_view is = name;
    if (std::strcmp(interface, kRootInterface) == 0) {
        if (is == "CanQuit" || is == "CanRaise") {
            return g_variant_new_boolean(TRUE);
        }
        if (is == "HasTrackList") {
            return g_variant_new_boolean(FALSE);
        }
        if (is == "Identity") {
            return g_variant_new_string(kIdentity);
        }
        if (is == "DesktopEntry") {
            return g_variant_new_string(kDesktopEntry);
        }
        return g_variant_new_strv(nullptr, 0);  // no addresses or files are opened from outside
    }
    if (is == "PlaybackStatus") {
        return g_variant_new_string(statusName(state_.status));
    }
    if (is == "Metadata") {
        return metadata();
    }
    if (is == "Volume") {
        return g_variant_new_double(state_.volume);
    }
    if (is == "Position") {
        return g_variant_new_int64(0);
    }
    if (is == "Rate" || is == "MinimumRate" || is == "MaximumRate") {
        return g_variant_new_double(1.0);
    }
    const bool flag = is == "CanGoNext"       ? state_.canGoNext
                      : is == "CanGoPrevious" ? state_.canGoPrevious
                      : is == "CanPlay"       ? state_.canPlay
                      : is == "CanPause"      ? state_.canPause
                                              : is == "CanControl";
    return g_variant_new_boolean(flag ? TRUE : FALSE);
}

bool MediaBus::setProperty(const char* name, GVariant* value, GError** /*error*/) {
    if (std::strcmp(name, "Volume") == 0) {
        sink_.mediaCommand(MediaCommand::SetVolume, g_variant_get_double(value));
    }
    return true;  // a rate other than 1 is ignored, as players without rates do
}

}  // namespace vistrelle::gtk
