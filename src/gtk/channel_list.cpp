#include "gtk/channel_list.h"

#include <atkmm/object.h>
#include <glibmm/main.h>
#include <gtkmm/cellrenderertext.h>

#include "gtk/event_pump.h"
#include "ui/display_text.h"
#include "ui/ids.h"
#include "ui/texts.h"
#include "ui/window_defs.h"

namespace vistrelle::gtk {

namespace {

// --- A list model of row numbers: row i of the view is row i of the program's rows.

struct RowModel {
    GObject parent;
    gint count;
    gint stamp;
};

struct RowModelClass {
    GObjectClass parentClass;
};

GType rowModelType();

RowModel* rowModel(GtkTreeModel* model) {
    return reinterpret_cast<RowModel*>(G_TYPE_CHECK_INSTANCE_CAST(model, rowModelType(), RowModel));
}

gint rowOf(const GtkTreeIter* iter) {
    return GPOINTER_TO_INT(iter->user_data);
}

gboolean setIter(RowModel* model, GtkTreeIter* iter, gint row) {
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
    return setIter(rowModel(model), iter, gtk_tree_path_get_indices(path)[0]);
}

GtkTreePath* modelGetPath(GtkTreeModel*, GtkTreeIter* iter) {
    return gtk_tree_path_new_from_indices(rowOf(iter), -1);
}

void modelGetValue(GtkTreeModel*, GtkTreeIter* iter, gint, GValue* value) {
    g_value_init(value, G_TYPE_INT);
    g_value_set_int(value, rowOf(iter));
}

gboolean modelNext(GtkTreeModel* model, GtkTreeIter* iter) {
    return setIter(rowModel(model), iter, rowOf(iter) + 1);
}

gboolean modelPrevious(GtkTreeModel* model, GtkTreeIter* iter) {
    return setIter(rowModel(model), iter, rowOf(iter) - 1);
}

gboolean modelChildren(GtkTreeModel* model, GtkTreeIter* iter, GtkTreeIter* parent) {
    if (parent != nullptr) {
        iter->stamp = 0;
        return FALSE;
    }
    return setIter(rowModel(model), iter, 0);
}

gboolean modelHasChild(GtkTreeModel*, GtkTreeIter*) {
    return FALSE;
}

gint modelChildCount(GtkTreeModel* model, GtkTreeIter* iter) {
    return iter == nullptr ? rowModel(model)->count : 0;
}

gboolean modelNthChild(GtkTreeModel* model, GtkTreeIter* iter, GtkTreeIter* parent, gint n) {
    if (parent != nullptr) {
        iter->stamp = 0;
        return FALSE;
    }
    return setIter(rowModel(model), iter, n);
}

gboolean modelParent(GtkTreeModel*, GtkTreeIter* iter, GtkTreeIter*) {
    iter->stamp = 0;
    return FALSE;
}

void rowModelInterfaceInit(gpointer gIface, gpointer) {
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

GType rowModelType() {
    static GType type = 0;
    if (type == 0) {
        type = g_type_register_static_simple(G_TYPE_OBJECT, "VistrelleRowModel",
                                             sizeof(RowModelClass), nullptr, sizeof(RowModel),
                                             nullptr, static_cast<GTypeFlags>(0));
        GInterfaceInfo info{rowModelInterfaceInit, nullptr, nullptr};
        g_type_add_interface_static(type, GTK_TYPE_TREE_MODEL, &info);
    }
    return type;
}

GdkRGBA toRgba(const Rgb& colour) {
    return GdkRGBA{colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0, 1.0};
}

}  // namespace

GtkChannelList::GtkChannelList(EventRouter& router) : router_(router) {
    model_ = GTK_TREE_MODEL(g_object_new(rowModelType(), nullptr));
    rowModel(model_)->stamp = g_random_int_range(1, G_MAXINT32);

    scroller_.set_shadow_type(Gtk::SHADOW_IN);
    scroller_.set_policy(Gtk::POLICY_AUTOMATIC, Gtk::POLICY_AUTOMATIC);
    scroller_.add(view_);

    auto columns = channelListColumns();
    cellContexts_.reserve(columns.size());
    for (size_t i = 0; i < columns.size(); ++i) {
        int32_t index = static_cast<int32_t>(i);
        auto* column = Gtk::manage(new Gtk::TreeViewColumn(Glib::ustring(
            columns[i].title.data(), columns[i].title.data() + columns[i].title.size())));
        auto* cell = Gtk::manage(new Gtk::CellRendererText());
        cell->property_ellipsize() = Pango::ELLIPSIZE_END;
        column->pack_start(*cell, true);
        cellContexts_.push_back(CellContext{this, index});
        gtk_tree_view_column_set_cell_data_func(column->gobj(), GTK_CELL_RENDERER(cell->gobj()),
                                                &GtkChannelList::renderCell, &cellContexts_.back(),
                                                nullptr);
        column->set_sizing(Gtk::TREE_VIEW_COLUMN_FIXED);
        column->set_fixed_width(columns[i].width);
        column->set_resizable(true);
        column->set_reorderable(true);
        column->set_clickable(true);
        // A click sorts by the column's own index, wherever the column has been dragged to.
        column->signal_clicked().connect([this, index] { router_.headerClicked(index); });
        view_.append_column(*column);
        if (Gtk::Widget* button = column->get_button()) {
            button->get_accessible()->set_name(column->get_title());
            button->get_accessible()->set_description(std::string(texts::kColumnHeaderDescription));
        }
        columns_.push_back(column);
    }
    view_.set_fixed_height_mode(true);
    view_.set_enable_search(false);  // the program finds rows itself (onKeyPress)
    view_.set_headers_visible(true);
    view_.get_selection()->set_mode(Gtk::SELECTION_SINGLE);
    gtk_tree_view_set_model(view_.gobj(), model_);
    view_.signal_button_press_event().connect(sigc::mem_fun(*this, &GtkChannelList::onButtonPress),
                                              false);
    // Typing finds a row; the program answers, the entry below the list shows the text.
    view_.signal_key_press_event().connect(sigc::mem_fun(*this, &GtkChannelList::onKeyPress),
                                           false);
    view_.signal_focus_out_event().connect([this](GdkEventFocus*) {
        hideSearch();
        return false;
    });
    searchEntry_.set_can_focus(false);
    searchEntry_.set_editable(false);
    searchEntry_.get_accessible()->set_name(std::string(texts::kFindChannelName));
    searchEntry_.show();
    searchWindow_.add(searchEntry_);
    searchWindow_.set_type_hint(Gdk::WINDOW_TYPE_HINT_UTILITY);

    view_.get_accessible()->set_name(std::string(texts::kChannelListName));
    view_.get_accessible()->set_description(std::string(texts::kChannelListDescription));
    view_.show();
}

GtkChannelList::~GtkChannelList() {
    searchTimeout_.disconnect();
    rows_ = nullptr;
    gtk_tree_view_set_model(view_.gobj(), nullptr);
    g_object_unref(model_);
    if (lastButton_ != nullptr) {
        gdk_event_free(lastButton_);
    }
}

void GtkChannelList::rowsReset(const ListRows& rows) {
    rows_ = &rows;
    hideSearch();
    RowModel* model = rowModel(model_);
    GtkTreeView* view = view_.gobj();
    if (model->count == rows.count() && gtk_tree_view_get_model(view) == model_) {
        // The same number of rows (a sort): the view keeps its rows and only draws the new
        // texts, so that re-ordering a large list costs nothing here.
        gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(view));
        if (Glib::RefPtr<Gtk::Adjustment> scroll = view_.get_vadjustment()) {
            scroll->set_value(scroll->get_lower());
        }
        GtkTreePath* first = nullptr;
        GtkTreePath* last = nullptr;
        if (gtk_tree_view_get_visible_range(view, &first, &last)) {
            // The rows on screen tell their new texts to assistive technologies.
            int from = gtk_tree_path_get_indices(first)[0];
            int to = gtk_tree_path_get_indices(last)[0];
            for (int row = from; row <= to; ++row) {
                GtkTreeIter iter;
                if (setIter(model, &iter, row)) {
                    GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
                    gtk_tree_model_row_changed(model_, path, &iter);
                    gtk_tree_path_free(path);
                }
            }
            gtk_tree_path_free(first);
            gtk_tree_path_free(last);
        }
        view_.queue_draw();
        return;
    }
    // The view takes the new row count when the model is attached again: one pass over the row
    // numbers, no copy of any text.
    gtk_tree_view_set_model(view, nullptr);
    model->count = rows.count();
    model->stamp++;
    gtk_tree_view_set_model(view, model_);
}

void GtkChannelList::rowRemoved(const ListRows& rows, int32_t row) {
    rows_ = &rows;
    RowModel* model = rowModel(model_);
    if (row < 0 || row >= model->count) {
        return;
    }
    model->count--;
    GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
    gtk_tree_model_row_deleted(model_, path);
    gtk_tree_path_free(path);
}

void GtkChannelList::rowRepaint(const ListRows& rows, int32_t row) {
    rows_ = &rows;
    GtkTreeIter iter;
    if (!setIter(rowModel(model_), &iter, row)) {
        return;
    }
    GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
    gtk_tree_model_row_changed(model_, path, &iter);
    gtk_tree_path_free(path);
    view_.queue_draw();
}

int32_t GtkChannelList::selectedRow() {
    GtkTreeIter iter;
    if (gtk_tree_selection_get_selected(gtk_tree_view_get_selection(view_.gobj()), nullptr,
                                        &iter)) {
        return rowOf(&iter);
    }
    return -1;
}

int32_t GtkChannelList::shownRowCount() const {
    return rowModel(model_)->count;
}

std::string GtkChannelList::cellText(int32_t row, int32_t column) const {
    if (rows_ == nullptr || row < 0 || row >= rows_->count()) {
        return {};
    }
    return displayText(rows_->columnText(row, column));
}

int32_t GtkChannelList::columnAt(int32_t position) {
    Gtk::TreeViewColumn* shown = view_.get_column(position);
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i] == shown) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

