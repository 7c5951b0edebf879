#include "ui/type_ahead.h"

#include "ui/display_text.h"
#include "ui/find_row.h"

namespace vistrelle {

namespace {

void removeLastCharacter(std::string& text) {
    while (!text.empty()) {
        const auto last = static_cast<unsigned char>(text.back());
        text.pop_back();
        if ((last & 0xC0) != 0x80) {
            break;  // the first byte of a UTF-8 sequence
        }
    }
}

}  // namespace

bool TypeAhead::searching(uint32_t timeMs) const {
    // Unsigned arithmetic: right across a wrap of the clock too.
    return searching_ && timeMs - lastKey_ <= kSearchEndMs;
}

void TypeAhead::end() {
    searching_ = false;
    text_.clear();
}

TypeAhead::Outcome TypeAhead::findFrom(const ListRows& rows, int32_t startRow, bool typed) {
    Outcome outcome;
    outcome.handled = true;
    outcome.row =
        typed ? findTypedChannelRow(rows, text_, startRow) : findChannelRow(rows, text_, startRow);
    outcome.notFound = outcome.row < 0;
    return outcome;
}

TypeAhead::Outcome TypeAhead::press(const ListRows& rows, int32_t selected, Key key,
                                    uint32_t timeMs, char32_t character) {
    const bool under = searching(timeMs);
    if (!under) {
        end();
    }
    switch (key) {
        case Key::Character: {
            if (character < 0x20 || character == 0x7F || character >= 0x110000 ||
                (character == ' ' && !under)) {
                end();
                return {};
            }
            const bool newText = !under || timeMs - lastKey_ > kNewTextPauseMs;
            searching_ = true;
            lastKey_ = timeMs;
            if (newText) {
                text_.clear();
            }
            appendUtf8(text_, character);
            return newText ? findFrom(rows, selected + 1, false) : findFrom(rows, selected, true);
        }
        case Key::Backspace:
            if (!under) {
                return {};
            }
            lastKey_ = timeMs;
            removeLastCharacter(text_);
            if (text_.empty()) {
                return {.handled = true};
            }
            return findFrom(rows, selected, false);
        case Key::Next:
            if (!under) {
                return {};
            }
            lastKey_ = timeMs;
            return findFrom(rows, selected + 1, false);
        case Key::Escape:
            end();
            return {.handled = under};
        case Key::Other:
            end();
            return {};
    }
    return {};
}

}  // namespace vistrelle
