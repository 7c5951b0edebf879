// The controls of the program's windows as GTK widgets, made from the windows' tables: one small
// maker per kind of control, chosen from a table.
#pragma once

#include <gtkmm/fixed.h>
#include <gtkmm/radiobutton.h>
#include <gtkmm/widget.h>

#include <memory>
#include <vector>

#include "ui/window_defs.h"

namespace vistrelle::gtk {

class EventRouter;

// The widgets the window layer keeps for the whole run (MainWindow's web view, country selector
// and channel list), which their makers put into the window.
struct LayerWidgets {
    Gtk::Widget& webView;
    Gtk::Widget& countrySelector;
    Gtk::Widget& channelList;       // placed in the window
    Gtk::Widget& channelListFocus;  // takes the keyboard focus
};

// One window's group of option buttons. GTK always checks one button of a group: a hidden one
// stands for "none of them".
struct OptionGroup {
    Gtk::RadioButton::Group group;
    std::unique_ptr<Gtk::RadioButton> none;
    bool programChange = false;  // the program is checking a button: nothing is reported
};

// What a maker gets: the table's entry, where events go, what the window keeps for it.
struct ControlMaking {
    const ControlDef& def;
    EventRouter& router;
    std::vector<std::unique_ptr<Gtk::Widget>>& owned;  // the window's own widgets
    OptionGroup& options;
    const LayerWidgets* layer;  // null in windows without the layer's widgets
};

// What a maker made; `placed` is null when there is nothing to place.
struct MadeControl {
    Gtk::Widget* placed = nullptr;    // put into the window
    Gtk::Widget* focus = nullptr;     // takes the keyboard focus (Tab)
    Gtk::Fixed* container = nullptr;  // where a panel's own controls go
};

MadeControl makeControl(const ControlMaking& making);

}  // namespace vistrelle::gtk
