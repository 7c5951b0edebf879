// countrySelector: a drop-down list holding the program's items in the order they came.
#pragma once

#include <gtkmm/comboboxtext.h>

#include <string>

#include "ui/window_layer.h"

namespace vistrelle::gtk {

class EventRouter;

class GtkCountrySelector final : public CountrySelectorUi {
public:
    explicit GtkCountrySelector(EventRouter& router);

    void appendItem(std::string_view text) override;
    int32_t selectedIndex() override;
    void select(int32_t index) override;
    std::string selectedText() override;

    Gtk::ComboBoxText& widget() { return combo_; }
    int32_t itemCount() const { return static_cast<int32_t>(items_.size()); }
    // The item as shown (UTF-8).
    std::string shownText(int32_t index) const;

private:
    EventRouter& router_;
    Gtk::ComboBoxText combo_;
    std::vector<std::string> items_;  // the program's bytes, unchanged
    bool programChange_ = false;
};

}  // namespace vistrelle::gtk
