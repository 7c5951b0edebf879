// How the program's byte strings are shown where a toolkit wants UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vistrelle {

bool isValidUtf8(std::string_view bytes);
// The text as UTF-8: unchanged when it is valid UTF-8, otherwise decoded as Windows-1252.
std::string displayText(std::string_view bytes);
// The character a Windows-1252 byte stands for (U+FFFD for the bytes the code page leaves out).
char32_t windows1252CodePoint(uint8_t byte);
// Appends one character (below U+110000) in UTF-8.
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace vistrelle
