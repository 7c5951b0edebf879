#include "gtk/main_window.h"

#include <gdkmm/pixbuf.h>
#include <gdkmm/seat.h>
#include <gtkmm/accellabel.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include "gtk/event_pump.h"
#include "ui/display_text.h"
#include "ui/ids.h"
#include "ui/texts.h"

namespace vistrelle::gtk {

std::string iconFolder() {
    std::error_code error;
#ifdef VISTRELLE_ICON_DIR
    if (std::filesystem::is_directory(VISTRELLE_ICON_DIR, error)) {
        return VISTRELLE_ICON_DIR;
    }
#endif
    // An installed program keeps its icons beside the executable.
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        return (self.parent_path() / "icons").string();
    }
    return "icons";
}

void setProgramIcons(Gtk::Window& window) {
    std::vector<Glib::RefPtr<Gdk::Pixbuf>> icons;
    for (const char* name : {"vistrelle-16.png", "vistrelle-32.png"}) {
        try {
            icons.push_back(Gdk::Pixbuf::create_from_file(iconFolder() + "/" + name));
        } catch (const Glib::Error&) {
            // A missing icon leaves the window manager's default.
        }
    }
    if (!icons.empty()) {
        window.set_icon_list(icons);
    }
}

MainWindow::MainWindow(EventRouter& router, const Rect& frame, std::string_view title,
                       Size decorations)
    : ControlWindow(kMainWindow, router) {
    set_title(displayText(title));
    setProgramIcons(*this);

    content_.pack_start(area_, true, true);
    add(content_);
    content_.show();
    requested_ = {std::max(frame.width - decorations.width, 1),
                  std::max(frame.height - decorations.height, 1)};
    set_default_size(requested_.width, requested_.height);
    move(frame.left, frame.top);
    content_.signal_size_allocate().connect(sigc::mem_fun(*this, &MainWindow::onContentAllocated));
    signal_window_state_event().connect(sigc::mem_fun(*this, &MainWindow::onStateChanged), false);
    show();
}

MainWindow::~MainWindow() = default;

Gtk::MenuItem* MainWindow::makeItem(const MenuItemDef& def, std::vector<Gtk::MenuItem*>& store) {
    std::string_view text = def.text;
    std::string_view accelerator;
    if (size_t tab = text.find('\t'); tab != std::string_view::npos) {
        accelerator = text.substr(tab + 1);
        text = text.substr(0, tab);
    }
    Gtk::MenuItem* item = nullptr;
    int32_t command = def.command;
    if (def.checkable) {
        item = Gtk::manage(new Gtk::CheckMenuItem(displayText(text)));
        checks_[command] = false;
    } else {
        item = Gtk::manage(new Gtk::MenuItem(displayText(text)));
    }
    if (!accelerator.empty()) {
        // The shortcut is shown at the right; the key itself is the window's (F1).
        guint key = 0;
        GdkModifierType modifiers{};
        gtk_accelerator_parse(std::string(accelerator).c_str(), &key, &modifiers);
        if (auto* label = dynamic_cast<Gtk::AccelLabel*>(item->get_child())) {
            label->set_accel(key, static_cast<Gdk::ModifierType>(modifiers));
        }
    }
    bool checkable = def.checkable;
    item->signal_activate().connect([this, command, checkable, item] {
        if (settingCheck_) {
            return;
        }
        if (checkable) {
            // Only the program changes the mark: put back what it last set.
            settingCheck_ = true;
            static_cast<Gtk::CheckMenuItem*>(item)->set_active(checks_[command]);
            settingCheck_ = false;
        }
        router_.menuCommand(command);
    });
    item->show();
    store.push_back(item);
    return item;
}

void MainWindow::createMenus() {
    menuBar_ = std::make_unique<Gtk::MenuBar>();
    for (const MenuDef& def : menuBarDef()) {
        auto* title = Gtk::manage(new Gtk::MenuItem(displayText(def.title)));
        auto* menu = Gtk::manage(new Gtk::Menu());
        std::vector<Gtk::MenuItem*> items;
        for (const MenuItemDef& itemDef : def.items) {
            Gtk::MenuItem* item = makeItem(itemDef, items);
            menu->append(*item);
            barItems_[itemDef.command] = item;
        }
        title->set_submenu(*menu);
        title->show();
        menuBar_->append(*title);
    }
    menuBar_->get_accessible()->set_name(std::string(texts::kMenuBarName));
    content_.pack_start(*menuBar_, false, false);
    content_.reorder_child(*menuBar_, 0);
    menuBar_->show();

    for (int32_t id : {kPopupMenuChannel, kPopupMenuFavorite}) {
        auto menu = std::make_unique<Gtk::Menu>();
        std::vector<Gtk::MenuItem*> items;
        for (const MenuItemDef& itemDef : popupMenuDef(id).items) {
            menu->append(*makeItem(itemDef, items));
        }
        menu->attach_to_widget(*this);
        popups_[static_cast<size_t>(id)] = std::move(menu);
    }
}

