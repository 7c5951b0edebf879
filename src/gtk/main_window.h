// MainWindow: menu bar, the controls' area and the status bar, one above the other. The
// program's W and H are the width of the controls' area and the height of all three.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/checkmenuitem.h>
#include <gtkmm/frame.h>
#include <gtkmm/label.h>
#include <gtkmm/menu.h>
#include <gtkmm/menubar.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gtk/control_window.h"

namespace vistrelle::gtk {

class MainWindow final : public ControlWindow {
public:
    // Opens the window at `frame` (outer rectangle), its content the frame less `decorations`.
    MainWindow(EventRouter& router, const Rect& frame, std::string_view title, Size decorations);
    ~MainWindow() override;

    Gtk::Widget& inputArea() override { return content_; }

    void createMenus();
    void createStatusBar();

    Size layoutSize();
    void setClientWidth(int32_t width);
    bool menuItemChecked(int32_t command) const;
    void setMenuItemChecked(int32_t command, bool checked);
    void showPopupMenu(int32_t menu, const GdkEvent* trigger);
    // The menu opened by the keyboard, below `area` of `window` (a row of the list).
    void showPopupMenuBelow(int32_t menu, GdkWindow* window, const GdkRectangle& area,
                            const GdkEvent* trigger);
    void setStatusText(std::string_view text);
    int64_t nativeHandle();

    // For the program's own checks.
    std::string statusText() const { return statusLabel_.get_text(); }
    Gtk::MenuBar* menuBar() { return menuBar_.get(); }
    Gtk::Menu* popupMenu(int32_t menu);
    Gtk::MenuItem* menuItem(int32_t command);  // in menuBar
    Gtk::Frame& statusBar() { return statusFrame_; }

private:
    void onContentAllocated(Gtk::Allocation& allocation);
    bool onStateChanged(GdkEventWindowState* event);
    Gtk::MenuItem* makeItem(const MenuItemDef& def, std::vector<Gtk::MenuItem*>& store);

    Gtk::Box content_{Gtk::ORIENTATION_VERTICAL};
    std::unique_ptr<Gtk::MenuBar> menuBar_;
    std::array<std::unique_ptr<Gtk::Menu>, 3> popups_;  // by menu id (1 and 2)
    std::map<int32_t, Gtk::MenuItem*> barItems_;        // by command
    std::map<int32_t, bool> checks_;                    // the program's check marks
    bool settingCheck_ = false;
    Gtk::Frame statusFrame_;
    Gtk::Label statusLabel_;
    bool statusMade_ = false;
    bool iconified_ = false;
    Size lastSize_{-1, -1};
    Size requested_;
};

// The folder of the program's icons.
std::string iconFolder();
// Gives a window of the program the program's icon.
void setProgramIcons(Gtk::Window& window);

}  // namespace vistrelle::gtk
