// ASX and XSPF, read with a forgiving tag scanner rather than an XML parser: real ASX files are
// rarely well-formed (bare "&" in addresses, tags and attributes in any letter case, values with
// or without quotes, tags left open), and a playlist is only worth its addresses.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "player/playlist_text.h"

namespace vistrelle::playlist_detail {

namespace {

struct Token {
    enum Type { End, Text, Declaration, StartTag, EndTag } type = End;
    std::string_view text;  // Text (raw, or literal for CDATA), Declaration (after the "<")
    bool literal = false;   // CDATA: no character references inside
    std::string name;       // tags: the local name, lower-case
    std::vector<std::pair<std::string, std::string_view>> attributes;  // names lower-case

    std::string_view attribute(std::string_view attributeName) const {
        for (const auto& [key, value] : attributes) {
            if (key == attributeName) {
                return value;
            }
        }
        return {};
    }
};

bool isNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
}

bool endsName(char c) {
    return isSpace(c) || c == '/' || c == '>' || c == '<' || c == '=' || c == '"' || c == '\'';
}

// Every call moves forward; no byte is looked at more than a few times.
class TagScanner {
public:
    explicit TagScanner(std::string_view text) : text_(text) {}

    Token next() {
        Token token;
        while (at_ < text_.size()) {
            if (text_[at_] != '<') {
                return textUpTo(text_.find('<', at_));
            }
            const std::string_view rest = text_.substr(at_);
            if (rest.starts_with("<!--")) {
                skipPast("-->", 4);
                continue;
            }
            if (rest.starts_with("<![CDATA[")) {
                const size_t end = text_.find("]]>", at_ + 9);
                token.type = Token::Text;
                token.literal = true;
                token.text =
                    text_.substr(at_ + 9, end == std::string_view::npos ? std::string_view::npos
                                                                        : end - at_ - 9);
                skipPast("]]>", 9);
                return token;
            }
            if (rest.size() > 1 && (rest[1] == '!' || rest[1] == '?')) {
                const size_t end = text_.find('>', at_ + 2);
                token.type = Token::Declaration;
                token.text =
                    text_.substr(at_ + 1, end == std::string_view::npos ? std::string_view::npos
                                                                        : end - at_ - 1);
                at_ = end == std::string_view::npos ? text_.size() : end + 1;
                return token;
            }
            if (rest.size() > 1 && rest[1] == '/') {
                token.type = Token::EndTag;
                token.name = nameAt(at_ + 2);
                const size_t end = text_.find('>', at_ + 2);
                at_ = end == std::string_view::npos ? text_.size() : end + 1;
                return token;
            }
            if (rest.size() > 1 && isNameStart(rest[1])) {
                return startTag();
            }
            return textUpTo(text_.find('<', at_ + 1));  // a "<" that starts no tag
        }
        return token;
    }

private:
    Token textUpTo(size_t end) {
        Token token;
        token.type = Token::Text;
        if (end == std::string_view::npos) {
            end = text_.size();
        }
        token.text = text_.substr(at_, end - at_);
        at_ = end;
        return token;
    }

    void skipPast(std::string_view marker, size_t from) {
        const size_t end = text_.find(marker, at_ + from);
        at_ = end == std::string_view::npos ? text_.size() : end + marker.size();
    }

    // The local name at `at` (after any "prefix:"), lower-case.
    std::string nameAt(size_t at) const {
        size_t end = at;
        while (end < text_.size() && !endsName(text_[end])) {
            ++end;
        }
        std::string_view name = text_.substr(at, end - at);
        const size_t colon = name.rfind(':');
        if (colon != std::string_view::npos) {
            name.remove_prefix(colon + 1);
        }
        return lowerAscii(name);
    }

    void skipSpaces() {
        while (at_ < text_.size() && isSpace(text_[at_])) {
            ++at_;
        }
    }

    // A quoted value ends at its quote. When a line end or "<" comes first, the quote was left
    // open: the value then ends at the first ">" (which also ends the tag), or at that line end.
    std::string_view quotedValue() {
        const char quote = text_[at_];
        const size_t start = at_ + 1;
        size_t firstClose = std::string_view::npos;
        size_t end = start;
        while (end < text_.size() && text_[end] != quote && text_[end] != '\n' &&
               text_[end] != '\r' && text_[end] != '<') {
            if (text_[end] == '>' && firstClose == std::string_view::npos) {
                firstClose = end;
            }
            ++end;
        }
        if (end < text_.size() && text_[end] == quote) {
            at_ = end + 1;
            return text_.substr(start, end - start);
        }
        if (firstClose != std::string_view::npos) {
            end = firstClose;
        }
        at_ = end;
        return text_.substr(start, end - start);
    }

    Token startTag() {
        Token token;
        token.type = Token::StartTag;
        token.name = nameAt(at_ + 1);
        ++at_;
        while (at_ < text_.size() && !endsName(text_[at_])) {
            ++at_;
        }
        while (true) {
            skipSpaces();
            if (at_ >= text_.size() || text_[at_] == '<') {
                break;  // a tag left open ends where the next one starts
            }
            if (text_[at_] == '>') {
                ++at_;
                break;
            }
            const size_t nameStart = at_;
            while (at_ < text_.size() && !endsName(text_[at_])) {
                ++at_;
            }
            if (at_ == nameStart) {
                ++at_;  // a stray "/", "=" or quote
                continue;
            }
            std::string attributeName = lowerAscii(text_.substr(nameStart, at_ - nameStart));
            skipSpaces();
            std::string_view value;
            if (at_ < text_.size() && text_[at_] == '=') {
                ++at_;
                skipSpaces();
                if (at_ < text_.size() && (text_[at_] == '"' || text_[at_] == '\'')) {
                    value = quotedValue();
                } else {
                    const size_t valueStart = at_;
                    while (at_ < text_.size() && !isSpace(text_[at_]) && text_[at_] != '>') {
                        ++at_;
                    }
                    value = text_.substr(valueStart, at_ - valueStart);
                }
            }
            token.attributes.emplace_back(std::move(attributeName), value);
        }
        return token;
    }

