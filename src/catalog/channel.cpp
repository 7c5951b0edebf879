#include "catalog/channel.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

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
    static const ChannelRecord* build(void* memory, const std::string_view (&texts)[kTexts],
                                      int32_t bitrate) {
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
        return record;
    }

private:
    ChannelRecord() = default;
    char* bytes() noexcept { return reinterpret_cast<char*>(this + 1); }
    const char* bytes() const noexcept { return reinterpret_cast<const char*>(this + 1); }

    int32_t bitrate_ = 0;
    uint32_t ends_[kTexts] = {};
};

namespace {
// Blocks are aligned to their size, so a record's block is its address rounded down.
constexpr size_t kChunkBytes = size_t{256} << 10;
constexpr std::align_val_t kChunkAlignment{kChunkBytes};
}  // namespace

// A block of records, aligned to kChunkBytes; a record larger than a quarter block gets a block
// of its own. Records are added at the end while the block is the thread's current block;
// `refs_` counts the entries that use the block, plus one while it is current.
class ChannelChunk {
public:
    static ChannelChunk* make(size_t recordBytes) {
        const size_t total = std::max(kChunkBytes, sizeof(ChannelChunk) + recordBytes);
        void* memory = ::operator new(total, kChunkAlignment);
        auto* chunk = new (memory) ChannelChunk();
        chunk->capacity_ = total - sizeof(ChannelChunk);
        return chunk;
    }
    static ChannelChunk* of(const ChannelRecord* record) noexcept {
        const auto address = reinterpret_cast<uintptr_t>(record);
        return reinterpret_cast<ChannelChunk*>(address & ~uintptr_t{kChunkBytes - 1});
    }
    void retain() noexcept { ++refs_; }
    void release() noexcept {
        if (--refs_ == 0) {
            this->~ChannelChunk();
            ::operator delete(static_cast<void*>(this), kChunkAlignment);
        }
    }
    size_t room() const noexcept { return capacity_ - used_; }
    void* take(size_t size) noexcept {
        void* at = reinterpret_cast<char*>(this + 1) + used_;
        used_ += size;
        return at;
    }

private:
    ChannelChunk() = default;
    size_t refs_ = 1;
    size_t used_ = 0;
    size_t capacity_ = 0;
};

namespace {

static_assert(sizeof(ChannelChunk) % alignof(ChannelRecord) == 0);

// Records address their bytes with 32-bit offsets; texts that would go past that are cut (no
// catalogue line of a real file comes near it).
constexpr size_t kMaxTextBytes = 0xFFFFFFFFu - 64;

// The block new records go to. It holds one count of its own, given up when it is replaced
// or when the thread ends.
class CurrentChunk {
public:
    ~CurrentChunk() {
        if (chunk_ != nullptr) {
            chunk_->release();
        }
    }
    // Room for `size` bytes, counted for the caller: in the current block, in a fresh one, or
    // in a block of its own for a large record.
    void* place(size_t size) {
        if (size > kChunkBytes / 4) {
            return ChannelChunk::make(size)->take(size);
        }
        if (chunk_ == nullptr || chunk_->room() < size) {
            if (chunk_ != nullptr) {
                chunk_->release();
            }
            chunk_ = ChannelChunk::make(size);
        }
        chunk_->retain();
        return chunk_->take(size);
    }

private:
    ChannelChunk* chunk_ = nullptr;
};

thread_local CurrentChunk currentChunk;

enum TextIndex { kCountry, kName, kCategory, kComment, kStreamUrl, kHomepage };

}  // namespace

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
    record_ =
        ChannelRecord::build(currentChunk.place(ChannelRecord::sizeFor(total)), texts, bitrate);
}

Channel::Channel(const Channel& other) noexcept
    : watching(other.watching), favoriteId(other.favoriteId), record_(other.record_) {
    if (record_ != nullptr) {
        ChannelChunk::of(record_)->retain();
    }
}

Channel::Channel(Channel&& other) noexcept
    : watching(other.watching),
      favoriteId(other.favoriteId),
      record_(std::exchange(other.record_, nullptr)) {}

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
    if (record_ != nullptr) {
        ChannelChunk::of(record_)->release();
    }
}

std::string_view Channel::country() const noexcept {
    return record_ != nullptr ? record_->text(kCountry) : std::string_view();
}
std::string_view Channel::name() const noexcept {
    return record_ != nullptr ? record_->text(kName) : std::string_view();
}
int32_t Channel::bitrate() const noexcept {
    return record_ != nullptr ? record_->bitrate() : 0;
}
std::string_view Channel::category() const noexcept {
    return record_ != nullptr ? record_->text(kCategory) : std::string_view();
}
std::string_view Channel::comment() const noexcept {
    return record_ != nullptr ? record_->text(kComment) : std::string_view();
}
std::string_view Channel::streamUrl() const noexcept {
    return record_ != nullptr ? record_->text(kStreamUrl) : std::string_view();
}
std::string_view Channel::homepage() const noexcept {
    return record_ != nullptr ? record_->text(kHomepage) : std::string_view();
}

Channel Channel::copy() const noexcept {
    Channel copied(*this);
    copied.watching = 0;
    copied.favoriteId = 0;
    return copied;
}

void swap(Channel& a, Channel& b) noexcept {
    std::swap(a.record_, b.record_);
    std::swap(a.watching, b.watching);
    std::swap(a.favoriteId, b.favoriteId);
}

void prefetchFields(const Channel& channel) noexcept {
#if defined(__GNUC__)
    if (channel.record_ != nullptr) {
        const char* at = reinterpret_cast<const char*>(channel.record_);
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
