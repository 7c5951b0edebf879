#include "catalog/channel.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "ui/text_prefix.h"

namespace vistrelle {

std::string decimalText(int64_t value) {
    // Work on the magnitude as unsigned so that the smallest value needs no special case.
    uint64_t magnitude =
        value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    char digits[24];
    size_t at = sizeof digits;
    do {
        digits[--at] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) {
        digits[--at] = '-';
    }
    return std::string(digits + at, sizeof digits - at);
}

// The bytes of one entry: the bitrate, the end offset of each of the six texts (country, name,
// category, comment, streamUrl, homepage), then the texts one after another.
class ChannelRecord {
public:
    static constexpr int kTexts = 6;

    std::string_view text(int i) const noexcept {
        uint32_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(bytes() + begin, ends_[i] - begin);
    }
    int32_t bitrate() const noexcept { return bitrate_; }

    // Bytes a record of these texts takes, rounded up to keep the next record aligned.
    static size_t sizeFor(size_t textBytes) {
        return (sizeof(ChannelRecord) + textBytes + alignof(ChannelRecord) - 1) &
               ~(alignof(ChannelRecord) - 1);
    }
    // Builds the record at `memory` (sizeFor(total of texts) bytes).
    static void build(void* memory, const std::string_view (&texts)[kTexts], int32_t bitrate) {
        auto* record = new (memory) ChannelRecord();
        record->bitrate_ = bitrate;
        uint32_t end = 0;
        for (int i = 0; i < kTexts; ++i) {
            if (!texts[i].empty()) {
                std::memcpy(record->bytes() + end, texts[i].data(), texts[i].size());
            }
            end += static_cast<uint32_t>(texts[i].size());
            record->ends_[i] = end;
        }
    }

private:
    ChannelRecord() = default;
    char* bytes() noexcept { return reinterpret_cast<char*>(this + 1); }
    const char* bytes() const noexcept { return reinterpret_cast<const char*>(this + 1); }

    int32_t bitrate_ = 0;
    uint32_t ends_[kTexts] = {};
};

// A block of records; a record larger than a quarter block gets a block of its own. Records are
// added at the end while the block is the current block; `refs_` counts the entries that use
// the block, plus one while it is current.
class ChannelChunk {
public:
    static constexpr size_t kBytes = size_t{256} << 10;

    static ChannelChunk* make(size_t recordBytes, uint32_t id) {
        const size_t capacity = std::max(kBytes - sizeof(ChannelChunk), recordBytes);
        void* memory = ::operator new(sizeof(ChannelChunk) + capacity);
        auto* chunk = new (memory) ChannelChunk();
        chunk->capacity_ = capacity;
        chunk->id_ = id;
        return chunk;
    }
    static void destroy(ChannelChunk* chunk) noexcept {
        chunk->~ChannelChunk();
        ::operator delete(static_cast<void*>(chunk));
    }
    void retain() noexcept { ++refs_; }
    bool release() noexcept { return --refs_ == 0; }  // true when nothing uses it any more
    size_t room() const noexcept { return capacity_ - used_; }
    // Takes `size` bytes at the end; returns their offset.
    uint32_t take(size_t size) noexcept {
        const size_t at = used_;
        used_ += size;
        return static_cast<uint32_t>(at);
    }
    const char* at(uint32_t offset) const noexcept {
        return reinterpret_cast<const char*>(this + 1) + offset;
    }
    char* at(uint32_t offset) noexcept { return reinterpret_cast<char*>(this + 1) + offset; }
    uint32_t id() const noexcept { return id_; }

private:
    ChannelChunk() = default;
    size_t refs_ = 1;
    size_t used_ = 0;
    size_t capacity_ = 0;
    uint32_t id_ = 0;
};

namespace {

static_assert(sizeof(ChannelChunk) % alignof(ChannelRecord) == 0);

// Records address their bytes with 32-bit offsets; texts that would go past that are cut (no
// catalogue line of a real file comes near it).
constexpr size_t kMaxTextBytes = 0xFFFFFFFFu - 64;

// Every live block by number, and the block new records go to (it holds one count of its own,
// given up when it is replaced). Made on first use and never destroyed, so that entries that
// outlive the end of main still find their blocks.
struct ChunkTable {
    std::vector<ChannelChunk*> chunks{nullptr};  // number 0 is no block
    std::vector<uint32_t> freeIds;
    ChannelChunk* current = nullptr;

