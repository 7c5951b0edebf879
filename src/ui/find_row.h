// Finding a row of channelList by the first letters of its Channel column, as the user types.
#pragma once

#include <cstdint>
#include <string_view>

#include "ui/list_rows.h"

namespace vistrelle {

inline constexpr int32_t kChannelColumn = 0;

// The first row from `startRow` on (that row included), wrapping around to the top, whose Channel
// text starts with `text` (letter case ignored, see TextPrefix); -1 when none does or the text is
// empty. A start outside the rows starts at the top.
int32_t findChannelRow(const ListRows& rows, std::string_view text, int32_t startRow);

// The same for the system list's typing: when no row starts with a text of one character typed
// again and again ("aaa"), the next row after `startRow` that starts with that character.
int32_t findTypedChannelRow(const ListRows& rows, std::string_view text, int32_t startRow);

}  // namespace vistrelle
