// channelList: a tree view over a sliding window of the program's rows. The rows are not copied:
// the tree view holds a model of the rows on screen and a few more, each cell reads its text and
// colours from ChannelRows, and a small scrollable container maps the scroll bar to the first
// row shown. The list keeps the cursor, the selection and the watched row's colour in the
// program's row numbers, takes the keys, clicks and wheel itself, and gives assistive
// technologies a table of all its rows (list_accessible.h).
#pragma once

#include <gtk/gtk.h>
#include <gtkmm/entry.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/treeview.h>
#include <gtkmm/window.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gtk/list_accessible.h"
#include "gtk/row_window.h"
#include "ui/type_ahead.h"
#include "ui/window_layer.h"

namespace vistrelle::gtk {

class EventRouter;
class GtkChannelList;

// The tree view of channelList; its accessible is the list's table.
class ChannelView final : public Gtk::TreeView {
public:
    explicit ChannelView(GtkChannelList& list);

protected:
    Glib::RefPtr<Atk::Object> get_accessible_vfunc() override;

private:
    GtkChannelList& list_;
};

class GtkChannelList final : public ChannelListUi,
                             private ListTableSource,
                             private RowScrollerListener {
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
    // The accessible table, made the first time it is asked for.
    ListTable& table();
    // Number of rows the list shows (all of them, not only those on screen).
    int32_t shownRowCount() const { return count_; }
    // The text of a cell as shown (UTF-8).
    std::string cellText(int32_t row, int32_t column) const;
    // The column shown at `position` (after any reordering), as its own index.
    int32_t columnAt(int32_t position);
    Gtk::TreeViewColumn* column(int32_t index) { return columns_.at(static_cast<size_t>(index)); }
    int32_t cursorRow() const { return cursor_; }
    // The first row the scroll bar shows, and how many rows the tree view holds.
    int32_t topRow() const;
    int32_t windowRowCount() const;
    // The rectangle of a row across the visible width, in the tree view's bin window; false
    // when the row is not on screen. The list is scrolled to the row first when `reveal` is set.
    bool rowArea(int32_t row, GdkRectangle& area, bool reveal);
    // Copies of the last mouse button press in the list and of the last key that asked for
    // the pop-up menu (owned by the list), or null: what opens a pop-up menu.
    const GdkEvent* lastButtonEvent() const { return lastButton_; }
    const GdkEvent* lastMenuKeyEvent() const { return lastKey_; }
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
    // ListTableSource: the table asks in the program's rows and the columns' shown order.
    int32_t tableRowCount() override { return count_; }
    int32_t tableColumnCount() override;
    std::string tableCellText(int32_t row, int32_t column) override;
    GtkWidget* tableColumnHeader(int32_t column) override;
    std::string tableColumnTitle(int32_t column) override;
    int32_t tableSelectedRow() override { return selected_; }
    int32_t tableCursorRow() override { return cursor_; }
    int32_t tableCursorColumn() override { return cursorColumn_; }
    bool tableSelectRow(int32_t row) override;
    bool tableFocusCell(int32_t row, int32_t column) override;
    bool tableCellArea(int32_t row, int32_t column, GdkRectangle& area) override;
    bool tableCellAt(int x, int y, int32_t& row, int32_t& column) override;

    // RowScrollerListener.
    void scrollerAllocated() override;
    void scrolled() override;

    // How a move brings its row on screen.
    enum class Reveal { No, Nearest, Centre };
    // Moves the cursor to `row` (and `column`, in shown order; -1 keeps it), selecting the row
    // when `select` is set, and tells assistive technologies.
    void moveCursor(int32_t row, int32_t column, bool select, Reveal reveal);
    void setSelected(int32_t row);
    void reveal(int32_t row, Reveal how);
    void scrollTo(double top);
    // The window follows the scroll bar; the tree view shows the cursor and the selection.
    void placeWindow();
    void showMarks();
    void configureScrollBar();
    // The tree view's own adjustment is put back where the window needs it.
    void keepInnerScroll();
    bool rowFullyShown(int32_t row);
    int rowHeight();
    double pageHeight() const;
    int32_t pageRows();
    int32_t wantedWindowRows();
    // The row (and column in shown order) at a point of the bin window; false when none.
    bool rowAt(int x, int y, int32_t& row, int32_t& column);
    void revealColumn(int32_t column);

    bool onButtonPress(GdkEventButton* event);
    bool onKeyPress(GdkEventKey* event);
    bool onNavigationKey(GdkEventKey* event);
    // Shows the search's text, and whether a row was found, in the entry.
    void showSearch(bool notFound);
    void hideSearch();
    static void renderCell(GtkTreeViewColumn* column, GtkCellRenderer* cell, GtkTreeModel* model,
                           GtkTreeIter* iter, gpointer data);

    EventRouter& router_;
    Gtk::ScrolledWindow scroller_;
    GtkWidget* rowScroller_ = nullptr;  // between the scrolled window and the view
    GtkAdjustment* inner_ = nullptr;    // the view's own vertical adjustment, over the window
    // Kept until the view has gone: GTK may still ask for the accessible while it goes.
    std::unique_ptr<ListTable> table_;
    ChannelView view_{*this};
    GtkTreeModel* model_ = nullptr;  // the window: the view's row i is row offset_ + i
    const ListRows* rows_ = nullptr;
    std::vector<Gtk::TreeViewColumn*> columns_;  // by own index
    struct CellContext {
        GtkChannelList* list;
        int32_t column;
    };
    std::vector<CellContext> cellContexts_;

    int32_t count_ = 0;         // the rows shown
    int32_t offset_ = 0;        // the first row the window holds
    int32_t cursor_ = -1;       // the keyboard cursor's row
    int32_t cursorColumn_ = 0;  // and column, in shown order
    int32_t selected_ = -1;
    int rowHeight_ = 0;      // measured once the view has laid out a row
    double innerValue_ = 0;  // where the view's own adjustment must stand
    bool keepingScroll_ = false;
    sigc::connection growWindow_;
    // The cursor and selected rows the tree view shows (its own row numbers, -1 for none).
    static constexpr int32_t kUnknownMark = -2;
    int32_t markedCursor_ = kUnknownMark;
    int32_t markedSelection_ = kUnknownMark;
    bool showingMarks_ = false;
    bool sorting_ = false;  // a header click's sort is under way

    static void keepTrigger(GdkEvent*& kept, GdkEvent* event);
    GdkEvent* lastButton_ = nullptr;
    GdkEvent* lastKey_ = nullptr;
    Gtk::Window searchWindow_{Gtk::WINDOW_POPUP};
    Gtk::Entry searchEntry_;
    TypeAhead search_;
    sigc::connection searchTimeout_;
};

}  // namespace vistrelle::gtk
