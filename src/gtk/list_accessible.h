// channelList's accessible: a table over all the list's rows, whatever few of them the tree view
// holds at a time. It derives from GTK's own tree view accessible, so that GTK's code, which casts
// the tree view's accessible to that type, still finds one; and the list hands it out through the
// widget's get_accessible virtual, so that GTK's per-row hooks, which reach only an accessible GTK
// made itself, stay silent. Cells are made when asked for and answer from the list when asked; the
// table tells assistive technologies only what they need: the cursor's cell, the selection, a
// model change when the rows are replaced, and a reorder after a sort.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <map>
#include <string>

namespace vistrelle::gtk {

// What the table asks of the list. Rows are the list's own (all of them); columns are counted in
// the order they are shown.
class ListTableSource {
public:
    virtual ~ListTableSource() = default;
    virtual int32_t tableRowCount() = 0;
    virtual int32_t tableColumnCount() = 0;
    virtual std::string tableCellText(int32_t row, int32_t column) = 0;  // UTF-8
    virtual GtkWidget* tableColumnHeader(int32_t column) = 0;            // the header button
    virtual std::string tableColumnTitle(int32_t column) = 0;
    virtual int32_t tableSelectedRow() = 0;  // -1 for none
    virtual int32_t tableCursorRow() = 0;    // -1 for none
    virtual int32_t tableCursorColumn() = 0;
    // Selects `row`, or nothing for -1, as a click would, without moving the cursor. False when
    // the row is not there.
    virtual bool tableSelectRow(int32_t row) = 0;
    // The cell becomes the cursor's (its row selected, scrolled into view) and the list takes
    // the keyboard focus.
    virtual bool tableFocusCell(int32_t row, int32_t column) = 0;
    // The cell's rectangle in the coordinates of the tree view's bin window (which may lie
    // outside it); false when the list shows no such cell.
    virtual bool tableCellArea(int32_t row, int32_t column, GdkRectangle& area) = 0;
    // The cell under a point of the bin window; false when there is none.
    virtual bool tableCellAt(int x, int y, int32_t& row, int32_t& column) = 0;
};

class ListTable {
public:
    // Made for `view` once, when the accessible is first asked for; lives as long as the view.
    ListTable(GtkWidget* view, ListTableSource& source);
    ~ListTable();
    ListTable(const ListTable&) = delete;
    ListTable& operator=(const ListTable&) = delete;

    AtkObject* object() const { return object_; }

    // All rows were replaced; `reordered` when they are the same rows in a new order (a sort).
    void rowsReset(bool reordered);
    void rowRemoved(int32_t row);
    // The cursor moved (or its column did): the new cell becomes the active descendant. While
    // the list has the focus, the cells' focused states change with it.
    void cursorMoved(int32_t oldRow, int32_t oldColumn);
    void selectionChanged();
    // The columns were dragged into another order: the cells' columns are counted anew.
    void columnsReordered();

    // The type of the table and of its cells.
    static GType type();
    static GType cellType();

    // Used by the GObject glue.
    ListTableSource& source() { return source_; }
    GtkWidget* view() const { return view_; }
    uint32_t generation() const { return generation_; }
    // The cell at (row, column), made when needed; a new reference, or null outside the table.
    AtkObject* refCell(int32_t row, int32_t column);
    // The index of a cell among the table's children: the column headers come first.
    int32_t childIndex(int32_t row, int32_t column);
    int32_t childCount();

private:
    // The cell if it has been made and is still current; no new reference.
    AtkObject* peekCell(int32_t row, int32_t column);
    void forgetCells();
    void trimCells();
    static void onViewDestroyed(GtkWidget* view, gpointer table);

    GtkWidget* view_;
    ListTableSource& source_;
    AtkObject* object_ = nullptr;
    // Cells made so far, by (row, column); each holds a reference. Cells of an older generation
    // (before a reset or a removal) are defunct.
    std::map<std::pair<int32_t, int32_t>, AtkObject*> cells_;
    uint32_t generation_ = 1;
    gulong destroyHandler_ = 0;
};

}  // namespace vistrelle::gtk
