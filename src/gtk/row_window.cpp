#include "gtk/row_window.h"

namespace vistrelle::gtk {

namespace {

// --- The window model: a list of row numbers, nothing stored.

struct WindowModel {
    GObject parent;
    gint count;
    gint stamp;
};

struct WindowModelClass {
    GObjectClass parentClass;
};

GType windowModelType();

WindowModel* windowModel(GtkTreeModel* model) {
    return reinterpret_cast<WindowModel*>(
        G_TYPE_CHECK_INSTANCE_CAST(model, windowModelType(), WindowModel));
}

gboolean setIter(WindowModel* model, GtkTreeIter* iter, gint row) {
    if (row < 0 || row >= model->count) {
        iter->stamp = 0;
        return FALSE;
    }
    iter->stamp = model->stamp;
    iter->user_data = GINT_TO_POINTER(row);
    iter->user_data2 = nullptr;
    iter->user_data3 = nullptr;
    return TRUE;
}

GtkTreeModelFlags modelFlags(GtkTreeModel*) {
    return GTK_TREE_MODEL_LIST_ONLY;
}

gint modelColumns(GtkTreeModel*) {
    return 1;
}

GType modelColumnType(GtkTreeModel*, gint) {
    return G_TYPE_INT;
}

gboolean modelGetIter(GtkTreeModel* model, GtkTreeIter* iter, GtkTreePath* path) {
    if (gtk_tree_path_get_depth(path) != 1) {
        iter->stamp = 0;
        return FALSE;
    }
    return setIter(windowModel(model), iter, gtk_tree_path_get_indices(path)[0]);
}

GtkTreePath* modelGetPath(GtkTreeModel*, GtkTreeIter* iter) {
    return gtk_tree_path_new_from_indices(windowRowOf(iter), -1);
}

void modelGetValue(GtkTreeModel*, GtkTreeIter* iter, gint, GValue* value) {
    g_value_init(value, G_TYPE_INT);
    g_value_set_int(value, windowRowOf(iter));
}

gboolean modelNext(GtkTreeModel* model, GtkTreeIter* iter) {
    return setIter(windowModel(model), iter, windowRowOf(iter) + 1);
}

gboolean modelPrevious(GtkTreeModel* model, GtkTreeIter* iter) {
    return setIter(windowModel(model), iter, windowRowOf(iter) - 1);
}

gboolean modelChildren(GtkTreeModel* model, GtkTreeIter* iter, GtkTreeIter* parent) {
    if (parent != nullptr) {
        iter->stamp = 0;
        return FALSE;
    }
    return setIter(windowModel(model), iter, 0);
}

gboolean modelHasChild(GtkTreeModel*, GtkTreeIter*) {
    return FALSE;
}

gint modelChildCount(GtkTreeModel* model, GtkTreeIter* iter) {
    return iter == nullptr ? windowModel(model)->count : 0;
}

gboolean modelNthChild(GtkTreeModel* model, GtkTreeIter* iter, GtkTreeIter* parent, gint n) {
    if (parent != nullptr) {
        iter->stamp = 0;
        return FALSE;
    }
    return setIter(windowModel(model), iter, n);
}

gboolean modelParent(GtkTreeModel*, GtkTreeIter* iter, GtkTreeIter*) {
    iter->stamp = 0;
    return FALSE;
}

void windowModelInterfaceInit(gpointer gIface, gpointer) {
    auto* iface = static_cast<GtkTreeModelIface*>(gIface);
    iface->get_flags = modelFlags;
    iface->get_n_columns = modelColumns;
    iface->get_column_type = modelColumnType;
    iface->get_iter = modelGetIter;
    iface->get_path = modelGetPath;
    iface->get_value = modelGetValue;
    iface->iter_next = modelNext;
    iface->iter_previous = modelPrevious;
    iface->iter_children = modelChildren;
    iface->iter_has_child = modelHasChild;
    iface->iter_n_children = modelChildCount;
    iface->iter_nth_child = modelNthChild;
    iface->iter_parent = modelParent;
}

GType windowModelType() {
    static const GType type = [] {
        const GType made = g_type_register_static_simple(
            G_TYPE_OBJECT, "VistrelleWindowModel", sizeof(WindowModelClass), nullptr,
            sizeof(WindowModel), nullptr, static_cast<GTypeFlags>(0));
        const GInterfaceInfo info{windowModelInterfaceInit, nullptr, nullptr};
        g_type_add_interface_static(made, GTK_TYPE_TREE_MODEL, &info);
        return made;
    }();
    return type;
}

// --- The scroller.

struct ScrollerObject {
    GtkBin parent;
    RowScrollerListener* listener;
    GtkAdjustment* horizontal;  // the scrolled window's, passed on to the child
    GtkAdjustment* vertical;    // the scrolled window's, over all rows
    GtkAdjustment* inner;       // the child's, over the window
    gulong verticalMoved;
    GtkScrollablePolicy policies[2];
};

struct ScrollerClass {
    GtkBinClass parentClass;
};

enum ScrollerProperty : guint {
    kHorizontalAdjustment = 1,
    kVerticalAdjustment,
    kHorizontalPolicy,
    kVerticalPolicy,
};

gpointer scrollerParentClass = nullptr;

GType scrollerType();

ScrollerObject* scroller(gpointer object) {
    return reinterpret_cast<ScrollerObject*>(
        G_TYPE_CHECK_INSTANCE_CAST(object, scrollerType(), ScrollerObject));
}

void onVerticalMoved(GtkAdjustment*, gpointer data) {
    if (RowScrollerListener* listener = scroller(data)->listener) {
        listener->scrolled();
    }
}

// Takes an adjustment given by the scrolled window (a new empty one for null).
GtkAdjustment* takeAdjustment(GtkAdjustment* given) {
    if (given == nullptr) {
        given = gtk_adjustment_new(0, 0, 0, 0, 0, 0);
    }
    return GTK_ADJUSTMENT(g_object_ref_sink(given));
}

void setHorizontal(ScrollerObject* self, GtkAdjustment* given) {
    GtkAdjustment* taken = takeAdjustment(given);
    if (self->horizontal != nullptr) {
        g_object_unref(self->horizontal);
    }
    self->horizontal = taken;
    if (GtkWidget* child = gtk_bin_get_child(GTK_BIN(self))) {
        gtk_scrollable_set_hadjustment(GTK_SCROLLABLE(child), self->horizontal);
    }
}

void setVertical(ScrollerObject* self, GtkAdjustment* given) {
    GtkAdjustment* taken = takeAdjustment(given);
    if (self->vertical != nullptr) {
        g_signal_handler_disconnect(self->vertical, self->verticalMoved);
        g_object_unref(self->vertical);
    }
    self->vertical = taken;
    self->verticalMoved =
        g_signal_connect(self->vertical, "value-changed", G_CALLBACK(onVerticalMoved), self);
    if (self->listener != nullptr) {
        self->listener->scrollerAllocated();
    }
}

void scrollerSetProperty(GObject* object, guint id, const GValue* value, GParamSpec* property) {
    ScrollerObject* self = scroller(object);
    switch (id) {
        case kHorizontalAdjustment:
            setHorizontal(self, GTK_ADJUSTMENT(g_value_get_object(value)));
            break;
        case kVerticalAdjustment:
            setVertical(self, GTK_ADJUSTMENT(g_value_get_object(value)));
            break;
        case kHorizontalPolicy:
        case kVerticalPolicy:
            self->policies[id - kHorizontalPolicy] =
                static_cast<GtkScrollablePolicy>(g_value_get_enum(value));
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, property);
    }
}

void scrollerGetProperty(GObject* object, guint id, GValue* value, GParamSpec* property) {
    ScrollerObject* self = scroller(object);
    switch (id) {
        case kHorizontalAdjustment:
            g_value_set_object(value, self->horizontal);
            break;
        case kVerticalAdjustment:
            g_value_set_object(value, self->vertical);
            break;
        case kHorizontalPolicy:
        case kVerticalPolicy:
            g_value_set_enum(value, self->policies[id - kHorizontalPolicy]);
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, property);
    }
}

