// The pages shown in webView: the welcome page and the player page of a channel.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vistrelle {

// The text after the last "." of the address (up to a double quote), unless a "/" or "\"
// comes after that dot; empty otherwise. Case and query are kept.
std::string addressExtension(std::string_view streamUrl);

std::string welcomePage();

// The page for a stream address. Windows Media Player for "asx" and "m3u" (of the generation
// playerVersion names), RealPlayer for "ram", an object without a player otherwise. The address
// goes into attribute values with & < > " ' written as character references.
std::string playerPage(std::string_view streamUrl, int8_t playerVersion);

// The address as it is put into an attribute value.
std::string attributeText(std::string_view text);

inline constexpr std::string_view kWmpDownloadAddress =
    "https://www.microsoft.com/windows/windows-media-player";
inline constexpr std::string_view kRealPlayerDownloadAddress = "https://www.real.com/";

}  // namespace vistrelle
