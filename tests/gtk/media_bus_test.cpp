// The desktop's media controls for real: the program on a private session bus (CTest runs these
// tests under dbus-run-session), called through GIO as a desktop's media applet calls it, while
// loopback radios play.
#include "gtk/media_bus.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <utility>

#include "gtk/session_bus.h"
#include "gtk_fixture.h"
#include "support/stream_answers.h"
#include "test_media.h"

namespace vistrelle::gtk {
namespace {

constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";

class MediaBusTest : public testing::GtkAppTest {
protected:
    void SetUp() override {
        GtkAppTest::SetUp();
        if (sessionBusAddress().empty()) {
            GTEST_SKIP() << "no session bus: run under dbus-run-session";
        }
        server.serve("/one", one.handler());
        server.serve("/two", two.handler());
        one.setTitle("First song");
        sandbox.write("channels.dat",
                      "Loopback|Radio One|128|Jazz|x|" + server.url("/one") + "|\r\n" +
                          "Loopback|Radio Two|128|Pop|x|" + server.url("/two") + "|\r\n" +
                          "Loopback|Radio Gone|128|News|x|http://127.0.0.1:" +
                          std::to_string(vistrelle::testing::unusedLoopbackPort()) + "/|\r\n");
        startProgram();
        client = g_dbus_connection_new_for_address_sync(
            sessionBusAddress().c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        ASSERT_NE(client, nullptr);
        ASSERT_TRUE(runUntil([this] { return layer->mediaBus().ownedName() == kMediaBusName; }));
        g_dbus_connection_signal_subscribe(
            client, nullptr, kProperties, "PropertiesChanged", kMediaBusPath, nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
               GVariant* parameters, gpointer self) {
                gchar* text = g_variant_print(parameters, FALSE);
                static_cast<MediaBusTest*>(self)->signalled += std::string(text) + "\n";
                g_free(text);
            },
            this, nullptr);
    }

    void TearDown() override {
        if (client != nullptr) {
            g_dbus_connection_close_sync(client, nullptr, nullptr);
            g_object_unref(client);
        }
        GtkAppTest::TearDown();
    }

    // A call of the bus, answered while the program runs: the answer as GLib prints it, or the
    // error's name.
    std::string call(const char* interface, const char* method, GVariant* arguments = nullptr,
                     const char* to = kMediaBusName, const char* path = kMediaBusPath) {
        auto answer = std::make_shared<std::pair<bool, std::string>>();
        g_dbus_connection_call(
            client, to, path, interface, method, arguments, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000,
            nullptr,
            [](GObject* source, GAsyncResult* result, gpointer data) {
                std::unique_ptr<std::shared_ptr<std::pair<bool, std::string>>> out(
                    static_cast<std::shared_ptr<std::pair<bool, std::string>>*>(data));
                GError* error = nullptr;
                GVariant* value =
                    g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
                gchar* text = value != nullptr ? g_variant_print(value, FALSE)
                                               : g_dbus_error_get_remote_error(error);
                (*out)->second = text != nullptr ? text : "";
                (*out)->first = true;
                g_free(text);
                g_clear_error(&error);
                if (value != nullptr) {
                    g_variant_unref(value);
                }
            },
            new std::shared_ptr<std::pair<bool, std::string>>(answer));
        EXPECT_TRUE(runUntil([&answer] { return answer->first; })) << method;
        return answer->second;
    }
    std::string property(const char* name) {
        const std::string answer = call(kProperties, "Get", g_variant_new("(ss)", kPlayer, name));
        return answer.starts_with("(<") ? answer.substr(2, answer.size() - 5) : answer;
    }
    bool becomes(const char* name, const std::string& printed) {
        return runUntil([&] { return property(name) == printed; }, 15000);
    }
    // Every name of a media player on the bus, one a line.
    std::string mediaPlayerNames() {
        const std::string all = call("org.freedesktop.DBus", "ListNames", nullptr,
                                     "org.freedesktop.DBus", "/org/freedesktop/DBus");
        std::string names;
        for (size_t at = 0; (at = all.find("'org.mpris.MediaPlayer2.", at)) != std::string::npos;) {
            const size_t end = all.find('\'', at + 1);
            names += all.substr(at + 1, end - at - 1) + "\n";
            at = end;
        }
        return names;
    }
    std::string pageTitle() { return testing::shownSongTitle(layer->web().webKitView()); }

