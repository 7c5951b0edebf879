// The program's windows as GTK top-level windows: controls placed absolutely from the program's
// tables, Tab order in creation order, the window manager's close as a close request. The
// Settings and About windows are DialogWindows; MainWindow (main_window.h) builds on the same.
#pragma once

#include <gtkmm/fixed.h>
#include <gtkmm/layout.h>
#include <gtkmm/radiobutton.h>
#include <gtkmm/window.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "ui/window_defs.h"

namespace vistrelle::gtk {

class EventRouter;

// What a window needs to place a control the window layer does not make itself.
struct MadeControl {
    Gtk::Widget* placed = nullptr;  // put into the window
    Gtk::Widget* focus = nullptr;   // takes the keyboard focus (Tab)
};

class ControlWindow : public Gtk::Window {
public:
    ControlWindow(int32_t id, EventRouter& router);
    ~ControlWindow() override;

    int32_t id() const { return id_; }
    // The controls' area; its origin is the controls' (0, 0).
    Gtk::Layout& area() { return area_; }
    // What takes input: made insensitive when the window is disabled.
    virtual Gtk::Widget& inputArea() { return area_; }

    // Creates the controls of a table in order. `make` supplies the controls of kinds the
    // window does not make itself (web view, drop-down, list); a null widget is left out.
    void createControls(std::span<const ControlDef> controls,
                        const std::function<MadeControl(const ControlDef&)>& make);
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
    Gtk::Widget* makeOwnControl(const ControlDef& def);

    std::vector<std::unique_ptr<Gtk::Widget>> owned_;
    std::map<int32_t, Gtk::Widget*> controls_;
    std::map<int32_t, Gtk::Fixed*> panels_;
    std::vector<Gtk::Widget*> tabStops_;
    Gtk::RadioButton::Group group_;
    std::unique_ptr<Gtk::RadioButton> noOption_;  // checked when no option of the group is
    bool programChange_ = false;
    int32_t helpCommand_ = -1;
};

// SettingsWindow or AboutWindow: caption only, owned by MainWindow, not sizable.
class DialogWindow final : public ControlWindow {
public:
    DialogWindow(int32_t id, EventRouter& router, Gtk::Window& owner, std::string_view title,
                 const Rect& frame, Size decorations);
    // The tool-window look, with the client area set again to `client`, top-left kept.
    void makeToolWindow(Size client);
};

}  // namespace vistrelle::gtk
