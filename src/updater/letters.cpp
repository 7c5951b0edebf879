#include "updater/letters.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>

#include "ui/display_text.h"

namespace vistrelle::updater {

namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

// The code point at `at` and its length in bytes; kInvalid (length 1) for a byte that starts no
// well-formed UTF-8 sequence.
char32_t decodeAt(std::string_view text, size_t at, size_t& length) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char first = byte(0);
    length = 1;
    if (first < 0x80) {
        return first;
    }
    size_t size = first >= 0xC2 && first <= 0xDF   ? 2
                  : first >= 0xE0 && first <= 0xEF ? 3
                  : first >= 0xF0 && first <= 0xF4 ? 4
                                                   : 0;
    if (size == 0 || at + size > text.size()) {
        return kInvalid;
    }
    char32_t code = first & (0x7F >> size);
    for (size_t i = 1; i < size; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return kInvalid;
        }
        code = (code << 6) | (byte(i) & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[size] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return kInvalid;
    }
    length = size;
    return code;
}

// The letters whose title case is one other letter, as runs of code points that share the
// distance to it: every code point of a run (step 1), or every second one (step 2, where small
// and capital letters alternate). Unicode 14's title-case mappings of single characters.
struct CaseRun {
    char32_t first, last;
    int32_t delta;
    uint8_t step;
};

