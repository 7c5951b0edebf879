#include "settings/config_document.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>

namespace vistrelle {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The white space atoi skips.
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLower(x) == asciiLower(y);
           });
}

void parseLine(std::string_view line, std::vector<ConfigEntry>& entries) {
    size_t start = 0;
    while (start < line.size() && isBlank(line[start])) {
        ++start;
    }
    if (start == line.size()) {
        return;  // only spaces and tabs
    }
    std::string_view rest = line.substr(start + 1);
    switch (line[start]) {
        case ';':
            if (!rest.empty() && rest.front() == ' ') {
                rest.remove_prefix(1);
            }
            entries.push_back({ConfigEntry::Kind::Comment, std::string(rest), {}});
            return;
        case '[':
            entries.push_back(
                {ConfigEntry::Kind::Group, std::string(rest.substr(0, rest.find(']'))), {}});
            return;
        default:
            break;
    }
    std::string_view key = line.substr(start);
    std::string_view value;
    if (size_t equals = key.find('='); equals != std::string_view::npos) {
        value = key.substr(equals + 1);
        key = key.substr(0, equals);
    }
    while (!key.empty() && isBlank(key.back())) {
        key.remove_suffix(1);
    }
    while (!value.empty() && isBlank(value.front())) {
        value.remove_prefix(1);
    }
    entries.push_back({ConfigEntry::Kind::Key, std::string(key), std::string(value)});
}

}  // namespace

std::vector<ConfigEntry> ConfigDocument::parse(std::string_view text) {
    std::vector<ConfigEntry> entries;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of(kLineEnd, pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        parseLine(text.substr(pos, end - pos), entries);
        // A run of CR and LF characters is one separator.
        pos = text.find_first_not_of(kLineEnd, end);
        if (pos == std::string_view::npos) {
            break;
        }
    }
    return entries;
}

ConfigDocument::Content ConfigDocument::parseFile(std::string_view bytes) {
    Content content;
    if (bytes.starts_with(kByteOrderMark)) {
        content.encoding = Encoding::Utf8;
        bytes.remove_prefix(kByteOrderMark.size());
    }
    content.entries = parse(bytes);
    return content;
}

std::string ConfigDocument::format(const std::vector<ConfigEntry>& entries, Encoding encoding) {
    std::string text;
    if (encoding == Encoding::Utf8) {
        text.append(kByteOrderMark).append(kLineEnd);
    }
    for (const ConfigEntry& entry : entries) {
        switch (entry.kind) {
            case ConfigEntry::Kind::Group:
                text.append("[").append(entry.text).append("]");
                break;
            case ConfigEntry::Kind::Comment:
                text.append("; ").append(entry.text);
                break;
            case ConfigEntry::Kind::Key:
                text.append(entry.text).append(" = ").append(entry.value);
                break;
        }
        text.append(kLineEnd);
    }
    // A plain document whose first key begins with the bytes of the mark (it stood after blank
    // lines or indentation) would read back as a UTF-8 document with that key shortened. Writing
    // it as a UTF-8 document keeps every entry as it was.
    if (encoding == Encoding::Plain && text.starts_with(kByteOrderMark)) {
        text.insert(0, std::string(kByteOrderMark).append(kLineEnd));
    }
    return text;
}

int32_t ConfigDocument::parseInteger(std::string_view text) {
    // atoi leaves overflow undefined; here a number beyond the 32-bit range gives the nearest
    // limit, INT32_MIN or INT32_MAX, as strtol does.
    constexpr int64_t kMagnitudeLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = std::min(magnitude * 10 + (text[i] - '0'), kMagnitudeLimit);
    }
    int64_t value = negative ? -magnitude : magnitude;
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

ConfigDocument::~ConfigDocument() {
    close();
}

