// From mapped entries to channels.dat: order, duplicates, the file's bytes and its safe
// replacement.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "updater/entry.h"

namespace vistrelle::updater {

struct Counts {
    size_t radio = 0;
    size_t tv = 0;
    size_t playlist = 0;
    size_t total() const { return radio + tv + playlist; }
};

// Keeps the most popular of entries with the same stream address, then orders them: countries
// as people read them (accents and letter case aside), each country one run; within a country
// playlists, TV, radio; within those the most popular first, then by name; otherwise as found.
void orderEntries(std::vector<Entry>& entries);

Counts countEntries(const std::vector<Entry>& entries);

// The catalogue lines of the entries, each ending with CR LF.
std::string catalogBytes(const std::vector<Entry>& entries);

// Replaces `path` with `bytes` through a temporary file in the same folder; on failure the old
// file is left as it was, no temporary file stays, and the result says why.
std::string replaceCatalog(const std::string& path, const std::string& bytes);

}  // namespace vistrelle::updater
