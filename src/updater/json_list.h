// Reading a JSON list of objects as it arrives, one object at a time, without holding the
// whole document: the directories' answers run to tens of megabytes.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vistrelle::updater {

// Bytes that arrive in pieces: a download, or bytes in memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // The next piece; empty at the end or after a failure (then error() says why). The piece
    // stays valid until the next call.
    virtual std::string_view next() = 0;
    virtual std::string error() const { return {}; }
    virtual bool cancelled() const { return false; }
};

// Bytes in memory, handed over `piece` bytes at a time.
class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes, size_t piece = 65536)
        : bytes_(bytes), piece_(piece == 0 ? 1 : piece) {}
    std::string_view next() override;

private:
    std::string_view bytes_;
    size_t piece_;
};

// The values of the wanted keys of one object, in the order of the keys. Strings as they are,
// numbers as decimal text (whole numbers without a fraction or exponent: 1.28e2 gives "128"),
// true and false as "1" and "0", null as empty, a list of strings and numbers as its items
// joined with ","; objects inside are left out. A value that cannot be read (a number beyond
// the range of a double, such as 1e999 or 400 digits) is empty, and an escaped surrogate
// without its other half is U+FFFD; the rest of the list is read as usual.
using ObjectValues = std::span<const std::string>;

inline constexpr size_t kMaxValueBytes = size_t{1} << 20;

struct ListResult {
    enum class Code { Done, NotJson, NotAList, Stopped, SourceFailed };
    Code code = Code::Done;
    std::string error;   // what was wrong, for the user
    size_t objects = 0;  // objects handed to the callback
    uint64_t bytes = 0;  // bytes read from the source
};

// Reads `source` as a JSON array of objects and hands each object's values of `keys` to
// `onObject` (which returns false to stop). Elements that are not objects are skipped. A value
// longer than `maxValue` bytes is cut to that length, except the values of `wholeKeys`
// (addresses, which a cut would turn into other addresses): those are left empty.
ListResult readObjectList(ByteSource& source, std::span<const std::string_view> keys,
                          const std::function<bool(ObjectValues)>& onObject,
                          size_t maxValue = kMaxValueBytes,
                          std::span<const std::string_view> wholeKeys = {});

}  // namespace vistrelle::updater
