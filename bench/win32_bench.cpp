// The catalogue operations timed through the real Win32 window layer: the main window with its
// virtual list view, loading, sorting by each column, filtering to one country and back, saving
// favourites and the peak memory. One run in the folder given, which holds channels.dat; it
// prints "key value" lines, as vistrelle_bench --run does, for the table of vistrelle_bench.
//
//   vistrelle_win32_bench --run <folder>
#include <windows.h>
// clang-format off
#include <commctrl.h>
#include <psapi.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/app.h"
#include "catalog/catalog.h"
#include "ui/ids.h"
#include "win32/process_services.h"
#include "win32/win32_layer.h"

namespace {

using namespace vistrelle;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class Bench {
public:
    Bench(win32::Win32Layer& layer, App& app) : layer_(layer), app_(app) {}

    // Start-up as the program does it, until the list has painted its first page.
    double startUp() {
        const auto start = Clock::now();
        if (!app_.startUp()) {
            return -1;
        }
        list_ = layer_.ui().control(kChannelList);
        combo_ = layer_.ui().control(kCountrySelector);
        paintList();
        return secondsSince(start);
    }

    // A fresh catalogue loaded into the window, and its first page painted.
    double load() {
        app_.catalog = Catalog();
        layer_.ui().list().rowsReset(app_.catalog.rows);
        SendMessageA(combo_, CB_RESETCONTENT, 0, 0);
        CountrySelectorUi& selector = layer_.ui().countrySelector();
        selector.appendItem("Favorites");
        selector.appendItem("All countries");
        selector.select(1);
        settle();
        const auto start = Clock::now();
        loadCatalog(app_.catalog, layer_.windows(), layer_.launcher());
        paintList();
        return secondsSince(start);
    }

    // A click on a column header, as the list reports it, and the repaint.
    double sort(int32_t column) {
        settle();
        const auto start = Clock::now();
        app_.headerClicked(column);
        paintList();
        return secondsSince(start);
    }

    // A choice in the country selector, as the combo box reports it, and the repaint.
    double choose(int32_t index) {
        SendMessageA(combo_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        settle();
        const auto start = Clock::now();
        app_.dispatchControlEvent(kCountrySelector, ControlAction::Used);
        paintList();
        return secondsSince(start);
    }

    double save() {
        settle();
        const auto start = Clock::now();
        saveFavorites(app_.catalog, layer_.windows());
        return secondsSince(start);
    }

    int32_t countryCount() const {
        return static_cast<int32_t>(SendMessageA(combo_, CB_GETCOUNT, 0, 0));
    }
    int64_t listRows() const { return SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0); }

    // The slowest repaint of the list's visible page after any of the operations.
    double slowestPaint() const { return slowestPaint_; }

    // Takes every message waiting (paints, timers) outside the timings.
    void settle() { app_.drainPendingEvents(); }

private:
    // Paints what the operation has invalidated, at once.
    void paintList() {
        const auto start = Clock::now();
        UpdateWindow(list_);
        slowestPaint_ = std::max(slowestPaint_, secondsSince(start));
    }

    win32::Win32Layer& layer_;
    App& app_;
    HWND list_ = nullptr;
    HWND combo_ = nullptr;
    double slowestPaint_ = 0;
};

int measure(const char* folder) {
    if (!SetCurrentDirectoryA(folder)) {
        std::printf("error cannot-enter-folder\n");
        return 1;
    }
    win32::Win32Layer layer;
    App app(layer);
    Bench bench(layer, app);

    const double startUp = bench.startUp();
    if (startUp < 0) {
        std::printf("error no-main-window\n");
        return 1;
    }
    bench.settle();
    std::printf("startup %.6f\n", startUp);

    double load = 1e30;
    for (int i = 0; i < 3; ++i) {
        load = std::min(load, bench.load());
    }
    bench.settle();
    std::printf("load %.6f\n", load);
    std::printf("channels %zu\n", app.catalog.allChannels.size());
    std::printf("list_rows %lld\n", static_cast<long long>(bench.listRows()));

    const char* const kColumns[] = {"Channel", "Category", "Bitrate", "Comment"};
    for (int32_t column = 0; column < 4; ++column) {
        std::printf("sort_%s %.6f\n", kColumns[column], bench.sort(column));
    }
    std::printf("sort_Channel_again %.6f\n", bench.sort(0));

    // A country from the middle of the selector, then back to All countries.
    const int32_t country = bench.countryCount() / 2;
    double toCountry = 1e30;
    double toAll = 1e30;
    int64_t countryRows = 0;
    for (int i = 0; i < 3; ++i) {
        toCountry = std::min(toCountry, bench.choose(country));
        countryRows = bench.listRows();
        toAll = std::min(toAll, bench.choose(1));
    }
    std::printf("filter_country %.6f\n", toCountry);
    std::printf("filter_all %.6f\n", toAll);
    std::printf("country_rows %lld\n", static_cast<long long>(countryRows));

    app.catalog.favoriteChannels.clear();
    for (size_t i = 0; i < 10000 && i < app.catalog.allChannels.size(); ++i) {
        app.catalog.favoriteChannels.push_back(app.catalog.allChannels[i].copy());
    }
    double save = 1e30;
    for (int i = 0; i < 3; ++i) {
        save = std::min(save, bench.save());
    }
    std::printf("save %.6f\n", save);
    std::printf("paint_slowest %.6f\n", bench.slowestPaint());

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) {
        std::printf("peak_working_set %zu\n", static_cast<size_t>(memory.PeakWorkingSetSize));
        std::printf("peak_pagefile %zu\n", static_cast<size_t>(memory.PeakPagefileUsage));
    }
    std::fflush(stdout);
    app.endServices();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::string(argv[1]) != "--run") {
        std::fprintf(stderr, "usage: vistrelle_win32_bench --run <folder>\n");
        return 2;
    }
    win32::ProcessServices services;
    return measure(argv[2]);
}
