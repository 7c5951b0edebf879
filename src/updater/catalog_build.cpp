#include "updater/catalog_build.h"

#include <algorithm>
#include <numeric>
#include <unordered_set>

#include "catalog/catalog_format.h"
#include "catalog/channel.h"
#include "os/file.h"
#include "updater/letters.h"

namespace vistrelle::updater {

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

int compareNoCase(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(lowerAscii(a[i]));
        unsigned char y = static_cast<unsigned char>(lowerAscii(b[i]));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Each country's place in the order: as people read them, accents and letter case aside; the
// same letters in another case still give a run of their own.
std::unordered_map<std::string_view, uint32_t> countryRanks(const std::vector<Entry>& entries) {
    std::vector<std::string_view> countries;
    std::unordered_set<std::string_view> seen;
    for (const Entry& entry : entries) {
        if (seen.insert(entry.country).second) {
            countries.push_back(entry.country);
        }
    }
    std::sort(countries.begin(), countries.end(),
              [](std::string_view a, std::string_view b) { return compareAsRead(a, b) < 0; });
    std::unordered_map<std::string_view, uint32_t> ranks;
    for (uint32_t i = 0; i < countries.size(); ++i) {
        ranks.emplace(countries[i], i);
    }
    return ranks;
}

}  // namespace

void orderEntries(std::vector<Entry>& entries) {
    std::vector<size_t> order(entries.size());
    std::iota(order.begin(), order.end(), size_t{0});
    // The most popular of equal addresses stays; among equals the first found.
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return entries[a].popularity > entries[b].popularity;
    });
    std::unordered_set<std::string_view> seen;
    seen.reserve(entries.size());
    std::vector<bool> keep(entries.size(), false);
    for (size_t index : order) {
        keep[index] = seen.insert(entries[index].url).second;
    }
    std::erase_if(order, [&](size_t index) { return !keep[index]; });
    const auto ranks = countryRanks(entries);
    std::vector<uint32_t> rank(entries.size());
    for (size_t index : order) {
        rank[index] = ranks.at(entries[index].country);
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const Entry& x = entries[a];
        const Entry& y = entries[b];
        if (rank[a] != rank[b]) {
            return rank[a] < rank[b];
        }
        if (x.source != y.source) {
            return x.source < y.source;
        }
        if (x.popularity != y.popularity) {
            return x.popularity > y.popularity;
        }
        if (x.source != Source::Playlist) {
            return compareNoCase(x.name, y.name) < 0;
        }
        return false;
    });
    std::vector<Entry> ordered;
    ordered.reserve(order.size());
    for (size_t index : order) {
        ordered.push_back(std::move(entries[index]));
    }
    entries = std::move(ordered);
}

Counts countEntries(const std::vector<Entry>& entries) {
    Counts counts;
    for (const Entry& entry : entries) {
        switch (entry.source) {
            case Source::Radio:
                ++counts.radio;
                break;
            case Source::Tv:
                ++counts.tv;
                break;
            case Source::Playlist:
                ++counts.playlist;
                break;
        }
    }
    return counts;
}

std::string catalogBytes(const std::vector<Entry>& entries) {
    std::string bytes;
    size_t size = 0;
    for (const Entry& entry : entries) {
        size += entry.country.size() + entry.name.size() + entry.category.size() +
                entry.comment.size() + entry.url.size() + entry.homepage.size() + 20;
    }
    bytes.reserve(size);
    for (const Entry& entry : entries) {
        Channel channel(entry.country, entry.name, entry.bitrate, entry.category, entry.comment,
                        entry.url, entry.homepage);
        bytes += formatChannelLine(channel);
        bytes += "\r\n";
    }
    return bytes;
}

std::string replaceCatalog(const std::string& path, const std::string& bytes) {
    switch (os::replaceFile(path, bytes)) {
        case os::ReplaceResult::Replaced:
            return {};
        case os::ReplaceResult::NoTemporary:
            return "No new file can be made beside " + path +
                   " (is the folder writable?). The old list is kept.";
        case os::ReplaceResult::Failed:
            break;
    }
    return "Writing " + path + " failed (is the disk full?). The old list is kept.";
}

}  // namespace vistrelle::updater
