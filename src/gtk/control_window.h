// The program's windows as GTK top-level windows: controls placed absolutely from the program's
// tables, Tab order in creation order, the window manager's close as the user's close request.
// DialogWindow (the Settings and About windows) and MainWindow build on it.
#pragma once

#include <gtkmm/fixed.h>
#include <gtkmm/layout.h>
#include <gtkmm/window.h>

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "gtk/control_makers.h"
#include "ui/window_defs.h"

namespace vistrelle::gtk {

class EventRouter;

class ControlWindow : public Gtk::Window {
public:
    ControlWindow(int32_t id, EventRouter& router);
    ~ControlWindow() override;

    int32_t id() const { return id_; }
    // The controls' area; its origin is the controls' (0, 0).
    Gtk::Layout& area() { return area_; }
    // What takes input: made insensitive when the window is disabled.
    virtual Gtk::Widget& inputArea() { return area_; }

    // Creates the controls of a table in order; `layer` holds the widgets the window layer keeps
    // (null for a window without them: those controls are left out).
    void createControls(std::span<const ControlDef> controls, const LayerWidgets* layer);
    Gtk::Widget* control(int32_t id);
    void placeControl(int32_t id, const Rect& rect);
    void setOptionChecked(int32_t id, bool checked);
    bool optionChecked(int32_t id);
    // F1 in this window produces `command` (while the window takes input).
    void setHelpCommand(int32_t command) { helpCommand_ = command; }
    // Moves the focus as Tab (forward) or Shift+Tab does.
    void moveFocus(bool forward);

protected:
    bool onKeyPress(GdkEventKey* event);

    int32_t id_;
    EventRouter& router_;
    Gtk::Layout area_;

private:
    std::vector<std::unique_ptr<Gtk::Widget>> owned_;
    std::map<int32_t, Gtk::Widget*> controls_;
    std::map<int32_t, Gtk::Fixed*> panels_;
    std::vector<Gtk::Widget*> tabStops_;
    OptionGroup options_;
    int32_t helpCommand_ = -1;
};

}  // namespace vistrelle::gtk
