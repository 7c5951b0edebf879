// Every text the channel updater shows or prints.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "updater/catalog_build.h"

namespace vistrelle::updater {

// 61234 as "61,234".
std::string groupedNumber(uint64_t value);
// 900 as "900 bytes", 52000 as "52 KB", 8123456 as "8.1 MB".
std::string byteSize(uint64_t bytes);

// "61,234 channels saved: 49,870 radio, 11,364 TV." (and ", 12 from playlists").
std::string summaryText(const Counts& counts);
// What the menu run adds: the program reads the list when it starts.
std::string nextStartText();

// "12,345 stations, 8.1 MB" for the progress bar.
std::string progressText(std::string_view items, uint64_t count, uint64_t bytes);

std::string cancelledText();

// The window's title while it works, and once it is done.
inline constexpr std::string_view kWindowTitle = "Update channel list";
inline constexpr std::string_view kDoneTitle = "Channel list updated";
inline constexpr std::string_view kFailedTitle = "Channel list not updated";

}  // namespace vistrelle::updater