    vistrelle::testing::LoopbackServer server;
    vistrelle::testing::IcyStation one{testing::toneMp3()};
    vistrelle::testing::IcyStation two{testing::toneMp3()};
    GDBusConnection* client = nullptr;
    std::string signalled;  // the PropertiesChanged signals
};

std::string metadataOf(const std::string& channel, const std::string& song, int track,
                       const std::string& genre, const std::string& path) {
    return "{'mpris:trackid': <objectpath '/org/vistrelle/Vistrelle/Track/" +
           std::to_string(track) + "'>, 'xesam:title': <'" + (song.empty() ? channel : song) +
           "'>, " + (song.empty() ? "" : "'xesam:album': <'" + channel + "'>, ") +
           "'xesam:genre': <['" + genre + "']>, 'vistrelle:country': <'Loopback'>, " +
           "'xesam:url': <'http://127.0.0.1:" + path + "'>}";
}

TEST_F(MediaBusTest, StatusAndMetadataFollowTheCommandsAndTheStation) {
    const std::string first = std::to_string(server.port()) + "/one";
    const std::string second = std::to_string(server.port()) + "/two";
    EXPECT_EQ(property("PlaybackStatus"), "'Stopped'");
    EXPECT_EQ(property("Metadata"),
              "{'mpris:trackid': <objectpath '/org/mpris/MediaPlayer2/TrackList/NoTrack'>}");
    EXPECT_EQ(call(kPlayer, "Next"), "()");
    EXPECT_TRUE(becomes("Metadata", metadataOf("Radio One", "First song", 1, "Jazz", first)));
    EXPECT_EQ(property("PlaybackStatus"), "'Playing'");
    EXPECT_EQ(mainWindow().statusText(), " Now watching: Radio One");
    // The desktop shows one player: the web view's engine announces none of its own.
    EXPECT_EQ(mediaPlayerNames(), std::string(kMediaBusName) + "\n");
    EXPECT_TRUE(runUntil([this] { return pageTitle() == "First song"; }));
    one.setTitle("Second <i>song</i>");
    EXPECT_TRUE(
        becomes("Metadata", metadataOf("Radio One", "Second <i>song</i>", 1, "Jazz", first)));
    EXPECT_EQ(pageTitle(), "Second <i>song</i>");

    for (const auto& [method, status] : {std::pair("Pause", "'Paused'"),
                                         {"Play", "'Playing'"},
                                         {"PlayPause", "'Paused'"},
                                         {"PlayPause", "'Playing'"},
                                         {"Stop", "'Stopped'"}}) {
        EXPECT_EQ(call(kPlayer, method), "()");
        EXPECT_TRUE(becomes("PlaybackStatus", status)) << method;
    }
    // Stopped: the downloads end, the song is gone, the channel stays; Play opens it again.
    EXPECT_TRUE(runUntil([this] { return server.open("/one") == 0; }));
    EXPECT_EQ(property("Metadata"), metadataOf("Radio One", "", 1, "Jazz", first));
    EXPECT_EQ(pageTitle(), "");
    EXPECT_EQ(call(kPlayer, "Play"), "()");
    EXPECT_TRUE(
        becomes("Metadata", metadataOf("Radio One", "Second <i>song</i>", 1, "Jazz", first)));

    EXPECT_EQ(call(kPlayer, "Next"), "()");
    EXPECT_TRUE(becomes("Metadata", metadataOf("Radio Two", "", 2, "Pop", second)));
    EXPECT_EQ(mainWindow().statusText(), " Now watching: Radio Two");
    EXPECT_EQ(layer->list().selectedRow(), 1);
    EXPECT_EQ(call(kPlayer, "Previous"), "()");
    EXPECT_TRUE(
        becomes("Metadata", metadataOf("Radio One", "Second <i>song</i>", 3, "Jazz", first)));
    for (const char* change :
         {"'PlaybackStatus': <'Paused'>", "'PlaybackStatus': <'Stopped'>",
          "'xesam:title': <'Second <i>song</i>'>", "'xesam:title': <'Radio Two'>"}) {
        EXPECT_NE(signalled.find(change), std::string::npos) << change << "\n" << signalled;
    }
}

TEST_F(MediaBusTest, CallsWithWrongArgumentsOrOutOfPlaceAreAnsweredInEveryState) {
    const std::string invalid = "org.freedesktop.DBus.Error.InvalidArgs";
    const std::string unknown = "org.freedesktop.DBus.Error.UnknownMethod";
    const struct {
        const char* interface;
        const char* method;
        const char* arguments;  // GVariant text
        std::string answer;
    } calls[] = {
        {kPlayer, "Seek", "('abc',)", invalid},
        {kPlayer, "SetPosition", "(int64 5,)", invalid},
        {kPlayer, "Play", "(1,)", invalid},
        {kPlayer, "Frobnicate", "()", unknown},
        {kPlayer, "OpenUri", "('file:///etc/passwd',)", "org.freedesktop.DBus.Error.NotSupported"},
        {kProperties, "Set", "('org.mpris.MediaPlayer2.Player', 'Volume', <'loud'>)", invalid},
        {kProperties, "Set", "('org.mpris.MediaPlayer2.Player', 'PlaybackStatus', <''>)", invalid},
        {kProperties, "Get", "('org.mpris.MediaPlayer2.Player', 'Colour')", invalid},
        {"org.mpris.MediaPlayer2.TrackList", "GetTracksMetadata", "(@ao [],)", unknown},
        // Seeking a live stream does nothing, and says nothing against it.
        {kPlayer, "Seek", "(int64 -1000000,)", "()"},
        {kPlayer, "SetPosition", "(objectpath '/x', int64 0)", "()"},
    };
    // Each state, reached with the bus's own commands: nothing watched, playing (the song shows),
    // paused, stopped, failed (Radio Gone, the row before Radio One).
    for (const auto& [reach, status] : {std::pair("", "'Stopped'"),
                                        {"Next", "'Playing'"},
                                        {"Pause", "'Paused'"},
                                        {"Stop", "'Stopped'"},
                                        {"Previous", "'Stopped'"}}) {
        if (*reach != '\0') {
            EXPECT_EQ(call(kPlayer, reach), "()");
        }
        ASSERT_TRUE(becomes("PlaybackStatus", status)) << reach;
        ASSERT_TRUE(std::string(reach) != "Next" ||
                    runUntil([this] { return pageTitle() == "First song"; }));
        ASSERT_TRUE(std::string(reach) != "Previous" ||
                    runUntil([this] { return property("CanPause") == "false"; }));
        for (const auto& c : calls) {
            GVariant* arguments = g_variant_parse(nullptr, c.arguments, nullptr, nullptr, nullptr);
            EXPECT_EQ(call(c.interface, c.method, arguments), c.answer) << reach << c.method;
        }
        EXPECT_EQ(property("PlaybackStatus"), status) << reach;
    }
    // Volumes beyond the range are held within it; a volume that is no number changes nothing.
    for (const auto& [asked, shown] :
         {std::pair(-1.0, "0.0"), {std::nan(""), "0.0"}, {7.5, "1.0"}, {0.5, "0.5"}}) {
        call(kProperties, "Set",
             g_variant_new("(ssv)", kPlayer, "Volume", g_variant_new_double(asked)));
        EXPECT_TRUE(becomes("Volume", shown)) << asked;
    }
    EXPECT_TRUE(messageTexts.empty());
}

TEST_F(MediaBusTest, RaiseShowsTheWindowAndQuitEndsTheProgramAsExitDoes) {
    mainWindow().hide();
    EXPECT_EQ(call("org.mpris.MediaPlayer2", "Raise"), "()");
    EXPECT_TRUE(runUntil([this] { return mainWindow().get_mapped(); }));
    // The program ends before the answer reaches the caller.
    g_dbus_connection_call(client, kMediaBusName, kMediaBusPath, "org.mpris.MediaPlayer2", "Quit",
                           nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    EXPECT_TRUE(runUntil([this] { return ended; }));
}

using NoSessionBusTest = testing::GtkAppTest;

// A desktop without a session bus: the program runs as ever, without media controls.
TEST_F(NoSessionBusTest, TheProgramRunsWithoutMediaControls) {
    const std::string runtime =
        g_getenv("XDG_RUNTIME_DIR") != nullptr ? g_getenv("XDG_RUNTIME_DIR") : "";
    g_unsetenv("DBUS_SESSION_BUS_ADDRESS");
    g_setenv("XDG_RUNTIME_DIR", sandbox.path().c_str(), TRUE);
    sandbox.write("channels.dat", "Loopback|Radio|1|x|x|http://127.0.0.1:9/|\r\n");
    // Without an address no connection is even tried: nothing can come later.
    startProgram();
    EXPECT_EQ(layer->mediaBus().ownedName(), "");
    EXPECT_TRUE(messageTexts.empty());
    EXPECT_TRUE(exitThroughMenu());
    if (runtime.empty()) {
        g_unsetenv("XDG_RUNTIME_DIR");
    } else {
        g_setenv("XDG_RUNTIME_DIR", runtime.c_str(), TRUE);
    }
}

}  // namespace
}  // namespace vistrelle::gtk
