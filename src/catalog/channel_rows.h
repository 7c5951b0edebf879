// The rows of channelList as the program keeps them. The window layer shows these rows (it may
// show them virtually) and is told of every change through ChannelListUi.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalog/channel.h"

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
    bool isDefault() const;
};

class ChannelRows {
public:
    int32_t count() const { return static_cast<int32_t>(rows_.size()); }
    // The row's text: column texts separated by LF ("Channel", "Category", "Bitrate", "Comment").
    std::string text(int32_t row) const;
    // One column's text; empty when the row has fewer columns.
    std::string columnText(int32_t row, int32_t column) const;
    RowColours colours(int32_t row) const;

    // Changes, made by the catalogue only. Rows outside the list are ignored.
    void append(const Channel& channel);  // the row shows channelRowText(channel)
    void removeAt(int32_t row);
    void clear();
    void setBackground(int32_t row, std::optional<Rgb> colour);  // every column
    void setColumnBackground(int32_t row, int32_t column, std::optional<Rgb> colour);
    void setTextColour(int32_t row, std::optional<Rgb> colour);  // every column
    void reserve(size_t n) { rows_.reserve(n); }

private:
    std::vector<Channel> rows_;
    std::unordered_map<int32_t, RowColours> colours_;  // only rows with a colour set
};

}  // namespace vistrelle
