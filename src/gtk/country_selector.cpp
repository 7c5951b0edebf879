#include "gtk/country_selector.h"

#include <atkmm/object.h>

#include "gtk/event_pump.h"
#include "ui/display_text.h"
#include "ui/ids.h"
#include "ui/texts.h"

namespace vistrelle::gtk {

namespace {

void nameInnerButton(GtkWidget* widget) {
    if (GTK_IS_TOGGLE_BUTTON(widget)) {
        atk_object_set_name(gtk_widget_get_accessible(widget),
                            std::string(texts::kCountrySelectorName).c_str());
    } else if (GTK_IS_CONTAINER(widget)) {
        gtk_container_forall(
            GTK_CONTAINER(widget), [](GtkWidget* child, gpointer) { nameInnerButton(child); },
            nullptr);
    }
}

}  // namespace

GtkCountrySelector::GtkCountrySelector(EventRouter& router) : router_(router) {
    // Only the user's choices are reported; the program's own changes are not.
    combo_.signal_changed().connect([this] {
        if (!programChange_) {
            router_.controlEvent(kCountrySelector, ControlAction::Used);
        }
    });
    combo_.get_accessible()->set_name(std::string(texts::kCountrySelectorName));
    combo_.get_accessible()->set_description(std::string(texts::kCountrySelectorDescription));
    // The button inside that opens the list would otherwise be announced without a name.
    nameInnerButton(GTK_WIDGET(combo_.gobj()));
    combo_.show();
}

void GtkCountrySelector::appendItem(std::string_view text) {
    items_.emplace_back(text);
    programChange_ = true;
    combo_.append(displayText(text));
    programChange_ = false;
}

int32_t GtkCountrySelector::selectedIndex() {
    return combo_.get_active_row_number();
}

void GtkCountrySelector::select(int32_t index) {
    programChange_ = true;
    if (index >= 0 && index < itemCount()) {
        combo_.set_active(index);
    } else {
        combo_.set_active(-1);
    }
    programChange_ = false;
}

std::string GtkCountrySelector::selectedText() {
    int32_t index = selectedIndex();
    if (index < 0 || index >= itemCount()) {
        return {};
    }
    // The bytes the program gave, not the displayed UTF-8, so that filtering compares bytes.
    return items_[static_cast<size_t>(index)];
}

std::string GtkCountrySelector::shownText(int32_t index) const {
    if (index < 0 || index >= itemCount()) {
        return {};
    }
    return displayText(items_[static_cast<size_t>(index)]);
}

}  // namespace vistrelle::gtk
