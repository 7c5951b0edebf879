#include "updater/catalog_build.h"

#include <algorithm>
#include <numeric>
#include <unordered_set>

#include "catalog/catalog_format.h"
#include "catalog/channel.h"
#include "os/file.h"

namespace vistrelle::updater {

namespace {

int compareNoCase(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x =
            static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(a[i])));
        unsigned char y =
            static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(b[i])));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
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
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const Entry& x = entries[a];
        const Entry& y = entries[b];
        if (int c = compareNoCase(x.country, y.country); c != 0) {
            return c < 0;
        }
        if (x.country != y.country) {
            return x.country < y.country;  // the same letters in another case: still one run each
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
