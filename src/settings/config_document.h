// An INI-style document: read whole on open, regenerated whole on close after a write.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "os/file.h"

namespace vistrelle {

struct ConfigEntry {
    enum class Kind { Group, Comment, Key };
    Kind kind = Kind::Key;
    std::string text;   // group name, comment text or key name
    std::string value;  // keys only
    friend bool operator==(const ConfigEntry&, const ConfigEntry&) = default;
};

class ConfigDocument {
public:
    enum class Encoding { Plain, Utf8 };

    // The bytes of a whole file, read: the encoding (UTF-8 when it starts with EF BB BF) and the
    // entries of the text after the mark.
    struct Content {
        Encoding encoding = Encoding::Plain;
        std::vector<ConfigEntry> entries;
        friend bool operator==(const Content&, const Content&) = default;
    };

    ConfigDocument() = default;
    ConfigDocument(const ConfigDocument&) = delete;
    ConfigDocument& operator=(const ConfigDocument&) = delete;
    ~ConfigDocument();  // closes

    // Closes the open document, then reads the file. False when no file could be opened (the
    // document is then empty and a later close after a write creates the file).
    bool open(const std::string& path);
    // The value of key read as atoi reads it, or defaultValue when there is no such key.
    int32_t readInteger(std::string_view key, int32_t defaultValue) const;
    void writeInteger(std::string_view key, int32_t value);
    // Writes the file back when the document was changed, then releases everything.
    void close();

    // The first key of the leading section named key (ASCII letters in either case).
    const ConfigEntry* lookup(std::string_view key) const;
    // Gives the key found by lookup the value text and the caller's spelling, or adds the key at
    // the end of the leading section.
    void set(std::string_view key, std::string_view text);

    // Parsing and writing the text, without any file.
    static std::vector<ConfigEntry> parse(std::string_view text);
    static Content parseFile(std::string_view bytes);
    static std::string format(const std::vector<ConfigEntry>& entries, Encoding encoding);
    // What atoi gives for text; out of range values give INT32_MIN or INT32_MAX.
    static int32_t parseInteger(std::string_view text);

    const std::vector<ConfigEntry>& entries() const { return entries_; }
    Encoding encoding() const { return encoding_; }
    bool changed() const { return changed_; }

private:
    // What close may do with the file after a write.
    enum class WriteBack {
        None,     // no document is open
        Replace,  // the file was opened for writing and read: replace it
        Create,   // there was no file: create it
        Never,    // opened read-only, unreadable, or not a file: leave it alone
    };

    std::string storedKey(std::string_view key) const;  // Latin-1 to UTF-8 in a UTF-8 document
    ConfigEntry* findKey(const std::string& stored);

    os::File file_;
    std::string path_;
    WriteBack writeBack_ = WriteBack::None;
    bool changed_ = false;
    Encoding encoding_ = Encoding::Plain;
    std::vector<ConfigEntry> entries_;
};

}  // namespace vistrelle