constexpr CaseRun kTitleCase[] = {
    {0x0061, 0x007A, -32, 1},   {0x00B5, 0x00B5, 743, 1},    {0x00E0, 0x00F6, -32, 1},
    {0x00F8, 0x00FE, -32, 1},   {0x00FF, 0x00FF, 121, 1},    {0x0101, 0x012F, -1, 2},
    {0x0131, 0x0131, -232, 1},  {0x0133, 0x0137, -1, 2},     {0x013A, 0x0148, -1, 2},
    {0x014B, 0x0177, -1, 2},    {0x017A, 0x017E, -1, 2},     {0x017F, 0x017F, -300, 1},
    {0x0180, 0x0180, 195, 1},   {0x0183, 0x0185, -1, 2},     {0x0188, 0x0188, -1, 1},
    {0x018C, 0x018C, -1, 1},    {0x0192, 0x0192, -1, 1},     {0x0195, 0x0195, 97, 1},
    {0x0199, 0x0199, -1, 1},    {0x019A, 0x019A, 163, 1},    {0x019E, 0x019E, 130, 1},
    {0x01A1, 0x01A5, -1, 2},    {0x01A8, 0x01A8, -1, 1},     {0x01AD, 0x01AD, -1, 1},
    {0x01B0, 0x01B0, -1, 1},    {0x01B4, 0x01B6, -1, 2},     {0x01B9, 0x01B9, -1, 1},
    {0x01BD, 0x01BD, -1, 1},    {0x01BF, 0x01BF, 56, 1},     {0x01C4, 0x01C4, 1, 1},
    {0x01C6, 0x01C6, -1, 1},    {0x01C7, 0x01C7, 1, 1},      {0x01C9, 0x01C9, -1, 1},
    {0x01CA, 0x01CA, 1, 1},     {0x01CC, 0x01DC, -1, 2},     {0x01DD, 0x01DD, -79, 1},
    {0x01DF, 0x01EF, -1, 2},    {0x01F1, 0x01F1, 1, 1},      {0x01F3, 0x01F5, -1, 2},
    {0x01F9, 0x021F, -1, 2},    {0x0223, 0x0233, -1, 2},     {0x023C, 0x023C, -1, 1},
    {0x023F, 0x0240, 10815, 1}, {0x0242, 0x0242, -1, 1},     {0x0247, 0x024F, -1, 2},
    {0x0250, 0x0250, 10783, 1}, {0x0251, 0x0251, 10780, 1},  {0x0252, 0x0252, 10782, 1},
    {0x0253, 0x0253, -210, 1},  {0x0254, 0x0254, -206, 1},   {0x0256, 0x0257, -205, 1},
    {0x0259, 0x0259, -202, 1},  {0x025B, 0x025B, -203, 1},   {0x025C, 0x025C, 42319, 1},
    {0x0260, 0x0260, -205, 1},  {0x0261, 0x0261, 42315, 1},  {0x0263, 0x0263, -207, 1},
    {0x0265, 0x0265, 42280, 1}, {0x0266, 0x0266, 42308, 1},  {0x0268, 0x0268, -209, 1},
    {0x0269, 0x0269, -211, 1},  {0x026A, 0x026A, 42308, 1},  {0x026B, 0x026B, 10743, 1},
    {0x026C, 0x026C, 42305, 1}, {0x026F, 0x026F, -211, 1},   {0x0271, 0x0271, 10749, 1},
    {0x0272, 0x0272, -213, 1},  {0x0275, 0x0275, -214, 1},   {0x027D, 0x027D, 10727, 1},
    {0x0280, 0x0280, -218, 1},  {0x0282, 0x0282, 42307, 1},  {0x0283, 0x0283, -218, 1},
    {0x0287, 0x0287, 42282, 1}, {0x0288, 0x0288, -218, 1},   {0x0289, 0x0289, -69, 1},
    {0x028A, 0x028B, -217, 1},  {0x028C, 0x028C, -71, 1},    {0x0292, 0x0292, -219, 1},
    {0x029D, 0x029D, 42261, 1}, {0x029E, 0x029E, 42258, 1},  {0x0345, 0x0345, 84, 1},
    {0x0371, 0x0373, -1, 2},    {0x0377, 0x0377, -1, 1},     {0x037B, 0x037D, 130, 1},
    {0x03AC, 0x03AC, -38, 1},   {0x03AD, 0x03AF, -37, 1},    {0x03B1, 0x03C1, -32, 1},
    {0x03C2, 0x03C2, -31, 1},   {0x03C3, 0x03CB, -32, 1},    {0x03CC, 0x03CC, -64, 1},
    {0x03CD, 0x03CE, -63, 1},   {0x03D0, 0x03D0, -62, 1},    {0x03D1, 0x03D1, -57, 1},
    {0x03D5, 0x03D5, -47, 1},   {0x03D6, 0x03D6, -54, 1},    {0x03D7, 0x03D7, -8, 1},
    {0x03D9, 0x03EF, -1, 2},    {0x03F0, 0x03F0, -86, 1},    {0x03F1, 0x03F1, -80, 1},
    {0x03F2, 0x03F2, 7, 1},     {0x03F3, 0x03F3, -116, 1},   {0x03F5, 0x03F5, -96, 1},
    {0x03F8, 0x03F8, -1, 1},    {0x03FB, 0x03FB, -1, 1},     {0x0430, 0x044F, -32, 1},
    {0x0450, 0x045F, -80, 1},   {0x0461, 0x0481, -1, 2},     {0x048B, 0x04BF, -1, 2},
    {0x04C2, 0x04CE, -1, 2},    {0x04CF, 0x04CF, -15, 1},    {0x04D1, 0x052F, -1, 2},
    {0x0561, 0x0586, -48, 1},   {0x13F8, 0x13FD, -8, 1},     {0x1C80, 0x1C80, -6254, 1},
    {0x1C81, 0x1C81, -6253, 1}, {0x1C82, 0x1C82, -6244, 1},  {0x1C83, 0x1C84, -6242, 1},
    {0x1C85, 0x1C85, -6243, 1}, {0x1C86, 0x1C86, -6236, 1},  {0x1C87, 0x1C87, -6181, 1},
    {0x1C88, 0x1C88, 35266, 1}, {0x1D79, 0x1D79, 35332, 1},  {0x1D7D, 0x1D7D, 3814, 1},
    {0x1D8E, 0x1D8E, 35384, 1}, {0x1E01, 0x1E95, -1, 2},     {0x1E9B, 0x1E9B, -59, 1},
    {0x1EA1, 0x1EFF, -1, 2},    {0x1F00, 0x1F07, 8, 1},      {0x1F10, 0x1F15, 8, 1},
    {0x1F20, 0x1F27, 8, 1},     {0x1F30, 0x1F37, 8, 1},      {0x1F40, 0x1F45, 8, 1},
    {0x1F51, 0x1F57, 8, 2},     {0x1F60, 0x1F67, 8, 1},      {0x1F70, 0x1F71, 74, 1},
    {0x1F72, 0x1F75, 86, 1},    {0x1F76, 0x1F77, 100, 1},    {0x1F78, 0x1F79, 128, 1},
    {0x1F7A, 0x1F7B, 112, 1},   {0x1F7C, 0x1F7D, 126, 1},    {0x1F80, 0x1F87, 8, 1},
    {0x1F90, 0x1F97, 8, 1},     {0x1FA0, 0x1FA7, 8, 1},      {0x1FB0, 0x1FB1, 8, 1},
    {0x1FB3, 0x1FB3, 9, 1},     {0x1FBE, 0x1FBE, -7205, 1},  {0x1FC3, 0x1FC3, 9, 1},
    {0x1FD0, 0x1FD1, 8, 1},     {0x1FE0, 0x1FE1, 8, 1},      {0x1FE5, 0x1FE5, 7, 1},
    {0x1FF3, 0x1FF3, 9, 1},     {0x214E, 0x214E, -28, 1},    {0x2170, 0x217F, -16, 1},
    {0x2184, 0x2184, -1, 1},    {0x24D0, 0x24E9, -26, 1},    {0x2C30, 0x2C5F, -48, 1},
    {0x2C61, 0x2C61, -1, 1},    {0x2C65, 0x2C65, -10795, 1}, {0x2C66, 0x2C66, -10792, 1},
    {0x2C68, 0x2C6C, -1, 2},    {0x2C73, 0x2C73, -1, 1},     {0x2C76, 0x2C76, -1, 1},
    {0x2C81, 0x2CE3, -1, 2},    {0x2CEC, 0x2CEE, -1, 2},     {0x2CF3, 0x2CF3, -1, 1},
    {0x2D00, 0x2D25, -7264, 1}, {0x2D27, 0x2D27, -7264, 1},  {0x2D2D, 0x2D2D, -7264, 1},
    {0xA641, 0xA66D, -1, 2},    {0xA681, 0xA69B, -1, 2},     {0xA723, 0xA72F, -1, 2},
    {0xA733, 0xA76F, -1, 2},    {0xA77A, 0xA77C, -1, 2},     {0xA77F, 0xA787, -1, 2},
    {0xA78C, 0xA78C, -1, 1},    {0xA791, 0xA793, -1, 2},     {0xA794, 0xA794, 48, 1},
    {0xA797, 0xA7A9, -1, 2},    {0xA7B5, 0xA7C3, -1, 2},     {0xA7C8, 0xA7CA, -1, 2},
    {0xA7D1, 0xA7D1, -1, 1},    {0xA7D7, 0xA7D9, -1, 2},     {0xA7F6, 0xA7F6, -1, 1},
    {0xAB53, 0xAB53, -928, 1},  {0xAB70, 0xABBF, -38864, 1}, {0xFF41, 0xFF5A, -32, 1},
    {0x10428, 0x1044F, -40, 1}, {0x104D8, 0x104FB, -40, 1},  {0x10597, 0x105A1, -39, 1},
    {0x105A3, 0x105B1, -39, 1}, {0x105B3, 0x105B9, -39, 1},  {0x105BB, 0x105BC, -39, 1},
    {0x10CC0, 0x10CF2, -64, 1}, {0x118C0, 0x118DF, -32, 1},  {0x16E60, 0x16E7F, -32, 1},
    {0x1E922, 0x1E943, -34, 1},
};

