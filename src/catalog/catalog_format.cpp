#include "catalog/catalog_format.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vistrelle {

namespace {

constexpr uint64_t kOnes = 0x0101010101010101u;
constexpr uint64_t kHighs = 0x8080808080808080u;

constexpr uint64_t zeroBytes(uint64_t word) {
    return (word - kOnes) & ~word & kHighs;
}

bool isLineEnd(char c) {
    return c == '\n' || c == '\r' || c == '\0';
}

// The first CR, LF or zero byte in [p, end), or end. Looks at sixteen bytes at a time where the
// processor has the instructions for it, else at eight.
const char* findLineEnd(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hits =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr)),
                         _mm_cmpeq_epi8(bytes, zero));
        const int mask = _mm_movemask_epi8(hits);
        if (mask != 0) {
            return p + std::countr_zero(static_cast<unsigned>(mask));
        }
        p += 16;
    }
#endif
    while (end - p >= 8) {
        uint64_t word;
        std::memcpy(&word, p, sizeof word);
        if ((zeroBytes(word) | zeroBytes(word ^ (kOnes * '\n')) |
             zeroBytes(word ^ (kOnes * '\r'))) != 0) {
            break;
        }
        p += 8;
    }
    while (p != end && !isLineEnd(*p)) {
        ++p;
    }
    return p;
}

}  // namespace

CatalogReader::CatalogReader(os::File& file, size_t blockSize)
    : file_(&file), blockSize_(std::max<size_t>(blockSize, 1)) {}

CatalogReader::CatalogReader(std::string_view bytes, size_t blockSize)
    : memory_(bytes), blockSize_(std::max<size_t>(blockSize, 1)) {}

bool CatalogReader::fill() {
    begin_ = 0;
    end_ = 0;
    if (eof_) {
        return false;
    }
    if (file_ == nullptr) {
        size_t n = std::min(blockSize_, memory_.size());
        data_ = memory_.data();
        memory_.remove_prefix(n);
        end_ = n;
    } else {
        if (buffer_.empty()) {
            // A small file needs no large block.
            const int64_t fileSize = file_->size();
            size_t size = blockSize_;
            if (fileSize >= 0 && static_cast<uint64_t>(fileSize) < size) {
                size = std::max<size_t>(static_cast<size_t>(fileSize) + 1, 4096);
                size = std::min(size, blockSize_);
            }
            buffer_.resize(size);
        }
        data_ = buffer_.data();
        int64_t n = file_->read(buffer_.data(), buffer_.size());
        end_ = n > 0 ? static_cast<size_t>(n) : 0;
    }
    if (end_ == 0) {
        eof_ = true;
        return false;
    }
    return true;
}

bool CatalogReader::atEnd() {
    return begin_ == end_ && !fill();
}

std::string_view CatalogReader::readCatalogLine() {
    bool inLine = false;  // whether the line so far is kept in line_
    if (line_.capacity() > 4 * blockSize_) {
        line_ = std::string();  // give back what a very long line took
    }
    line_.clear();
    while (begin_ < end_ || fill()) {
        const char* start = data_ + begin_;
        const char* stop = findLineEnd(start, data_ + end_);
        std::string_view piece(start, static_cast<size_t>(stop - start));
        if (stop == data_ + end_) {
            // The line goes on in the next block.
            line_.append(piece);
            inLine = true;
            begin_ = end_;
            continue;
        }
        const char terminator = *stop;
        begin_ = static_cast<size_t>(stop - data_) + 1;
        if (terminator == '\r') {
            if (begin_ == end_) {
                // The byte after the CR is in the next block, which replaces this one.
                line_.append(piece);
                inLine = true;
                if (fill() && data_[begin_] == '\n') {
                    ++begin_;
                }
                return line_;
            }
            if (data_[begin_] == '\n') {
                ++begin_;
            }
        }
        if (inLine) {
            line_.append(piece);
            return line_;
        }
        return piece;
    }
    return line_;
}

std::vector<std::string> splitCatalogLines(std::string_view bytes) {
    std::vector<std::string> lines;
    CatalogReader reader(bytes);
    while (!reader.atEnd()) {
        lines.emplace_back(reader.readCatalogLine());
    }
    return lines;
}

std::string_view lineField(std::string_view line, int k) {
    if (k < 1) {
        k = 1;
    }
    size_t begin = 0;
    for (int field = 1; field < k; ++field) {
        size_t bar = line.find('|', begin);
        if (bar == std::string_view::npos) {
            return std::string_view();
        }
        begin = bar + 1;
    }
    size_t bar = line.find('|', begin);
    return line.substr(begin, bar == std::string_view::npos ? std::string_view::npos : bar - begin);
}

int32_t parseBitrate(std::string_view text) {
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at] == '-';
        ++at;
    }
    // Unsigned arithmetic wraps exactly as 32-bit two's complement does.
    uint32_t value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        value = value * 10u + static_cast<uint32_t>(text[at] - '0');
        ++at;
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<int32_t>(value);
}

Channel parseChannelLine(std::string_view line) {
    // The first seven fields in one pass; anything after the seventh "|" is not looked at.
    std::string_view fields[7];
    const char* p = line.data();
    const char* end = p + line.size();
    for (int field = 0; field < 7 && p != nullptr; ++field) {
        const void* bar = p == end ? nullptr : std::memchr(p, '|', static_cast<size_t>(end - p));
        const char* fieldEnd = bar != nullptr ? static_cast<const char*>(bar) : end;
        fields[field] = std::string_view(p, static_cast<size_t>(fieldEnd - p));
        p = bar != nullptr ? fieldEnd + 1 : nullptr;
    }
    return Channel(fields[0], fields[1], parseBitrate(fields[2]), fields[3], fields[4], fields[5],
                   fields[6]);
}

std::string formatChannelLine(const Channel& channel) {
    std::string bitrate = decimalText(channel.bitrate());
    std::string line;
    line.reserve(channel.country().size() + channel.name().size() + bitrate.size() +
                 channel.category().size() + channel.comment().size() + channel.streamUrl().size() +
                 channel.homepage().size() + 6);
    for (std::string_view text : {channel.country(), channel.name(), std::string_view(bitrate),
                                  channel.category(), channel.comment(), channel.streamUrl()}) {
        line.append(text);
        line.push_back('|');
    }
    line.append(channel.homepage());
    return line;
}

}  // namespace vistrelle
