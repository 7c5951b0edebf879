// The program's modal message box.
#pragma once

#include <gtkmm/dialog.h>
#include <gtkmm/window.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "ui/message_box.h"

namespace vistrelle::gtk {

// Shows a modal message box with the title, the text, the icon and the buttons; returns the one
// pressed. `owner` is the program's active window, or null. The windows of `others` that take
// input are made insensitive while the box is up, and exactly those are made sensitive again
// afterwards.
MessageAnswer runMessageBox(std::string_view title, std::string_view text, MessageIcon icon,
                            MessageButtons buttons, Gtk::Window* owner,
                            const std::vector<Gtk::Widget*>& others);

// The message box on screen now, or null.
Gtk::Dialog* currentMessageBox();
// Its text and title (UTF-8), for the program's own checks.
std::string currentMessageText();

}  // namespace vistrelle::gtk
