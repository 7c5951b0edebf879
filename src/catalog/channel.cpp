#include "catalog/channel.h"

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

// One allocation per entry: this header, then the bytes of the six texts one after another.
// ends_[i] is the offset just past text i (country, name, category, comment, streamUrl,
// homepage). The count is not atomic: entries live on one thread only.
class ChannelRecord {
public:
    static constexpr int kTexts = 6;

    static ChannelRecord* make(const std::string_view (&texts)[kTexts], int32_t bitrate) {
        size_t total = 0;
        uint32_t ends[kTexts];
        std::string_view kept[kTexts];
        for (int i = 0; i < kTexts; ++i) {
            // A record addresses its bytes with 32-bit offsets; a text that would go past 4 GiB
            // is cut there (no catalogue line of a real file comes near it).
            size_t room = kMaxBytes - total;
            kept[i] = texts[i].substr(0, room);
            total += kept[i].size();
            ends[i] = static_cast<uint32_t>(total);
        }
        void* memory = ::operator new(sizeof(ChannelRecord) + total);
        auto* record = new (memory) ChannelRecord();
        record->bitrate_ = bitrate;
        char* bytes = record->bytes();
        for (int i = 0; i < kTexts; ++i) {
            record->ends_[i] = ends[i];
            if (!kept[i].empty()) {
                std::memcpy(bytes + (i == 0 ? 0 : ends[i - 1]), kept[i].data(), kept[i].size());
            }
        }
        return record;
    }

    void retain() noexcept { ++refs_; }
    void release() noexcept {
        if (--refs_ == 0) {
            this->~ChannelRecord();
            ::operator delete(static_cast<void*>(this));
        }
    }

    std::string_view text(int i) const noexcept {
        uint32_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(bytes() + begin, ends_[i] - begin);
    }
    int32_t bitrate() const noexcept { return bitrate_; }

private:
    static constexpr size_t kMaxBytes = 0xFFFFFFFFu;

    ChannelRecord() = default;
    char* bytes() noexcept { return reinterpret_cast<char*>(this + 1); }
    const char* bytes() const noexcept { return reinterpret_cast<const char*>(this + 1); }

    uint32_t refs_ = 1;
    int32_t bitrate_ = 0;
    uint32_t ends_[kTexts] = {};
};

namespace {
enum TextIndex { kCountry, kName, kCategory, kComment, kStreamUrl, kHomepage };
}  // namespace

Channel::Channel(std::string_view country, std::string_view name, int32_t bitrate,
                 std::string_view category, std::string_view comment, std::string_view streamUrl,
                 std::string_view homepage) {
    const std::string_view texts[ChannelRecord::kTexts] = {country, name,      category,
                                                           comment, streamUrl, homepage};
    bool empty = bitrate == 0;
    for (const auto& text : texts) {
        empty = empty && text.empty();
    }
    // An entry with nothing in it (an empty line) needs no record.
    if (!empty) {
        record_ = ChannelRecord::make(texts, bitrate);
    }
}

Channel::Channel(const Channel& other) noexcept
    : watching(other.watching), favoriteId(other.favoriteId), record_(other.record_) {
    if (record_ != nullptr) {
        record_->retain();
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
        record_->release();
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