void scrollerAdd(GtkContainer* container, GtkWidget* child) {
    GTK_CONTAINER_CLASS(scrollerParentClass)->add(container, child);
    ScrollerObject* self = scroller(container);
    gtk_scrollable_set_vadjustment(GTK_SCROLLABLE(child), self->inner);
    if (self->horizontal != nullptr) {
        gtk_scrollable_set_hadjustment(GTK_SCROLLABLE(child), self->horizontal);
    }
}

void scrollerAllocate(GtkWidget* widget, GtkAllocation* allocation) {
    // The child takes the whole place; the listener then sets the scroll bar over all rows.
    GTK_WIDGET_CLASS(scrollerParentClass)->size_allocate(widget, allocation);
    if (RowScrollerListener* listener = scroller(widget)->listener) {
        listener->scrollerAllocated();
    }
}

gboolean scrollerBorder(GtkScrollable* scrollable, GtkBorder* border) {
    // The child's (the tree view's headers), so that the scrolled window's edges fall below them.
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(scrollable));
    return child != nullptr && gtk_scrollable_get_border(GTK_SCROLLABLE(child), border);
}

void scrollerDispose(GObject* object) {
    ScrollerObject* self = scroller(object);
    self->listener = nullptr;
    if (self->vertical != nullptr) {
        g_signal_handler_disconnect(self->vertical, self->verticalMoved);
        g_clear_object(&self->vertical);
    }
    g_clear_object(&self->horizontal);
    g_clear_object(&self->inner);
    G_OBJECT_CLASS(scrollerParentClass)->dispose(object);
}

