// The window side of the benchmark: the Linux program's real window on the display it is given,
// timed until the list has painted its rows: the start-up (from the start of the process until
// " N channels loaded" is shown), a header sort, the filter to one country and back, and a word
// put into the search field and taken out again. With --speech, Orca running
// (scripts/with-screen-reader --orca): the time from a Down key in the list until Orca starts to
// speak the row it moved to.
//
//   vistrelle_gtk_bench [--speech] <folder>   runs in <folder> (its channels.dat); prints
//                                            "key seconds"
#include <gtk/gtk.h>
#include <gtkmm/comboboxtext.h>
#include <gtkmm/main.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/app.h"
#include "gtk/gtk_layer.h"
#include "ui/ids.h"

namespace {

using namespace vistrelle;
using Clock = std::chrono::steady_clock;

const Clock::time_point processStart = Clock::now();

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class Run {
public:
    Run() : app_(layer_) {
        // When the list is given the rows: its window model takes its first rows.
        g_signal_connect_swapped(gtk_tree_view_get_model(layer_.list().view().gobj()),
                                 "row-inserted", G_CALLBACK(+[](Run* run) {
                                     if (!run->handedOver_) {
                                         run->handedOver_ = Clock::now();
                                     }
                                 }),
                                 this);
        layer_.list().view().signal_draw().connect(
            [this](const Cairo::RefPtr<Cairo::Context>&) {
                ++draws_;
                return false;
            },
            true);
    }

    bool startUp() { return app_.startUp(); }

    // Steps the program until `done` holds and the list has painted since; false after 2 min.
    bool runUntilPainted(const std::function<bool()>& done) {
        const int before = draws_;
        const auto deadline = Clock::now() + std::chrono::minutes(2);
        while (!(done() && draws_ > before)) {
            if (Clock::now() > deadline || !app_.step()) {
                return false;
            }
        }
        return true;
    }

    // The time of `action` until the list has painted after the program handled it.
    double timed(const std::function<void()>& action, const std::function<bool()>& done) {
        settle();
        const auto start = Clock::now();
        action();
        return runUntilPainted(done) ? secondsSince(start) : -1;
    }

    // Steps the program until `done` holds; false after 2 min.
    // (Woken every 10 ms: what it waits for may not come through the loop.)
    bool runUntil(const std::function<bool()>& done) {
        const guint awake = g_timeout_add(
            10, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
        const auto deadline = Clock::now() + std::chrono::minutes(2);
        bool held = true;
        while (held && !done()) {
            held = Clock::now() <= deadline && app_.step();
        }
        g_source_remove(awake);
        return held;
    }

    // Lets pending work end (paints, accessibility traffic) before the next measurement.
    void settle() {
        const auto end = Clock::now() + std::chrono::milliseconds(300);
        while (Clock::now() < end) {
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
            g_usleep(2000);
        }
    }

    gtk::GtkLayer& layer() { return layer_; }
    std::string status() { return layer_.ui().mainWindow()->statusText(); }
    void end() { app_.endServices(); }
    // When the rows were handed to the list.
    std::optional<Clock::time_point> handedOver() const { return handedOver_; }

private:
    gtk::GtkLayer layer_;
    App app_;
    int draws_ = 0;
    std::optional<Clock::time_point> handedOver_;
};

// Seconds since midnight, local time, as Orca's log writes its times.
double timeOfDay(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(when.time_since_epoch()).count() %
        1000000;
    return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + micros / 1e6;
}

// What Orca said, with when (seconds since midnight), read from its log as it grows: the
// "HH:MM:SS.micro - SPEECH OUTPUT: '...'" lines.
struct Utterance {
    double at;
    std::string text;
};

class OrcaLog {
public:
    explicit OrcaLog(const std::string& path) : file_(path) {}

    const std::vector<Utterance>& said() {
        const std::string mark = " - SPEECH OUTPUT: '";
        std::string line;
        while (std::getline(file_, line)) {
            if (file_.eof()) {
                // A line not written out yet: read it again whole next time.
                file_.clear();
                file_.seekg(-static_cast<std::streamoff>(line.size()), std::ios::cur);
                break;
            }
            const size_t at = line.find(mark);
            int hours = 0;
            int minutes = 0;
            double seconds = 0;
            if (at != std::string::npos &&
                std::sscanf(line.c_str(), "%d:%d:%lf", &hours, &minutes, &seconds) == 3) {
                said_.push_back(
                    {hours * 3600.0 + minutes * 60.0 + seconds, line.substr(at + mark.size())});
            }
        }
        file_.clear();
        return said_;
    }

private:
    std::ifstream file_;
    std::vector<Utterance> said_;
};

// Runs a program to its end while the window goes on answering; false when it failed.
bool runBeside(Run& run, std::vector<const char*> argv) {
    argv.push_back(nullptr);
    GPid pid = 0;
    if (!g_spawn_async(nullptr, const_cast<gchar**>(argv.data()), nullptr,
                       static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                       nullptr, nullptr, &pid, nullptr)) {
        return false;
    }
    int status = -1;
    run.runUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; });
    return status == 0;
}

