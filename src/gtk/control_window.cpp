#include "gtk/control_window.h"

#include <gdk/gdkkeysyms.h>
#include <gtkmm/combobox.h>
#include <gtkmm/radiobutton.h>

#include <algorithm>

#include "gtk/event_pump.h"
#include "ui/ids.h"

namespace vistrelle::gtk {

ControlWindow::ControlWindow(int32_t id, EventRouter& router) : id_(id), router_(router) {
    get_style_context()->add_class("vistrelle");
    // The window manager's close never destroys the window: the program decides.
    signal_delete_event().connect(
        [this](GdkEventAny*) {
            router_.closeRequested(id_, CloseSource::User);
            return true;
        },
        false);
    signal_key_press_event().connect(sigc::mem_fun(*this, &ControlWindow::onKeyPress), false);
    area_.show();
}

ControlWindow::~ControlWindow() = default;

void ControlWindow::createControls(std::span<const ControlDef> controls,
                                   const LayerWidgets* layer) {
    for (const ControlDef& def : controls) {
        const MadeControl made = makeControl({def, router_, owned_, options_, layer});
        if (made.placed == nullptr) {
            continue;
        }
        if (made.container != nullptr && def.id != kNoControl) {
            panels_[def.id] = made.container;
        }
        Gtk::Widget& widget = *made.placed;
        // A drop-down keeps its own height: the table's height includes the opened list.
        widget.set_size_request(def.rect.width,
                                def.kind == ControlKind::DropDownList ? -1 : def.rect.height);
        auto panel = panels_.find(def.parent);
        if (def.parent != -1 && panel != panels_.end()) {
            panel->second->put(widget, def.rect.left, def.rect.top);
        } else {
            area_.put(widget, def.rect.left, def.rect.top);
        }
        widget.show();
        if (def.id != kNoControl) {
            controls_[def.id] = &widget;
        }
        if (made.focus != nullptr) {
            made.focus->set_can_focus(def.tabStop);
            if (def.tabStop) {
                tabStops_.push_back(made.focus);
            }
        }
        if (def.kind == ControlKind::DefaultPushButton) {
            set_default(widget);
        }
    }
}

Gtk::Widget* ControlWindow::control(int32_t id) {
    auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

void ControlWindow::placeControl(int32_t id, const Rect& rect) {
    Gtk::Widget* widget = control(id);
    if (widget == nullptr || widget->get_parent() != &area_) {
        return;
    }
    bool dropDown = dynamic_cast<Gtk::ComboBox*>(widget) != nullptr;
    widget->set_size_request(rect.width, dropDown ? -1 : rect.height);
    area_.move(*widget, rect.left, rect.top);
    widget->queue_draw();
}

void ControlWindow::setOptionChecked(int32_t id, bool checked) {
    auto* radio = dynamic_cast<Gtk::RadioButton*>(control(id));
    if (radio == nullptr) {
        return;
    }
    options_.programChange = true;
    if (checked) {
        radio->set_active(true);
    } else if (radio->get_active() && options_.none) {
        options_.none->set_active(true);
    }
    options_.programChange = false;
}

bool ControlWindow::optionChecked(int32_t id) {
    auto* radio = dynamic_cast<Gtk::RadioButton*>(control(id));
    return radio != nullptr && radio->get_active();
}

void ControlWindow::moveFocus(bool forward) {
    std::vector<Gtk::Widget*> stops;
    for (Gtk::Widget* stop : tabStops_) {
        if (stop->is_sensitive() && stop->is_visible() && stop->get_mapped()) {
            stops.push_back(stop);
        }
    }
    Gtk::Widget* focus = get_focus();
    auto current = std::find_if(stops.begin(), stops.end(), [focus](Gtk::Widget* stop) {
        return focus != nullptr && (focus == stop || focus->is_ancestor(*stop));
    });
    const int32_t next = nextTabStop(
        static_cast<int32_t>(stops.size()),
        current == stops.end() ? -1 : static_cast<int32_t>(current - stops.begin()), forward);
    if (next >= 0) {
        stops[static_cast<size_t>(next)]->grab_focus();
    }
}

bool ControlWindow::onKeyPress(GdkEventKey* event) {
    if (!inputArea().get_sensitive()) {
        return false;
    }
    auto modifiers = event->state & gtk_accelerator_get_default_mod_mask();
    if (event->keyval == GDK_KEY_Tab && modifiers == 0) {
        moveFocus(true);
        return true;
    }
    if (event->keyval == GDK_KEY_ISO_Left_Tab ||
        (event->keyval == GDK_KEY_Tab && modifiers == GDK_SHIFT_MASK)) {
        moveFocus(false);
        return true;
    }
    if (event->keyval == GDK_KEY_F1 && modifiers == 0 && helpCommand_ >= 0) {
        router_.menuCommand(helpCommand_);
        return true;
    }
    return false;
}

}  // namespace vistrelle::gtk
