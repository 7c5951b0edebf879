// The rows a list control shows. The program keeps them (the catalogue's ChannelRows); the window
// layer reads texts and colours from them, virtually, and is told of changes through ChannelListUi.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "ui/text_prefix.h"

namespace vistrelle {

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kWatchedRowColour{0, 255, 0};
inline constexpr int32_t kColumnCount = 4;

// Background and text colour of each column of a row; nullopt is the list's default.
struct RowColours {
    std::array<std::optional<Rgb>, kColumnCount> background;
    std::array<std::optional<Rgb>, kColumnCount> text;
    bool isDefault() const {
        for (size_t column = 0; column < background.size(); ++column) {
            if (background[column] || text[column]) {
                return false;
            }
        }
        return true;
    }
};

class ListRows {
public:
    virtual ~ListRows() = default;
    virtual int32_t count() const = 0;
    // The row's text: column texts separated by LF.
    virtual std::string text(int32_t row) const = 0;
    // One column's text; empty when the row has fewer columns or is outside the list.
    virtual std::string columnText(int32_t row, int32_t column) const = 0;
    virtual RowColours colours(int32_t row) const = 0;
    // The first row of [from, to) whose column text starts with `prefix`, or -1. Rows that keep
    // their texts override it to compare them in place.
    virtual int32_t findPrefix(int32_t column, const TextPrefix& prefix, int32_t from,
                               int32_t to) const {
        for (int32_t row = from < 0 ? 0 : from; row < to && row < count(); ++row) {
            if (prefix.startsOf(columnText(row, column))) {
                return row;
            }
        }
        return -1;
    }
};

}  // namespace vistrelle
