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

std::string summaryText(const Counts& counts) {
    std::string text = groupedNumber(counts.total()) +
                       (counts.total() == 1 ? " channel saved: " : " channels saved: ") +
                       groupedNumber(counts.radio) + " radio, " + groupedNumber(counts.tv) + " TV";
    if (counts.playlist > 0) {
        text += ", " + groupedNumber(counts.playlist) + " from playlists";
    }
    return text + ".";
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
