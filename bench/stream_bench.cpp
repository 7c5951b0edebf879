// Benchmark of the Linux stream host: the time from a watch to the media element's first
// "playing" on loopback (a direct stream, a two-level playlist, HLS), and the memory of the web
// process after 10 and after 100 watches of alternating channels. Run on a display
// (scripts/with-xvfb); media made by gst-launch-1.0 and served by a loopback server.
#include <dirent.h>
#include <gtkmm/main.h>
#include <gtkmm/window.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "gtk/loop_pump.h"
#include "gtk/test_media.h"
#include "gtk/web_view.h"
#include "player/pages.h"
#include "player/playback.h"
#include "player/web_writer.h"

namespace {

using namespace vistrelle;

using gtk::testing::LoopPump;

// The resident memory of this process's web processes, in KiB.
long webProcessKib() {
    long total = 0;
    DIR* proc = opendir("/proc");
    for (dirent* entry = proc ? readdir(proc) : nullptr; entry; entry = readdir(proc)) {
        const std::string dir = std::string("/proc/") + entry->d_name;
        std::ifstream status(dir + "/status");
        std::string line;
        std::string name;
        long parent = 0;
        long rss = 0;
        while (std::getline(status, line)) {
            if (line.starts_with("Name:")) {
                name = line.substr(line.find_first_not_of(" \t", 5));
            } else if (line.starts_with("PPid:")) {
                parent = std::stol(line.substr(5));
            } else if (line.starts_with("VmRSS:")) {
                rss = std::stol(line.substr(6));
            }
        }
        if (parent == getpid() && name.starts_with("WebKitWebProces")) {
            total += rss;
        }
    }
    if (proc) {
        closedir(proc);
    }
    return total;
}

struct Bench {
    gtk::GtkWebView web;
    LoopPump pump;
    bool playing = false;

    Bench() {
        web.streamHost().setMediaObserver(
            [this](MediaEvent event) { playing = playing || event == MediaEvent::Playing; });
    }

    // Seconds from the watch to the first "playing"; negative when it never came.
    double watch(const std::string& address) {
        playing = false;
        const gint64 start = g_get_monotonic_time();
        web.hostStream(std::make_unique<StreamResolution>(address));
        writeWebViewDocument(&web, playerPage(address, 0), pump, pump);
        while (!playing && g_get_monotonic_time() - start < 20000000) {
            g_main_context_iteration(nullptr, TRUE);
        }
        return playing ? (g_get_monotonic_time() - start) / 1e6 : -1;
    }
    void settle(int ms) {
        const gint64 until = g_get_monotonic_time() + ms * 1000;
        while (g_get_monotonic_time() < until) {
            g_main_context_iteration(nullptr, FALSE);
            g_usleep(5000);
        }
    }
};

}  // namespace

int main() {
    gtk_init(nullptr, nullptr);
    Gtk::Main::init_gtkmm_internals();
    if (gtk::testing::testMediaFolder().empty()) {
        std::printf("gst-launch-1.0 could not make the media\n");
        return 1;
    }
    testing::LoopbackServer server;
    server.serveFolder("", gtk::testing::testMediaFolder());
    server.serve("/outer.m3u", {200, "#EXTM3U\n" + server.url("/inner.pls\n")});
    server.serve("/inner.pls", {200, "[playlist]\nNumberOfEntries=1\nFile1=/tone.ogg\n"});
    Gtk::Window window;
    window.set_default_size(480, 360);
    auto bench = std::make_unique<Bench>();
    window.add(bench->web.widget());
    window.show_all();
    bench->watch(server.url("/tone.mp3"));  // the web process and GStreamer started once

    std::printf("Stream host benchmark (loopback, %ld cores; median of 7 watches)\n",
                sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("%-28s %10s %10s\n", "watch to first \"playing\"", "median s", "target s");
    const struct {
        const char* name;
        const char* path;
        double target;
    } cases[] = {{"direct stream (Ogg)", "/tone.ogg", 0.5},
                 {"two-level playlist", "/outer.m3u", 1.0},
                 {"HLS (TS, H.264 + AAC)", "/hls/index.m3u8", 1.0}};
    for (const auto& c : cases) {
        std::vector<double> times;
        for (int i = 0; i < 7; ++i) {
            times.push_back(bench->watch(server.url(c.path)));
        }
        std::sort(times.begin(), times.end());
        std::printf("%-28s %10.3f %10.1f\n", c.name, times[3], c.target);
    }

    long after10 = 0;
    for (int i = 1; i <= 100; ++i) {
        bench->watch(server.url(i % 2 ? "/clip.webm" : "/tone.ogg"));
        if (i == 10 || i == 100) {
            bench->settle(1500);
            const long kib = webProcessKib();
            if (i == 10) {
                after10 = kib;
            } else {
                std::printf(
                    "web process memory: %ld KiB after 10 watches, %ld KiB after 100 "
                    "(%+.1f %%; target at most +10 %%)\n",
                    after10, kib, after10 > 0 ? 100.0 * (kib - after10) / after10 : 0.0);
            }
        }
    }
    window.remove();
    bench.reset();
    return 0;
}
