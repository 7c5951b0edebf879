// Repairs, as the bytes of a JSON answer stream through, the values the JSON parser refuses
// although the document around them is sound, so that one of them costs only its own value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vistrelle::updater {

// A number beyond the range of a double (1e999, 400 digits) becomes null, and an escaped
// surrogate without its other half becomes U+FFFD. Every other byte passes unchanged, syntax
// errors included, so that the parser still reports them.
class ValueRepair {
public:
    // Appends what `in` becomes to `out`; a token that may go on in the next piece waits.
    void feed(std::string_view in, std::string& out);
    // The end of the input: what waits is written as it came.
    void finish(std::string& out);
    // How many more bytes were written than read, so far.
    int64_t growth() const { return growth_; }

private:
    enum class State { Outside, Number, String, Escape, Unicode, AfterHigh };

    void step(char c, std::string& out);
    void endNumber(std::string& out);

    State state_ = State::Outside;
    std::string pending_;
    size_t numberLength_ = 0;
    int64_t growth_ = 0;
};

}  // namespace vistrelle::updater
