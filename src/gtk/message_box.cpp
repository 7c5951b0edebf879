#include "gtk/message_box.h"

#include <giomm/themedicon.h>
#include <gtkmm/box.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>

#include "ui/display_text.h"

namespace vistrelle::gtk {

namespace {

Gtk::Dialog* shownBox = nullptr;
std::string shownText;

const char* iconName(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Warning:
            return "dialog-warning";
        case MessageIcon::Information:
            return "dialog-information";
        case MessageIcon::Plain:
            break;
    }
    return nullptr;
}

}  // namespace

MessageAnswer runMessageBox(std::string_view title, std::string_view text, MessageIcon icon,
                            MessageButtons buttons, Gtk::Window* owner,
                            const std::vector<Gtk::Widget*>& others) {
    const bool yesNo = buttons == MessageButtons::YesNo;

    Gtk::Dialog box(displayText(title), true);
    if (owner != nullptr) {
        box.set_transient_for(*owner);
        box.set_position(Gtk::WIN_POS_CENTER_ON_PARENT);
    } else {
        box.set_position(Gtk::WIN_POS_CENTER);
    }
    box.set_resizable(false);

    Gtk::Box row(Gtk::ORIENTATION_HORIZONTAL, 12);
    row.set_border_width(12);
    Gtk::Image image;
    if (const char* name = iconName(icon)) {
        // The theme may carry only the symbolic variant of the icon.
        auto themed = Gio::ThemedIcon::create(std::string(name));
        themed->append_name(std::string(name) + "-symbolic");
        image.set(Glib::RefPtr<const Gio::Icon>(themed), Gtk::ICON_SIZE_DIALOG);
        image.set_valign(Gtk::ALIGN_START);
        row.pack_start(image, false, false);
    }
    Gtk::Label label(displayText(text));
    label.set_line_wrap(true);
    label.set_max_width_chars(60);
    label.set_xalign(0.0f);
    label.set_selectable(false);
    row.pack_start(label, true, true);
    box.get_content_area()->pack_start(row, true, true);
    row.show_all();

    Gtk::Button* first = nullptr;
    if (yesNo) {
        first = box.add_button("_Yes", Gtk::RESPONSE_YES);
        box.add_button("_No", Gtk::RESPONSE_NO);
    } else {
        first = box.add_button("_OK", Gtk::RESPONSE_OK);
    }
    first->grab_default();
    first->grab_focus();

    // The program's other windows take no input while the box is up.
    std::vector<Gtk::Widget*> disabled;
    for (Gtk::Widget* widget : others) {
        if (widget != nullptr && widget->get_sensitive()) {
            widget->set_sensitive(false);
            disabled.push_back(widget);
        }
    }

    Gtk::Dialog* previous = shownBox;
    std::string previousText = shownText;
    shownBox = &box;
    shownText = displayText(text);
    int response = box.run();
    shownBox = previous;
    shownText = previousText;

    for (Gtk::Widget* widget : disabled) {
        widget->set_sensitive(true);
    }

    if (yesNo) {
        // Closing the box through the window manager answers No.
        return response == Gtk::RESPONSE_YES ? MessageAnswer::Yes : MessageAnswer::No;
    }
    return MessageAnswer::Ok;
}

Gtk::Dialog* currentMessageBox() {
    return shownBox;
}

std::string currentMessageText() {
    return shownText;
}

}  // namespace vistrelle::gtk
