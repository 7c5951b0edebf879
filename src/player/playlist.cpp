#include "player/playlist.h"

#include "player/playlist_text.h"

namespace vistrelle {

namespace {

using namespace playlist_detail;

// The first bytes of the media formats internet radio and television send.
bool startsLikeMedia(std::string_view bytes) {
    constexpr std::string_view kSignatures[] = {
        "ID3\x02",                           // MP3 with a version 2.2 tag
        "ID3\x03",                           // 2.3
        "ID3\x04",                           // 2.4
        "OggS",                              // Ogg Vorbis, Opus, Theora
        "fLaC",                              // FLAC
        "RIFF",                              // WAV, AVI
        "FLV\x01",                           // Flash video
        ".RMF",                              // RealMedia
        "NSVf",                              // Nullsoft video
        "NSVs",                              // Nullsoft video, a stream joined midway
        "#!AMR",                             // AMR
        "\x1A\x45\xDF\xA3",                  // Matroska, WebM
        "\x30\x26\xB2\x75\x8E\x66\xCF\x11",  // ASF (WMA, WMV)
    };
    for (const std::string_view signature : kSignatures) {
        if (bytes.starts_with(signature)) {
            return true;
        }
    }
    if (bytes.size() >= 8 && bytes.substr(4, 4) == "ftyp") {
        return true;  // MP4, M4A
    }
    // An MPEG audio frame or an ADTS (AAC) frame: eleven set bits of frame sync.
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           (static_cast<unsigned char>(bytes[1]) & 0xE0) == 0xE0;
}

std::string replaceNul(std::string text) {
    if (text.find('\0') == std::string::npos) {
        return text;
    }
    std::string out;
    out.reserve(text.size() + 16);
    for (const char c : text) {
        if (c == '\0') {
            out += "\xEF\xBF\xBD";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// "File1=..." without the "[playlist]" line some servers leave out.
bool startsWithNumberedKey(std::string_view line, std::string_view lowerPrefix) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || !startsWithNoCase(line, lowerPrefix)) {
        return false;
    }
    const std::string_view number = trimSpace(line.substr(0, equals)).substr(lowerPrefix.size());
    return !number.empty() && number.find_first_not_of("0123456789") == std::string_view::npos;
}

// PLS by its "[playlist]" header or its "File1=" lines, wherever they are: some servers put a
// line of their own before the header, others leave the header out.
bool isPls(std::string_view text) {
    LineReader lines(text);
    for (std::string_view line; lines.next(line);) {
        line = trimSpace(line);
        if (startsWithNoCase(line, "[playlist]") || startsWithNumberedKey(line, "file")) {
            return true;
        }
    }
    return false;
}

// The kind of decoded text, its entries read into `list`.
PlaylistKind readText(std::string_view text, EntryList& list) {
    std::string_view start = text;
    while (true) {
        start = trimSpace(start);
        if (!start.starts_with("\xEF\xBB\xBF")) {
            break;
        }
        start.remove_prefix(3);  // a second byte-order mark
    }
    if (start.starts_with('<')) {
        switch (classifyMarkup(start)) {
            case MarkupRoot::Asx:
                readAsx(start, list);
                return PlaylistKind::Asx;
            case MarkupRoot::Xspf:
                readXspf(start, list);
                return PlaylistKind::Xspf;
            case MarkupRoot::Html:
                return PlaylistKind::Html;
        }
    }
    if (isPls(start)) {
        readNumberedKeys(start, "file", list);
        return PlaylistKind::Pls;
    }
    const std::string_view firstLine = trimSpace(start.substr(0, start.find_first_of("\r\n")));
    if (startsWithNoCase(firstLine, "[reference]")) {
        readNumberedKeys(start, "ref", list);  // the ASF reference file Windows servers send
        return PlaylistKind::Asx;
    }
    return readLines(start, list);
}

}  // namespace

Playlist readPlaylist(std::string_view bytes, std::string_view finalUrl) {
    Playlist playlist;
    if (bytes.empty() || (!hasUtf16ByteOrderMark(bytes) && startsLikeMedia(bytes))) {
        return playlist;
    }
    std::string text = decodeText(bytes);
    if (looksBinary(text)) {
        return playlist;
    }
    text = replaceNul(std::move(text));
    constexpr size_t kBudgetBase = 1 << 20;
    EntryList list(finalUrl, kBudgetBase + 8 * bytes.size());
    playlist.kind = readText(text, list);
    if (playlist.kind != PlaylistKind::Stream && playlist.kind != PlaylistKind::Html &&
        playlist.kind != PlaylistKind::Hls) {
        playlist.entries = list.take();
        playlist.localFiles = list.localFiles();
    }
    return playlist;
}

}  // namespace vistrelle
