// The desktop's media controls for real: the program on a private session bus, called through
// GIO as a desktop's media applet calls it, while loopback radios play.
#include "gtk/media_bus.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "gtk_fixture.h"
#include "support/loopback_server.h"
#include "support/stream_answers.h"
#include "test_media.h"

namespace vistrelle::gtk {
namespace {

using vistrelle::testing::IcyStation;

constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A session bus of the test's own: a dbus-daemon that lives as long as the test, starts no
// services (a desktop's accessibility bus among them) and says nothing.
class PrivateBus {
public:
    PrivateBus() {
        gchar* folder = g_dir_make_tmp("vistrelle-bus-XXXXXX", nullptr);
        folder_ = folder != nullptr ? folder : "";
        g_free(folder);
        const std::string config = folder_ + "/bus.conf";
        const std::string text =
            "<busconfig><type>session</type><listen>unix:tmpdir=" + folder_ +
            "</listen><policy context=\"default\"><allow send_destination=\"*\"/>"
            "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>";
        g_file_set_contents(config.c_str(), text.c_str(), -1, nullptr);
        const std::string configArgument = "--config-file=" + config;
        const char* argv[] = {"dbus-daemon", configArgument.c_str(), "--nofork",
                              "--print-address=1", nullptr};
        gint output = -1;
        if (!g_spawn_async_with_pipes(
                nullptr, const_cast<gchar**>(argv), nullptr,
                static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                         G_SPAWN_STDERR_TO_DEV_NULL),
                nullptr, nullptr, &pid_, nullptr, &output, nullptr, nullptr)) {
            return;
        }
        char c = 0;
        while (read(output, &c, 1) == 1 && c != '\n') {
            address_ += c;
        }
        close(output);
        const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        had_ = old != nullptr;
        old_ = had_ ? old : "";
        g_setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), TRUE);
    }
    ~PrivateBus() {
        // The process's shared connection to the session bus (WebKit keeps one) would end the
        // process when the bus goes.
        if (GDBusConnection* shared = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
            g_dbus_connection_set_exit_on_close(shared, FALSE);
            g_object_unref(shared);
        }
        if (had_) {
            g_setenv("DBUS_SESSION_BUS_ADDRESS", old_.c_str(), TRUE);
        } else {
            g_unsetenv("DBUS_SESSION_BUS_ADDRESS");
        }
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            g_spawn_close_pid(pid_);
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    const std::string& address() const { return address_; }

private:
    GPid pid_ = 0;
    std::string folder_;
    std::string address_;
    std::string old_;
    bool had_ = false;
};

class MediaBusTest : public testing::GtkAppTest {
protected:
    void SetUp() override {
        GtkAppTest::SetUp();
        ASSERT_FALSE(testing::testMediaFolder().empty());
        ASSERT_FALSE(bus.address().empty()) << "no dbus-daemon";
        server.serve("/one", one.handler());
        server.serve("/two", two.handler());
        one.setTitle("First song");
        sandbox.write("channels.dat",
                      "Loopback|Radio One|128|Jazz|x|" + server.url("/one") + "|\r\n" +
                          "Loopback|Radio Two|128|Pop|x|" + server.url("/two") + "|\r\n" +
                          "Nowhere|Radio Gone|128|News|x|http://127.0.0.1:" +
                          std::to_string(vistrelle::testing::unusedLoopbackPort()) + "/|\r\n");
        startProgram();
        client = g_dbus_connection_new_for_address_sync(
            bus.address().c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        ASSERT_NE(client, nullptr);
        ASSERT_TRUE(runUntil([this] { return layer->mediaBus().ownedName() == kMediaBusName; }));
        subscription = g_dbus_connection_signal_subscribe(
            client, nullptr, "org.freedesktop.DBus.Properties", "PropertiesChanged", kMediaBusPath,
            nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
               GVariant* parameters, gpointer self) {
                gchar* text = g_variant_print(parameters, FALSE);
                static_cast<MediaBusTest*>(self)->changes.emplace_back(text);
                g_free(text);
            },
            this, nullptr);
    }

    void TearDown() override {
        if (client != nullptr) {
            g_dbus_connection_signal_unsubscribe(client, subscription);
            g_dbus_connection_close_sync(client, nullptr, nullptr);
            g_object_unref(client);
        }
        GtkAppTest::TearDown();
    }

