#include "gtk/search_field.h"

#include <gdk/gdkkeysyms.h>

#include "gtk/event_pump.h"
#include "ui/ids.h"

namespace vistrelle::gtk {

GtkSearchField::GtkSearchField(EventRouter& router) : router_(router) {
    // The table's width rules, not a width in characters.
    entry_.set_width_chars(1);
    entry_.signal_changed().connect(
        [this] { router_.controlEvent(kSearchField, ControlAction::Used); });
    entry_.signal_key_press_event().connect(
        [this](GdkEventKey* event) {
            const auto modifiers = event->state & gtk_accelerator_get_default_mod_mask();
            if (event->keyval != GDK_KEY_Escape || modifiers != 0) {
                return false;
            }
            router_.controlEvent(kSearchField, ControlAction::Cancel);
            return true;
        },
        false);
    entry_.show();
}

std::string GtkSearchField::text() {
    return entry_.get_text();
}

void GtkSearchField::clear() {
    entry_.set_text("");
}

}  // namespace vistrelle::gtk
