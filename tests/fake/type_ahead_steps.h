// One walk through finding a channel by typing, for the program's rules and for each window layer:
// the same keys must select the same rows everywhere.
#pragma once

#include <cstdint>
#include <string_view>

namespace vistrelle::testing {

// The catalogue the walk types in (Windows-1252; row 5 has an e acute).
inline constexpr std::string_view kTypeAheadCatalogue =
    "Austria|Alpen TV|300|TV||http://s.example.org/0.asx|\r\n"
    "Austria|Bergen Jazz|64|Jazz||http://s.example.org/1.asx|\r\n"
    "Austria|alpha Jazz|64|Jazz||http://s.example.org/2.asx|\r\n"
    "Norway|Bern Info|96|News||http://s.example.org/3.asx|\r\n"
    "Norway|Cafe Bleu|96|Talk||http://s.example.org/4.asx|\r\n"
    "Norway|Caf\xe9 Radio|96|Talk||http://s.example.org/5.asx|\r\n"
    "Norway|Alpen Kino|96|Film||http://s.example.org/6.asx|\r\n";

// Keys, one character each (UTF-8): '|' a pause longer than the pause that starts a new text,
// '\b' Backspace, '\x1b' Escape, '\n' Down, '\a' Ctrl+G, '~' F5 (a key that is not the
// search's and does nothing in the list); anything else is typed.
struct TypeAheadStep {
    std::string_view keys;
    int32_t row;            // selected after the keys, from no selection at the start
    std::string_view text;  // the search text shown (UTF-8); empty when the search has ended
    bool searching;
    bool notFound;
};

inline constexpr TypeAheadStep kTypeAheadSteps[] = {
    {"b", 1, "b", true, false},
    {"|b", 3, "b", true, false},          // the same letter again: the next row with it
    {"b", 1, "bb", true, false},          // and again at once: round to the top
    {"|alpen", 6, "alpen", true, false},  // from the row after the selected one
    {"\n", 0, "alpen", true, false},      // Down: the next row that starts with the text
    {"\a", 6, "alpen", true, false},      // Ctrl+G: the same
    {"x", 6, "alpenx", true, true},       // none: the selection stays
    {"\b", 6, "alpen", true, false},      // taken back
    {"\x1b", 6, "", false, false},        // Escape ends the search
    {"|caf", 4, "caf", true, false},
    {"\xC3\xA9", 5, "caf\xC3\xA9", true, false},  // a Windows-1252 name, typed in Unicode
    {"|q", 5, "q", true, true},
    {"\b", 5, "", true, false},  // an empty text finds nothing and looks for nothing
    {"b", 1, "b", true, false},  // a text that grows is looked for from the selection
    {"~", 1, "", false, false},  // any other key ends the search
    {"b", 3, "b", true, false},
    {"|bern i", 3, "bern i", true, false},  // a space within a search is part of the text
};

// How long '|' waits, in milliseconds.
inline constexpr uint32_t kTypeAheadPauseMs = 1100;

}  // namespace vistrelle::testing
