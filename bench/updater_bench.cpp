// Benchmark of the channel updater: a generated radio directory answer of 60,000 stations
// (about 40 MB) served on loopback, and a generated 10,000-entry M3U file. Each update runs in a
// fresh process (this program with --run) through the same code as `channel-updater --quiet`;
// the figures are the time from its start to the renamed channels.dat and its peak memory.
//
//   updater_bench [--win32 <wine-run> <Channel updater.exe>] [stations] [playlist entries]
//   updater_bench --run <peak file> <updater options...>
//                                 one update, as channel-updater --quiet; writes its peak memory
// With --win32 the Windows updater also reads the same directory answer under Wine, each run a
// fresh process as well, and its time is given as a multiple of the Linux updater's (best of 5,
// the two taking turns).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_server.h"
#include "updater/console.h"
#include "updater/run.h"
#include "updater/texts.h"
#include "updater_net/curl_network.h"

extern char** environ;

namespace {

using namespace vistrelle::updater;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class Random {
public:
    explicit Random(uint64_t start) : state_(start) {}
    uint32_t below(uint32_t n) {
        state_ = state_ * 6364136223846793005u + 1442695040888963407u;
        return static_cast<uint32_t>(state_ >> 33) % n;
    }

private:
    uint64_t state_;
};

std::string word(Random& random) {
    static const char* const kSyllables[] = {"ka",  "ro",  "ne", "vi", "sta", "lo", "mar", "te",
                                             "bel", "dan", "or", "gu", "ri",  "sa", "no",  "pel"};
    std::string text;
    for (uint32_t i = 0, n = 2 + random.below(3); i < n; ++i) {
        text += kSyllables[random.below(16)];
    }
    return text;
}

// One station in the directory's shape, with every field it lists.
std::string station(Random& random, size_t i) {
    static const char* const kCodes[] = {"NO", "DE", "FR", "US", "GB", "BR", "JP", "", "ES", "IT"};
    static const char* const kTags[] = {"pop", "rock", "news", "jazz", "classical", "talk", "80s"};
    std::string name = word(random) + " " + word(random) + " FM";
    std::string host = word(random) + std::to_string(i) + ".example";
    std::string uuid = std::to_string(100000000 + i) + "-aaaa-bbbb-cccc-" + std::to_string(i);
    std::string tags = std::string(kTags[random.below(7)]) + "," + kTags[random.below(7)];
    std::ostringstream out;
    out << R"({"changeuuid":")" << uuid << R"(","stationuuid":")" << uuid
        << R"(","serveruuid":null,"name":")" << name << R"(","url":"http://)" << host
        << R"(/listen.pls","url_resolved":"http://)" << host
        << R"(:8000/stream","homepage":"https://)" << host << R"(/","favicon":"https://)" << host
        << R"(/favicon.ico","tags":")" << tags << R"(","country":"Somewhere","countrycode":")"
        << kCodes[random.below(10)]
        << R"(","iso_3166_2":null,"state":"","language":"english","languagecodes":"en","votes":)"
        << random.below(5000) << R"(,"codec":"MP3","bitrate":)" << 64 * (1 + random.below(4))
        << R"(,"hls":0,"lastcheckok":1,"lastchecktime":"2026-01-02 10:00:00","clickcount":)"
        << random.below(100000)
        << R"(,"clicktrend":0,"ssl_error":0,"geo_lat":null,"geo_long":null,"has_extended_info":false})";
    return out.str();
}

std::string stations(size_t count) {
    Random random(7);
    std::string json = "[";
    for (size_t i = 0; i < count; ++i) {
        json += i == 0 ? "" : ",";
        json += station(random, i);
    }
    return json + "]";
}

std::string playlist(size_t count) {
    Random random(11);
    std::string m3u = "#EXTM3U\r\n";
    for (size_t i = 0; i < count; ++i) {
        m3u += "#EXTINF:-1 tvg-id=\"" + word(random) +
               ".no\" tvg-country=\"NO\" group-title=\"News\"," + word(random) + " TV\r\nhttp://" +
               word(random) + std::to_string(i) + ".example/live/index.m3u8\r\n";
    }
    return m3u;
}

struct Measure {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system time of the process
    long peakKb = 0;
    int status = -1;
};

Measure runChild(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (std::string& arg : copy) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    Measure measure;
    Clock::time_point start = Clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return measure;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    measure.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    measure.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::ifstream(args[2]) >> measure.peakKb;
    measure.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return measure;
}

// The peak memory of this process since its start (the high-water mark of its own memory,
// which unlike the rusage figure leaves out the parent it was spawned from).
long peakKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmHWM:")) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

int runOnce(int argc, char** argv) {
    // --run PEAK-FILE options...
    const std::string peakFile = argv[2];
    std::vector<std::string> args(argv + 3, argv + argc);
    Options options;
    if (std::string error = prepareOptions(args, options); !error.empty()) {
        std::cerr << error << "\n";
        return 2;
    }
    std::atomic<bool> never{false};
    std::ostringstream quiet;
    ConsoleReporter reporter(quiet, never);
    CurlNetwork network(never);
    RunResult result = runUpdate(options, network, reporter);
    if (!result.ok) {
        std::cerr << result.message << "\n";
    }
    std::ofstream(peakFile) << peakKb() << "\n";
    return result.ok ? 0 : 1;
}

