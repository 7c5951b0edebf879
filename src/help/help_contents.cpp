#include "help/help_contents.h"

#include <algorithm>
#include <cstdint>

#include "ui/display_text.h"

namespace vistrelle {

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A character a reference names, in UTF-8; U+FFFD for one no text may hold.
void appendReferenced(std::string& out, uint32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        code = 0xFFFD;
    }
    appendUtf8(out, code);
}

// The character a reference names ("amp", "#233", "#xE9"), or 0 when it is none this reader knows.
uint32_t referencedCharacter(std::string_view name) {
    if (name.size() > 1 && name[0] == '#') {
        bool hex = lower(name[1]) == 'x';
        std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 7) {
            return 0;
        }
        uint32_t code = 0;
        for (char c : digits) {
            uint32_t digit = 0;
            if (c >= '0' && c <= '9') {
                digit = static_cast<uint32_t>(c - '0');
            } else if (hex && lower(c) >= 'a' && lower(c) <= 'f') {
                digit = static_cast<uint32_t>(lower(c) - 'a' + 10);
            } else {
                return 0;
            }
            code = code * (hex ? 16 : 10) + digit;
        }
        return code == 0 ? 0xFFFD : code;
    }
    struct Named {
        std::string_view name;
        uint32_t code;
    };
    static constexpr Named kNamed[] = {{"amp", '&'},   {"lt", '<'},       {"gt", '>'},
                                       {"quot", '"'},  {"apos", '\''},    {"nbsp", 0xA0},
                                       {"copy", 0xA9}, {"ndash", 0x2013}, {"mdash", 0x2014}};
    for (const Named& named : kNamed) {
        if (name == named.name) {
            return named.code;
        }
    }
    return 0;
}

// An attribute value as text: UTF-8 (Windows-1252 bytes decoded), references replaced.
std::string decodeValue(std::string_view raw) {
    std::string text = displayText(raw);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            // A reference is short: its ';' is looked for among the next few bytes only.
            size_t length = std::string_view(text).substr(i + 1, 10).find(';');
            if (length != std::string_view::npos) {
                if (uint32_t code =
                        referencedCharacter(std::string_view(text).substr(i + 1, length))) {
                    appendReferenced(out, code);
                    i += length + 1;
                    continue;
                }
            }
        }
        out += text[i];
    }
    return out;
}

struct Attribute {
    std::string_view name;
    std::string_view value;
};

struct Tag {
    std::string_view name;
    bool closing = false;
    std::vector<Attribute> attributes;

    std::string_view attribute(std::string_view wanted) const {
        for (const Attribute& attribute : attributes) {
            if (equalsNoCase(attribute.name, wanted)) {
                return attribute.value;
            }
        }
        return {};
    }
};

// Reads the tag that starts at text[at] ('<'); `at` ends after its '>' (or at the end).
Tag readTag(std::string_view text, size_t& at) {
    Tag tag;
    size_t i = at + 1;
    if (i < text.size() && text[i] == '/') {
        tag.closing = true;
        ++i;
    }
    size_t nameStart = i;
    while (i < text.size() && !isSpace(text[i]) && text[i] != '>' && text[i] != '/') {
        ++i;
    }
    tag.name = text.substr(nameStart, i - nameStart);
    while (i < text.size() && text[i] != '>') {
        if (isSpace(text[i]) || text[i] == '/') {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < text.size() && !isSpace(text[i]) && text[i] != '>' && text[i] != '=') {
            ++i;
        }
        Attribute attribute{text.substr(start, i - start), {}};
        while (i < text.size() && isSpace(text[i])) {
            ++i;
        }
        if (i < text.size() && text[i] == '=') {
            ++i;
            while (i < text.size() && isSpace(text[i])) {
                ++i;
            }
            if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
                char quote = text[i];
                size_t end = text.find(quote, i + 1);
                end = end == std::string_view::npos ? text.size() : end;
                attribute.value = text.substr(i + 1, end - i - 1);
                i = std::min(end + 1, text.size());
            } else {
                size_t valueStart = i;
                while (i < text.size() && !isSpace(text[i]) && text[i] != '>') {
                    ++i;
                }
                attribute.value = text.substr(valueStart, i - valueStart);
            }
        }
        tag.attributes.push_back(attribute);
    }
    at = std::min(i + 1, text.size());
    return tag;
}

// Decodes %XX escapes; a '%' without two hex digits stays as it is.
std::string percentDecoded(std::string_view text) {
    auto hexValue = [](char c) -> int {
        c = lower(c);
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The path as "/step/step": forward slashes, no empty or "." steps. Empty when it leaves the
// archive ("..") or starts with another scheme.
std::string stepsOf(std::string_view text) {
    std::string path(text);
    std::replace(path.begin(), path.end(), '\\', '/');
    size_t colon = path.find(':');
    if (colon != std::string::npos && colon < path.find('/')) {
        return {};
    }
    std::string result;
    std::string_view rest = path;
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view step = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (step.empty() || step == ".") {
            continue;
        }
        if (step == "..") {
            return {};
        }
        result += '/';
        result += step;
    }
    return result;
}

}  // namespace