void scrollerClassInit(gpointer klass, gpointer) {
    scrollerParentClass = g_type_class_peek_parent(klass);
    auto* objectClass = G_OBJECT_CLASS(klass);
    objectClass->set_property = scrollerSetProperty;
    objectClass->get_property = scrollerGetProperty;
    objectClass->dispose = scrollerDispose;
    GTK_WIDGET_CLASS(klass)->size_allocate = scrollerAllocate;
    GTK_CONTAINER_CLASS(klass)->add = scrollerAdd;
    g_object_class_override_property(objectClass, kHorizontalAdjustment, "hadjustment");
    g_object_class_override_property(objectClass, kVerticalAdjustment, "vadjustment");
    g_object_class_override_property(objectClass, kHorizontalPolicy, "hscroll-policy");
    g_object_class_override_property(objectClass, kVerticalPolicy, "vscroll-policy");
}

void scrollableInterfaceInit(gpointer gIface, gpointer) {
    static_cast<GtkScrollableInterface*>(gIface)->get_border = scrollerBorder;
}

GType scrollerType() {
    static const GType type = [] {
        const GType made = g_type_register_static_simple(
            GTK_TYPE_BIN, "VistrelleRowScroller", sizeof(ScrollerClass), scrollerClassInit,
            sizeof(ScrollerObject), nullptr, static_cast<GTypeFlags>(0));
        const GInterfaceInfo info{scrollableInterfaceInit, nullptr, nullptr};
        g_type_add_interface_static(made, GTK_TYPE_SCROLLABLE, &info);
        return made;
    }();
    return type;
}

}  // namespace

GtkTreeModel* newWindowModel() {
    GtkTreeModel* model = GTK_TREE_MODEL(g_object_new(windowModelType(), nullptr));
    windowModel(model)->stamp = g_random_int_range(1, G_MAXINT32);
    return model;
}

int32_t windowModelCount(GtkTreeModel* model) {
    return windowModel(model)->count;
}

void resizeWindowModel(GtkTreeModel* model, int32_t count) {
    WindowModel* window = windowModel(model);
    while (window->count < count) {
        GtkTreeIter iter;
        setIter(window, &iter, window->count++);
        GtkTreePath* path = windowRowPath(window->count - 1);
        gtk_tree_model_row_inserted(model, path, &iter);
        gtk_tree_path_free(path);
    }
    while (window->count > count && window->count > 0) {
        GtkTreePath* path = windowRowPath(--window->count);
        gtk_tree_model_row_deleted(model, path);
        gtk_tree_path_free(path);
    }
}

int32_t windowRowOf(const GtkTreeIter* iter) {
    return GPOINTER_TO_INT(iter->user_data);
}

GtkTreePath* windowRowPath(int32_t row) {
    return gtk_tree_path_new_from_indices(row, -1);
}

GtkWidget* newRowScroller(RowScrollerListener& listener, GtkAdjustment* inner) {
    GtkWidget* widget = GTK_WIDGET(g_object_new(scrollerType(), nullptr));
    ScrollerObject* self = scroller(widget);
    self->inner = GTK_ADJUSTMENT(g_object_ref_sink(inner));
    self->listener = &listener;
    return widget;
}

GtkAdjustment* rowScrollerAdjustment(GtkWidget* widget) {
    return scroller(widget)->vertical;
}

void detachRowScroller(GtkWidget* widget) {
    scroller(widget)->listener = nullptr;
}

}  // namespace vistrelle::gtk
