// The search field below channelList: a one-line entry that reports what is typed and Escape.
#pragma once

#include <gtkmm/entry.h>

#include <string>

#include "ui/window_layer.h"

namespace vistrelle::gtk {

class EventRouter;

class GtkSearchField final : public SearchFieldUi {
public:
    explicit GtkSearchField(EventRouter& router);

    std::string text() override;
    void clear() override;

    Gtk::Entry& widget() { return entry_; }

private:
    EventRouter& router_;
    Gtk::Entry entry_;
};

}  // namespace vistrelle::gtk
