#include "gtk/dialog_window.h"

#include <algorithm>

#include "ui/display_text.h"

namespace vistrelle::gtk {

DialogWindow::DialogWindow(int32_t id, EventRouter& router, Gtk::Window& owner,
                           std::string_view title, const Rect& frame, Size decorations)
    : ControlWindow(id, router) {
    set_title(displayText(title));
    set_transient_for(owner);
    set_type_hint(Gdk::WINDOW_TYPE_HINT_DIALOG);
    set_deletable(false);
    set_resizable(false);
    set_skip_pager_hint(true);
    add(area_);
    area_.set_size_request(std::max(frame.width - decorations.width, 1),
                           std::max(frame.height - decorations.height, 1));
    move(frame.left, frame.top);
}

void DialogWindow::makeToolWindow(Size client) {
    int left = 0;
    int top = 0;
    get_position(left, top);
    set_skip_taskbar_hint(true);
    area_.set_size_request(client.width, client.height);
    resize(client.width, client.height);
    move(left, top);
}

}  // namespace vistrelle::gtk