// The seconds a command takes from its start to its end, its output left out; negative when it
// failed.
double timeOf(const std::vector<std::string>& args) {
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (std::string& arg : copy) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    Clock::time_point start = Clock::now();
    pid_t pid = -1;
    int status = 0;
    const bool ran = posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ) == 0 &&
                     waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
                     WEXITSTATUS(status) == 0;
    posix_spawn_file_actions_destroy(&quiet);
    return ran ? std::chrono::duration<double>(Clock::now() - start).count() : -1;
}

// The Windows updater on the same answer under Wine, its runs taking turns with the Linux
// updater's so that both meet the same load of the machine; the best of each counts.
void benchWindows(const std::string& self, const std::string& wineRun, const std::string& updater,
                  const std::string& base, const fs::path& root) {
    // Wine would send even loopback requests to a proxy the environment names.
    for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY"}) {
        ::unsetenv(name);
    }
    std::string windowsOutput = "Z:" + (root / "channels-win.dat").string();
    std::replace(windowsOutput.begin(), windowsOutput.end(), '/', '\\');
    const std::vector<std::string> windows = {
        wineRun, updater,    "--quiet",    "--no-tv", "--radio-directory",
        base,    "--output", windowsOutput};
    const std::vector<std::string> linux = {self,
                                            "--run",
                                            (root / "peak").string(),
                                            "--no-tv",
                                            "--radio-directory",
                                            base,
                                            "--output",
                                            (root / "channels-linux.dat").string()};
    // A first run starts Wine's services; the timed runs leave them be, as a user's system has
    // them running.
    timeOf(windows);
    ::setenv("VISTRELLE_WINE_SERVICES_UP", "1", 1);
    double bestWindows = -1;
    double bestLinux = -1;
    for (int round = 0; round < 5; ++round) {
        const double w = timeOf(windows);
        const double l = timeOf(linux);
        if (w < 0 || l < 0) {
            std::printf("  the Windows updater's run under Wine failed\n");
            return;
        }
        bestWindows = round == 0 ? w : std::min(bestWindows, w);
        bestLinux = round == 0 ? l : std::min(bestLinux, l);
    }
    std::printf(
        "  the same with Channel updater.exe (WinHTTP) under Wine: %.2f s = %.2f x the Linux "
        "updater's %.2f s in turns with it (limit 2)\n",
        bestWindows, bestWindows / bestLinux, bestLinux);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "--run") {
        return runOnce(argc, argv);
    }
    std::string wineRun;
    std::string windowsUpdater;
    if (argc >= 4 && std::string(argv[1]) == "--win32") {
        wineRun = argv[2];
        windowsUpdater = argv[3];
        argv += 3;
        argc -= 3;
    }
    size_t stationCount = argc > 1 ? std::stoul(argv[1]) : 60000;
    size_t entryCount = argc > 2 ? std::stoul(argv[2]) : 10000;
    const std::string self = fs::canonical("/proc/self/exe").string();
    std::string folderTemplate = (fs::temp_directory_path() / "vistrelle-updater-XXXXXX").string();
    if (mkdtemp(folderTemplate.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = folderTemplate;
    const std::string output = (root / "channels.dat").string();

    std::string json = stations(stationCount);
    vistrelle::testing::LoopbackServer server;
    server.serve("/json/stations", {200, json});
    {
        std::ofstream m3u(root / "big.m3u", std::ios::binary);
        m3u << playlist(entryCount);
    }
    const double jsonMb = static_cast<double>(json.size()) / 1e6;

    std::printf("Channel updater benchmark (%u cores)\n", std::thread::hardware_concurrency());
    Measure radio{};
    for (int round = 0; round < 3; ++round) {
        Measure m = runChild({self, "--run", (root / "peak").string(), "--no-tv",
                              "--radio-directory", server.base(), "--output", output});
        if (m.status != 0) {
            std::printf("the radio run failed (status %d)\n", m.status);
            return 1;
        }
        if (round == 0 || m.seconds < radio.seconds) {
            radio.seconds = m.seconds;
            radio.cpuSeconds = m.cpuSeconds;
        }
        radio.peakKb = std::max(radio.peakKb, m.peakKb);
    }
    const double outputMb = static_cast<double>(fs::file_size(output)) / 1e6;
    std::printf(
        "  %s stations, %.1f MB of JSON on loopback -> %.1f MB channels.dat: %.2f s "
        "(limit 2 s; %.2f s of processor time), peak memory %.1f MB = %.2f x the JSON "
        "(limit 2)\n",
        groupedNumber(stationCount).c_str(), jsonMb, outputMb, radio.seconds, radio.cpuSeconds,
        static_cast<double>(radio.peakKb) / 1000, radio.peakKb / 1000.0 / jsonMb);
    if (!windowsUpdater.empty()) {
        benchWindows(self, wineRun, windowsUpdater, server.base(), root);
    }

    Measure list{};
    for (int round = 0; round < 3; ++round) {
        Measure m = runChild({self, "--run", (root / "peak").string(), "--no-tv", "--no-radio",
                              "--playlist", (root / "big.m3u").string(), "--output", output});
        if (m.status != 0) {
            std::printf("the playlist run failed (status %d)\n", m.status);
            return 1;
        }
        if (round == 0 || m.seconds < list.seconds) {
            list = m;
        }
    }
    std::printf(
        "  %s-entry M3U -> channels.dat: %.3f s (limit 0.3 s; %.3f s of processor "
        "time), peak memory %.1f MB\n",
        groupedNumber(entryCount).c_str(), list.seconds, list.cpuSeconds,
        static_cast<double>(list.peakKb) / 1000);
    std::printf(
        "  (times are the best of 3, each run a fresh process from start to the renamed "
        "file)\n");
    fs::remove_all(root);
    return 0;
}
