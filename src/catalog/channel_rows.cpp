#include "catalog/channel_rows.h"

#include <utility>

namespace vistrelle {

std::string ChannelRows::text(int32_t row) const {
    if (row < 0 || row >= count()) {
        return std::string();
    }
    return channelRowText(rows_[static_cast<size_t>(row)]);
}

std::string ChannelRows::columnText(int32_t row, int32_t column) const {
    if (row < 0 || row >= count()) {
        return std::string();
    }
    const Channel& channel = rows_[static_cast<size_t>(row)];
    switch (column) {
        case 0:
            return std::string(channel.name());
        case 1:
            return std::string(channel.category());
        case 2:
            return decimalText(channel.bitrate());
        case 3:
            return std::string(channel.comment());
        default:
            return std::string();
    }
}

int32_t ChannelRows::findPrefix(int32_t column, const TextPrefix& prefix, int32_t from,
                                int32_t to) const {
    if (column != 0) {
        return ListRows::findPrefix(column, prefix, from, to);
    }
    // Most rows are told apart by the head of the name they carry; the others by their name.
    const int32_t end = to < count() ? to : count();
    for (int32_t row = from < 0 ? 0 : from; row < end; ++row) {
        const Channel& channel = rows_[static_cast<size_t>(row)];
        switch (prefix.matchHead(channel.nameHead())) {
            case TextPrefix::Head::kNo:
                break;
            case TextPrefix::Head::kYes:
                return row;
            case TextPrefix::Head::kCheck:
                if (prefix.startsOf(channel.name())) {
                    return row;
                }
                break;
        }
    }
    return -1;
}

RowColours ChannelRows::colours(int32_t row) const {
    auto found = colours_.find(row);
    return found != colours_.end() ? found->second : RowColours{};
}

void ChannelRows::append(const Channel& channel) {
    rows_.push_back(channel.copy());
}

void ChannelRows::removeAt(int32_t row) {
    if (row < 0 || row >= count()) {
        return;
    }
    rows_.erase(rows_.begin() + row);
    if (colours_.empty()) {
        return;
    }
    // The colours of the rows below move up with them.
    std::unordered_map<int32_t, RowColours> moved;
    for (auto& [index, colours] : colours_) {
        if (index < row) {
            moved.emplace(index, std::move(colours));
        } else if (index > row) {
            moved.emplace(index - 1, std::move(colours));
        }
    }
    colours_ = std::move(moved);
}

void ChannelRows::clear() {
    rows_.clear();
    colours_.clear();
}

namespace {

// Applies a change to the colours of one row, keeping only rows that differ from the default.
template <typename Change>
void changeColours(std::unordered_map<int32_t, RowColours>& colours, int32_t row, Change change) {
    RowColours updated;
    if (auto found = colours.find(row); found != colours.end()) {
        updated = found->second;
    }
    change(updated);
    if (updated.isDefault()) {
        colours.erase(row);
    } else {
        colours[row] = updated;
    }
}

}  // namespace

void ChannelRows::setBackground(int32_t row, std::optional<Rgb> colour) {
    if (row < 0 || row >= count()) {
        return;
    }
    changeColours(colours_, row, [&](RowColours& colours) { colours.background.fill(colour); });
}

void ChannelRows::setColumnBackground(int32_t row, int32_t column, std::optional<Rgb> colour) {
    if (row < 0 || row >= count() || column < 0 || column >= kColumnCount) {
        return;
    }
    changeColours(colours_, row, [&](RowColours& colours) {
        colours.background[static_cast<size_t>(column)] = colour;
    });
}

void ChannelRows::setTextColour(int32_t row, std::optional<Rgb> colour) {
    if (row < 0 || row >= count()) {
        return;
    }
    changeColours(colours_, row, [&](RowColours& colours) { colours.text.fill(colour); });
}

}  // namespace vistrelle
