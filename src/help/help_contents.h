// The help file's table of contents (a sitemap, ".hhc") and the addresses of its pages, as the
// Linux help window shows them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vistrelle {

// One entry of the table of contents: its title (UTF-8), the page it opens (as written in the
// sitemap, possibly empty for a heading) and how deep it is nested (0 at the top).
struct HelpTopic {
    std::string name;
    std::string local;
    int depth = 0;

    bool operator==(const HelpTopic&) const = default;
};

// Reads a sitemap: every <OBJECT type="text/sitemap"> with its "Name" and "Local" parameters,
// nested by <UL>. Tags, attribute names and values are read as browsers read HTML (any case,
// quoted or not, entities decoded); unclosed objects and lists are closed by what follows.
// Entries without a name are left out. Never fails: text that is no sitemap gives no entries.
std::vector<HelpTopic> readHelpContents(std::string_view sitemap);

// The path of a page inside the help archive for a "Local" value or a link: a leading "/",
// forward slashes, no "./" steps, no "#part" or "?query", any "ms-its:file.chm::" prefix taken
// off. Empty when it names no page of the archive (empty, a web address, "..", another scheme).
std::string helpArchivePath(std::string_view local);

// The title of the help window.

// The help window's own addresses: "vistrelle-help:///index.html" for the page "/index.html".
inline constexpr std::string_view kHelpScheme = "vistrelle-help";
std::string helpPageAddress(std::string_view archivePath);
// The archive path an address of the help window names, or empty when it names none.
std::string helpPathOfAddress(std::string_view address);

// The content type of a page of the archive, from its name; "application/octet-stream" when
// unknown.
std::string_view helpContentType(std::string_view archivePath);

// The page the help window opens with: the first page of the contents, else "/index.html".
std::string helpStartPage(const std::vector<HelpTopic>& topics);

}  // namespace vistrelle