void MainWindow::createStatusBar() {
    statusFrame_.set_shadow_type(Gtk::SHADOW_IN);
    statusFrame_.get_style_context()->add_class("vistrelle-status");
    statusLabel_.set_xalign(0.0f);
    statusLabel_.set_ellipsize(Pango::ELLIPSIZE_END);
    statusLabel_.set_single_line_mode(true);
    statusFrame_.add(statusLabel_);
    statusFrame_.get_accessible()->set_role(Atk::ROLE_STATUSBAR);
    statusFrame_.get_accessible()->set_name(std::string(texts::kStatusBarName));
    statusLabel_.get_accessible()->set_role(Atk::ROLE_STATUSBAR);
    content_.pack_end(statusFrame_, false, false);
    statusFrame_.show_all();
    statusMade_ = true;
}

Size MainWindow::layoutSize() {
    if (get_realized() && content_.get_allocated_width() > 1) {
        return {area_.get_allocated_width(), content_.get_allocated_height()};
    }
    return requested_;
}

void MainWindow::setClientWidth(int32_t width) {
    int w = 0;
    int h = 0;
    get_size(w, h);
    requested_ = {std::max(width, 1), h};
    // GTK keeps the top-left corner when a window is resized.
    resize(requested_.width, h);
}

bool MainWindow::menuItemChecked(int32_t command) const {
    auto found = checks_.find(command);
    return found != checks_.end() && found->second;
}

void MainWindow::setMenuItemChecked(int32_t command, bool checked) {
    auto found = barItems_.find(command);
    if (found == barItems_.end()) {
        return;
    }
    auto* check = dynamic_cast<Gtk::CheckMenuItem*>(found->second);
    if (check == nullptr) {
        return;
    }
    checks_[command] = checked;
    settingCheck_ = true;
    check->set_active(checked);
    settingCheck_ = false;
}

Gtk::Menu* MainWindow::popupMenu(int32_t menu) {
    if (menu != kPopupMenuChannel && menu != kPopupMenuFavorite) {
        return nullptr;
    }
    return popups_[static_cast<size_t>(menu)].get();
}

Gtk::MenuItem* MainWindow::menuItem(int32_t command) {
    auto found = barItems_.find(command);
    return found == barItems_.end() ? nullptr : found->second;
}

void MainWindow::showPopupMenu(int32_t menu, const GdkEvent* trigger) {
    Gtk::Menu* popup = popupMenu(menu);
    Glib::RefPtr<Gdk::Window> window = get_window();
    if (popup == nullptr || !window) {
        return;
    }
    present();
    int x = 0;
    int y = 0;
    Gdk::ModifierType mask{};
    Glib::RefPtr<Gdk::Seat> seat = get_display()->get_default_seat();
    if (seat && seat->get_pointer()) {
        window->get_device_position(seat->get_pointer(), x, y, mask);
    }
    // At the mouse cursor, one pixel up and left.
    Gdk::Rectangle at(x - 1, y - 1, 1, 1);
    popup->popup_at_rect(window, at, Gdk::GRAVITY_NORTH_WEST, Gdk::GRAVITY_NORTH_WEST, trigger);
}

void MainWindow::showPopupMenuBelow(int32_t menu, GdkWindow* window, const GdkRectangle& area,
                                    const GdkEvent* trigger) {
    Gtk::Menu* popup = popupMenu(menu);
    if (popup == nullptr) {
        return;
    }
    present();
    gtk_menu_popup_at_rect(popup->gobj(), window, &area, GDK_GRAVITY_SOUTH_WEST,
                           GDK_GRAVITY_NORTH_WEST, trigger);
    // The keyboard's user starts on the first item.
    popup->select_first(false);
}

void MainWindow::setStatusText(std::string_view text) {
    if (statusMade_) {
        statusLabel_.set_text(displayText(text));
    }
}

int64_t MainWindow::nativeHandle() {
    Glib::RefPtr<Gdk::Window> window = get_window();
    if (!window) {
        return 0;
    }
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_WINDOW(window->gobj())) {
        return static_cast<int64_t>(gdk_x11_window_get_xid(window->gobj()));
    }
#endif
    return 0;
}

void MainWindow::onContentAllocated(Gtk::Allocation& allocation) {
    if (iconified_) {
        return;  // a minimise re-lays out nothing
    }
    Size size{allocation.get_width(), allocation.get_height()};
    if (size != lastSize_) {
        lastSize_ = size;
        router_.sizeChanged(kMainWindow);
    }
}

bool MainWindow::onStateChanged(GdkEventWindowState* event) {
    iconified_ = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    return false;
}

}  // namespace vistrelle::gtk
