#include "updater/json_list.h"

#include <iterator>
#include <nlohmann/json.hpp>

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

    bool exhausted() {
        while (at == end && !finished) {
            std::string_view piece = source->next();
            if (piece.empty()) {
                finished = true;
            }
            at = piece.data();
            end = at + piece.size();
            bytes += piece.size();
            if (first == 0) {
                size_t text = piece.find_first_not_of(" \t\r\n");
                first = text == std::string_view::npos ? 0 : piece[text];
            }
        }
        return at == end;
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

class ListHandler : public nlohmann::json_sax<json> {
public:
    ListHandler(std::span<const std::string_view> keys,
                const std::function<bool(ObjectValues)>& onObject, size_t maxValue)
        : keys_(keys), onObject_(onObject), maxValue_(maxValue), values_(keys.size()) {}

    ListResult::Code status = ListResult::Code::Done;
    std::string error;
    size_t objects = 0;

    bool null() override { return value({}); }
    bool boolean(bool v) override { return value(v ? "1" : "0"); }
    bool number_integer(number_integer_t v) override { return value(std::to_string(v)); }
    bool number_unsigned(number_unsigned_t v) override { return value(std::to_string(v)); }
    bool number_float(number_float_t /*v*/, const string_t& text) override { return value(text); }
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
            error = "the answer is not valid JSON (at byte " + std::to_string(position) + ").";
        }
        return false;
    }

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
        std::string& target = values_[static_cast<size_t>(current_)];
        if (depth_ == 3 && !target.empty()) {
            target.push_back(',');
        }
        target.append(text.substr(0, maxValue_ - std::min(maxValue_, target.size())));
        if (depth_ == 2) {
            current_ = -1;
        }
        return true;
    }

    std::span<const std::string_view> keys_;
    const std::function<bool(ObjectValues)>& onObject_;
    size_t maxValue_;
    std::vector<std::string> values_;
    int depth_ = 0;  // 1 inside the list, 2 inside one of its objects
    int current_ = -1;
    bool inList_ = false;
};

}  // namespace

ListResult readObjectList(ByteSource& source, std::span<const std::string_view> keys,
                          const std::function<bool(ObjectValues)>& onObject, size_t maxValue) {
    Cursor cursor;
    cursor.source = &source;
    ListHandler handler(keys, onObject, maxValue);
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