// From a Down key in the list until Orca starts to say the row it moved to: the slowest of
// five, in seconds; -1 when Orca said nothing of it.
double speechAfterDown(Run& run, const std::string& path) {
    OrcaLog log(path);
    gtk::GtkChannelList& list = run.layer().list();
    gtk::MainWindow& window = *run.layer().ui().mainWindow();
    const std::string id = std::to_string(window.nativeHandle());
    if (!runBeside(run, {"xdotool", "windowactivate", "--sync", id.c_str()})) {
        std::fputs("vistrelle_gtk_bench: the window could not be activated\n", stderr);
        return -1;
    }
    // The focus in the list: Orca reads it and the row the cursor is on.
    list.view().grab_focus();
    const std::string first = list.cellText(std::max(list.cursorRow(), 0), list.columnAt(0));
    if (!run.runUntil([&] {
            for (const Utterance& said : log.said()) {
                if (said.text.find(first) == 0) {
                    return true;
                }
            }
            return false;
        })) {
        std::fputs("vistrelle_gtk_bench: Orca did not read the list\n", stderr);
        return -1;
    }
    run.settle();
    // When the key reached the window.
    std::chrono::system_clock::time_point pressed;
    window.signal_key_press_event().connect(
        [&](GdkEventKey* key) {
            if (key->keyval == GDK_KEY_Down) {
                pressed = std::chrono::system_clock::now();
            }
            return false;
        },
        false);
    double slowest = 0;
    for (int i = 0; i < 5; ++i) {
        const size_t before = log.said().size();
        if (!runBeside(run, {"xdotool", "key", "Down"})) {
            return -1;
        }
        const std::string name = list.cellText(list.cursorRow(), list.columnAt(0));
        double spoken = -1;
        run.runUntil([&] {
            const std::vector<Utterance>& said = log.said();
            for (size_t at = before; at < said.size(); ++at) {
                if (said[at].text.find(name) == 0) {
                    spoken = said[at].at;
                    return true;
                }
            }
            return false;
        });
        if (spoken < 0) {
            std::fprintf(stderr, "vistrelle_gtk_bench: Orca did not say \"%s\"\n", name.c_str());
            return -1;
        }
        double seconds = spoken - timeOfDay(pressed);
        if (seconds < -43200) {
            seconds += 86400;  // past midnight
        }
        slowest = std::max(slowest, seconds);
        run.settle();
    }
    return slowest;
}

}  // namespace

int main(int argc, char** argv) {
    const bool speech = argc == 3 && std::string(argv[1]) == "--speech";
    const char* log = g_getenv("VISTRELLE_ORCA_LOG");
    if (argc != 2 + (speech ? 1 : 0) || chdir(argv[argc - 1]) != 0 || (speech && log == nullptr)) {
        std::fputs(
            "usage: vistrelle_gtk_bench [--speech] <folder with channels.dat>\n"
            "       (--speech: Orca running, as scripts/with-screen-reader --orca runs it)\n",
            stderr);
        return 2;
    }
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fputs("vistrelle_gtk_bench: cannot open the display\n", stderr);
        return 1;
    }
    Gtk::Main::init_gtkmm_internals();
    Run run;
    const auto loaded = [&] { return run.status().find("channels loaded") != std::string::npos; };
    if (!run.startUp() || !run.runUntilPainted(loaded)) {
        std::fputs("vistrelle_gtk_bench: the catalogue was not shown\n", stderr);
        return 1;
    }
    std::printf("startup %.6f\n", secondsSince(processStart));
    if (run.handedOver()) {
        // The list's part: from the rows handed over until they are painted.
        std::printf("startup_list %.6f\n", secondsSince(*run.handedOver()));
    }
    std::printf("rows %d\n", run.layer().list().shownRowCount());

    // A click on the Channel header: ascending, descending, ascending; the first (the rows in
    // the file's order, as the catalogue's own figure) and the best of three.
    double sort = 1e30;
    for (int i = 0; i < 3; ++i) {
        const std::string first = run.layer().list().cellText(0, 0);
        const double seconds =
            run.timed([&] { run.layer().list().column(0)->clicked(); },
                      [&] { return run.layer().list().cellText(0, 0) != first; });
        if (i == 0) {
            std::printf("sort_first %.6f\n", seconds);
        }
        sort = std::min(sort, seconds);
        if (seconds < 0) {
            break;  // not painted in time: no use waiting again
        }
    }
    std::printf("sort %.6f\n", sort);

    // A country from the middle of the selector, then All countries again.
    Gtk::ComboBoxText& selector = run.layer().selector().widget();
    const int items = selector.get_model()->children().size();
    const int country = items / 2;
    const int all = run.layer().list().shownRowCount();
    double toCountry = 1e30;
    double toAll = 1e30;
    for (int i = 0; i < 3; ++i) {
        const double one = run.timed([&] { selector.set_active(country); },
                                     [&] { return run.layer().list().shownRowCount() != all; });
        const double back = run.timed([&] { selector.set_active(1); },
                                      [&] { return run.layer().list().shownRowCount() == all; });
        toCountry = std::min(toCountry, one);
        toAll = std::min(toAll, back);
        if (one < 0 || back < 0) {
            break;
        }
    }
    std::printf("filter_country %.6f\n", toCountry);
    std::printf("filter_all %.6f\n", toAll);

    // A word in the search field, as pasted into it, in the All countries view; then emptied.
    Gtk::Entry& field = run.layer().search().widget();
    double search = 1e30;
    double searchBack = 1e30;
    for (int i = 0; i < 3; ++i) {
        const double narrowed =
            run.timed([&] { field.set_text("jazz"); },
                      [&] { return run.layer().list().shownRowCount() != all; });
        const double back = run.timed([&] { field.set_text(""); },
                                      [&] { return run.layer().list().shownRowCount() == all; });
        search = std::min(search, narrowed);
        searchBack = std::min(searchBack, back);
        if (narrowed < 0 || back < 0) {
            break;
        }
    }
    std::printf("search %.6f\n", search);
    std::printf("search_back %.6f\n", searchBack);
    if (speech) {
        std::printf("speech_down %.6f\n", speechAfterDown(run, log));
    }
    std::fflush(stdout);
    run.end();
    // The windows and a million rows need no tidying before the process ends.
    _exit(0);
}