void GtkChannelList::detach() {
    hideSearch();
    gtk_tree_view_set_model(view_.gobj(), nullptr);
    rowModel(model_)->count = 0;
    rows_ = nullptr;
}

bool GtkChannelList::onButtonPress(GdkEventButton* event) {
    Glib::RefPtr<Gdk::Window> bin = view_.get_bin_window();
    if (!bin || event->window != bin->gobj()) {
        return false;  // the header
    }
    hideSearch();
    if (lastButton_ != nullptr) {
        gdk_event_free(lastButton_);
    }
    lastButton_ = gdk_event_copy(reinterpret_cast<GdkEvent*>(event));

    GtkTreePath* path = nullptr;
    bool onRow = gtk_tree_view_get_path_at_pos(view_.gobj(), static_cast<gint>(event->x),
                                               static_cast<gint>(event->y), &path, nullptr, nullptr,
                                               nullptr) != FALSE;
    if (event->type == GDK_BUTTON_PRESS && event->button == 3) {
        // The list selects the row under the pointer first; the program then sees the click.
        view_.grab_focus();
        if (onRow) {
            gtk_tree_view_set_cursor(view_.gobj(), path, nullptr, FALSE);
        } else {
            gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(view_.gobj()));
        }
        if (path != nullptr) {
            gtk_tree_path_free(path);
        }
        router_.controlEvent(kChannelList, ControlAction::RightClick);
        return true;
    }
    if (path != nullptr) {
        gtk_tree_path_free(path);
    }
    if (event->type == GDK_2BUTTON_PRESS && event->button == 1 && onRow) {
        router_.controlEvent(kChannelList, ControlAction::DoubleClick);
    }
    return false;
}