char32_t titleCase(char32_t code) {
    // The last run that starts at or before the code point.
    const auto* run = std::upper_bound(std::begin(kTitleCase), std::end(kTitleCase), code,
                                       [](char32_t c, const CaseRun& r) { return c < r.first; });
    if (run == std::begin(kTitleCase)) {
        return code;
    }
    --run;
    if (code > run->last || (code - run->first) % run->step != 0) {
        return code;
    }
    return static_cast<char32_t>(static_cast<int32_t>(code) + run->delta);
}

// The Latin letters U+00C0 to U+017F without accents, in lower case: "." where a character is no
// letter (× and ÷), "*" where it stands for two letters (kTwoLetters).
constexpr std::string_view kLatinFolds =
    "aaaaaa*ceeeeiiiidnooooo.ouuuuy**"   // U+00C0
    "aaaaaa*ceeeeiiiidnooooo.ouuuuy*y"   // U+00E0
    "aaaaaaccccccccddddeeeeeeeeeegggg"   // U+0100
    "gggghhhhiiiiiiiiii**jjkkklllllll"   // U+0120
    "lllnnnnnnnnnoooooo**rrrrrrssssss"   // U+0140
    "ssttttttuuuuuuuuuuuuwwyyyzzzzzzs";  // U+0160

constexpr std::pair<char32_t, std::string_view> kTwoLetters[] = {
    {0xC6, "ae"},  {0xDE, "th"},  {0xDF, "ss"},  {0xE6, "ae"},  {0xFE, "th"},
    {0x132, "ij"}, {0x133, "ij"}, {0x152, "oe"}, {0x153, "oe"},
};

void appendFolded(std::string& out, char32_t code) {
    if (code >= 'A' && code <= 'Z') {
        out.push_back(static_cast<char>(code - 'A' + 'a'));
        return;
    }
    if (code >= 0xC0 && code < 0xC0 + kLatinFolds.size()) {
        const char fold = kLatinFolds[code - 0xC0];
        if (fold == '*') {
            for (const auto& [letter, letters] : kTwoLetters) {
                if (letter == code) {
                    out += letters;
                    return;
                }
            }
        } else if (fold != '.') {
            out.push_back(fold);
            return;
        }
    }
    appendUtf8(out, code);
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

}  // namespace

std::string withTitleCaseFirst(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    size_t length = 0;
    const char32_t first = decodeAt(text, 0, length);
    const char32_t title = first == kInvalid ? first : titleCase(first);
    if (title == first) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size() + 1);
    appendUtf8(out, title);
    out.append(text.substr(length));
    return out;
}

std::string foldedForOrder(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0, length = 0; at < text.size(); at += length) {
        const char32_t code = decodeAt(text, at, length);
        if (code == kInvalid) {
            out.push_back(text[at]);
        } else {
            appendFolded(out, code);
        }
    }
    return out;
}

int compareAsRead(std::string_view a, std::string_view b) {
    if (int c = foldedForOrder(a).compare(foldedForOrder(b)); c != 0) {
        return sign(c);
    }
    if (int c = lowerAscii(a).compare(lowerAscii(b)); c != 0) {
        return sign(c);
    }
    return sign(a.compare(b));
}

}  // namespace vistrelle::updater
