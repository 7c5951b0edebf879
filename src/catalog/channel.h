// The catalogue entry and the small text helpers shared by the whole program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vistrelle {

// The decimal text of a number: a minus sign for negative numbers, digits without leading zeros.
std::string decimalText(int64_t value);

class ChannelRecord;  // the seven fields of one entry, immutable once built
class ChannelChunk;   // a block of records with one count of the entries that use them

// One catalogue entry: seven fields, plus the per-entry `watching` mark.
//
// The fields never change after an entry is built, so copies share them; a copy made with
// copy() behaves exactly like a field-by-field copy (its `watching` is 0). Exchanging two
// entries exchanges everything, the mark included.
//
// Records are laid out one after another in blocks of a few hundred kilobytes, and each block
// counts the entries that refer to it: copying or dropping an entry touches only its block's
// count (which the cache keeps close) and never the record itself. A block is freed with its
// last entry. Entries belong to the program's one thread: the counts are not atomic.
class Channel {
public:
    Channel() noexcept = default;  // every text empty, bitrate 0, watching 0
    Channel(std::string_view country, std::string_view name, int32_t bitrate,
            std::string_view category, std::string_view comment, std::string_view streamUrl,
            std::string_view homepage);
    Channel(const Channel& other) noexcept;
    Channel(Channel&& other) noexcept;
    Channel& operator=(const Channel& other) noexcept;
    Channel& operator=(Channel&& other) noexcept;
    ~Channel();

    std::string_view country() const noexcept;
    std::string_view name() const noexcept;
    int32_t bitrate() const noexcept;
    std::string_view category() const noexcept;
    std::string_view comment() const noexcept;
    std::string_view streamUrl() const noexcept;
    std::string_view homepage() const noexcept;

    // The name, category and comment, which an entry keeps one after another: the three as one
    // text, and where the name and the category end in it.
    std::string_view searchedTexts(size_t& nameEnd, size_t& categoryEnd) const noexcept;

    // A copy for another list: fields 1 to 7, `watching` 0, no favourite link.
    Channel copy() const noexcept;

    friend void swap(Channel& a, Channel& b) noexcept;
    // Asks the processor to fetch the entry's fields ahead of use (a hint; it may do nothing).
    friend void prefetchFields(const Channel& channel) noexcept;

    // The first bytes of the name as TextPrefix compares them (TextPrefix::headOf), kept in the
    // entry so that finding a row by its name seldom reads the record.
    uint32_t nameHead() const noexcept {
        return static_cast<uint32_t>(nameHead_[0]) | (static_cast<uint32_t>(nameHead_[1]) << 8) |
               (static_cast<uint32_t>(nameHead_[2]) << 16);
    }

    // 1 on the entry of shownChannels whose channel is being watched.
    uint8_t watching = 0;

private:
    // Beside `watching`, in room the entry has anyway.
    uint8_t nameHead_[3] = {};

public:
    // Links an entry of favoriteChannels and the view entries copied from it (0: none), so
    // that a favourite can be found again after its view was sorted. Never stored.
    uint32_t favoriteId = 0;

private:
    const ChannelRecord* record() const noexcept;

    // The entry's record: `offset_` bytes into block number `chunk_` of the block table; block
    // 0 is none (every text empty, bitrate 0). Numbers keep an entry at 16 bytes.
    uint32_t chunk_ = 0;
    uint32_t offset_ = 0;
};

void prefetchFields(const Channel& channel) noexcept;

// name LF category LF decimal bitrate LF comment: the texts of the four list columns.
std::string channelRowText(const Channel& channel);

}  // namespace vistrelle