    ChannelChunk* make(size_t recordBytes) {
        uint32_t id;
        if (!freeIds.empty()) {
            id = freeIds.back();
            freeIds.pop_back();
        } else {
            id = static_cast<uint32_t>(chunks.size());
            chunks.push_back(nullptr);
        }
        chunks[id] = ChannelChunk::make(recordBytes, id);
        return chunks[id];
    }
    void release(ChannelChunk* chunk) noexcept {
        if (chunk->release()) {
            chunks[chunk->id()] = nullptr;
            freeIds.push_back(chunk->id());  // never grows past chunks' capacity
            ChannelChunk::destroy(chunk);
        }
    }
    // Room for `size` bytes, counted for the caller: in the current block, in a fresh one, or
    // in a block of its own for a large record.
    ChannelChunk* place(size_t size, uint32_t& offset) {
        if (size > ChannelChunk::kBytes / 4) {
            ChannelChunk* own = make(size);
            offset = own->take(size);
            return own;
        }
        if (current == nullptr || current->room() < size) {
            if (current != nullptr) {
                release(current);
            }
            current = make(size);
        }
        current->retain();
        offset = current->take(size);
        return current;
    }
};

ChunkTable* chunkTable = nullptr;

enum TextIndex { kCountry, kName, kCategory, kComment, kStreamUrl, kHomepage };

}  // namespace

static_assert(sizeof(Channel) == 16, "an entry stays at 16 bytes");

Channel::Channel(std::string_view country, std::string_view name, int32_t bitrate,
                 std::string_view category, std::string_view comment, std::string_view streamUrl,
                 std::string_view homepage) {
    std::string_view texts[ChannelRecord::kTexts] = {country, name,      category,
                                                     comment, streamUrl, homepage};
    size_t total = 0;
    for (auto& text : texts) {
        text = text.substr(0, kMaxTextBytes - total);
        total += text.size();
    }
    // An entry with nothing in it (an empty line) needs no record.
    if (total == 0 && bitrate == 0) {
        return;
    }
    if (chunkTable == nullptr) {
        chunkTable = new ChunkTable();
    }
    // Make room for the free list first, so that giving a number back never allocates.
    chunkTable->freeIds.reserve(chunkTable->chunks.size() + 1);
    ChannelChunk* chunk = chunkTable->place(ChannelRecord::sizeFor(total), offset_);
    ChannelRecord::build(chunk->at(offset_), texts, bitrate);
    chunk_ = chunk->id();
    const uint32_t head = TextPrefix::headOf(texts[kName]);
    for (size_t i = 0; i < sizeof nameHead_; ++i) {
        nameHead_[i] = static_cast<uint8_t>(head >> (8 * i));
    }
}

Channel::Channel(const Channel& other) noexcept
    : watching(other.watching),
      nameHead_{other.nameHead_[0], other.nameHead_[1], other.nameHead_[2]},
      favoriteId(other.favoriteId),
      chunk_(other.chunk_),
      offset_(other.offset_) {
    if (chunk_ != 0) {
        chunkTable->chunks[chunk_]->retain();
    }
}

Channel::Channel(Channel&& other) noexcept
    : watching(other.watching),
      nameHead_{other.nameHead_[0], other.nameHead_[1], other.nameHead_[2]},
      favoriteId(other.favoriteId),
      chunk_(std::exchange(other.chunk_, 0)),
      offset_(std::exchange(other.offset_, 0)) {}

Channel& Channel::operator=(const Channel& other) noexcept {
    Channel copied(other);
    swap(*this, copied);
    return *this;
}

Channel& Channel::operator=(Channel&& other) noexcept {
    Channel moved(std::move(other));
    swap(*this, moved);
    return *this;
}

Channel::~Channel() {
    if (chunk_ != 0) {
        chunkTable->release(chunkTable->chunks[chunk_]);
    }
}

const ChannelRecord* Channel::record() const noexcept {
    if (chunk_ == 0) {
        return nullptr;
    }
    return reinterpret_cast<const ChannelRecord*>(chunkTable->chunks[chunk_]->at(offset_));
}

std::string_view Channel::country() const noexcept {
    const ChannelRecord* fields = record();
    return fields != nullptr ? fields->text(kCountry) : std::string_view();
}
std::string_view Channel::name() const noexcept {
    const ChannelRecord* fields = record();
    return fields != nullptr ? fields->text(kName) : std::string_view();
}
int32_t Channel::bitrate() const noexcept {
    const ChannelRecord* fields = record();
    return fields != nullptr ? fields->bitrate() : 0;
}
std::string_view Channel::category() const noexcept {
    const ChannelRecord* fields = record();
    return fields != nullptr ? fields->text(kCategory) : std::string_view();
}
std::string_view Channel::comment() const noexcept {
    const ChannelRecord* fields = record();
    return fields != nullptr ? fields->text(kComment) : std::string_view();
}
std::string_view Channel::streamUrl() const noexcept {
    const ChannelRecord* fields = record();
    return fields != nullptr ? fields->text(kStreamUrl) : std::string_view();
}
std::string_view Channel::homepage() const noexcept {
    const ChannelRecord* fields = record();
    return fields != nullptr ? fields->text(kHomepage) : std::string_view();
}

std::string_view Channel::searchedTexts(size_t& nameEnd, size_t& categoryEnd) const noexcept {
    const ChannelRecord* fields = record();
    if (fields == nullptr) {
        nameEnd = 0;
        categoryEnd = 0;
        return std::string_view();
    }
    const std::string_view name = fields->text(kName);
    nameEnd = name.size();
    categoryEnd = nameEnd + fields->text(kCategory).size();
    return std::string_view(name.data(), categoryEnd + fields->text(kComment).size());
}

Channel Channel::copy() const noexcept {
    Channel copied(*this);
    copied.watching = 0;
    copied.favoriteId = 0;
    return copied;
}

void swap(Channel& a, Channel& b) noexcept {
    std::swap(a.chunk_, b.chunk_);
    std::swap(a.offset_, b.offset_);
    std::swap(a.watching, b.watching);
    std::swap(a.favoriteId, b.favoriteId);
    std::swap(a.nameHead_, b.nameHead_);
}

void prefetchFields(const Channel& channel) noexcept {
#if defined(__GNUC__)
    if (const ChannelRecord* record = channel.record(); record != nullptr) {
        const char* at = reinterpret_cast<const char*>(record);
        __builtin_prefetch(at);
        __builtin_prefetch(at + 64);
    }
#else
    (void)channel;
#endif
}

std::string channelRowText(const Channel& channel) {
    std::string bitrate = decimalText(channel.bitrate());
    std::string text;
    text.reserve(channel.name().size() + channel.category().size() + bitrate.size() +
                 channel.comment().size() + 3);
    text.append(channel.name());
    text.push_back('\n');
    text.append(channel.category());
    text.push_back('\n');
    text.append(bitrate);
    text.push_back('\n');
    text.append(channel.comment());
    return text;
}

}  // namespace vistrelle
