// channelList: a tree view over the program's rows. The rows are not copied: a virtual list model
// of row numbers serves the view, and each cell reads its text and colours from ChannelRows.
#pragma once

#include <gtk/gtk.h>
#include <gtkmm/entry.h>
#include <gtkmm/frame.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/treeview.h>
#include <gtkmm/window.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/type_ahead.h"
#include "ui/window_layer.h"

namespace vistrelle::gtk {

class EventRouter;

class GtkChannelList final : public ChannelListUi {
public:
    explicit GtkChannelList(EventRouter& router);
    ~GtkChannelList() override;
    GtkChannelList(const GtkChannelList&) = delete;
    GtkChannelList& operator=(const GtkChannelList&) = delete;

    void rowsReset(const ListRows& rows) override;
    void rowRemoved(const ListRows& rows, int32_t row) override;
    void rowRepaint(const ListRows& rows, int32_t row) override;
    int32_t selectedRow() override;
    void selectRow(int32_t row) override;

    // The widget placed in the window (the scrolled window with its sunken frame).
    Gtk::Widget& widget() { return scroller_; }
    Gtk::TreeView& view() { return view_; }
    // Number of rows the view shows.
    int32_t shownRowCount() const;
    // The text of a cell as shown (UTF-8).
    std::string cellText(int32_t row, int32_t column) const;
    // The column shown at `position` (after any reordering), as its own index.
    int32_t columnAt(int32_t position);
    Gtk::TreeViewColumn* column(int32_t index) { return columns_.at(static_cast<size_t>(index)); }
    // A copy of the last mouse button press in the list (owned by the list), or null.
    const GdkEvent* lastButtonEvent() const { return lastButton_; }
    // The rows are about to go away: show nothing until the next reset.
    void detach();

    // Finding a row by typing its first letters (TypeAhead): the search entry shown below the
    // list.
    bool searchShown() const { return searchWindow_.get_visible(); }
    const Gtk::Entry& searchEntry() const { return searchEntry_; }
    Gtk::Window& searchWindow() { return searchWindow_; }
    // True while the entry shows that no row starts with its text.
    bool searchNotFound() const;

private:
    bool onButtonPress(GdkEventButton* event);
    bool onKeyPress(GdkEventKey* event);
    // Shows the search's text, and whether a row was found, in the entry.
    void showSearch(bool notFound);
    void hideSearch();
    static void renderCell(GtkTreeViewColumn* column, GtkCellRenderer* cell, GtkTreeModel* model,
                           GtkTreeIter* iter, gpointer data);

    EventRouter& router_;
    Gtk::ScrolledWindow scroller_;
    Gtk::TreeView view_;
    GtkTreeModel* model_ = nullptr;  // our own list model of row numbers
    const ListRows* rows_ = nullptr;
    std::vector<Gtk::TreeViewColumn*> columns_;  // by own index
    struct CellContext {
        GtkChannelList* list;
        int32_t column;
    };
    std::vector<CellContext> cellContexts_;
    GdkEvent* lastButton_ = nullptr;
    Gtk::Window searchWindow_{Gtk::WINDOW_POPUP};
    Gtk::Entry searchEntry_;
    TypeAhead search_;
    sigc::connection searchTimeout_;
};

}  // namespace vistrelle::gtk
