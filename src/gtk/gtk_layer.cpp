#include "gtk/gtk_layer.h"

#include <gdkmm/display.h>
#include <gdkmm/monitor.h>
#include <gdkmm/screen.h>
#include <gtkmm/button.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/stylecontext.h>

#include <algorithm>

#include "gtk/message_box.h"
#include "ui/display_text.h"
#include "ui/ids.h"

namespace vistrelle::gtk {

namespace {

// The controls are placed at fixed pixel positions made for small controls and an 8 point
// font; the default theme's paddings are cut down to fit them.
constexpr const char* kProgramCss = R"css(
window.vistrelle, window.vistrelle *, menu, menuitem, dialog, dialog * { font-size: 8pt; }
window.vistrelle menubar { padding: 0; min-height: 0; }
window.vistrelle menubar > menuitem { padding: 2px 6px; min-height: 0; }
window.vistrelle button { padding: 0 4px; min-height: 0; min-width: 0; }
window.vistrelle combobox button { padding: 1px 4px; min-height: 0; }
window.vistrelle radiobutton { padding: 0; min-height: 0; }
window.vistrelle entry { padding: 0 3px; min-height: 0; }
window.vistrelle radiobutton radio { margin: 0 4px 0 0; }
window.vistrelle treeview.view header button { padding: 1px 4px; min-height: 0; }
window.vistrelle .vistrelle-status { padding: 1px 3px; }
window.vistrelle .vistrelle-static { font-size: 7pt; }
window.vistrelle .vistrelle-status label { padding: 1px 2px; }
window.vistrelle .vistrelle-white { background-color: #ffffff; }
window.vistrelle .vistrelle-white label { background-color: #ffffff; }
)css";

}  // namespace

void installProgramStyle() {
    static bool installed = false;
    Glib::RefPtr<Gdk::Screen> screen = Gdk::Screen::get_default();
    if (installed || !screen) {
        return;
    }
    auto provider = Gtk::CssProvider::create();
    try {
        provider->load_from_data(kProgramCss);
    } catch (const Glib::Error&) {
        return;  // the theme's own look
    }
    Gtk::StyleContext::add_provider_for_screen(screen, provider,
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    installed = true;
}

// --- GtkWindowUi

GtkWindowUi::GtkWindowUi(EventRouter& router, GtkChannelList& list, GtkCountrySelector& selector,
                         GtkSearchField& search, GtkWebView& webView, GtkFaults& faults)
    : router_(router),
      list_(list),
      selector_(selector),
      search_(search),
      webView_(webView),
      faults_(faults) {}

GtkWindowUi::~GtkWindowUi() {
    list_.detach();
    dialogs_.clear();
    main_.reset();
}

Size GtkWindowUi::screenSize() {
    Glib::RefPtr<Gdk::Display> display = Gdk::Display::get_default();
    if (!display) {
        return {0, 0};
    }
    Glib::RefPtr<Gdk::Monitor> monitor = display->get_primary_monitor();
    if (!monitor && display->get_n_monitors() > 0) {
        monitor = display->get_monitor(0);
    }
    if (!monitor) {
        return {0, 0};
    }
    Gdk::Rectangle area;
    monitor->get_geometry(area);
    return {area.get_width(), area.get_height()};
}

Size GtkWindowUi::decorations() {
    if (!main_ || !main_->get_realized()) {
        return {0, 0};
    }
    Glib::RefPtr<Gdk::Window> window = main_->get_window();
    Gdk::Rectangle frame;
    window->get_frame_extents(frame);
    return {std::max(frame.get_width() - window->get_width(), 0),
            std::max(frame.get_height() - window->get_height(), 0)};
}

Size GtkWindowUi::frameSizeForClient(int32_t, Size client, bool) {
    // GTK windows carry their menu bar inside the content, and the window manager draws the
    // same frame around every window of the program.
    Size extra = decorations();
    return {client.width + extra.width, client.height + extra.height};
}

bool GtkWindowUi::createMainWindow(const Rect& frame, std::string_view title) {
    if (main_) {
        return false;
    }
    installProgramStyle();
    main_ = std::make_unique<MainWindow>(router_, frame, title, decorations());
    return true;
}

void GtkWindowUi::createMenus() {
    if (main_) {
        main_->createMenus();
    }
}

void GtkWindowUi::createStatusBar() {
    if (main_) {
        main_->createStatusBar();
    }
}

bool GtkWindowUi::createControls(int32_t id) {
    if (id == kMainWindow) {
        if (!main_) {
            return false;
        }
        const LayerWidgets layer{webView_.widget(), selector_.widget(), list_.widget(),
                                 list_.view(), search_.widget()};
        main_->createControls(windowDef(kMainWindow).controls, &layer);
        return true;
    }
    auto found = dialogs_.find(id);
    if (found == dialogs_.end()) {
        return false;
    }
    found->second->createControls(windowDef(id).controls, nullptr);
    return true;
}

void GtkWindowUi::addHelpAccelerator(int32_t id, int32_t command) {
    if (ControlWindow* target = window(id)) {
        target->setHelpCommand(command);
    }
}

ControlWindow* GtkWindowUi::window(int32_t id) {
    if (id == kMainWindow) {
        return main_.get();
    }
    auto found = dialogs_.find(id);
    return found == dialogs_.end() ? nullptr : found->second.get();
}

DialogWindow* GtkWindowUi::dialogWithControl(int32_t control) {
    for (auto& [id, dialog] : dialogs_) {
        if (dialog->control(control) != nullptr) {
            return dialog.get();
        }
    }
    return nullptr;
}

Rect GtkWindowUi::windowFrame(int32_t id) {
    ControlWindow* target = window(id);
    if (target == nullptr) {
        return {};
    }
    if (target->get_realized()) {
        Gdk::Rectangle frame;
        target->get_window()->get_frame_extents(frame);
        return {frame.get_x(), frame.get_y(), frame.get_width(), frame.get_height()};
    }
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    target->get_position(left, top);
    target->get_size(width, height);
    return {left, top, width, height};
}

Size GtkWindowUi::layoutSize() {
    return main_ ? main_->layoutSize() : Size{};
}

bool GtkWindowUi::isMaximized() {
    return main_ && main_->is_maximized();
}

void GtkWindowUi::setClientWidth(int32_t width) {
    if (main_) {
        main_->setClientWidth(width);
    }
}

void GtkWindowUi::redrawNow() {
    // GTK draws a window in one frame after its widgets have been moved, so moving the
    // controls cannot flicker; nothing is left to finish here.
}

void GtkWindowUi::placeControl(int32_t control, const Rect& rect) {
    if (main_) {
        main_->placeControl(control, rect);
    }
}

void GtkWindowUi::setControlVisible(int32_t control, bool visible) {
    Gtk::Widget* widget = main_ ? main_->control(control) : nullptr;
    if (widget != nullptr) {
        widget->set_visible(visible);
    }
}

void GtkWindowUi::setControlText(int32_t control, std::string_view text,
                                 std::string_view accessibleName) {
    auto* button = dynamic_cast<Gtk::Button*>(main_ ? main_->control(control) : nullptr);
    if (button == nullptr) {
        return;
    }
    button->set_label(displayText(text));
    button->get_accessible()->set_name(displayText(accessibleName.empty() ? text : accessibleName));
}

bool GtkWindowUi::menuItemChecked(int32_t command) {
    return main_ && main_->menuItemChecked(command);
}

void GtkWindowUi::setMenuItemChecked(int32_t command, bool checked) {
    if (main_) {
        main_->setMenuItemChecked(command, checked);
    }
}

void GtkWindowUi::setTopmost(bool topmost) {
    if (main_) {
        main_->set_keep_above(topmost);
    }
}

void GtkWindowUi::showPopupMenu(int32_t menu, PopupPlace place) {
    if (!main_) {
        return;
    }
    GdkRectangle row{};
    GdkWindow* bin = gtk_tree_view_get_bin_window(list_.view().gobj());
    if (place == PopupPlace::SelectedRow && bin != nullptr &&
        list_.rowArea(list_.selectedRow(), row, true)) {
        main_->showPopupMenuBelow(menu, bin, row, list_.lastMenuKeyEvent());
    } else {
        main_->showPopupMenu(menu, list_.lastButtonEvent());
    }
}

int64_t GtkWindowUi::nativeHandle() {
    return main_ ? main_->nativeHandle() : 0;
}

void GtkWindowUi::setStatusText(std::string_view text) {
    if (main_) {
        main_->setStatusText(text);
    }
}

bool GtkWindowUi::openDialog(int32_t id, std::string_view title, const Rect& frame) {
    if (!main_ || (id != kSettingsWindow && id != kAboutWindow) || dialogs_.contains(id)) {
        return false;
    }
    auto dialog = std::make_unique<DialogWindow>(id, router_, *main_, title, frame, decorations());
    dialog->show();
    dialog->present();
    dialogs_[id] = std::move(dialog);
    return true;
}

void GtkWindowUi::makeToolWindow(int32_t id, Size client) {
    auto found = dialogs_.find(id);
    if (found != dialogs_.end()) {
        found->second->makeToolWindow(client);
    }
}

void GtkWindowUi::closeDialog(int32_t id) {
    auto found = dialogs_.find(id);
    if (found == dialogs_.end()) {
        return;
    }
    if (main_) {
        main_->present();
    }
    dialogs_.erase(found);
}

void GtkWindowUi::setWindowEnabled(int32_t id, bool enabled) {
    if (ControlWindow* target = window(id)) {
        target->inputArea().set_sensitive(enabled);
    }
}

bool GtkWindowUi::isWindowOpen(int32_t id) {
    return window(id) != nullptr;
}

void GtkWindowUi::setOptionChecked(int32_t control, bool checked) {
    if (DialogWindow* dialog = dialogWithControl(control)) {
        dialog->setOptionChecked(control, checked);
    }
}

bool GtkWindowUi::optionChecked(int32_t control) {
    DialogWindow* dialog = dialogWithControl(control);
    return dialog != nullptr && dialog->optionChecked(control);
}

MessageAnswer GtkWindowUi::showMessage(std::string_view title, std::string_view text,
                                       MessageIcon icon, MessageButtons buttons) {
    std::vector<WindowState> states;
    if (main_) {
        states.push_back({kMainWindow, main_->is_active(), main_->get_visible(),
                          main_->inputArea().get_sensitive()});
    }
    for (auto& [id, dialog] : dialogs_) {
        states.push_back(
            {id, dialog->is_active(), dialog->get_visible(), dialog->inputArea().get_sensitive()});
    }
    const MessageBoxOwnership ownership = messageBoxOwnership(states);
    std::vector<Gtk::Widget*> others;
    for (int32_t id : ownership.disabled) {
        others.push_back(&window(id)->inputArea());
    }
    return runMessageBox(title, text, icon, buttons, window(ownership.owner), others);
}

void GtkWindowUi::destroyAllWindows() {
    if (faults_.faulted()) {
        // Inside a fault nothing of GTK is safe to call; the process ends right after.
        return;
    }
    list_.detach();
    dialogs_.clear();
    main_.reset();
}

// --- GtkLayer

GtkLayer::GtkLayer()
    : webView_(std::make_unique<GtkWebView>()),
      windows_(
          std::make_unique<GtkWindowUi>(router_, list_, selector_, search_, *webView_, faults_)),
      mediaBus_(std::make_unique<MediaBus>(router_, [this] {
          if (MainWindow* window = windows_->mainWindow()) {
              window->present();
          }
      })) {}

GtkLayer::~GtkLayer() {
    mediaBus_.reset();
    windows_.reset();
    router_.setSink(nullptr);
}

}  // namespace vistrelle::gtk