    std::string_view text_;
    size_t at_ = 0;
};

// Text inside an element (a title, a location), gathered across references and CDATA.
class Capture {
public:
    void start(std::string element) {
        element_ = std::move(element);
        text_.clear();
    }
    void stop() { element_.clear(); }
    bool active() const { return !element_.empty(); }
    const std::string& element() const { return element_; }
    void add(const Token& token) {
        if (active()) {
            text_ += token.literal ? std::string(token.text) : decodeReferences(token.text);
        }
    }
    const std::string& text() const { return text_; }

private:
    std::string element_;
    std::string text_;
};

// The entries of one ASX ENTRY or XSPF track, which share its title.
class Group {
public:
    void open(const EntryList& list) {
        inside_ = true;
        first_ = list.size();
        titled_ = false;
        title_.clear();
    }
    void close() {
        inside_ = false;
        title_.clear();
    }
    bool inside() const { return inside_; }
    bool wantsTitle() const { return inside_ && !titled_; }
    // The first title of a group names every entry of it, those before the title included.
    void setTitle(EntryList& list, const std::string& title) {
        titled_ = true;
        title_ = cleanTitle(title);
        for (size_t i = first_; i < list.size(); ++i) {
            list.setTitle(i, title_);
        }
    }
    const std::string& title() const { return title_; }

private:
    bool inside_ = false;
    bool titled_ = false;
    size_t first_ = 0;
    std::string title_;
};

}  // namespace

MarkupRoot classifyMarkup(std::string_view text) {
    TagScanner scanner(text);
    for (Token token = scanner.next(); token.type != Token::End; token = scanner.next()) {
        if (token.type == Token::Declaration && startsWithNoCase(token.text, "!doctype") &&
            lowerAscii(token.text).find("html") != std::string::npos) {
            return MarkupRoot::Html;
        }
        if (token.type == Token::StartTag) {
            if (token.name == "asx" || token.name == "entry" || token.name == "ref") {
                return MarkupRoot::Asx;
            }
            if (token.name == "playlist") {
                return MarkupRoot::Xspf;
            }
            return MarkupRoot::Html;
        }
    }
    return MarkupRoot::Html;
}

void readAsx(std::string_view text, EntryList& list) {
    TagScanner scanner(text);
    Capture capture;
    Group entry;
    std::string playlistBase;  // BASE outside any ENTRY
    std::string entryBase;     // BASE inside the current ENTRY
    for (Token token = scanner.next(); token.type != Token::End && !list.full();
         token = scanner.next()) {
        if (token.type == Token::Text) {
            capture.add(token);
            continue;
        }
        if (token.type == Token::EndTag) {
            if (token.name == "title" && capture.element() == "title") {
                entry.setTitle(list, capture.text());
            }
            if (token.name == "entry") {
                entry.close();
                entryBase.clear();
                list.setBase(playlistBase);
            }
            capture.stop();
            continue;
        }
        if (token.type != Token::StartTag) {
            continue;
        }
        capture.stop();
        const std::string href = decodeReferences(token.attribute("href"));
        if (token.name == "entry") {
            entry.open(list);
            entryBase.clear();
            list.setBase(playlistBase);
        } else if (token.name == "ref") {
            list.add(href, entry.title());
        } else if (token.name == "entryref") {
            list.add(href, {}, {}, true);
        } else if (token.name == "base") {
            // A BASE is relative to the one before it: the playlist's, inside an entry.
            (entry.inside() ? entryBase : playlistBase) = list.resolve(href);
            list.setBase(entryBase.empty() ? playlistBase : entryBase);
        } else if (token.name == "title" && entry.wantsTitle()) {
            capture.start("title");
        }
    }
}

void readXspf(std::string_view text, EntryList& list) {
    TagScanner scanner(text);
    Capture capture;
    Group track;
    // The elements with an xml:base that are open, and the base each sets: relative to the one
    // around it, for everything inside it.
    std::vector<std::pair<std::string, std::string>> bases;
    for (Token token = scanner.next(); token.type != Token::End && !list.full();
         token = scanner.next()) {
        if (token.type == Token::Text) {
            capture.add(token);
            continue;
        }
        if (token.type == Token::EndTag) {
            if (capture.active() && token.name == capture.element()) {
                if (token.name == "title") {
                    track.setTitle(list, capture.text());
                } else {
                    list.add(capture.text(), track.title());
                }
            }
            if (token.name == "track") {
                track.close();
            }
            capture.stop();
            if (!bases.empty() && bases.back().first == token.name) {
                bases.pop_back();
                list.setBase(bases.empty() ? std::string() : bases.back().second);
            }
            continue;
        }
        if (token.type != Token::StartTag) {
            continue;
        }
        capture.stop();
        if (const std::string_view base = token.attribute("xml:base"); !base.empty()) {
            bases.emplace_back(token.name, list.resolve(decodeReferences(base)));
            list.setBase(bases.back().second);
        }
        if (token.name == "track") {
            track.open(list);
        } else if (token.name == "location" && track.inside()) {
            capture.start("location");
        } else if (token.name == "title" && track.wantsTitle()) {
            capture.start("title");
        }
    }
}

}  // namespace vistrelle::playlist_detail
