#include "updater/texts.h"

namespace vistrelle::updater {

std::string groupedNumber(uint64_t value) {
    std::string digits = std::to_string(value);
    std::string result;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            result.push_back(',');
        }
        result.push_back(digits[i]);
    }
    return result;
}

std::string byteSize(uint64_t bytes) {
    if (bytes < 1000) {
        return std::to_string(bytes) + " bytes";
    }
    if (bytes < 1000000) {
        return std::to_string(bytes / 1000) + " KB";
    }
    uint64_t tenths = bytes / 100000;
    return groupedNumber(tenths / 10) + "." + std::to_string(tenths % 10) + " MB";
}

namespace {

std::string withNotes(std::string text, const std::vector<std::string>& notes) {
    for (const std::string& note : notes) {
        text += " " + note;
    }
    return text;
}

}  // namespace

std::string summaryText(const Counts& counts, const std::vector<std::string>& notes) {
    std::string text = groupedNumber(counts.total()) +
                       (counts.total() == 1 ? " channel saved: " : " channels saved: ") +
                       groupedNumber(counts.radio) + " radio, " + groupedNumber(counts.tv) + " TV";
    if (counts.playlist > 0) {
        text += ", " + groupedNumber(counts.playlist) + " from playlists";
    }
    return withNotes(text + ".", notes);
}

std::string nothingFoundText(const std::vector<std::string>& notes) {
    return withNotes("No channels were found.", notes) + " The old channel list is kept.";
}

std::string noStationsText(uint64_t stations, uint64_t broken) {
    if (stations == 0) {
        return "it sent no stations.";
    }
    if (broken == stations) {
        return stations == 1 ? "the one station it sent is marked as not working."
                             : "all " + groupedNumber(stations) +
                                   " stations it sent are marked as not working.";
    }
    return stations == 1 ? "the one station it sent has no address that can be played."
                         : "none of the " + groupedNumber(stations) +
                               " stations it sent has an address that can be played.";
}

std::string tvDirectoryEmptyText() {
    return "The TV directory lists no channel that can be played.";
}

std::string playlistNoteText(std::string_view where, std::string_view why) {
    return "The playlist " + std::string(where) + ": " + std::string(why);
}

std::string localFilesText(bool fetched) {
    return fetched ? "it names only files on another computer."
                   : "it names only files, no streams on the web.";
}

std::string outputIsFolderText(std::string_view path) {
    std::string file(path);
    if (!file.empty() && file.back() != '/') {
        file += '/';
    }
    return std::string(path) + " is a folder: name the channel list file to write, such as " +
           file + "channels.dat.";
}

std::string outputNotAFileText(std::string_view path) {
    return std::string(path) + " is not a file that a channel list can be written to.";
}

std::string outputFolderMissingText(std::string_view folder) {
    return "The folder " + std::string(folder) + " does not exist.";
}

std::string nextStartText() {
    return "The new list shows the next time Vistrelle starts.";
}

std::string progressText(std::string_view items, uint64_t count, uint64_t bytes) {
    return groupedNumber(count) + " " + std::string(items) + ", " + byteSize(bytes);
}

std::string cancelledText() {
    return "Cancelled. The old channel list is kept.";
}

}  // namespace vistrelle::updater
