#include "ui/display_text.h"

#include <gtest/gtest.h>

namespace vistrelle {
namespace {

TEST(DisplayText, ValidUtf8StaysAndOtherBytesAreWindows1252) {
    struct Case {
        std::string_view bytes;
        std::string_view shown;
        bool valid;
    };
    const Case cases[] = {
        {"", "", true},
        {"Norway", "Norway", true},
        {"Sk\xC3\xA4rg\xC3\xA5rd", "Sk\xC3\xA4rg\xC3\xA5rd", true},       // UTF-8 as it is
        {"Sk\xE4rg\xE5rd", "Sk\xC3\xA4rg\xC3\xA5rd", false},              // Windows-1252
        {"\x80 \x99 \x9F", "\xE2\x82\xAC \xE2\x84\xA2 \xC5\xB8", false},  // euro, trade mark, Y
        {"\x81\x8D\x8F\x90\x9D", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
         false},                                  // unassigned: replacement characters
        {"\xC0\xAF", "\xC3\x80\xC2\xAF", false},  // overlong form is not UTF-8
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC", false},  // a surrogate is not UTF-8
        {"\xF4\x90\x80\x80", "\xC3\xB4\xEF\xBF\xBD\xE2\x82\xAC\xE2\x82\xAC", false},  // > U+10FFFF
        {"\xE2\x82", "\xC3\xA2\xE2\x80\x9A", false},                                  // cut short
        {"\xF0\x9F\x93\xBA tv", "\xF0\x9F\x93\xBA tv", true},
        {std::string_view("a\0b", 3), std::string_view("a\0b", 3), true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.bytes;
        EXPECT_EQ(displayText(c.bytes), c.shown) << c.bytes;
    }
}

}  // namespace
}  // namespace vistrelle
