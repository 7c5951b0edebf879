// Every text the channel updater shows or prints.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "updater/catalog_build.h"

namespace vistrelle::updater {

// 61234 as "61,234".
std::string groupedNumber(uint64_t value);
// 900 as "900 bytes", 52000 as "52 KB", 8123456 as "8.1 MB".
std::string byteSize(uint64_t bytes);

// "61,234 channels saved: 49,870 radio, 11,364 TV." (and ", 12 from playlists"), then the
// notes on sources that gave no channel.
std::string summaryText(const Counts& counts, const std::vector<std::string>& notes = {});
// The failure when no source gave a channel, with those notes.
std::string nothingFoundText(const std::vector<std::string>& notes);

// Why a radio directory server's list gave no channel: "it sent no stations.", "all 128
// stations it sent are marked as not working." or that none has an address to play.
std::string noStationsText(uint64_t stations, uint64_t broken);
// The note when the TV directory's lists were read but name no channel to play.
std::string tvDirectoryEmptyText();
// The note on a playlist that holds no channel: "The playlist x.m3u: " and `why`.
std::string playlistNoteText(std::string_view where, std::string_view why);
// Why a playlist of nothing but local files gave no channel; `fetched` from the web.
std::string localFilesText(bool fetched);

// What is wrong with the output path, said before anything is downloaded.
std::string outputIsFolderText(std::string_view path);
std::string outputNotAFileText(std::string_view path);
std::string outputFolderMissingText(std::string_view folder);
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
