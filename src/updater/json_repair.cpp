#include "updater/json_repair.h"

#include <algorithm>
#include <array>

namespace vistrelle::updater {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isHex(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Whether a number token of JSON's grammar lies beyond the range of a double (about 1.8e308),
// where the parser refuses the whole document. Tokens that break the grammar pass, so that the
// parser reports them.
bool beyondDouble(std::string_view token) {
    size_t at = token.starts_with('-') ? 1 : 0;
    const size_t intStart = at;
    while (at < token.size() && isDigit(token[at])) {
        ++at;
    }
    const std::string_view integer = token.substr(intStart, at - intStart);
    if (integer.empty() || (integer.size() > 1 && integer[0] == '0')) {
        return false;
    }
    std::string_view fraction;
    if (at < token.size() && token[at] == '.') {
        const size_t start = ++at;
        while (at < token.size() && isDigit(token[at])) {
            ++at;
        }
        fraction = token.substr(start, at - start);
        if (fraction.empty()) {
            return false;
        }
    }
    int64_t exponent = 0;
    if (at < token.size() && (token[at] == 'e' || token[at] == 'E')) {
        ++at;
        const bool negative = at < token.size() && token[at] == '-';
        if (at < token.size() && (token[at] == '-' || token[at] == '+')) {
            ++at;
        }
        const size_t start = at;
        for (; at < token.size() && isDigit(token[at]); ++at) {
            exponent = std::min<int64_t>(exponent * 10 + (token[at] - '0'), 1'000'000'000);
        }
        if (at == start) {
            return false;
        }
        exponent = negative ? -exponent : exponent;
    }
    if (at != token.size()) {
        return false;
    }
    // The power of ten of the first digit that is not 0.
    const size_t significant = integer.find_first_not_of('0');
    int64_t order = 0;
    if (significant != std::string_view::npos) {
        order = static_cast<int64_t>(integer.size() - significant) - 1;
    } else {
        const size_t first = fraction.find_first_not_of('0');
        if (first == std::string_view::npos) {
            return false;  // zero
        }
        order = -static_cast<int64_t>(first) - 1;
    }
    return order + exponent >= 308;
}

using Stops = std::array<bool, 256>;

constexpr Stops stopsAt(std::string_view bytes) {
    Stops stops{};
    for (const char c : bytes) {
        stops[static_cast<unsigned char>(c)] = true;
    }
    return stops;
}

// The bytes that start a token outside strings.
constexpr Stops kOutsideStops = stopsAt("\"-0123456789");

constexpr size_t kLongestNumber = 4096;
// The escape written in place of a surrogate without its other half: U+FFFD.
constexpr std::string_view kReplacement = "\\ufffd";

}  // namespace

void ValueRepair::feed(std::string_view in, std::string& out) {
    for (size_t i = 0; i < in.size();) {
        // Runs of bytes that change nothing pass in one piece.
        if (state_ == State::Outside || state_ == State::String) {
            size_t stop = i;
            if (state_ == State::String) {
                // Strings are most of the bytes: their end and escapes found with memchr.
                stop = std::min(in.find('"', i), in.size());
                stop = std::min(in.substr(0, stop).find('\\', i), stop);
            } else {
                while (stop < in.size() && !kOutsideStops[static_cast<unsigned char>(in[stop])]) {
                    ++stop;
                }
            }
            out.append(in.substr(i, stop - i));
            if (stop == in.size()) {
                return;
            }
            i = stop;
        }
        step(in[i++], out);
    }
}

void ValueRepair::finish(std::string& out) {
    if (state_ == State::Number) {
        endNumber(out);
    }
    out += pending_;
    pending_.clear();
    state_ = State::Outside;
}

void ValueRepair::step(char c, std::string& out) {
    switch (state_) {
        case State::Outside:
            if (c == '"') {
                state_ = State::String;
                out.push_back(c);
            } else if (c == '-' || isDigit(c)) {
                state_ = State::Number;
                pending_.assign(1, c);
                numberLength_ = 1;
            } else {
                out.push_back(c);
            }
            return;
        case State::Number:
            if (isDigit(c) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-') {
                if (++numberLength_ <= kLongestNumber) {
                    pending_.push_back(c);
                }
                return;
            }
            endNumber(out);
            step(c, out);
            return;
        case State::String:
            if (c == '\\') {
                state_ = State::Escape;
                pending_.assign(1, c);
            } else {
                state_ = c == '"' ? State::Outside : State::String;
                out.push_back(c);
            }
            return;
        case State::Escape:
            pending_.push_back(c);
            if (c == 'u') {
                state_ = State::Unicode;
            } else {
                state_ = State::String;
                out += pending_;
                pending_.clear();
            }
            return;
        case State::Unicode:
            if (!isHex(c)) {
                state_ = State::String;
                out += pending_;
                pending_.clear();
                step(c, out);
                return;
            }
            pending_.push_back(c);
            if (pending_.size() == 6) {
                const unsigned unit = std::stoul(pending_.substr(2), nullptr, 16);
                if (unit >= 0xD800 && unit <= 0xDBFF) {
                    state_ = State::AfterHigh;  // its low half must follow
                    return;
                }
                state_ = State::String;
                out += unit >= 0xDC00 && unit <= 0xDFFF ? kReplacement : std::string_view(pending_);
                pending_.clear();
            }
            return;
        case State::AfterHigh: {
            // pending_ holds "\uD8xx" and what followed of "\uDCxx" so far.
            const size_t at = pending_.size() - 6;
            const bool fits = at == 0 ? c == '\\' : at == 1 ? c == 'u' : isHex(c);
            if (fits) {
                pending_.push_back(c);
                if (pending_.size() < 12) {
                    return;
                }
                const unsigned unit = std::stoul(pending_.substr(8), nullptr, 16);
                if (unit >= 0xDC00 && unit <= 0xDFFF) {
                    state_ = State::String;
                    out += pending_;
                    pending_.clear();
                    return;
                }
            }
            // A high half alone: its replacement, then what followed read again.
            std::string again = pending_.substr(6);
            if (!fits) {
                again.push_back(c);
            }
            out += kReplacement;
            pending_.clear();
            state_ = State::String;
            for (const char next : again) {
                step(next, out);
            }
            return;
        }
    }
}

void ValueRepair::endNumber(std::string& out) {
    state_ = State::Outside;
    // Without an exponent, fewer than 300 digits are always within range.
    const bool short_ = numberLength_ < 300 && pending_.find_first_of("eE") == std::string::npos;
    if (!short_ && (numberLength_ > kLongestNumber || beyondDouble(pending_))) {
        out += "null";
        growth_ += 4 - static_cast<int64_t>(numberLength_);
    } else {
        out += pending_;
    }
    pending_.clear();
}

}  // namespace vistrelle::updater
