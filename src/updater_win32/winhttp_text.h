// Texts between the updater and WinHTTP: UTF-8 and UTF-16, addresses as a request line takes
// them, and WinHTTP's errors in the user's words.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace vistrelle::updater {

std::wstring wide(std::string_view text);
std::string narrow(std::wstring_view text);

// An address as a request line takes it: bytes outside printable ASCII, blanks and the characters
// no address may hold written as %XX; "#" and what follows dropped.
std::string escapedAddress(std::string_view url);

// What a WinHTTP or socket error means for the user.
std::string errorText(DWORD error, std::string_view host);

}  // namespace vistrelle::updater
