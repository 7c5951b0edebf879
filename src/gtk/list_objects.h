// The instance structures of channelList's accessible table and of its cells, shared by the
// table (list_accessible.cpp) and the cells (list_cell.cpp).
#pragma once

#include <gtk/gtk-a11y.h>
#include <gtk/gtk.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gtk/list_accessible.h"

namespace vistrelle::gtk {

struct TableObject {
    GtkTreeViewAccessible parent;
    ListTable* owner;  // null once the list is gone
    std::vector<std::string>* titles;
};

struct CellObject {
    AtkObject parent;  // its accessible_parent is the table, held
    int32_t row;
    int32_t column;
    uint32_t generation;
    gchar* name;
};

inline CellObject* cellOf(gpointer object) {
    return reinterpret_cast<CellObject*>(object);
}

}  // namespace vistrelle::gtk
