// Column sorting: the quicksort of the channel list, with its own pivot choice and partition.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

#include "catalog/catalog.h"
#include "ui/window_layer.h"

namespace vistrelle {

namespace {

// One entry of the view while it is sorted: the position it came from and the start of its key,
// so that most comparisons need not reach the entry's fields.
//
// Text keys: `high` and `low` hold the first sixteen bytes big-endian, padded with zero bytes,
// and `length` the text's length (capped). Comparing them as numbers orders texts by their first
// sixteen bytes; only equal beginnings of longer texts need a closer look. Integer keys: `high`
// is the value moved into unsigned order, and says everything.
struct SortItem {
    uint64_t high;
    uint64_t low;
    uint32_t index;
    uint32_t length;
};

constexpr size_t kPrefixBytes = 16;

uint64_t bigEndian(const unsigned char* bytes) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

void setTextKey(SortItem& item, std::string_view text) {
    unsigned char bytes[kPrefixBytes] = {};
    if (!text.empty()) {
        std::memcpy(bytes, text.data(), std::min(text.size(), kPrefixBytes));
    }
    item.high = bigEndian(bytes);
    item.low = bigEndian(bytes + 8);
    item.length =
        static_cast<uint32_t>(std::min<size_t>(text.size(), std::numeric_limits<uint32_t>::max()));
}

std::string_view keyText(const Channel& channel, SortKey key) {
    switch (key) {
        case SortKey::Name:
            return channel.name();
        case SortKey::Category:
            return channel.category();
        case SortKey::Comment:
            return channel.comment();
        case SortKey::Bitrate:
            break;
    }
    return std::string_view();
}

class Sorter {
public:
    Sorter(const std::vector<Channel>& channels, SortKey key, SortDirection direction)
        : channels_(channels), key_(key), ascending_(direction == SortDirection::Ascending) {}

    // -1, 0 or 1 as the key of a is smaller than, equal to or larger than the key of b.
    int compare(const SortItem& a, const SortItem& b) const {
        if (a.high != b.high) {
            return a.high < b.high ? -1 : 1;
        }
        if (key_ == SortKey::Bitrate) {
            return 0;
        }
        if (a.low != b.low) {
            return a.low < b.low ? -1 : 1;
        }
        if (a.index == b.index) {
            return 0;  // the pivot against itself
        }
        if (a.length <= kPrefixBytes && b.length <= kPrefixBytes) {
            // Same first bytes and nothing after them: the shorter text is a prefix of the other.
            return a.length == b.length ? 0 : (a.length < b.length ? -1 : 1);
        }
        int order = keyText(channels_[a.index], key_).compare(keyText(channels_[b.index], key_));
        return order < 0 ? -1 : (order > 0 ? 1 : 0);
    }
    bool before(const SortItem& a, const SortItem& b) const {
        return ascending_ ? compare(a, b) < 0 : compare(a, b) > 0;
    }
    bool after(const SortItem& a, const SortItem& b) const {
        return ascending_ ? compare(a, b) > 0 : compare(a, b) < 0;
    }

    size_t partition(std::vector<SortItem>& items, size_t left, size_t right) const {
        const size_t middle = left + (right - left) / 2;
        size_t pivot;
        if (!after(items[left], items[right]) && !after(items[middle], items[left])) {
            pivot = left;
        } else if (after(items[left], items[right])) {
            pivot = middle;
        } else if (before(items[middle], items[right])) {
            pivot = middle;
        } else {
            pivot = right;
        }
        std::swap(items[pivot], items[left]);
        const SortItem value = items[left];
        // i starts one before left and j one after right; both move before their first test.
        size_t i = left;
        size_t j = right;
        bool first = true;
        for (;;) {
            if (!first) {
                --j;
            }
            while (after(items[j], value)) {
                --j;
            }
            if (!first) {
                ++i;
            }
            first = false;
            while (before(items[i], value)) {
                ++i;
            }
            if (i >= j) {
                return j;
            }
            std::swap(items[i], items[j]);
        }
    }

    // Sorts left..right. The smaller part is sorted by a recursive call and the larger one by
    // the loop, so the depth stays within log2 of the length; the parts are disjoint, so the
    // result is the same as sorting left..p first and then p+1..right.
    void sort(std::vector<SortItem>& items, size_t left, size_t right) const {
        while (left < right) {
            const size_t p = partition(items, left, right);
            if (p - left < right - (p + 1)) {
                sort(items, left, p);
                left = p + 1;
            } else {
                sort(items, p + 1, right);
                right = p;
            }
        }
    }

private:
    const std::vector<Channel>& channels_;
    SortKey key_;
    bool ascending_;
};

}  // namespace

void sortShownChannels(std::vector<Channel>& channels, SortKey key, SortDirection direction) {
    if (channels.size() < 2) {
        return;
    }
    std::vector<SortItem> items(channels.size());
    // The fields lie scattered once a view has been sorted: ask for them a little ahead.
    constexpr size_t kAhead = 16;
    for (size_t i = 0; i < channels.size(); ++i) {
        if (key != SortKey::Bitrate && i + kAhead < channels.size()) {
            prefetchFields(channels[i + kAhead]);
        }
        SortItem& item = items[i];
        item.index = static_cast<uint32_t>(i);
        if (key == SortKey::Bitrate) {
            item.high = static_cast<uint32_t>(channels[i].bitrate()) ^ 0x80000000u;
            item.low = 0;
            item.length = 0;
        } else {
            setTextKey(item, keyText(channels[i], key));
        }
    }
    Sorter(channels, key, direction).sort(items, 0, items.size() - 1);
    // Whole entries move to their new places, the watched mark with them. (Following the cycles
    // of the order in place would save this list but jumps across memory at every step, several
    // times slower on large views.)
    std::vector<Channel> sorted;
    sorted.reserve(channels.size());
    for (const SortItem& item : items) {
        sorted.push_back(std::move(channels[item.index]));
    }
    channels.swap(sorted);
}

void sortByColumn(Catalog& catalog, WindowUi& windows, int32_t column) {
    static constexpr SortKey kKeys[kColumnCount] = {SortKey::Name, SortKey::Category,
                                                    SortKey::Bitrate, SortKey::Comment};
    if (column < 0 || column >= kColumnCount) {
        return;
    }
    uint8_t& toggle = catalog.sortToggle[static_cast<size_t>(column)];
    toggle = toggle == 0 ? 1 : 0;
    const SortKey key = kKeys[column];
    // Flag 1 sorts text columns ascending and the bitrate descending.
    const bool ascending = (toggle == 1) != (key == SortKey::Bitrate);
    // While the search narrows the view, the whole view is sorted, so that the order stays
    // when the words change.
    takeWholeView(catalog);
    sortShownChannels(catalog.shownChannels, key,
                      ascending ? SortDirection::Ascending : SortDirection::Descending);
    narrowShownChannels(catalog);
    refillChannelList(catalog, windows);
}

}  // namespace vistrelle
