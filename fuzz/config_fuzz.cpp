// Config.ini text of any bytes: read, written and read again must give the same entries, for
// a plain and for a UTF-8 document alike.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/config_document.h"

namespace {

using vistrelle::ConfigDocument;
using Encoding = ConfigDocument::Encoding;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void checkRoundTrip(const ConfigDocument::Content& first, Encoding encoding) {
    std::string written = ConfigDocument::format(first.entries, encoding);
    ConfigDocument::Content second = ConfigDocument::parseFile(written);
    require(second.entries == first.entries);
    // A plain document may come back as UTF-8: one whose first key begins with the bytes of the
    // mark is written with a mark of its own in front.
    require(second.encoding == encoding ||
            (encoding == Encoding::Plain && second.encoding == Encoding::Utf8 &&
             written.starts_with("\xEF\xBB\xBF\r\n")));
    require(ConfigDocument::format(second.entries, second.encoding) == written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ConfigDocument::Content first = ConfigDocument::parseFile(bytes);
    checkRoundTrip(first, Encoding::Plain);
    checkRoundTrip(first, Encoding::Utf8);
    for (const vistrelle::ConfigEntry& entry : first.entries) {
        (void)ConfigDocument::parseInteger(entry.value);
    }
    return 0;
}
