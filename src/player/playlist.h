// The playlist reader: tells from the bytes of a response whether they are a playlist, and which
// addresses it holds. Portable and without network; the front ends fetch, this decides.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vistrelle {

// What a response turned out to be, from its bytes (never from the content type or extension).
enum class PlaylistKind {
    Stream,  // not a playlist: media bytes to play (or anything unrecognised that is not text/HTML)
    Html,    // an HTML page where a stream or playlist was expected
    Hls,     // an HLS playlist (any "#EXT-X-" tag): the address itself is played, never its entries
    Asx,     // ASX / WAX / WVX
    Pls,
    M3u,  // M3U and extended M3U
    Ram,  // RealAudio .ram: one address a line
    Xspf,
};

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct PlaylistEntry {
    std::string url;    // absolute, resolved against the final address (ASX BASE, XSPF xml:base)
    std::string title;  // #EXTINF title, PLS TitleN, ASX TITLE, XSPF title; may be empty
    // Extended M3U #EXTINF attributes in order, keys lower-case (tvg-country, tvg-name,
    // group-title, tvg-logo, ...), values as written (quotes removed).
    std::vector<std::pair<std::string, std::string>> attributes;
    // ASX ENTRYREF: a reference to another playlist rather than media.
    bool isReference = false;
    // The request headers an IPTV list appends to the address ("|User-Agent=...").
    HeaderList headers;
};

struct Playlist {
    PlaylistKind kind = PlaylistKind::Stream;
    std::vector<PlaylistEntry> entries;  // document order; empty for Stream, Html and Hls
    // Entries left out because they name files on a computer ("C:\Music\a.mp3", "~/a.mp3",
    // "file:///home/..."): a playlist never makes the program read the listener's own files.
    size_t localFiles = 0;
};

// Reads `bytes` (the start of a response, possibly cut off) fetched from `finalUrl` (the address
// after redirects). UTF-8, UTF-16 with a byte-order mark, CR/LF/CRLF line ends.
// Empty input, bytes that start like a media format and bytes with control characters near the
// start are a Stream. Markup is ASX (an ASX, ENTRY or REF root), XSPF (a playlist root) or else
// Html. Other text is PLS ("[playlist]" or "File1=" on any line), the ASF reference file
// ("[Reference]", read as Asx), Hls, or a list of addresses: M3u, or Ram when it names rtsp:// or
// pnm:// addresses and has no #EXTM3U or #EXTINF; a line of such a list that is neither a
// directive nor an address nor a path ("====morocco====") is skipped. A server's text message is
// an M3u without entries. Spaces inside addresses are percent-encoded, request headers appended
// after "|" are cut off into the entry's headers, and entries that name local files or whose
// address cannot be resolved are left out; the entries stop once their text grows far beyond
// the size of the input.
Playlist readPlaylist(std::string_view bytes, std::string_view finalUrl);

// `reference` made absolute against `base` (RFC 3986 section 5); empty when it cannot be.
std::string resolveAddress(std::string_view base, std::string_view reference);

// An address as IPTV lists write it, with the request headers its stream wants after a "|":
// "http://a.example/live.m3u8|User-Agent=Mozilla/5.0&Referer=http://a.example/". The address
// is cut at the first "|" after which everything has the shape of headers (name=value pairs
// separated by "|" or "&", each name a header's: with a "-", or Referer, Origin, Cookie and the
// like); each other "|" belongs to the address and becomes "%7C", so that
// "...?format=mp3|aac&type=live" stays one address. Values are percent-decoded.
struct SuffixedAddress {
    std::string address;
    HeaderList headers;
};
SuffixedAddress splitHeaderSuffix(std::string_view text);

// The address with each space after its host percent-encoded ("%20"); unchanged when a space
// stands in its scheme or host, where no encoding makes it right.
std::string withEncodedSpaces(std::string_view address);

// True for the addresses the program plays here: http:// and https:// (any letter case), with no
// control characters, quotes, angle brackets or spaces.
bool isPlayableAddress(std::string_view url);

// The addresses to try for one entry, in order: the entry itself when playable; for mms://,
// mmsh:// and mmst:// first the same address as http://. Empty when none can be played here.
std::vector<std::string> playableAddresses(std::string_view entryUrl);
}  // namespace vistrelle
