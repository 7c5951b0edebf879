// The song titles an internet radio server sends inside its stream when asked with
// "Icy-MetaData: 1": after every `icy-metaint` bytes of audio, one length byte (in units of 16
// bytes) and that many bytes of metadata text such as "StreamTitle='Artist - Song';", padded with
// NUL. Everything here is hostile input.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vistrelle {

// Servers use 8192 to 65536; an interval beyond this is no interval to read titles at.
inline constexpr size_t kMaxMetaInterval = 1024 * 1024;
inline constexpr size_t kMaxTitleCharacters = 256;

// The interval an "icy-metaint" header gives; 0 when it gives none that can be read (missing,
// not a decimal number, 0, or beyond kMaxMetaInterval).
size_t metaIntervalOf(std::string_view header);

// Takes the stream's bytes in chunks of any size and hands back the metadata blocks they
// complete. Holds at most one block (4080 bytes), never the audio.
class IcyMetadataReader {
public:
    explicit IcyMetadataReader(size_t interval);

    // The blocks completed by these bytes, in order, without their NUL padding; empty blocks
    // (the usual "nothing new") are left out.
    std::vector<std::string> read(std::string_view bytes);

private:
    size_t interval_;
    size_t audioLeft_;     // audio bytes before the next length byte
    size_t metaLeft_ = 0;  // metadata bytes still to come in the current block
    bool inBlock_ = false;
    std::string block_;
};

// What one metadata block says about the title.
struct IcyBlock {
    enum class Kind {
        Title,    // `title` holds the StreamTitle value (raw bytes, possibly empty)
        NoTitle,  // other fields only
        Garbage,  // not metadata at all: the stream is not read the way the server writes it
    };
    Kind kind = Kind::Garbage;
    std::string title;
};
IcyBlock readIcyBlock(std::string_view block);

// A title as shown: UTF-8 (bytes that are not valid UTF-8 are read as Windows-1252), control
// characters and runs of blanks turned into one space, trimmed, cut at kMaxTitleCharacters
// characters.
std::string titleText(std::string_view raw);

}  // namespace vistrelle
