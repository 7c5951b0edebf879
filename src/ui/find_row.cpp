#include "ui/find_row.h"

namespace vistrelle {

namespace {

int32_t findFrom(const ListRows& rows, const TextPrefix& prefix, int32_t startRow) {
    const int32_t count = rows.count();
    if (prefix.empty() || count <= 0) {
        return -1;
    }
    if (startRow < 0 || startRow >= count) {
        startRow = 0;
    }
    const int32_t found = rows.findPrefix(kChannelColumn, prefix, startRow, count);
    if (found >= 0 || startRow == 0) {
        return found;
    }
    return rows.findPrefix(kChannelColumn, prefix, 0, startRow);
}

}  // namespace

int32_t findChannelRow(const ListRows& rows, std::string_view text, int32_t startRow) {
    return findFrom(rows, TextPrefix(text), startRow);
}

int32_t findTypedChannelRow(const ListRows& rows, std::string_view text, int32_t startRow) {
    const TextPrefix prefix(text);
    const int32_t found = findFrom(rows, prefix, startRow);
    if (found >= 0 || !prefix.isOneCharacterRepeated()) {
        return found;
    }
    const int32_t next = startRow < 0 || startRow >= rows.count() - 1 ? 0 : startRow + 1;
    return findFrom(rows, prefix.firstCharacter(), next);
}

}  // namespace vistrelle
