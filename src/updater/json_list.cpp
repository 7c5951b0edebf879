#include "updater/json_list.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <nlohmann/json.hpp>

#include "updater/json_repair.h"

namespace vistrelle::updater {

std::string_view MemorySource::next() {
    std::string_view piece = bytes_.substr(0, piece_);
    bytes_.remove_prefix(piece.size());
    return piece;
}

namespace {

using json = nlohmann::json;

// The pieces of a source seen as one run of characters, for the parser's input iterators.
struct Cursor {
    ByteSource* source = nullptr;
    const char* at = nullptr;
    const char* end = nullptr;
    bool finished = false;
    uint64_t bytes = 0;
    char first = 0;  // the first byte that is not white space
    ValueRepair repair;
    std::string repaired;

    // Called for every character: the refill stays out of the way.
    bool exhausted() { return at == end && !refill(); }

    // The next repaired piece; false at the end.
    [[gnu::noinline]] bool refill() {
        while (at == end && !finished) {
            std::string_view piece = source->next();
            repaired.clear();
            if (piece.empty()) {
                finished = true;
                repair.finish(repaired);
            } else {
                repair.feed(piece, repaired);
            }
            at = repaired.data();
            end = at + repaired.size();
            bytes += piece.size();
            if (first == 0) {
                size_t text = piece.find_first_not_of(" \t\r\n");
                first = text == std::string_view::npos ? 0 : piece[text];
            }
        }
        return at != end;
    }
};

class SourceIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    SourceIterator() = default;
    explicit SourceIterator(Cursor* cursor) : cursor_(cursor) {}

    reference operator*() const { return *cursor_->at; }
    SourceIterator& operator++() {
        ++cursor_->at;
        return *this;
    }
    SourceIterator operator++(int) {
        SourceIterator before = *this;
        ++cursor_->at;
        return before;
    }
    // Only ever compared with the end iterator (no cursor).
    bool operator==(const SourceIterator& other) const { return atEnd() == other.atEnd(); }

private:
    bool atEnd() const { return cursor_ == nullptr || cursor_->exhausted(); }
    Cursor* cursor_ = nullptr;
};

// A number as decimal text: whole numbers as integers ("128" for 1.28e2), others as the
// shortest text that reads back as the same double ("12.5").
std::string numberText(double v) {
    if (std::trunc(v) == v && std::fabs(v) < 9.2e18) {
        return std::to_string(static_cast<int64_t>(v));
    }
    char text[32];
    const auto written = std::to_chars(std::begin(text), std::end(text), v);
    return std::string(text, written.ptr);
}

class ListHandler : public nlohmann::json_sax<json> {
public:
    ListHandler(std::span<const std::string_view> keys,
                const std::function<bool(ObjectValues)>& onObject, size_t maxValue,
                std::span<const std::string_view> wholeKeys)
        : keys_(keys),
          onObject_(onObject),
          maxValue_(maxValue),
          values_(keys.size()),
          whole_(keys.size(), false),
          cut_(keys.size(), false) {
        for (size_t i = 0; i < keys.size(); ++i) {
            whole_[i] = std::find(wholeKeys.begin(), wholeKeys.end(), keys[i]) != wholeKeys.end();
        }
    }

    ListResult::Code status = ListResult::Code::Done;
    std::string error;
    size_t objects = 0;

    bool null() override { return value({}); }
    bool boolean(bool v) override { return value(v ? "1" : "0"); }
    bool number_integer(number_integer_t v) override { return value(std::to_string(v)); }
    bool number_unsigned(number_unsigned_t v) override { return value(std::to_string(v)); }
    bool number_float(number_float_t v, const string_t& /*text*/) override {
        return value(numberText(v));
    }
    bool string(string_t& v) override { return value(v); }
    bool binary(binary_t& /*v*/) override { return value({}); }