    // A call of the bus, answered while the program runs; the error's name in `error`.
    GVariant* call(const char* interface, const char* method, GVariant* arguments = nullptr,
                   std::string* error = nullptr) {
        struct Answer {
            bool done = false;
            GVariant* value = nullptr;
            std::string error;
        };
        auto answer = std::make_shared<Answer>();
        g_dbus_connection_call(
            client, kMediaBusName, kMediaBusPath, interface, method, arguments, nullptr,
            G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
            [](GObject* source, GAsyncResult* result, gpointer data) {
                std::unique_ptr<std::shared_ptr<Answer>> out(
                    static_cast<std::shared_ptr<Answer>*>(data));
                GError* failure = nullptr;
                (*out)->value =
                    g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &failure);
                if (failure != nullptr) {
                    gchar* name = g_dbus_error_get_remote_error(failure);
                    (*out)->error = name != nullptr ? name : failure->message;
                    g_free(name);
                    g_error_free(failure);
                }
                (*out)->done = true;
            },
            new std::shared_ptr<Answer>(answer));
        EXPECT_TRUE(runUntil([&answer] { return answer->done; })) << method;
        if (error != nullptr) {
            *error = answer->error;
        } else {
            EXPECT_EQ(answer->error, "") << method;
        }
        return std::exchange(answer->value, nullptr);
    }
    void callAndForget(const char* interface, const char* method) {
        if (GVariant* value = call(interface, method)) {
            g_variant_unref(value);
        }
    }
    std::string command(const char* method) {
        std::string error;
        if (GVariant* value = call(kPlayer, method, nullptr, &error)) {
            g_variant_unref(value);
        }
        return error;
    }
    // A property of the player as GLib prints it ("'Playing'").
    std::string property(const char* name) {
        GVariant* value =
            call("org.freedesktop.DBus.Properties", "Get", g_variant_new("(ss)", kPlayer, name));
        if (value == nullptr) {
            return {};
        }
        GVariant* inner = nullptr;
        g_variant_get(value, "(v)", &inner);
        gchar* text = g_variant_print(inner, FALSE);
        std::string printed = text;
        g_free(text);
        g_variant_unref(inner);
        g_variant_unref(value);
        return printed;
    }
    bool becomes(const char* name, const std::string& printed) {
        return runUntil([&] { return property(name) == printed; }, 15000);
    }
    // The title line under the player, as the page shows it.
    std::string pageTitle() {
        std::pair<bool, std::string> result;
        webkit_web_view_evaluate_javascript(
            layer->web().webKitView(),
            "(function(){const t=document.getElementById('vistrelle-title');"
            "return t ? t.textContent : '';})()",
            -1, nullptr, nullptr, nullptr,
            [](GObject* view, GAsyncResult* async, gpointer data) {
                auto* out = static_cast<std::pair<bool, std::string>*>(data);
                if (JSCValue* value = webkit_web_view_evaluate_javascript_finish(
                        WEBKIT_WEB_VIEW(view), async, nullptr)) {
                    gchar* text = jsc_value_to_string(value);
                    out->second = text;
                    g_free(text);
                    g_object_unref(value);
                }
                out->first = true;
            },
            &result);
        runUntil([&result] { return result.first; });
        return result.second;
    }

    PrivateBus bus;
    vistrelle::testing::LoopbackServer server;
    const std::string tone = fileBytes(testing::testMediaFolder() + "/tone.mp3");
    IcyStation one{tone};
    IcyStation two{tone};
    GDBusConnection* client = nullptr;
    guint subscription = 0;
    std::vector<std::string> changes;
};

std::string metadataOf(const std::string& channel, const std::string& song, int track,
                       const std::string& genre, const std::string& url) {
    std::string printed = "{'mpris:trackid': <objectpath '/org/vistrelle/Vistrelle/Track/" +
                          std::to_string(track) + "'>, 'xesam:title': <'" +
                          (song.empty() ? channel : song) + "'>, ";
    if (!song.empty()) {
        printed += "'xesam:album': <'" + channel + "'>, ";
    }
    return printed + "'xesam:genre': <['" + genre + "']>, 'vistrelle:country': <'Loopback'>, " +
           "'xesam:url': <'" + url + "'>}";
}

