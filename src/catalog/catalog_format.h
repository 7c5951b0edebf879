// The line format of channels.dat and favorites.dat.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/channel.h"
#include "os/file.h"

namespace vistrelle {

// Reads catalogue lines from an open file. A line ends at CR, LF, CR LF or a zero byte; a CR
// as the last byte of the file ends the last line. Reads in large blocks.
class CatalogReader {
public:
    explicit CatalogReader(os::File& file);

    // True when no further line can be read (tested before each readCatalogLine).
    bool atEnd();
    // The next line without its terminator; valid until the next call.
    std::string_view readCatalogLine();

private:
    bool fill();
    os::File& file_;
    std::vector<char> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
    std::string line_;
};

// The k-th "|"-separated field of a line, counting from 1 (k below 1 counts as 1); empty when
// the line has fewer fields.
std::string_view lineField(std::string_view line, int k);

// Leading spaces and tabs, one optional sign, decimal digits in wrapping 32-bit arithmetic.
int32_t parseBitrate(std::string_view text);

Channel parseChannelLine(std::string_view line);

// country|name|bitrate|category|comment|streamUrl|homepage, without line end.
std::string formatChannelLine(const Channel& channel);

}  // namespace vistrelle
