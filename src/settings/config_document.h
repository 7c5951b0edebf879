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
    Kind kind;
    std::string text;   // group name, comment text or key name
    std::string value;  // keys only
};

class ConfigDocument {
public:
    enum class Encoding { Plain, Utf8 };

    ConfigDocument() = default;
    ConfigDocument(const ConfigDocument&) = delete;
    ConfigDocument& operator=(const ConfigDocument&) = delete;
    ~ConfigDocument();  // closes

    // Closes the open document, then reads the file. False when no file could be opened (the
    // document is then empty and a later close after a write creates the file).
    bool open(const std::string& path);
    int32_t readInteger(std::string_view key, int32_t defaultValue);
    void writeInteger(std::string_view key, int32_t value);
    // Writes the file back when the document was changed, then releases everything.
    void close();

    const ConfigEntry* lookup(std::string_view key) const;
    void set(std::string_view key, std::string_view text);

    // Parsing and writing the text, without any file.
    static std::vector<ConfigEntry> parse(std::string_view text);
    static std::string format(const std::vector<ConfigEntry>& entries, Encoding encoding);

    const std::vector<ConfigEntry>& entries() const { return entries_; }
    Encoding encoding() const { return encoding_; }
    bool changed() const { return changed_; }

private:
    std::string storedKey(std::string_view key) const;  // Latin-1 to UTF-8 in a UTF-8 document

    os::File file_;
    bool hasFile_ = false;
    std::string path_;
    bool open_ = false;
    bool changed_ = false;
    Encoding encoding_ = Encoding::Plain;
    std::vector<ConfigEntry> entries_;
};

}  // namespace vistrelle