    bool start_object(std::size_t /*size*/) override {
        if (depth_ == 0) {
            return notAList();
        }
        if (depth_ == 1) {
            for (std::string& v : values_) {
                v.clear();
            }
            std::fill(cut_.begin(), cut_.end(), false);
            current_ = -1;
        }
        ++depth_;
        return true;
    }
    bool end_object() override {
        --depth_;
        if (depth_ == 1) {
            current_ = -1;
            ++objects;
            for (size_t i = 0; i < values_.size(); ++i) {
                if (cut_[i]) {
                    values_[i].clear();  // a cut address would be another address
                }
            }
            if (!onObject_(ObjectValues(values_))) {
                status = ListResult::Code::Stopped;
                return false;
            }
        }
        return true;
    }
    bool start_array(std::size_t /*size*/) override {
        ++depth_;
        if (depth_ == 3 && current_ >= 0) {
            inList_ = true;  // a list as the value of a wanted key
        }
        return true;
    }
    bool end_array() override {
        if (depth_ == 3) {
            inList_ = false;
            current_ = -1;
        }
        --depth_;
        return true;
    }
    bool key(string_t& name) override {
        if (depth_ == 2) {
            current_ = -1;
            for (size_t i = 0; i < keys_.size(); ++i) {
                if (keys_[i] == name) {
                    current_ = static_cast<int>(i);
                    values_[i].clear();
                    cut_[i] = false;
                    break;
                }
            }
        }
        return true;
    }
    bool parse_error(std::size_t position, const std::string& /*last_token*/,
                     const nlohmann::detail::exception& /*ex*/) override {
        if (status == ListResult::Code::Done) {
            status = ListResult::Code::NotJson;
            // The position in the answer's own bytes, before any value was repaired.
            const int64_t at = static_cast<int64_t>(position) - (growth ? growth() : 0);
            error = "the answer is not valid JSON (at byte " + std::to_string(at) + ").";
        }
        return false;
    }

    std::function<int64_t()> growth;

private:
    bool notAList() {
        status = ListResult::Code::NotAList;
        error = "the answer is not a list.";
        return false;
    }

    bool value(std::string_view text) {
        if (depth_ == 0) {
            return notAList();
        }
        if (current_ < 0 || (depth_ != 2 && !(depth_ == 3 && inList_))) {
            return true;
        }
        const auto index = static_cast<size_t>(current_);
        std::string& target = values_[index];
        if (depth_ == 3 && !target.empty()) {
            target.push_back(',');
        }
        const size_t room = maxValue_ - std::min(maxValue_, target.size());
        cut_[index] = cut_[index] || (whole_[index] && text.size() > room);
        target.append(text.substr(0, room));
        if (depth_ == 2) {
            current_ = -1;
        }
        return true;
    }

    std::span<const std::string_view> keys_;
    const std::function<bool(ObjectValues)>& onObject_;
    size_t maxValue_;
    std::vector<std::string> values_;
    std::vector<bool> whole_;  // never cut: left empty when too long
    std::vector<bool> cut_;
    int depth_ = 0;  // 1 inside the list, 2 inside one of its objects
    int current_ = -1;
    bool inList_ = false;
};

}  // namespace

ListResult readObjectList(ByteSource& source, std::span<const std::string_view> keys,
                          const std::function<bool(ObjectValues)>& onObject, size_t maxValue,
                          std::span<const std::string_view> wholeKeys) {
    Cursor cursor;
    cursor.source = &source;
    ListHandler handler(keys, onObject, maxValue, wholeKeys);
    handler.growth = [&cursor] { return cursor.repair.growth(); };
    ListResult result;
    bool parsed = false;
    try {
        parsed = json::sax_parse(SourceIterator(&cursor), SourceIterator(), &handler);
    } catch (const std::exception& failure) {
        handler.status = ListResult::Code::NotJson;
        handler.error = std::string("the answer could not be read: ") + failure.what() + ".";
    }
    result.objects = handler.objects;
    result.bytes = cursor.bytes;
    if (source.cancelled()) {
        result.code = ListResult::Code::Stopped;
        return result;
    }
    if (std::string failure = source.error(); !failure.empty()) {
        result.code = ListResult::Code::SourceFailed;
        result.error = failure;
        return result;
    }
    result.code = handler.status;
    result.error = handler.error;
    if (parsed && result.code == ListResult::Code::Done && cursor.bytes == 0) {
        result.code = ListResult::Code::NotJson;
        result.error = "the answer is empty.";
    }
    if (result.code == ListResult::Code::NotJson && cursor.first == '<') {
        result.error = "the server sent a web page instead of a list.";
    }
    return result;
}

}  // namespace vistrelle::updater