TEST_F(MediaBusTest, StatusAndMetadataFollowTheCommandsAndTheStation) {
    EXPECT_EQ(property("PlaybackStatus"), "'Stopped'");
    EXPECT_EQ(property("Metadata"),
              "{'mpris:trackid': <objectpath '/org/mpris/MediaPlayer2/TrackList/NoTrack'>}");
    EXPECT_EQ(command("Next"), "");
    EXPECT_TRUE(
        becomes("Metadata", metadataOf("Radio One", "First song", 1, "Jazz", server.url("/one"))));
    EXPECT_EQ(property("PlaybackStatus"), "'Playing'");
    EXPECT_EQ(mainWindow().statusText(), " Now watching: Radio One");
    EXPECT_TRUE(runUntil([this] { return pageTitle() == "First song"; }));

    one.setTitle("Second <i>song</i>");
    EXPECT_TRUE(becomes(
        "Metadata", metadataOf("Radio One", "Second <i>song</i>", 1, "Jazz", server.url("/one"))));
    EXPECT_EQ(pageTitle(), "Second <i>song</i>");

    const struct {
        const char* method;
        const char* status;
    } steps[] = {{"Pause", "'Paused'"},
                 {"Play", "'Playing'"},
                 {"PlayPause", "'Paused'"},
                 {"PlayPause", "'Playing'"},
                 {"Stop", "'Stopped'"}};
    for (const auto& [method, status] : steps) {
        EXPECT_EQ(command(method), "");
        EXPECT_TRUE(becomes("PlaybackStatus", status)) << method;
    }
    // Stopped: the downloads end, the song is gone, the channel stays.
    EXPECT_TRUE(runUntil([this] { return server.open("/one") == 0; }));
    EXPECT_EQ(property("Metadata"), metadataOf("Radio One", "", 1, "Jazz", server.url("/one")));
    EXPECT_EQ(pageTitle(), "");
    const size_t requests = server.count("/one");
    EXPECT_EQ(command("Play"), "");
    EXPECT_TRUE(becomes(
        "Metadata", metadataOf("Radio One", "Second <i>song</i>", 1, "Jazz", server.url("/one"))));
    EXPECT_GT(server.count("/one"), requests);

    EXPECT_EQ(command("Next"), "");
    EXPECT_TRUE(becomes("Metadata", metadataOf("Radio Two", "", 2, "Pop", server.url("/two"))));
    EXPECT_EQ(mainWindow().statusText(), " Now watching: Radio Two");
    EXPECT_EQ(layer->list().selectedRow(), 1);
    EXPECT_EQ(command("Previous"), "");
    EXPECT_TRUE(becomes(
        "Metadata", metadataOf("Radio One", "Second <i>song</i>", 3, "Jazz", server.url("/one"))));
    // Every change was signalled.
    std::string signalled;
    for (const std::string& change : changes) {
        signalled += change + "\n";
    }
    for (const char* expected :
         {"'PlaybackStatus': <'Paused'>", "'PlaybackStatus': <'Stopped'>",
          "'xesam:title': <'Second <i>song</i>'>", "'xesam:title': <'Radio Two'>"}) {
        EXPECT_NE(signalled.find(expected), std::string::npos) << expected << "\n" << signalled;
    }
}

