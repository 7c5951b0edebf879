// Fuzz target for the playlist reader: any bytes give a playlist whose entries are clean text
// (valid UTF-8 without NUL or line ends), only Asx, Pls, M3u, Ram and Xspf hold entries, every
// address offered for playing is one the program accepts as playable, and the request headers
// an entry asks for reach the network only without control bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "player/playback.h"
#include "player/playlist.h"

namespace {

using vistrelle::PlaylistKind;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool isValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80                 ? 1
                        : c >= 0xC2 && c <= 0xDF ? 2
                        : c >= 0xE0 && c <= 0xEF ? 3
                        : c >= 0xF0 && c <= 0xF4 ? 4
                                                 : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

bool isCleanText(std::string_view text) {
    return text.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos &&
           isValidUtf8(text);
}

void checkPlayable(std::string_view entry) {
    for (const std::string& address : vistrelle::playableAddresses(entry)) {
        check(vistrelle::isPlayableAddress(address));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const vistrelle::Playlist playlist =
        vistrelle::readPlaylist(bytes, "http://fuzz.example/lists/a/list.asx?x=1");
    const bool holdsEntries =
        playlist.kind == PlaylistKind::Asx || playlist.kind == PlaylistKind::Pls ||
        playlist.kind == PlaylistKind::M3u || playlist.kind == PlaylistKind::Ram ||
        playlist.kind == PlaylistKind::Xspf;
    check(holdsEntries || playlist.entries.empty());
    for (const vistrelle::PlaylistEntry& entry : playlist.entries) {
        check(!entry.url.empty() && isCleanText(entry.url) && isCleanText(entry.title));
        for (const auto& [key, value] : entry.attributes) {
            check(isCleanText(key) && isCleanText(value));
        }
        // The headers the program would send never carry a line end or another control byte.
        const vistrelle::StreamHeaders sent = vistrelle::keptHeaders(entry.headers);
        for (const std::string& value : {sent.userAgent, sent.referer}) {
            check(std::none_of(value.begin(), value.end(),
                               [](char c) { return static_cast<unsigned char>(c) < 0x20; }));
        }
        checkPlayable(entry.url);
    }

    // The first line as a base address and the rest as a reference, read directly.
    const size_t newline = bytes.find('\n');
    const std::string_view base = bytes.substr(0, newline);
    const std::string_view reference =
        newline == std::string_view::npos ? std::string_view() : bytes.substr(newline + 1);
    checkPlayable(vistrelle::resolveAddress(base, reference));
    checkPlayable(base);
    return 0;
}
