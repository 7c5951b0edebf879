// Finding a row of channelList by typing the first letters of its Channel column: one set of
// rules for every window layer, which only tells the keys and shows the outcome.
//
//  - A character adds to the text. One typed more than kNewTextPauseMs after the search's last
//    key, or when no search is under way, starts a new text instead.
//  - A new text is looked for from the row after the selected one, wrapping round to the top,
//    so that typing the same first letter again steps to the next row that starts with it; a
//    text that grows is looked for from the selected row itself, so that the row stays while it
//    still matches.
//  - A text of one character typed again and again ("bbb") that no row starts with steps to
//    the next row after the selected one that starts with that character.
//  - Backspace takes the last character back and looks again from the selected row.
//  - Next (Down, Ctrl+G) steps to the next row after the selected one that starts with the text.
//  - Escape ends the search. Backspace, Next and Escape are the search's only while one is under
//    way; a space only adds to a search under way.
//  - A search ends kSearchEndMs after its last key, and whenever the list gets a key that is
//    not the search's (which then does what it does in the list; a modifier key alone is no key
//    here), a click, or new rows, or loses the keyboard focus.
//  - When no row starts with the text the selection stays where it is and the outcome says so.
// Letter case is ignored, and names are read as the list shows them (TextPrefix).
#pragma once

#include <cstdint>
#include <string>

#include "ui/list_rows.h"

namespace vistrelle {

class TypeAhead {
public:
    static constexpr uint32_t kNewTextPauseMs = 1000;
    static constexpr uint32_t kSearchEndMs = 5000;

    enum class Key { Character, Backspace, Next, Escape, Other };

    struct Outcome {
        bool handled = false;   // the key was the search's: the list does nothing more with it
        int32_t row = -1;       // the row to select, or -1 to leave the selection as it is
        bool notFound = false;  // no row starts with the text
    };

    // A key pressed in the list at `timeMs` (any millisecond clock that may wrap round), with
    // `selected` the row selected now (-1 for none). `character` is the one typed, for
    // Key::Character.
    Outcome press(const ListRows& rows, int32_t selected, Key key, uint32_t timeMs,
                  char32_t character = 0);
    // The search ends (a click, new rows, the focus gone, the time up).
    void end();

    // A search is under way at `timeMs`: its entry is shown, its keys are its own.
    bool searching(uint32_t timeMs) const;
    // The text typed so far (UTF-8); empty when no search is under way.
    const std::string& text() const { return text_; }

private:
    Outcome findFrom(const ListRows& rows, int32_t startRow, bool typed);

    bool searching_ = false;
    uint32_t lastKey_ = 0;
    std::string text_;
};

}  // namespace vistrelle
