// A cell of channelList's accessible table: made when asked for, it answers from the list and
// becomes defunct when the rows it stood for are replaced.
#include "gtk/list_objects.h"

namespace vistrelle::gtk {

namespace {

struct CellClass {
    AtkObjectClass parent;
};

gpointer cellParentClass = nullptr;

// The table of a cell that still stands for a row of the list; null for a defunct cell.
ListTable* liveTableOf(CellObject* cell) {
    AtkObject* parent = cell->parent.accessible_parent;
    ListTable* table = parent != nullptr ? reinterpret_cast<TableObject*>(parent)->owner : nullptr;
    if (table == nullptr || table->generation() != cell->generation ||
        gtk_accessible_get_widget(GTK_ACCESSIBLE(table->object())) == nullptr) {
        return nullptr;
    }
    return table;
}

const gchar* cellName(AtkObject* object) {
    CellObject* cell = cellOf(object);
    ListTable* table = liveTableOf(cell);
    g_free(cell->name);
    cell->name = g_strdup(
        table != nullptr ? table->source().tableCellText(cell->row, cell->column).c_str() : "");
    return cell->name;
}

gint cellIndexInParent(AtkObject* object) {
    CellObject* cell = cellOf(object);
    ListTable* table = liveTableOf(cell);
    return table != nullptr ? table->childIndex(cell->row, cell->column) : -1;
}

AtkStateSet* cellStates(AtkObject* object) {
    CellObject* cell = cellOf(object);
    AtkStateSet* states = atk_state_set_new();
    ListTable* table = liveTableOf(cell);
    if (table == nullptr) {
        atk_state_set_add_state(states, ATK_STATE_DEFUNCT);
        return states;
    }
    for (AtkStateType state : {ATK_STATE_FOCUSABLE, ATK_STATE_SELECTABLE, ATK_STATE_TRANSIENT,
                               ATK_STATE_VISIBLE, ATK_STATE_ENABLED, ATK_STATE_SENSITIVE}) {
        atk_state_set_add_state(states, state);
    }
    GtkWidget* view = table->view();
    if (gtk_widget_get_mapped(view)) {
        atk_state_set_add_state(states, ATK_STATE_SHOWING);
    }
    ListTableSource& source = table->source();
    if (source.tableSelectedRow() == cell->row) {
        atk_state_set_add_state(states, ATK_STATE_SELECTED);
    }
    if (gtk_widget_has_focus(view) && source.tableCursorRow() == cell->row &&
        source.tableCursorColumn() == cell->column) {
        atk_state_set_add_state(states, ATK_STATE_FOCUSED);
        atk_state_set_add_state(states, ATK_STATE_ACTIVE);
    }
    return states;
}

void cellFinalize(GObject* object) {
    g_free(cellOf(object)->name);
    G_OBJECT_CLASS(cellParentClass)->finalize(object);
}

void cellExtents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height,
                 AtkCoordType coords) {
    CellObject* cell = cellOf(component);
    ListTable* table = liveTableOf(cell);
    GdkRectangle area{};
    GdkWindow* bin =
        table != nullptr ? gtk_tree_view_get_bin_window(GTK_TREE_VIEW(table->view())) : nullptr;
    if (bin == nullptr || !table->source().tableCellArea(cell->row, cell->column, area)) {
        *x = *y = G_MININT;
        *width = *height = 0;
        return;
    }
    *width = area.width;
    *height = area.height;
    // Off the visible part of the list, a cell has no place on the screen.
    const int binWidth = gdk_window_get_width(bin);
    const int binHeight = gdk_window_get_height(bin);
    if (area.x + area.width <= 0 || area.y + area.height <= 0 || area.x >= binWidth ||
        area.y >= binHeight) {
        *x = *y = G_MININT;
        return;
    }
    gint originX = 0;
    gint originY = 0;
    gdk_window_get_origin(bin, &originX, &originY);
    if (coords == ATK_XY_WINDOW) {
        gint topX = 0;
        gint topY = 0;
        gdk_window_get_origin(gdk_window_get_toplevel(bin), &topX, &topY);
        originX -= topX;
        originY -= topY;
    }
    *x = area.x + originX;
    *y = area.y + originY;
}

gboolean cellGrabFocus(AtkComponent* component) {
    CellObject* cell = cellOf(component);
    ListTable* table = liveTableOf(cell);
    return table != nullptr && table->source().tableFocusCell(cell->row, cell->column);
}

void cellComponentInit(gpointer gIface, gpointer) {
    auto* iface = static_cast<AtkComponentIface*>(gIface);
    iface->get_extents = cellExtents;
    iface->grab_focus = cellGrabFocus;
}

gint cellSpan(AtkTableCell*) {
    return 1;
}

gboolean cellPosition(AtkTableCell* object, gint* row, gint* column) {
    CellObject* cell = cellOf(object);
    if (liveTableOf(cell) == nullptr) {
        return FALSE;
    }
    *row = cell->row;
    *column = cell->column;
    return TRUE;
}

gboolean cellRowColumnSpan(AtkTableCell* object, gint* row, gint* column, gint* rowSpan,
                           gint* columnSpan) {
    *rowSpan = 1;
    *columnSpan = 1;
    return cellPosition(object, row, column);
}

GPtrArray* cellColumnHeaders(AtkTableCell* object) {
    GPtrArray* headers = g_ptr_array_new_with_free_func(g_object_unref);
    CellObject* cell = cellOf(object);
    if (ListTable* table = liveTableOf(cell)) {
        if (AtkObject* header =
                atk_table_get_column_header(ATK_TABLE(table->object()), cell->column)) {
            g_ptr_array_add(headers, g_object_ref(header));
        }
    }
    return headers;
}

GPtrArray* cellRowHeaders(AtkTableCell*) {
    return g_ptr_array_new_with_free_func(g_object_unref);
}

AtkObject* cellTable(AtkTableCell* object) {
    ListTable* table = liveTableOf(cellOf(object));
    return table != nullptr ? ATK_OBJECT(g_object_ref(table->object())) : nullptr;
}

void cellTableCellInit(gpointer gIface, gpointer) {
    auto* iface = static_cast<AtkTableCellIface*>(gIface);
    iface->get_column_span = cellSpan;
    iface->get_row_span = cellSpan;
    iface->get_position = cellPosition;
    iface->get_row_column_span = cellRowColumnSpan;
    iface->get_column_header_cells = cellColumnHeaders;
    iface->get_row_header_cells = cellRowHeaders;
    iface->get_table = cellTable;
}

void cellClassInit(gpointer klass, gpointer) {
    cellParentClass = g_type_class_peek_parent(klass);
    auto* atkClass = ATK_OBJECT_CLASS(klass);
    atkClass->get_name = cellName;
    atkClass->get_index_in_parent = cellIndexInParent;
    atkClass->ref_state_set = cellStates;
    G_OBJECT_CLASS(klass)->finalize = cellFinalize;
}

}  // namespace

GType ListTable::cellType() {
    static const GType type = [] {
        const GType made = g_type_register_static_simple(
            ATK_TYPE_OBJECT, "VistrelleListCell", sizeof(CellClass), cellClassInit,
            sizeof(CellObject), nullptr, static_cast<GTypeFlags>(0));
        const GInterfaceInfo component{cellComponentInit, nullptr, nullptr};
        const GInterfaceInfo tableCell{cellTableCellInit, nullptr, nullptr};
        g_type_add_interface_static(made, ATK_TYPE_COMPONENT, &component);
        g_type_add_interface_static(made, ATK_TYPE_TABLE_CELL, &tableCell);
        return made;
    }();
    return type;
}

}  // namespace vistrelle::gtk
