#include "gtk/list_accessible.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "gtk/list_objects.h"

namespace vistrelle::gtk {

namespace {

// Cells kept for reuse; beyond this many, those away from the cursor are let go (they stay
// valid for whoever still holds them).
constexpr size_t kKeptCells = 512;

struct TableClass {
    GtkTreeViewAccessibleClass parent;
};

gpointer tableParentClass = nullptr;

ListTable* ownerOf(gpointer object) {
    auto* table = reinterpret_cast<TableObject*>(object);
    if (table->owner == nullptr || gtk_accessible_get_widget(GTK_ACCESSIBLE(object)) == nullptr) {
        return nullptr;
    }
    return table->owner;
}

// --- The table: AtkObject

gint tableChildCount(AtkObject* object) {
    ListTable* owner = ownerOf(object);
    return owner != nullptr ? owner->childCount() : 0;
}

AtkObject* tableRefChild(AtkObject* object, gint index) {
    ListTable* owner = ownerOf(object);
    if (owner == nullptr || index < 0) {
        return nullptr;
    }
    const int32_t columns = owner->source().tableColumnCount();
    if (columns <= 0) {
        return nullptr;
    }
    if (index < columns) {
        GtkWidget* header = owner->source().tableColumnHeader(index);
        return header != nullptr ? ATK_OBJECT(g_object_ref(gtk_widget_get_accessible(header)))
                                 : nullptr;
    }
    return owner->refCell(index / columns - 1, index % columns);
}

void tableFinalize(GObject* object) {
    delete reinterpret_cast<TableObject*>(object)->titles;
    G_OBJECT_CLASS(tableParentClass)->finalize(object);
}

// --- The table: AtkTable, over all the list's rows

AtkObject* tableRefAt(AtkTable* table, gint row, gint column) {
    ListTable* owner = ownerOf(table);
    return owner != nullptr ? owner->refCell(row, column) : nullptr;
}

gint tableRowCount(AtkTable* table) {
    ListTable* owner = ownerOf(table);
    return owner != nullptr ? owner->source().tableRowCount() : 0;
}

gint tableColumnCount(AtkTable* table) {
    ListTable* owner = ownerOf(table);
    return owner != nullptr ? owner->source().tableColumnCount() : 0;
}

gint tableIndexAt(AtkTable* table, gint row, gint column) {
    ListTable* owner = ownerOf(table);
    return owner != nullptr ? owner->childIndex(row, column) : -1;
}

gint tableColumnAtIndex(AtkTable* table, gint index) {
    ListTable* owner = ownerOf(table);
    if (owner == nullptr || index < 0 || index >= owner->childCount()) {
        return -1;
    }
    return index % owner->source().tableColumnCount();
}

gint tableRowAtIndex(AtkTable* table, gint index) {
    ListTable* owner = ownerOf(table);
    if (owner == nullptr || index < 0 || index >= owner->childCount()) {
        return -1;
    }
    return index / owner->source().tableColumnCount() - 1;  // -1 for the headers
}

gboolean tableRowSelected(AtkTable* table, gint row) {
    ListTable* owner = ownerOf(table);
    return owner != nullptr && row >= 0 && owner->source().tableSelectedRow() == row;
}

gboolean tableCellSelected(AtkTable* table, gint row, gint) {
    return tableRowSelected(table, row);
}

gint tableSelectedRows(AtkTable* table, gint** rows) {
    ListTable* owner = ownerOf(table);
    const int32_t selected = owner != nullptr ? owner->source().tableSelectedRow() : -1;
    if (rows != nullptr) {
        *rows = nullptr;
        if (selected >= 0) {
            *rows = g_new(gint, 1);
            (*rows)[0] = selected;
        }
    }
    return selected >= 0 ? 1 : 0;
}

gboolean tableAddRowSelection(AtkTable* table, gint row) {
    ListTable* owner = ownerOf(table);
    if (owner == nullptr || row < 0 || owner->source().tableSelectedRow() == row) {
        return FALSE;
    }
    return owner->source().tableSelectRow(row);
}

gboolean tableRemoveRowSelection(AtkTable* table, gint row) {
    ListTable* owner = ownerOf(table);
    if (owner == nullptr || row < 0 || owner->source().tableSelectedRow() != row) {
        return FALSE;
    }
    return owner->source().tableSelectRow(-1);
}

AtkObject* tableColumnHeader(AtkTable* table, gint column) {
    ListTable* owner = ownerOf(table);
    if (owner == nullptr || column < 0 || column >= owner->source().tableColumnCount()) {
        return nullptr;
    }
    GtkWidget* header = owner->source().tableColumnHeader(column);
    return header != nullptr ? gtk_widget_get_accessible(header) : nullptr;
}

const gchar* tableColumnDescription(AtkTable* table, gint column) {
    ListTable* owner = ownerOf(table);
    if (owner == nullptr || column < 0 || column >= owner->source().tableColumnCount()) {
        return nullptr;
    }
    auto& titles = *reinterpret_cast<TableObject*>(table)->titles;
    if (titles.size() <= static_cast<size_t>(column)) {
        titles.resize(static_cast<size_t>(column) + 1);
    }
    titles[static_cast<size_t>(column)] = owner->source().tableColumnTitle(column);
    return titles[static_cast<size_t>(column)].c_str();
}

void tableInterfaceInit(gpointer gIface, gpointer) {
    // Every entry GTK's tree view accessible fills is replaced: its own answer from the few rows
    // the tree view holds would be wrong.
    auto* iface = static_cast<AtkTableIface*>(gIface);
    iface->ref_at = tableRefAt;
    iface->get_n_rows = tableRowCount;
    iface->get_n_columns = tableColumnCount;
    iface->get_index_at = tableIndexAt;
    iface->get_column_at_index = tableColumnAtIndex;
    iface->get_row_at_index = tableRowAtIndex;
    iface->is_row_selected = tableRowSelected;
    iface->is_selected = tableCellSelected;
    iface->get_selected_rows = tableSelectedRows;
    iface->add_row_selection = tableAddRowSelection;
    iface->remove_row_selection = tableRemoveRowSelection;
    iface->get_column_header = tableColumnHeader;
    iface->get_column_description = tableColumnDescription;
    iface->get_column_extent_at = nullptr;
    iface->get_row_extent_at = nullptr;
}

// --- The table: AtkSelection (the selected row's cells)

gboolean selectionAdd(AtkSelection* selection, gint index) {
    const gint row = tableRowAtIndex(ATK_TABLE(selection), index);
    return row >= 0 && tableAddRowSelection(ATK_TABLE(selection), row);
}

gboolean selectionClear(AtkSelection* selection) {
    ListTable* owner = ownerOf(selection);
    return owner != nullptr && owner->source().tableSelectRow(-1);
}

AtkObject* selectionRef(AtkSelection* selection, gint index) {
    ListTable* owner = ownerOf(selection);
    if (owner == nullptr || index < 0 || index >= owner->source().tableColumnCount()) {
        return nullptr;
    }
    const int32_t row = owner->source().tableSelectedRow();
    return row >= 0 ? owner->refCell(row, index) : nullptr;
}

gint selectionCount(AtkSelection* selection) {
    ListTable* owner = ownerOf(selection);
    if (owner == nullptr || owner->source().tableSelectedRow() < 0) {
        return 0;
    }
    return owner->source().tableColumnCount();
}

gboolean selectionHas(AtkSelection* selection, gint index) {
    const gint row = tableRowAtIndex(ATK_TABLE(selection), index);
    return row >= 0 && tableRowSelected(ATK_TABLE(selection), row);
}

void selectionInterfaceInit(gpointer gIface, gpointer) {
    auto* iface = static_cast<AtkSelectionIface*>(gIface);
    iface->add_selection = selectionAdd;
    iface->clear_selection = selectionClear;
    iface->ref_selection = selectionRef;
    iface->get_selection_count = selectionCount;
    iface->is_child_selected = selectionHas;
    iface->remove_selection = nullptr;
    iface->select_all_selection = nullptr;
}

// --- The table: AtkComponent (the rest is the widget's)

AtkObject* tableAccessibleAtPoint(AtkComponent* component, gint x, gint y, AtkCoordType coords) {
    ListTable* owner = ownerOf(component);
    if (owner == nullptr) {
        return nullptr;
    }
    gint left = 0;
    gint top = 0;
    atk_component_get_extents(component, &left, &top, nullptr, nullptr, coords);
    gint binX = 0;
    gint binY = 0;
    gtk_tree_view_convert_widget_to_bin_window_coords(GTK_TREE_VIEW(owner->view()), x - left,
                                                      y - top, &binX, &binY);
    int32_t row = -1;
    int32_t column = -1;
    if (!owner->source().tableCellAt(binX, binY, row, column)) {
        return nullptr;
    }
    return owner->refCell(row, column);
}

void componentInterfaceInit(gpointer gIface, gpointer) {
    static_cast<AtkComponentIface*>(gIface)->ref_accessible_at_point = tableAccessibleAtPoint;
}

void tableClassInit(gpointer klass, gpointer) {
    tableParentClass = g_type_class_peek_parent(klass);
    auto* atkClass = ATK_OBJECT_CLASS(klass);
    atkClass->get_n_children = tableChildCount;
    atkClass->ref_child = tableRefChild;
    G_OBJECT_CLASS(klass)->finalize = tableFinalize;
}

void tableInit(GTypeInstance* instance, gpointer) {
    auto* table = reinterpret_cast<TableObject*>(instance);
    table->owner = nullptr;
    table->titles = new std::vector<std::string>();
}

}  // namespace

GType ListTable::type() {
    static const GType type = [] {
        const GType made = g_type_register_static_simple(
            GTK_TYPE_TREE_VIEW_ACCESSIBLE, "VistrelleListTable", sizeof(TableClass), tableClassInit,
            sizeof(TableObject), tableInit, static_cast<GTypeFlags>(0));
        const GInterfaceInfo table{tableInterfaceInit, nullptr, nullptr};
        const GInterfaceInfo selection{selectionInterfaceInit, nullptr, nullptr};
        const GInterfaceInfo component{componentInterfaceInit, nullptr, nullptr};
        g_type_add_interface_static(made, ATK_TYPE_TABLE, &table);
        g_type_add_interface_static(made, ATK_TYPE_SELECTION, &selection);
        g_type_add_interface_static(made, ATK_TYPE_COMPONENT, &component);
        return made;
    }();
    return type;
}

ListTable::ListTable(GtkWidget* view, ListTableSource& source) : view_(view), source_(source) {
    // As GTK makes a widget's accessible: the widget first, then the initialisation, which sets
    // up what GTK's tree view accessible keeps of its own.
    object_ = ATK_OBJECT(g_object_new(type(), "widget", view, nullptr));
    reinterpret_cast<TableObject*>(object_)->owner = this;
    atk_object_initialize(object_, view);
    object_->role = ATK_ROLE_TABLE;
    // GTK unsets only the accessible it made itself when the widget goes.
    destroyHandler_ = g_signal_connect(view, "destroy", G_CALLBACK(onViewDestroyed), this);
}

void ListTable::onViewDestroyed(GtkWidget*, gpointer data) {
    auto* self = static_cast<ListTable*>(data);
    g_signal_handler_disconnect(self->view_, self->destroyHandler_);
    self->destroyHandler_ = 0;
    gtk_accessible_set_widget(GTK_ACCESSIBLE(self->object_), nullptr);
}

ListTable::~ListTable() {
    if (destroyHandler_ != 0) {
        g_signal_handler_disconnect(view_, destroyHandler_);
    }
    forgetCells();
    reinterpret_cast<TableObject*>(object_)->owner = nullptr;
    gtk_accessible_set_widget(GTK_ACCESSIBLE(object_), nullptr);
    g_object_unref(object_);
}

int32_t ListTable::childCount() {
    const int64_t columns = source_.tableColumnCount();
    const int64_t rows = source_.tableRowCount();
    return static_cast<int32_t>(std::min<int64_t>((rows + 1) * columns, INT_MAX));
}

int32_t ListTable::childIndex(int32_t row, int32_t column) {
    const int64_t columns = source_.tableColumnCount();
    if (row < 0 || column < 0 || row >= source_.tableRowCount() || column >= columns) {
        return -1;
    }
    const int64_t index = (static_cast<int64_t>(row) + 1) * columns + column;
    return index <= INT_MAX ? static_cast<int32_t>(index) : -1;
}

AtkObject* ListTable::peekCell(int32_t row, int32_t column) {
    auto found = cells_.find({row, column});
    return found != cells_.end() ? found->second : nullptr;
}

AtkObject* ListTable::refCell(int32_t row, int32_t column) {
    if (row < 0 || column < 0 || row >= source_.tableRowCount() ||
        column >= source_.tableColumnCount()) {
        return nullptr;
    }
    if (AtkObject* known = peekCell(row, column)) {
        return ATK_OBJECT(g_object_ref(known));
    }
    auto* made = ATK_OBJECT(g_object_new(cellType(), nullptr));
    CellObject* cell = cellOf(made);
    cell->row = row;
    cell->column = column;
    cell->generation = generation_;
    // Set directly: through atk_object_set_parent and _set_role each new cell would announce
    // its parent and role to every listener.
    made->role = ATK_ROLE_TABLE_CELL;
    made->accessible_parent = ATK_OBJECT(g_object_ref(object_));
    cells_.emplace(std::pair{row, column}, made);
    trimCells();
    return ATK_OBJECT(g_object_ref(made));
}

void ListTable::trimCells() {
    if (cells_.size() <= kKeptCells) {
        return;
    }
    const int32_t cursor = source_.tableCursorRow();
    const int32_t selected = source_.tableSelectedRow();
    for (auto at = cells_.begin(); at != cells_.end() && cells_.size() > kKeptCells / 2;) {
        if (at->first.first == cursor || at->first.first == selected) {
            ++at;
            continue;
        }
        g_object_unref(at->second);
        at = cells_.erase(at);
    }
}

void ListTable::forgetCells() {
    ++generation_;
    for (auto& [where, cell] : cells_) {
        g_object_unref(cell);  // defunct from now on, by its generation
    }
    cells_.clear();
}

void ListTable::rowsReset(bool reordered) {
    forgetCells();
    g_signal_emit_by_name(object_, reordered ? "row-reordered" : "model-changed");
}

void ListTable::rowRemoved(int32_t row) {
    forgetCells();
    g_signal_emit_by_name(object_, "row-deleted", row, 1);
}

void ListTable::cursorMoved(int32_t oldRow, int32_t oldColumn) {
    const int32_t row = source_.tableCursorRow();
    const int32_t column = source_.tableCursorColumn();
    const bool focused = gtk_widget_has_focus(view_) != FALSE;
    if (focused && (oldRow != row || oldColumn != column)) {
        if (AtkObject* old = peekCell(oldRow, oldColumn)) {
            atk_object_notify_state_change(old, ATK_STATE_FOCUSED, FALSE);
        }
        if (AtkObject* known = peekCell(row, column)) {
            atk_object_notify_state_change(known, ATK_STATE_FOCUSED, TRUE);
        }
    }
    if (AtkObject* cell = refCell(row, column)) {
        g_signal_emit_by_name(object_, "active-descendant-changed", cell);
        g_object_unref(cell);
    }
}

void ListTable::columnsReordered() {
    forgetCells();
    g_signal_emit_by_name(object_, "column-reordered");
}

void ListTable::selectionChanged() {
    g_signal_emit_by_name(object_, "selection-changed");
}

}  // namespace vistrelle::gtk