bool ConfigDocument::open(const std::string& path) {
    close();
    path_ = path;
    if (os::pathKind(path) == os::PathKind::Other) {
        // A pipe or a device: reading it could wait for ever, and it is never replaced.
        writeBack_ = WriteBack::Never;
        return false;
    }
    if (!file_.open(path, os::File::Access::ReadWrite) &&
        !file_.open(path, os::File::Access::Read)) {
        // Nothing is created now; a write creates the file at close, but only where there was
        // none: a file that exists but could not be opened is never overwritten unseen.
        writeBack_ =
            os::pathKind(path) == os::PathKind::Missing ? WriteBack::Create : WriteBack::Never;
        return false;
    }
    writeBack_ = file_.writable() ? WriteBack::Replace : WriteBack::Never;

    std::string bytes;
    try {
        if (int64_t size = file_.size(); size > 0) {
            bytes.reserve(
                static_cast<size_t>(std::min<int64_t>(size, int64_t{1} << 30)));  // a hint only
        }
        std::array<char, 65536> buffer;
        for (;;) {
            int64_t count = file_.read(buffer.data(), buffer.size());
            if (count < 0) {
                // A file that cannot be read whole is left as it is.
                bytes.clear();
                writeBack_ = WriteBack::Never;
                break;
            }
            if (count == 0) {
                break;
            }
            bytes.append(buffer.data(), static_cast<size_t>(count));
        }
        Content content = parseFile(bytes);
        encoding_ = content.encoding;
        entries_ = std::move(content.entries);
    } catch (const std::bad_alloc&) {
        // Out of memory: the document stays empty and the file is left as it is.
        entries_.clear();
        encoding_ = Encoding::Plain;
        writeBack_ = WriteBack::Never;
    }
    return true;
}

void ConfigDocument::close() {
    file_.close();
    if (changed_ && (writeBack_ == WriteBack::Replace || writeBack_ == WriteBack::Create)) {
        try {
            std::string text = format(entries_, encoding_);
            // Failures are silent: the old file stays as it was.
            if (os::replaceFile(path_, text) == os::ReplaceResult::NoTemporary) {
                os::rewriteFile(path_, text);
            }
        } catch (const std::bad_alloc&) {
            // Nothing is written.
        }
    }
    entries_.clear();
    entries_.shrink_to_fit();
    path_.clear();
    writeBack_ = WriteBack::None;
    changed_ = false;
    encoding_ = Encoding::Plain;
}

std::string ConfigDocument::storedKey(std::string_view key) const {
    if (encoding_ != Encoding::Utf8) {
        return std::string(key);
    }
    std::string stored;
    stored.reserve(key.size() * 2);
    for (char c : key) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            stored.push_back(c);
        } else {
            stored.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            stored.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return stored;
}

ConfigEntry* ConfigDocument::findKey(const std::string& stored) {
    for (ConfigEntry& entry : entries_) {
        if (entry.kind == ConfigEntry::Kind::Group) {
            break;  // only the leading section is searched
        }
        if (entry.kind == ConfigEntry::Kind::Key && equalIgnoringAsciiCase(entry.text, stored)) {
            return &entry;
        }
    }
    return nullptr;
}

const ConfigEntry* ConfigDocument::lookup(std::string_view key) const {
    return const_cast<ConfigDocument*>(this)->findKey(storedKey(key));
}

void ConfigDocument::set(std::string_view key, std::string_view text) {
    std::string stored = storedKey(key);
    if (ConfigEntry* entry = findKey(stored)) {
        entry->text = std::move(stored);
        entry->value = std::string(text);
    } else {
        auto firstGroup = std::find_if(entries_.begin(), entries_.end(), [](const ConfigEntry& e) {
            return e.kind == ConfigEntry::Kind::Group;
        });
        entries_.insert(firstGroup, {ConfigEntry::Kind::Key, std::move(stored), std::string(text)});
    }
    changed_ = true;
}

int32_t ConfigDocument::readInteger(std::string_view key, int32_t defaultValue) const {
    const ConfigEntry* entry = lookup(key);
    return entry != nullptr ? parseInteger(entry->value) : defaultValue;
}

void ConfigDocument::writeInteger(std::string_view key, int32_t value) {
    set(key, std::to_string(value));  // as "%d" writes it
}

}  // namespace vistrelle
