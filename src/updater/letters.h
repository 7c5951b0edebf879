// Letters beyond ASCII without a toolkit, the same on every machine and in every locale: the
// first letter of a text in title case in every script that has case, and names in the order
// people read them.
#pragma once

#include <string>
#include <string_view>

namespace vistrelle::updater {

// The text with its first character in title case: "pop" gives "Pop", "поп-музыка"
// "Поп-музыка", "été" "Été", "ǆungla" "ǅungla". A first character whose title case is itself
// (a digit, a Georgian letter) or more than one letter ("ß") stays as it is.
std::string withTitleCaseFirst(std::string_view text);

// The text as compared first: lower case, Latin letters without their accents ("Åland" gives
// "aland", "Æ" "ae"); other characters as they are.
std::string foldedForOrder(std::string_view text);

// Less than, equal to or greater than 0 as `a` comes before, with or after `b` for a reader:
// compared without accents and case first ("Côte d'Ivoire" before "Czechia", "Åland Islands"
// before "Albania"), then with accents but without case, then byte for byte.
int compareAsRead(std::string_view a, std::string_view b);

}  // namespace vistrelle::updater
