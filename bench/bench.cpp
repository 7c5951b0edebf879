// Benchmark of the catalogue: generates catalogues of realistic channels, then times loading,
// sorting by each column, filtering, saving favourites, and measures the peak memory, each size
// in a fresh process, beside `wc -l` on the same file.
//
//   vistrelle_bench [count...]          the table (default: 10000 100000 1000000)
//   vistrelle_bench --win32 <runner> <program> [count...]
//                                       the table, and beside it the same operations through
//                                       the Win32 window layer: `<runner> <program> --run <folder>`
//                                       with the folder as a Windows path (Wine's drive Z:)
//   vistrelle_bench --run <folder>      one measurement run in <folder> (used by the table)
//   vistrelle_bench --generate <count> <file>   writes a generated catalogue
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "fake/memory_layer.h"
#include "ui/find_row.h"

extern char** environ;

namespace {

using namespace vistrelle;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The processor time the calling thread has used.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

class Random {
public:
    explicit Random(uint64_t start) : state_(start) {}
    uint32_t next() {
        state_ = state_ * 6364136223846793005u + 1442695040888963407u;
        return static_cast<uint32_t>(state_ >> 33);
    }
    uint32_t below(uint32_t n) { return next() % n; }

private:
    uint64_t state_;
};

std::string word(Random& random, int minSyllables, int maxSyllables) {
    static const char* const kSyllables[] = {"ka",  "ro",  "ne", "vi", "sta", "lo", "mar", "te",
                                             "bel", "dan", "or", "gu", "ri",  "sa", "no",  "pel",
                                             "tri", "ve",  "ha", "zu", "lin", "e",  "a",   "mo"};
    std::string text;
    int count =
        minSyllables +
        static_cast<int>(random.below(static_cast<uint32_t>(maxSyllables - minSyllables + 1)));
    for (int i = 0; i < count; ++i) {
        text += kSyllables[random.below(sizeof kSyllables / sizeof kSyllables[0])];
    }
    return text;
}

std::string capitalised(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    return text;
}

// A catalogue as the updater writes it: countries in runs (a few countries come twice), names,
// bitrates, a small set of categories, comments (some empty), stream addresses of 40 to 120
// bytes, homepages (some empty). Lines end with CR LF.
void generateCatalogue(const fs::path& path, size_t count) {
    Random random(count);
    std::vector<std::string> countries;
    for (int i = 0; i < 150; ++i) {
        countries.push_back(capitalised(word(random, 2, 4)));
    }
    std::sort(countries.begin(), countries.end());
    static const char* const kCategories[] = {
        "Music", "News",        "Sport",       "Talk",     "Entertainment", "Religion",
        "Jazz",  "Classical",   "Pop",         "Rock",     "Culture",       "Education",
        "Kids",  "Documentary", "Information", "Business", "Movies",        "Local"};
    static const int32_t kBitrates[] = {16,  24,  32,  48,  56,  64,  96,  128,
                                        160, 192, 256, 300, 320, 500, 1000};
    static const char* const kExtensions[] = {".asx", ".m3u", ".ram"};
    // Channel counts per country run: uneven, as real catalogues are.
    std::vector<size_t> runs;
    std::vector<double> weights;
    double total = 0;
    for (size_t i = 0; i < countries.size() + 6; ++i) {
        double weight = 1.0 + random.below(1000) / 40.0;
        weights.push_back(weight);
        total += weight;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    std::string line;
    size_t written = 0;
    for (size_t run = 0; run < weights.size() && written < count; ++run) {
        size_t inRun =
            run + 1 == weights.size()
                ? count - written
                : std::min(
                      count - written,
                      static_cast<size_t>(static_cast<double>(count) * weights[run] / total) + 1);
        const std::string& country = countries[run < countries.size() ? run : run * 7 % 150];
        for (size_t i = 0; i < inRun; ++i, ++written) {
            line = country;
            line += '|';
            line += random.below(3) == 0 ? "Radio " : "";
            line += capitalised(word(random, 1, 4));
            if (random.below(4) == 0) {
                line += ' ';
                line += std::to_string(random.below(200));
            }
            line += random.below(5) == 0 ? " FM|" : "|";
            line += std::to_string(kBitrates[random.below(15)]);
            line += '|';
            line += kCategories[random.below(18)];
            line += '|';
            if (random.below(5) != 0) {
                int words = 1 + static_cast<int>(random.below(7));
                for (int w = 0; w < words; ++w) {
                    line += (w == 0 ? capitalised(word(random, 1, 3)) : word(random, 1, 3));
                    line += w + 1 < words ? " " : "";
                }
            }
            line += '|';
            const size_t urlLength = 40 + random.below(81);
            std::string url = "http://stream" + std::to_string(random.below(90)) + "." +
                              word(random, 2, 3) + ".net/";
            while (url.size() + 4 < urlLength) {
                url += static_cast<char>('a' + random.below(26));
                if (random.below(9) == 0 && url.size() + 5 < urlLength) {
                    url += '/';
                }
            }
            url += kExtensions[random.below(3)];
            line += url;
            line += '|';
            if (random.below(10) < 7) {
                line += "http://www." + word(random, 2, 4) + ".example.org/";
            }
            line += "\r\n";
            std::fwrite(line.data(), 1, line.size(), file);
        }
    }
    std::fclose(file);
}

// Starts `arguments` with stdout into `output` (or /dev/null), waits, and gives its peak
// resident memory in bytes.
long runProcess(const std::vector<std::string>& arguments, std::string* output) {
    int channel[2];
    if (pipe(channel) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output != nullptr) {
        posix_spawn_file_actions_adddup2(&actions, channel[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1 /* O_WRONLY */, 0);
    }
    posix_spawn_file_actions_addclose(&actions, channel[0]);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    int failed = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(channel[1]);
    if (failed == 0 && output != nullptr) {
        char buffer[4096];
        ssize_t n;
        while ((n = read(channel[0], buffer, sizeof buffer)) > 0) {
            output->append(buffer, static_cast<size_t>(n));
        }
    }
    close(channel[0]);
    if (failed != 0) {
        return -1;
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    return usage.ru_maxrss * 1024L;
}

template <typename Work>
double bestOf(int times, Work work) {
    double best = 1e30;
    for (int i = 0; i < times; ++i) {
        auto start = Clock::now();
        work();
        best = std::min(best, secondsSince(start));
    }
    return best;
}

// One run in `folder`: prints "key value" lines.
int measure(const fs::path& folder) {
    fs::current_path(folder);
    testing::MemoryWindows windows;
    testing::MemoryLauncher launcher;
    auto freshWindows = [&] {
        windows.selector.items = {"Favorites", "All countries"};
        windows.selector.selected = 1;
    };

    Catalog catalog;
    double load = bestOf(3, [&] {
        catalog = Catalog();
        freshWindows();
        loadCatalog(catalog, windows, launcher);
    });
    std::printf("load %.6f\n", load);
    std::printf("channels %zu\n", catalog.allChannels.size());

    const char* const kColumns[] = {"Channel", "Category", "Bitrate", "Comment"};
    for (int32_t column = 0; column < 4; ++column) {
        auto start = Clock::now();
        sortByColumn(catalog, windows, column);
        std::printf("sort_%s %.6f\n", kColumns[column], secondsSince(start));
    }
    // Descending (the second click) on the name as well.
    auto start = Clock::now();
    sortByColumn(catalog, windows, 0);
    std::printf("sort_Channel_again %.6f\n", secondsSince(start));

    // A country from the middle of the selector, then back to All countries.
    const int32_t country = static_cast<int32_t>(windows.selector.items.size() / 2);
    double toCountry = 1e30;
    double toAll = 1e30;
    for (int i = 0; i < 3; ++i) {
        windows.selector.select(country);
        toCountry = std::min(toCountry, bestOf(1, [&] { applyFilter(catalog, windows); }));
        windows.selector.select(1);
        toAll = std::min(toAll, bestOf(1, [&] { applyFilter(catalog, windows); }));
    }
    std::printf("filter_country %.6f\n", toCountry);
    std::printf("filter_all %.6f\n", toAll);

    // Words typed into the search field, in the All countries view: from an empty field to the
    // words, and back. The processor time of the first is given too: on a machine shared with
    // other work it tells what the search costs where the time since the start cannot.
    auto timeSearch = [&](const char* key, const char* text) {
        double best = 1e30;
        double back = 1e30;
        double processor = 1e30;
        for (int i = 0; i < 3; ++i) {
            windows.search.typed = text;
            const double startedOn = threadSeconds();
            best = std::min(best, bestOf(1, [&] { applySearch(catalog, windows); }));
            processor = std::min(processor, threadSeconds() - startedOn);
            windows.search.typed.clear();
            back = std::min(back, bestOf(1, [&] { applySearch(catalog, windows); }));
        }
        windows.search.typed = text;
        applySearch(catalog, windows);
        std::printf("search_%s %.6f\n", key, best);
        std::printf("search_%s_cpu %.6f\n", key, processor);
        std::printf("search_%s_rows %zu\n", key, catalog.shownChannels.size());
        std::printf("search_%s_back %.6f\n", key, back);
        windows.search.typed.clear();
        applySearch(catalog, windows);
    };
    timeSearch("word", "jazz");
    timeSearch("words", "radio jazz");
    timeSearch("common", "ka");
    timeSearch("none", "qxq");
    // A sort while the words narrow the view sorts the whole view.
    windows.search.typed = "jazz";
    applySearch(catalog, windows);
    start = Clock::now();
    sortByColumn(catalog, windows, 1);
    std::printf("search_sort %.6f\n", secondsSince(start));
    windows.search.typed.clear();
    applySearch(catalog, windows);
    sortByColumn(catalog, windows, 1);  // the flag as it was, for the finds below

    // Finding a channel by typing: the name of a row just above the start row that no other row
    // starts with, so that the search runs to the end and wraps round to it; then a text no row
    // starts with.
    auto timeFind = [&](const char* key) {
        const int32_t count = catalog.rows.count();
        const int32_t startRow = count / 2;
        int32_t target = startRow - 1;
        std::string text;
        for (; target > 0; --target) {
            text = catalog.rows.columnText(target, 0);
            if (findChannelRow(catalog.rows, text, startRow) == target) {
                break;
            }
        }
        int32_t found = -1;
        int32_t none = 0;
        const double wrapTime =
            bestOf(3, [&] { found = findChannelRow(catalog.rows, text, startRow); });
        const double noneTime =
            bestOf(3, [&] { none = findChannelRow(catalog.rows, "Qxq", startRow); });
        if (found != target || none != -1) {
            std::fprintf(stderr, "find by typing: unexpected rows %d, %d\n", found, none);
        }
        std::printf("find_wrap_%s %.6f\n", key, wrapTime);
        std::printf("find_none_%s %.6f\n", key, noneTime);
    };
    timeFind("list");
    sortByColumn(catalog, windows, 3);  // rows no longer in the order the records are stored
    timeFind("sorted");

    catalog.favoriteChannels.clear();
    for (size_t i = 0; i < 10000 && i < catalog.allChannels.size(); ++i) {
        catalog.favoriteChannels.push_back(catalog.allChannels[i].copy());
    }
    double save = bestOf(3, [&] { saveFavorites(catalog, windows); });
    std::printf("save %.6f\n", save);
    std::printf("messages %zu\n", windows.messages.size());
    return 0;
}

std::map<std::string, double> parse(const std::string& output) {
    std::map<std::string, double> values;
    size_t at = 0;
    while (at < output.size()) {
        size_t end = output.find('\n', at);
        std::string line = output.substr(at, end - at);
        size_t space = line.find(' ');
        if (space != std::string::npos) {
            values[line.substr(0, space)] = std::strtod(line.c_str() + space + 1, nullptr);
        }
        at = end == std::string::npos ? output.size() : end + 1;
    }
    return values;
}

// The Windows path of a folder under Wine, which sees the root of the file system as drive Z:.
std::string windowsPath(const fs::path& folder) {
    std::string text = "Z:" + folder.string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

std::string sizeName(size_t count) {
    if (count % 1000000 == 0) {
        return std::to_string(count / 1000000) + "M";
    }
    if (count % 1000 == 0) {
        return std::to_string(count / 1000) + "k";
    }
    return std::to_string(count);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--run") {
        return measure(argv[2]);
    }
    if (argc == 2 && std::string(argv[1]) == "--idle") {
        return 0;  // the memory of a process that loads nothing
    }
    if (argc == 4 && std::string(argv[1]) == "--generate") {
        generateCatalogue(argv[3], std::strtoul(argv[2], nullptr, 10));
        return 0;
    }
    std::vector<std::string> win32Command;
    int first = 1;
    if (argc >= 4 && std::string(argv[1]) == "--win32") {
        win32Command = {argv[2], argv[3]};
        first = 4;
    }
    std::vector<size_t> counts;
    for (int i = first; i < argc; ++i) {
        counts.push_back(std::strtoul(argv[i], nullptr, 10));
    }
    if (counts.empty()) {
        counts = {10000, 100000, 1000000};
    }
    const std::string self = fs::canonical("/proc/self/exe").string();
    std::string folderTemplate = (fs::temp_directory_path() / "vistrelle-bench-XXXXXX").string();
    if (mkdtemp(folderTemplate.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = folderTemplate;

    struct Column {
        size_t count;
        double fileBytes;
        double wc;
        long peak;
        std::map<std::string, double> values;
        std::map<std::string, double> win32;  // empty when not measured
    };
    const long idlePeak = runProcess({self, "--idle"}, nullptr);
    std::vector<Column> columns;
    for (size_t count : counts) {
        const fs::path folder = root / sizeName(count);
        fs::create_directory(folder);
        generateCatalogue(folder / "channels.dat", count);
        Column column{count, static_cast<double>(fs::file_size(folder / "channels.dat")), 0, 0, {},
                      {}};
        const std::string file = (folder / "channels.dat").string();
        column.wc = bestOf(3, [&] { runProcess({"wc", "-l", file}, nullptr); });
        std::string output;
        column.peak = runProcess({self, "--run", folder.string()}, &output);
        column.values = parse(output);
        if (!win32Command.empty()) {
            // A fresh copy of the catalogue alone: the run above has left favourites beside it.
            const fs::path windowsFolder = root / (sizeName(count) + "-win32");
            fs::create_directory(windowsFolder);
            fs::copy_file(folder / "channels.dat", windowsFolder / "channels.dat");
            std::string windowsOutput;
            std::vector<std::string> command = win32Command;
            command.push_back("--run");
            command.push_back(windowsPath(windowsFolder));
            runProcess(command, &windowsOutput);
            column.win32 = parse(windowsOutput);
            fs::remove_all(windowsFolder);
        }
        columns.push_back(column);
        fs::remove_all(folder);
    }
    fs::remove_all(root);

    auto value = [](const Column& c, const std::string& key) {
        auto found = c.values.find(key);
        return found != c.values.end() ? found->second : -1.0;
    };
    auto row = [&](const char* label, auto cell) {
        std::printf("%-26s", label);
        for (const Column& column : columns) {
            std::printf("%14s", cell(column).c_str());
        }
        std::printf("\n");
    };
    auto fixed = [](double number, const char* format) {
        char text[64];
        std::snprintf(text, sizeof text, format, number);
        return std::string(text);
    };
    auto ms = [&](double seconds) { return fixed(seconds * 1000.0, "%.1f ms"); };
    row("channels", [&](const Column& c) { return sizeName(c.count); });
    row("file size", [&](const Column& c) { return fixed(c.fileBytes / 1e6, "%.1f MB"); });
    row("wc -l", [&](const Column& c) { return ms(c.wc); });
    row("load", [&](const Column& c) { return ms(value(c, "load")); });
    row("load / wc -l", [&](const Column& c) { return fixed(value(c, "load") / c.wc, "%.1fx"); });
    for (const char* name : {"Channel", "Category", "Bitrate", "Comment"}) {
        std::string label = std::string("sort ") + name;
        row(label.c_str(),
            [&](const Column& c) { return ms(value(c, "sort_" + std::string(name))); });
    }
    row("sort Channel (2nd click)",
        [&](const Column& c) { return ms(value(c, "sort_Channel_again")); });
    row("filter: one country", [&](const Column& c) { return ms(value(c, "filter_country")); });
    row("filter: All countries", [&](const Column& c) { return ms(value(c, "filter_all")); });
    row("save 10k favourites", [&](const Column& c) { return ms(value(c, "save")); });
    row("find by typing, full wrap",
        [&](const Column& c) { return ms(value(c, "find_wrap_list")); });
    row("  no row matches", [&](const Column& c) { return ms(value(c, "find_none_list")); });
    row("  full wrap, sorted view",
        [&](const Column& c) { return ms(value(c, "find_wrap_sorted")); });
    row("  no match, sorted view",
        [&](const Column& c) { return ms(value(c, "find_none_sorted")); });
    const struct {
        const char* label;
        const char* key;
    } searches[] = {
        {"search \"jazz\"", "word"},
        {"search \"radio jazz\"", "words"},
        {"search \"ka\"", "common"},
        {"search \"qxq\"", "none"},
    };
    for (const auto& search : searches) {
        const std::string key = std::string("search_") + search.key;
        row(search.label, [&](const Column& c) { return ms(value(c, key)); });
        row("  processor time", [&](const Column& c) { return ms(value(c, key + "_cpu")); });
        row("  rows shown",
            [&](const Column& c) { return fixed(value(c, key + "_rows"), "%.0f"); });
        row("  emptied again", [&](const Column& c) { return ms(value(c, key + "_back")); });
    }
    row("sort Category, narrowed", [&](const Column& c) { return ms(value(c, "search_sort")); });
    row("peak memory",
        [&](const Column& c) { return fixed(static_cast<double>(c.peak) / 1e6, "%.1f MB"); });
    row("peak / file size",
        [&](const Column& c) { return fixed(static_cast<double>(c.peak) / c.fileBytes, "%.2fx"); });
    row("  less an idle process", [&](const Column& c) {
        return fixed(static_cast<double>(c.peak - idlePeak) / c.fileBytes, "%.2fx");
    });

    if (!win32Command.empty()) {
        // The Windows program's own figures, each as a multiple of the Linux figure above.
        auto windowsValue = [](const Column& c, const std::string& key) {
            auto found = c.win32.find(key);
            return found != c.win32.end() ? found->second : -1.0;
        };
        auto ratio = [&](const Column& c, const std::string& key) {
            const double windows = windowsValue(c, key);
            const double linux = value(c, key);
            return windows < 0 || linux <= 0 ? std::string("-") : fixed(windows / linux, "%.2fx");
        };
        std::printf(
            "\nWin32 list view under Wine (x: multiple of the Linux figure above; times "
            "include the list's repaint)\n");
        row("start-up, first paint", [&](const Column& c) {
            const double seconds = windowsValue(c, "startup");
            return seconds < 0 ? std::string("failed") : ms(seconds);
        });
        row("rows in the list view", [&](const Column& c) {
            const double rows = windowsValue(c, "list_rows");
            return rows < 0 ? std::string("-") : fixed(rows, "%.0f");
        });
        row("list repaint, slowest", [&](const Column& c) {
            const double seconds = windowsValue(c, "paint_slowest");
            return seconds < 0 ? std::string("-") : ms(seconds);
        });
        row("load", [&](const Column& c) { return ratio(c, "load"); });
        for (const char* name : {"Channel", "Category", "Bitrate", "Comment"}) {
            std::string label = std::string("sort ") + name;
            row(label.c_str(),
                [&](const Column& c) { return ratio(c, "sort_" + std::string(name)); });
        }
        row("sort Channel (2nd click)",
            [&](const Column& c) { return ratio(c, "sort_Channel_again"); });
        row("filter: one country", [&](const Column& c) { return ratio(c, "filter_country"); });
        row("filter: All countries", [&](const Column& c) { return ratio(c, "filter_all"); });
        row("save 10k favourites", [&](const Column& c) { return ratio(c, "save"); });
        row("search \"jazz\"", [&](const Column& c) { return ratio(c, "search_word"); });
        row("  emptied again", [&](const Column& c) { return ratio(c, "search_word_back"); });
        row("peak working set", [&](const Column& c) {
            const double bytes = windowsValue(c, "peak_working_set");
            return bytes < 0 ? std::string("-") : fixed(bytes / 1e6, "%.1f MB");
        });
        row("peak working set", [&](const Column& c) {
            const double bytes = windowsValue(c, "peak_working_set");
            return bytes < 0 || c.peak <= 0 ? std::string("-")
                                            : fixed(bytes / static_cast<double>(c.peak), "%.2fx");
        });
        row("peak private bytes", [&](const Column& c) {
            const double bytes = windowsValue(c, "peak_pagefile");
            return bytes < 0 ? std::string("-") : fixed(bytes / 1e6, "%.1f MB");
        });
    }

    // The targets, for the largest catalogue.
    const Column& largest = columns.back();
    double worstSort = 0;
    for (const char* name :
         {"sort_Channel", "sort_Category", "sort_Bitrate", "sort_Comment", "sort_Channel_again"}) {
        worstSort = std::max(worstSort, value(largest, name));
    }
    const double worstFilter =
        std::max(value(largest, "filter_country"), value(largest, "filter_all"));
    const double loadRatio = value(largest, "load") / largest.wc;
    const double memoryRatio = static_cast<double>(largest.peak) / largest.fileBytes;
    std::printf("\ntargets at %s channels:\n", sizeName(largest.count).c_str());
    std::printf("  load <= 8x wc -l       %6.1fx     %s\n", loadRatio,
                loadRatio <= 8 ? "met" : "MISSED");
    std::printf("  any sort <= 500 ms     %6.1f ms  %s\n", worstSort * 1000,
                worstSort <= 0.5 ? "met" : "MISSED");
    std::printf("  filter <= 100 ms       %6.1f ms  %s\n", worstFilter * 1000,
                worstFilter <= 0.1 ? "met" : "MISSED");
    double worstFind = 0;
    for (const char* name :
         {"find_wrap_list", "find_none_list", "find_wrap_sorted", "find_none_sorted"}) {
        worstFind = std::max(worstFind, value(largest, name));
    }
    std::printf("  find by typing <= 50 ms %5.1f ms  %s\n", worstFind * 1000,
                worstFind <= 0.05 ? "met" : "MISSED");
    const double searchWord = value(largest, "search_word");
    const double searchWordProcessor = value(largest, "search_word_cpu");
    std::printf("  search a word <= 50 ms %6.1f ms  %s (processor time %.1f ms: %s)\n",
                searchWord * 1000, searchWord <= 0.05 ? "met" : "MISSED",
                searchWordProcessor * 1000, searchWordProcessor <= 0.05 ? "met" : "MISSED");
    std::printf("  (an idle process of this program: %.1f MB)\n",
                static_cast<double>(idlePeak) / 1e6);
    std::printf("  peak <= 3x file size   %6.2fx     %s\n", memoryRatio,
                memoryRatio <= 3 ? "met" : "MISSED");
    return 0;
}
