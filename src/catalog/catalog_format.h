// The line format of channels.dat and favorites.dat.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/channel.h"
#include "os/file.h"

namespace vistrelle {

// Reads catalogue lines from an open file, or from bytes in memory. A line ends at CR, LF,
// CR LF or a zero byte; a CR as the last byte of the file ends the last line. Reads in large
// blocks; the lines are the same as those of reading one byte at a time.
class CatalogReader {
public:
    static constexpr size_t kBlockSize = size_t{1} << 20;

    explicit CatalogReader(os::File& file, size_t blockSize = kBlockSize);
    // Reads `bytes` (which must outlive the reader), handed over `blockSize` bytes at a time as
    // a file would give them.
    explicit CatalogReader(std::string_view bytes, size_t blockSize = kBlockSize);

    // True when no further line can be read (tested before each readCatalogLine). A read error
    // counts as the end of the file.
    bool atEnd();
    // The next line without its terminator; valid until the next call of atEnd or
    // readCatalogLine.
    std::string_view readCatalogLine();

private:
    bool fill();  // the next block into buffer_; false at the end
    os::File* file_ = nullptr;
    std::string_view memory_;  // the bytes not yet handed over, in memory mode
    size_t blockSize_;
    std::vector<char> buffer_;    // file mode: the last block read
    const char* data_ = nullptr;  // the current block: [data_ + begin_, data_ + end_) is unread
    size_t begin_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
    std::string line_;
};

// Every line of a catalogue held in memory, as CatalogReader gives them.
std::vector<std::string> splitCatalogLines(std::string_view bytes);

// The k-th "|"-separated field of a line, counting from 1 (k below 1 counts as 1); empty when
// the line has fewer fields.
std::string_view lineField(std::string_view line, int k);

// Leading spaces and tabs, one optional sign, decimal digits in wrapping 32-bit arithmetic.
int32_t parseBitrate(std::string_view text);

Channel parseChannelLine(std::string_view line);

// country|name|bitrate|category|comment|streamUrl|homepage, without line end.
std::string formatChannelLine(const Channel& channel);

}  // namespace vistrelle
