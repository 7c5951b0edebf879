// SettingsWindow or AboutWindow: caption only, owned by MainWindow, not sizable.
#pragma once

#include <string_view>

#include "gtk/control_window.h"

namespace vistrelle::gtk {

class DialogWindow final : public ControlWindow {
public:
    DialogWindow(int32_t id, EventRouter& router, Gtk::Window& owner, std::string_view title,
                 const Rect& frame, Size decorations);
    // The tool-window look, with the client area set again to `client`, top-left kept.
    void makeToolWindow(Size client);
};

}  // namespace vistrelle::gtk