std::vector<HelpTopic> readHelpContents(std::string_view sitemap) {
    std::vector<HelpTopic> topics;
    int openLists = 0;
    bool inEntry = false;
    std::string name;
    std::string local;
    auto finishEntry = [&] {
        if (inEntry && !name.empty()) {
            topics.push_back({name, local, std::max(0, openLists - 1)});
        }
        inEntry = false;
    };

    size_t at = 0;
    while (at < sitemap.size()) {
        size_t open = sitemap.find('<', at);
        if (open == std::string_view::npos) {
            break;
        }
        if (sitemap.substr(open, 4) == "<!--") {
            size_t end = sitemap.find("-->", open + 4);
            at = end == std::string_view::npos ? sitemap.size() : end + 3;
            continue;
        }
        at = open;
        Tag tag = readTag(sitemap, at);
        if (equalsNoCase(tag.name, "ul")) {
            finishEntry();
            openLists = tag.closing ? std::max(0, openLists - 1) : openLists + 1;
        } else if (equalsNoCase(tag.name, "li")) {
            finishEntry();
        } else if (equalsNoCase(tag.name, "object")) {
            finishEntry();
            if (!tag.closing) {
                inEntry = equalsNoCase(trim(tag.attribute("type")), "text/sitemap");
                name.clear();
                local.clear();
            }
        } else if (inEntry && !tag.closing && equalsNoCase(tag.name, "param")) {
            std::string_view key = trim(tag.attribute("name"));
            // The first of each counts: later ones name the same page again.
            std::string value = decodeValue(tag.attribute("value"));
            if (equalsNoCase(key, "name") && name.empty()) {
                name = trim(value);
            } else if (equalsNoCase(key, "local") && local.empty()) {
                local = trim(value);
            }
        }
    }
    finishEntry();
    return topics;
}

std::string helpArchivePath(std::string_view local) {
    local = trim(local);
    for (std::string_view prefix : {"ms-its:", "mk:@msitstore:", "its:"}) {
        if (startsWithNoCase(local, prefix)) {
            size_t separator = local.find("::");
            if (separator == std::string_view::npos) {
                return {};
            }
            local.remove_prefix(separator + 2);
            break;
        }
    }
    return stepsOf(local.substr(0, local.find_first_of("#?")));
}

std::string helpPageAddress(std::string_view archivePath) {
    static constexpr std::string_view kKept = "-._~/!$&'()*+,;=:@";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string address(kHelpScheme);
    address += "://";
    for (char c : archivePath) {
        const auto b = static_cast<unsigned char>(c);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            kKept.find(c) != std::string_view::npos) {
            address += c;
        } else {
            address += '%';
            address += kHex[b >> 4];
            address += kHex[b & 0xF];
        }
    }
    return address;
}

std::string helpPathOfAddress(std::string_view address) {
    if (!startsWithNoCase(address, kHelpScheme) || address.size() <= kHelpScheme.size() ||
        address[kHelpScheme.size()] != ':') {
        return {};
    }
    std::string_view rest = address.substr(kHelpScheme.size() + 1);
    if (rest.starts_with("//")) {
        // Only the empty authority: "vistrelle-help:///page.html".
        rest.remove_prefix(2);
        size_t slash = rest.find('/');
        if (slash != 0) {
            return {};
        }
    }
    rest = rest.substr(0, rest.find_first_of("#?"));
    std::string path = percentDecoded(rest);
    if (path.find('\0') != std::string::npos) {
        return {};
    }
    return stepsOf(path);
}

std::string_view helpContentType(std::string_view archivePath) {
    size_t slash = archivePath.rfind('/');
    std::string_view file = archivePath.substr(slash == std::string_view::npos ? 0 : slash + 1);
    size_t dot = file.rfind('.');
    std::string_view extension =
        dot == std::string_view::npos ? std::string_view() : file.substr(dot + 1);
    struct Type {
        std::string_view extension;
        std::string_view type;
    };
    static constexpr Type kTypes[] = {
        {"html", "text/html"},     {"htm", "text/html"},     {"css", "text/css"},
        {"js", "text/javascript"}, {"txt", "text/plain"},    {"png", "image/png"},
        {"gif", "image/gif"},      {"jpg", "image/jpeg"},    {"jpeg", "image/jpeg"},
        {"bmp", "image/bmp"},      {"svg", "image/svg+xml"}, {"ico", "image/x-icon"},
    };
    for (const Type& type : kTypes) {
        if (equalsNoCase(extension, type.extension)) {
            return type.type;
        }
    }
    return "application/octet-stream";
}

std::string helpStartPage(const std::vector<HelpTopic>& topics) {
    for (const HelpTopic& topic : topics) {
        std::string path = helpArchivePath(topic.local);
        if (!path.empty()) {
            return path;
        }
    }
    return "/index.html";
}

}  // namespace vistrelle