TEST_F(MediaBusTest, CallsWithWrongArgumentsOrOutOfPlaceAreAnsweredInEveryState) {
    // Each state, reached with the bus's own commands, and what it shows.
    const struct {
        const char* name;
        const char* reach;  // nothing: the state at start
        const char* status;
    } states[] = {{"nothing watched", nullptr, "'Stopped'"},
                  {"playing", "Next", "'Playing'"},  // and the element plays: the song shows
                  {"paused", "Pause", "'Paused'"},
                  {"stopped", "Stop", "'Stopped'"},
                  {"failed", "Previous", "'Stopped'"}};
    const struct {
        const char* interface;
        const char* method;
        const char* arguments;  // GVariant text, or null for none
        const char* error;
    } calls[] = {
        {kPlayer, "Seek", "('abc',)", "org.freedesktop.DBus.Error.InvalidArgs"},
        {kPlayer, "SetPosition", "(int64 5,)", "org.freedesktop.DBus.Error.InvalidArgs"},
        {kPlayer, "Play", "(1,)", "org.freedesktop.DBus.Error.InvalidArgs"},
        {kPlayer, "Frobnicate", nullptr, "org.freedesktop.DBus.Error.UnknownMethod"},
        {kPlayer, "OpenUri", "('file:///etc/passwd',)", "org.freedesktop.DBus.Error.NotSupported"},
        {"org.freedesktop.DBus.Properties", "Set",
         "('org.mpris.MediaPlayer2.Player', 'Volume', <'loud'>)",
         "org.freedesktop.DBus.Error.InvalidArgs"},
        {"org.freedesktop.DBus.Properties", "Set",
         "('org.mpris.MediaPlayer2.Player', 'PlaybackStatus', <'Playing'>)",
         "org.freedesktop.DBus.Error.InvalidArgs"},
        {"org.freedesktop.DBus.Properties", "Get", "('org.mpris.MediaPlayer2.Player', 'Colour')",
         "org.freedesktop.DBus.Error.InvalidArgs"},
        {"org.mpris.MediaPlayer2.TrackList", "GetTracksMetadata", "(@ao [],)",
         "org.freedesktop.DBus.Error.UnknownMethod"},
        // Seeking a live stream does nothing, and says nothing against it.
        {kPlayer, "Seek", "(int64 -1000000,)", ""},
        {kPlayer, "SetPosition", "(objectpath '/x', int64 0)", ""},
    };
    for (const auto& state : states) {
        if (state.reach != nullptr) {
            EXPECT_EQ(command(state.reach), "");
        }
        ASSERT_TRUE(becomes("PlaybackStatus", state.status)) << state.name;
        if (state.reach != nullptr && std::string(state.reach) == "Next") {
            ASSERT_TRUE(runUntil([this] { return pageTitle() == "First song"; }));
        }
        if (state.reach != nullptr && std::string(state.reach) == "Previous") {
            // Before Radio One, round to the last row: Radio Gone, which cannot be reached.
            ASSERT_TRUE(runUntil([this] { return property("CanPause") == "false"; }));
        }
        for (const auto& c : calls) {
            std::string error;
            GVariant* arguments =
                c.arguments != nullptr
                    ? g_variant_parse(nullptr, c.arguments, nullptr, nullptr, nullptr)
                    : nullptr;
            if (GVariant* value = call(c.interface, c.method, arguments, &error)) {
                g_variant_unref(value);
            }
            EXPECT_EQ(error, c.error) << state.name << ": " << c.method;
        }
        EXPECT_EQ(property("PlaybackStatus"), state.status) << state.name;
    }
    // Volumes beyond the range are held within it; a volume that is no number changes nothing.
    const std::pair<double, const char*> volumes[] = {
        {-1.0, "0.0"}, {std::nan(""), "0.0"}, {7.5, "1.0"}, {0.5, "0.5"}};
    for (const auto& [asked, shown] : volumes) {
        if (GVariant* value =
                call("org.freedesktop.DBus.Properties", "Set",
                     g_variant_new("(ssv)", kPlayer, "Volume", g_variant_new_double(asked)))) {
            g_variant_unref(value);
        }
        EXPECT_TRUE(becomes("Volume", shown)) << asked;
    }
    EXPECT_TRUE(messageTexts.empty());
}

TEST_F(MediaBusTest, RaiseShowsTheWindowAndQuitEndsTheProgramAsExitDoes) {
    mainWindow().hide();
    callAndForget("org.mpris.MediaPlayer2", "Raise");
    EXPECT_TRUE(runUntil([this] { return mainWindow().get_mapped(); }));
    EXPECT_EQ(command("Next"), "");
    ASSERT_TRUE(becomes("PlaybackStatus", "'Playing'"));
    // The program ends before the answer reaches the caller.
    g_dbus_connection_call(client, kMediaBusName, kMediaBusPath, "org.mpris.MediaPlayer2", "Quit",
                           nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    EXPECT_TRUE(runUntil([this] { return ended; }));
}

}  // namespace
}  // namespace vistrelle::gtk

namespace vistrelle::gtk {
namespace {

using NoSessionBusTest = testing::GtkAppTest;

// A desktop without a session bus: the program runs as ever, without media controls.
TEST_F(NoSessionBusTest, TheProgramRunsWithoutMediaControls) {
    const std::string address =
        g_getenv("DBUS_SESSION_BUS_ADDRESS") != nullptr ? g_getenv("DBUS_SESSION_BUS_ADDRESS") : "";
    const std::string runtime =
        g_getenv("XDG_RUNTIME_DIR") != nullptr ? g_getenv("XDG_RUNTIME_DIR") : "";
    g_unsetenv("DBUS_SESSION_BUS_ADDRESS");
    g_setenv("XDG_RUNTIME_DIR", sandbox.path().c_str(), TRUE);
    EXPECT_EQ(sessionBusAddress(), "");
    sandbox.write("channels.dat", "Loopback|Radio|1|x|x|http://127.0.0.1:9/|\r\n");
    startProgram();
    settle(300);
    EXPECT_EQ(layer->mediaBus().ownedName(), "");
    EXPECT_TRUE(messageTexts.empty());
    EXPECT_TRUE(exitThroughMenu());
    for (const auto& [name, value] :
         {std::pair("DBUS_SESSION_BUS_ADDRESS", address), std::pair("XDG_RUNTIME_DIR", runtime)}) {
        if (value.empty()) {
            g_unsetenv(name);
        } else {
            g_setenv(name, value.c_str(), TRUE);
        }
    }
}

}  // namespace
}  // namespace vistrelle::gtk
