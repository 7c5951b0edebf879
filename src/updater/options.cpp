#include "updater/options.h"

#include <algorithm>

#include "os/file.h"

namespace vistrelle::updater {

namespace {

constexpr std::string_view kDefaultTvDirectory = "https://iptv-org.github.io/api/";
constexpr std::string_view kDefaultTvPlaylist = "https://iptv-org.github.io/iptv/index.m3u";

std::string_view trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string lower(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

// Keys that are switches: given alone on the command line.
bool isSwitch(std::string_view key) {
    return key == "no-radio" || key == "no-tv";
}

bool isKnownKey(std::string_view key) {
    return isSwitch(key) || key == "playlist" || key == "radio-directory" ||
           key == "tv-directory" || key == "tv-playlist" || key == "output" || key == "iso-codes";
}

// A switch's value: empty, yes, true, on or 1 set it; no, false, off or 0 clear it.
int switchValue(std::string_view value) {
    std::string text = lower(trim(value));
    if (text.empty() || text == "yes" || text == "true" || text == "on" || text == "1") {
        return 1;
    }
    if (text == "no" || text == "false" || text == "off" || text == "0") {
        return 0;
    }
    return -1;
}

bool allDigits(std::string_view text) {
    return !text.empty() && text.size() <= 10 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

Arguments parseArguments(const std::vector<std::string>& args) {
    Arguments result;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        // The program passes its window as signed decimal text of its 32-bit value.
        if (i == 0 && allDigits(arg.starts_with('-') ? arg.substr(1) : arg)) {
            result.hasWindow = true;
            result.window = static_cast<uint32_t>(std::stoll(std::string(arg)));
            continue;
        }
        if (arg == "--quiet" || arg == "-q") {
            result.quiet = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            result.help = true;
            continue;
        }
        if (!arg.starts_with("--")) {
            result.error = "Unknown argument \"" + std::string(arg) + "\" (see --help).";
            return result;
        }
        std::string key(arg.substr(2));
        std::string value;
        bool hasValue = false;
        if (size_t equals = key.find('='); equals != std::string::npos) {
            value = key.substr(equals + 1);
            key.resize(equals);
            hasValue = true;
        }
        if (!isKnownKey(key)) {
            result.error = "Unknown option --" + key + " (see --help).";
            return result;
        }
        if (!hasValue && !isSwitch(key)) {
            if (i + 1 == args.size()) {
                result.error = "The option --" + key + " needs a value.";
                return result;
            }
            value = args[++i];
        }
        result.settings.emplace_back(key, value);
    }
    return result;
}

std::vector<Setting> parseIni(std::string_view text, std::string* error) {
    std::vector<Setting> settings;
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    int number = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (line.empty() || line.front() == '#' || line.front() == ';' ||
            (line.front() == '[' && line.back() == ']')) {
            continue;
        }
        size_t equals = line.find('=');
        std::string key = lower(trim(line.substr(0, equals)));
        if (equals == std::string_view::npos && isSwitch(key)) {
            settings.emplace_back(key, "");
            continue;
        }
        if (equals == std::string_view::npos || !isKnownKey(key)) {
            if (error != nullptr && error->empty()) {
                *error = std::string(kIniName) + " line " + std::to_string(number) + ": " +
                         (equals == std::string_view::npos ? "expected key = value"
                                                           : "unknown key \"" + key + "\"") +
                         ".";
            }
            continue;
        }
        settings.emplace_back(key, std::string(trim(line.substr(equals + 1))));
    }
    return settings;
}

std::string applySetting(Options& options, const Setting& setting) {
    const auto& [key, value] = setting;
    if (isSwitch(key)) {
        int on = switchValue(value);
        if (on < 0) {
            return "The value of " + key + " must be yes or no, not \"" + value + "\".";
        }
        (key == "no-radio" ? options.radio : options.tv) = on == 0;
        return {};
    }
    if (value.empty() && key != "playlist") {
        return "The value of " + key + " is empty.";
    }
    if (key == "playlist") {
        if (!value.empty()) {
            options.playlists.push_back(value);
        }
    } else if (key == "radio-directory") {
        options.radioDirectory = value;
    } else if (key == "tv-directory") {
        options.tvDirectory = value;
    } else if (key == "tv-playlist") {
        options.tvPlaylist = value;
    } else if (key == "output") {
        options.output = value;
    } else if (key == "iso-codes") {
        options.isoCodes = value;
    } else {
        return "Unknown setting " + key + ".";
    }
    return {};
}

std::string folderOf(std::string_view path) {
    return os::folderOf(std::string(path));
}

std::string tvPlaylistAddress(const Options& options) {
    if (!options.tvPlaylist.empty()) {
        return options.tvPlaylist;
    }
    if (options.tvDirectory == kDefaultTvDirectory) {
        return std::string(kDefaultTvPlaylist);
    }
    std::string base = options.tvDirectory;
    if (!base.empty() && base.back() != '/') {
        base += '/';
    }
    return base + "index.m3u";
}

std::string usageText(std::string_view program) {
    const bool quoted = program.find(' ') != std::string_view::npos;
    return "Usage: " + std::string(quoted ? "\"" : "") + std::string(program) +
           (quoted ? "\"" : "") +
           " [WINDOW] [options]\n"
           "Downloads the public radio and TV directories and your playlists into channels.dat.\n"
           "  --no-radio               leave out the radio directory\n"
           "  --no-tv                  leave out the TV directory\n"
           "  --playlist FILE-OR-URL   add an M3U, PLS or XSPF playlist (repeatable)\n"
           "  --radio-directory URL    a radio directory server (skips the DNS discovery)\n"
           "  --tv-directory URL       the folder holding channels.json and streams.json\n"
           "  --tv-playlist URL        the TV playlist used when those cannot be had\n"
           "  --output FILE            the catalogue to write (default channels.dat)\n"
           "  --iso-codes FILE         the ISO 3166 country names (iso-codes JSON)\n"
           "  --quiet                  no window: progress lines on standard error\n"
           "The same keys, without the dashes, may be set in updater.ini beside the catalogue\n"
           "(key = value lines, # comments); the command line wins.\n";
}

}  // namespace vistrelle::updater