bool GtkChannelList::onKeyPress(GdkEventKey* event) {
    if (event->is_modifier ||
        (event->keyval >= GDK_KEY_Shift_L && event->keyval <= GDK_KEY_Hyper_R)) {
        return false;  // Shift on its way to a capital letter
    }
    const auto modifiers =
        event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK | GDK_SUPER_MASK | GDK_META_MASK);
    const bool shift = (event->state & GDK_SHIFT_MASK) != 0;
    TypeAhead::Key key = TypeAhead::Key::Other;
    char32_t typed = 0;
    switch (event->keyval) {
        case GDK_KEY_Escape:
            key = modifiers == 0 ? TypeAhead::Key::Escape : key;
            break;
        case GDK_KEY_BackSpace:
            key = modifiers == 0 ? TypeAhead::Key::Backspace : key;
            break;
        case GDK_KEY_Down:
        case GDK_KEY_KP_Down:
            key = modifiers == 0 && !shift ? TypeAhead::Key::Next : key;
            break;
        case GDK_KEY_g:
        case GDK_KEY_G:
            if (modifiers == GDK_CONTROL_MASK && !shift) {
                key = TypeAhead::Key::Next;
                break;
            }
            [[fallthrough]];
        default:
            typed = gdk_keyval_to_unicode(event->keyval);
            if (modifiers == 0 && typed != 0) {
                key = TypeAhead::Key::Character;
            }
            break;
    }
    // The key's own time (the clock of the display); events made without one use this process's.
    const guint32 now = event->time != GDK_CURRENT_TIME
                            ? event->time
                            : static_cast<guint32>(g_get_monotonic_time() / 1000);
    const TypeAhead::Outcome outcome = rows_ != nullptr
                                           ? search_.press(*rows_, selectedRow(), key, now, typed)
                                           : TypeAhead::Outcome{};
    if (!outcome.handled) {
        // Not the search's: the search is over, and the key does what it does in the list.
        hideSearch();
        return false;
    }
    if (!search_.searching(now)) {
        hideSearch();  // Escape
        return true;
    }
    if (outcome.row >= 0) {
        selectRow(outcome.row);
    }
    showSearch(outcome.notFound);
    if (outcome.notFound && key == TypeAhead::Key::Next) {
        view_.error_bell();
    }
    return true;
}

