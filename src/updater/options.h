// What the channel updater is asked to do: its command line and the keys of updater.ini.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vistrelle::updater {

inline constexpr std::string_view kProgramName = "channel-updater";
inline constexpr std::string_view kProgramVersion = "1.0";
inline constexpr std::string_view kUserAgent = "Vistrelle channel updater/1.0";
inline constexpr std::string_view kIniName = "updater.ini";

struct Options {
    bool radio = true;
    bool tv = true;
    std::vector<std::string> playlists;  // files or addresses, in the order given
    std::string radioDirectory;          // empty: find a server through DNS
    std::string tvDirectory = "https://iptv-org.github.io/api/";
    // Read when the lists of tvDirectory cannot be had; empty: tvDirectory + "index.m3u" when
    // tvDirectory was changed, else the public list.
    std::string tvPlaylist;
    std::string output = "channels.dat";
    std::string isoCodes = "/usr/share/iso-codes/json/iso_3166-1.json";
    // The same names carried by the program itself (where no system file has them), read when
    // isoCodes is empty.
    std::string_view carriedIsoCodes;
    bool quiet = false;
    bool help = false;
    // A directory list longer than this is refused rather than filling the memory.
    size_t maxListObjects = 2'000'000;
    // The program's window (an X11 window id) when it started the updater from its menu.
    bool hasWindow = false;
    uint64_t window = 0;
};

// One key = value setting, from the command line (--key value, --key=value) or the ini file.
using Setting = std::pair<std::string, std::string>;

struct Arguments {
    std::vector<Setting> settings;  // in the order given
    bool quiet = false;
    bool help = false;
    bool hasWindow = false;
    uint64_t window = 0;
    std::string error;  // empty when the arguments were understood
};

// The arguments after the program's name. A first argument of digits (with an optional leading
// "-") is the window.
Arguments parseArguments(const std::vector<std::string>& args);

// The lines of updater.ini: "key = value", "#" or ";" comments, blank lines, and section
// headers (ignored). `error` names the first line that is not understood.
std::vector<Setting> parseIni(std::string_view text, std::string* error);

// Applies one setting; empty on success, else the reason. Later settings win; "playlist" adds.
std::string applySetting(Options& options, const Setting& setting);

// The folder part of a path with its last separator ("/", and on Windows "\\"), or empty for a
// bare name.
std::string folderOf(std::string_view path);

// The fallback playlist of the TV directory in use.
std::string tvPlaylistAddress(const Options& options);

// The text of --help, for the program of that name.
std::string usageText(std::string_view program = kProgramName);

}  // namespace vistrelle::updater
