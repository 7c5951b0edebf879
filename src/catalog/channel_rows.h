// The rows of channelList as the program keeps them. The window layer shows these rows (it may
// show them virtually) and is told of every change through ChannelListUi.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalog/channel.h"
#include "ui/list_rows.h"

namespace vistrelle {

class ChannelRows final : public ListRows {
public:
    int32_t count() const override { return static_cast<int32_t>(rows_.size()); }
    // The row's text: column texts separated by LF ("Channel", "Category", "Bitrate", "Comment").
    std::string text(int32_t row) const override;
    std::string columnText(int32_t row, int32_t column) const override;
    RowColours colours(int32_t row) const override;
    int32_t findPrefix(int32_t column, const TextPrefix& prefix, int32_t from,
                       int32_t to) const override;

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