bool GtkChannelList::searchNotFound() const {
    return searchEntry_.get_style_context()->has_class(GTK_STYLE_CLASS_ERROR);
}

void GtkChannelList::selectRow(int32_t row) {
    GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
    gtk_tree_view_set_cursor(view_.gobj(), path, nullptr, FALSE);
    gtk_tree_view_scroll_to_cell(view_.gobj(), path, nullptr, TRUE, 0.5F, 0.0F);
    gtk_tree_path_free(path);
}

void GtkChannelList::showSearch(bool notFound) {
    searchEntry_.set_text(displayText(search_.text()));
    searchEntry_.set_position(-1);
    auto style = searchEntry_.get_style_context();
    if (notFound) {
        style->add_class(GTK_STYLE_CLASS_ERROR);
    } else {
        style->remove_class(GTK_STYLE_CLASS_ERROR);
    }
    if (!searchShown()) {
        // Below the list, at its right edge, as the tree view places its own search entry. The
        // list's own corner on the screen: its window's origin is that of the area it sits in.
        int x = 0;
        int y = 0;
        if (auto* toplevel = dynamic_cast<Gtk::Window*>(view_.get_toplevel())) {
            searchWindow_.set_transient_for(*toplevel);
            int left = 0;
            int top = 0;
            if (Glib::RefPtr<Gdk::Window> window = toplevel->get_window()) {
                window->get_origin(x, y);
            }
            if (scroller_.translate_coordinates(*toplevel, 0, 0, left, top)) {
                x += left;
                y += top;
            }
        }
        int width = 0;
        int unused = 0;
        searchWindow_.get_preferred_width(unused, width);
        searchWindow_.move(x + scroller_.get_allocated_width() - width,
                           y + scroller_.get_allocated_height());
        searchWindow_.show();
    }
    // The search ends by itself a while after its last key: so does the entry.
    searchTimeout_.disconnect();
    searchTimeout_ = Glib::signal_timeout().connect(
        [this] {
            hideSearch();
            return false;
        },
        TypeAhead::kSearchEndMs);
}

void GtkChannelList::hideSearch() {
    searchTimeout_.disconnect();
    search_.end();
    if (searchWindow_.get_visible()) {
        searchWindow_.hide();
    }
}

void GtkChannelList::renderCell(GtkTreeViewColumn*, GtkCellRenderer* cell, GtkTreeModel*,
                                GtkTreeIter* iter, gpointer data) {
    const auto* context = static_cast<const CellContext*>(data);
    const GtkChannelList* list = context->list;
    int32_t row = rowOf(iter);
    const ListRows* rows = list->rows_;
    if (rows == nullptr || row < 0 || row >= rows->count()) {
        g_object_set(cell, "text", "", "cell-background-set", FALSE, "foreground-set", FALSE,
                     nullptr);
        return;
    }
    std::string text = displayText(rows->columnText(row, context->column));
    g_object_set(cell, "text", text.c_str(), nullptr);

    RowColours colours = rows->colours(row);
    auto column = static_cast<size_t>(context->column);
    // A selected row keeps the selection colour, so that the selection stays visible.
    bool selected = gtk_tree_selection_iter_is_selected(
                        gtk_tree_view_get_selection(const_cast<GtkTreeView*>(list->view_.gobj())),
                        iter) != FALSE;
    if (colours.background[column] && !selected) {
        GdkRGBA rgba = toRgba(*colours.background[column]);
        g_object_set(cell, "cell-background-rgba", &rgba, nullptr);
    } else {
        g_object_set(cell, "cell-background-set", FALSE, nullptr);
    }
    if (colours.text[column]) {
        GdkRGBA rgba = toRgba(*colours.text[column]);
        g_object_set(cell, "foreground-rgba", &rgba, nullptr);
    } else {
        g_object_set(cell, "foreground-set", FALSE, nullptr);
    }
}

}  // namespace vistrelle::gtk
