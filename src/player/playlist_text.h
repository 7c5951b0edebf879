// Pieces the playlist reader's formats share: turning response bytes into UTF-8 text, trimming,
// character references, and the list that collects resolved entries.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "player/playlist.h"

namespace vistrelle::playlist_detail {

// The bytes as UTF-8: a UTF-8 byte-order mark is dropped, UTF-16 with a byte-order mark is
// converted (an unpaired surrogate becomes U+FFFD, an odd last byte is dropped), and a byte that
// does not start valid UTF-8 is read as Windows-1252. NUL stays NUL.
std::string decodeText(std::string_view bytes);
bool hasUtf16ByteOrderMark(std::string_view bytes);

// True when the start of the text holds control characters no playlist has.
bool looksBinary(std::string_view text);

bool isSpace(char c);
std::string_view trimSpace(std::string_view text);
std::string lowerAscii(std::string_view text);
bool startsWithNoCase(std::string_view text, std::string_view lowerPrefix);
// The scheme of an absolute address, lower-case ("" when there is none).
std::string schemeOf(std::string_view address);

// &amp; &lt; &gt; &quot; &apos; &#N; &#xN; decoded; a "&" that starts none of them is kept.
std::string decodeReferences(std::string_view text);
// A title without control characters (each becomes a space) or surrounding spaces.
std::string cleanTitle(std::string_view text);

// Splits text into lines at CR, LF and CRLF.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    bool next(std::string_view& line);

private:
    std::string_view text_;
    size_t at_ = 0;
};

// An address split into the parts of RFC 3986 section 3 (scheme empty when there is none).
struct AddressParts {
    std::string scheme;
    std::optional<std::string> authority;
    std::string path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;
};
AddressParts splitAddress(std::string_view address);
// `reference` resolved against `base`, which has a scheme (or is absent); empty when it cannot be.
std::string resolveAgainst(const AddressParts* base, std::string_view reference);

// A path on a computer rather than an address on the web: "C:\\Music\\a.mp3", "\\\\server\\share",
// "Alternative\\Song.mp3", "~/Music/a.mp3", "/home/me/a.mp3" (and the other folders that hold
// users' files), "file:///...".
bool isLocalFilePath(std::string_view address);

// Collects the entries of a playlist: each address is cleaned of white space, its header suffix
// cut off, its spaces encoded, resolved against the current base (the final address unless a
// document sets another), and kept unless it names a local file or cannot be resolved. Stops
// taking entries once their text exceeds a budget, so that no input can make the result grow
// far beyond its own size.
class EntryList {
public:
    EntryList(std::string_view finalUrl, size_t budget);

    // A base address for the following entries (absolute, see resolve); empty (or
    // unresolvable) returns to the final address.
    void setBase(std::string_view address);
    // `address` resolved against the current base.
    std::string resolve(std::string_view address) const;

    bool add(std::string_view address, std::string title = {},
             std::vector<std::pair<std::string, std::string>> attributes = {},
             bool isReference = false);
    bool full() const { return used_ > budget_; }
    size_t size() const { return entries_.size(); }
    void setTitle(size_t index, const std::string& title);
    size_t localFiles() const { return localFiles_; }
    std::vector<PlaylistEntry> take() { return std::move(entries_); }

private:
    std::optional<AddressParts> final_;
    std::optional<AddressParts> base_;
    std::vector<PlaylistEntry> entries_;
    size_t budget_;
    size_t used_ = 0;
    size_t localFiles_ = 0;
};

// Formats read from decoded text into `list`.
enum class MarkupRoot { Asx, Xspf, Html };
MarkupRoot classifyMarkup(std::string_view text);
void readAsx(std::string_view text, EntryList& list);
void readXspf(std::string_view text, EntryList& list);
// PLS ("file" keys, with "title" keys) and the ASF reference file ("ref" keys).
void readNumberedKeys(std::string_view text, std::string_view keyPrefix, EntryList& list);
// M3U, extended M3U, RealAudio .ram and HLS: the kind found.
PlaylistKind readLines(std::string_view text, EntryList& list);

}  // namespace vistrelle::playlist_detail
