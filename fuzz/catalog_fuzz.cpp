// Fuzz target for the catalogue reader: any bytes read as channels.dat must give the lines of
// the byte-at-a-time rules whatever the block size, every line must parse into the fields its
// "|"-separated parts give, and writing a channel and reading it back must give the same channel.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/catalog_format.h"
#include "support/catalog_lines.h"

namespace {

using vistrelle::Channel;
using vistrelle::testing::linesByteByByte;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::vector<std::string> linesInBlocks(std::string_view bytes, size_t blockSize) {
    std::vector<std::string> lines;
    vistrelle::CatalogReader reader(bytes, blockSize);
    while (!reader.atEnd()) {
        lines.emplace_back(reader.readCatalogLine());
    }
    return lines;
}

bool sameFields(const Channel& a, const Channel& b) {
    return a.country() == b.country() && a.name() == b.name() && a.bitrate() == b.bitrate() &&
           a.category() == b.category() && a.comment() == b.comment() &&
           a.streamUrl() == b.streamUrl() && a.homepage() == b.homepage();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = linesByteByByte(bytes);
    const size_t smallBlock = size == 0 ? 1 : 1 + data[0] % 17;
    check(linesInBlocks(bytes, vistrelle::CatalogReader::kBlockSize) == lines);
    check(linesInBlocks(bytes, smallBlock) == lines);

    std::vector<Channel> channels;
    for (const std::string& line : lines) {
        const Channel channel = vistrelle::parseChannelLine(line);
        check(channel.country() == vistrelle::lineField(line, 1));
        check(channel.name() == vistrelle::lineField(line, 2));
        check(channel.bitrate() == vistrelle::parseBitrate(vistrelle::lineField(line, 3)));
        check(channel.category() == vistrelle::lineField(line, 4));
        check(channel.comment() == vistrelle::lineField(line, 5));
        check(channel.streamUrl() == vistrelle::lineField(line, 6));
        check(channel.homepage() == vistrelle::lineField(line, 7));

        const std::string written = vistrelle::formatChannelLine(channel);
        const Channel read = vistrelle::parseChannelLine(written);
        check(sameFields(read, channel));
        check(vistrelle::formatChannelLine(read) == written);
        check(vistrelle::channelRowText(read) == vistrelle::channelRowText(channel));
        channels.push_back(channel);
    }

    // Sorting by any column keeps every entry and puts the keys in order.
    using vistrelle::SortDirection;
    using vistrelle::SortKey;
    for (SortKey key : {SortKey::Name, SortKey::Category, SortKey::Bitrate, SortKey::Comment}) {
        std::vector<Channel> sorted = channels;
        vistrelle::sortShownChannels(sorted, key, SortDirection::Descending);
        check(sorted.size() == channels.size());
        for (size_t i = 1; i < sorted.size(); ++i) {
            const Channel& a = sorted[i - 1];
            const Channel& b = sorted[i];
            switch (key) {
                case SortKey::Name:
                    check(a.name() >= b.name());
                    break;
                case SortKey::Category:
                    check(a.category() >= b.category());
                    break;
                case SortKey::Bitrate:
                    check(a.bitrate() >= b.bitrate());
                    break;
                case SortKey::Comment:
                    check(a.comment() >= b.comment());
                    break;
            }
        }
    }
    return 0;
}
