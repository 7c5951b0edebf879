// The program's modal message box in its own words: a title, a text, an icon and the buttons.
#pragma once

#include <string_view>

namespace vistrelle {

enum class MessageIcon {
    Plain,        // no icon
    Warning,      // a failure the user should act on
    Information,  // a notice, or the one question
};

enum class MessageButtons {
    Ok,
    YesNo,
};

// The button the user pressed; closing a Yes/No box any other way answers No.
enum class MessageAnswer {
    Ok,
    Yes,
    No,
};

// One message box of the program, as the texts of the program list them (ui/texts.h).
struct MessageText {
    std::string_view title;
    std::string_view text;
    MessageIcon icon = MessageIcon::Plain;
    MessageButtons buttons = MessageButtons::Ok;
};

}  // namespace vistrelle
