#include "gtk/channel_list.h"

#include <atkmm/object.h>
#include <glibmm/main.h>
#include <gtkmm/cellrenderertext.h>

#include <algorithm>
#include <cmath>

#include "gtk/event_pump.h"
#include "ui/display_text.h"
#include "ui/ids.h"
#include "ui/texts.h"
#include "ui/window_defs.h"

namespace vistrelle::gtk {

namespace {

// Rows the window holds beyond those on screen.
constexpr int32_t kWindowMargin = 8;
// The window before the list knows its height.
constexpr int32_t kFirstWindowRows = 64;

}  // namespace

ChannelView::ChannelView(GtkChannelList& list)
    : Glib::ObjectBase("VistrelleChannelView"), list_(list) {}

Glib::RefPtr<Atk::Object> ChannelView::get_accessible_vfunc() {
    // The list's table instead of the accessible GTK would make: GTK's per-row hooks reach only
    // the one it made itself.
    return Glib::wrap(list_.table().object(), true);
}

GtkChannelList::GtkChannelList(EventRouter& router) : router_(router) {
    model_ = newWindowModel();
    inner_ = gtk_adjustment_new(0, 0, 0, 0, 0, 0);
    g_object_ref_sink(inner_);
    rowScroller_ = newRowScroller(*this, inner_);

    scroller_.set_shadow_type(Gtk::SHADOW_IN);
    scroller_.set_policy(Gtk::POLICY_AUTOMATIC, Gtk::POLICY_AUTOMATIC);
    gtk_container_add(GTK_CONTAINER(scroller_.gobj()), rowScroller_);
    gtk_container_add(GTK_CONTAINER(rowScroller_), GTK_WIDGET(view_.gobj()));
    gtk_widget_show(rowScroller_);

    auto keep = +[](GtkAdjustment*, gpointer list) {
        static_cast<GtkChannelList*>(list)->keepInnerScroll();
    };
    g_signal_connect(inner_, "value-changed", G_CALLBACK(keep), this);
    g_signal_connect(inner_, "changed", G_CALLBACK(keep), this);

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
        // A click sorts by the column's own index, wherever the column has been dragged to. The
        // rows the program gives back meanwhile are the same rows in a new order.
        column->signal_clicked().connect([this, index] {
            sorting_ = true;
            router_.headerClicked(index);
            sorting_ = false;
        });
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
    view_.signal_key_press_event().connect(sigc::mem_fun(*this, &GtkChannelList::onKeyPress),
                                           false);
    // The context-menu key and Shift+F10.
    view_.signal_popup_menu().connect([this] {
        router_.controlEvent(kChannelList, ControlAction::MenuKey);
        return true;
    });
    // Taking the focus puts the cursor on the selected row, or on the first row and selects it.
    view_.signal_grab_focus().connect(
        [this] {
            if (cursor_ >= 0 || count_ == 0) {
                return;
            }
            const bool select = selected_ < 0;
            moveCursor(select ? 0 : selected_, -1, select, Reveal::No);
        },
        false);
    // The tree view shows only what the list says; whatever it changes itself is put back.
    view_.signal_cursor_changed().connect([this] {
        if (!showingMarks_) {
            markedCursor_ = markedSelection_ = kUnknownMark;
            showMarks();
        }
    });
    view_.get_selection()->signal_changed().connect([this] {
        if (!showingMarks_) {
            markedSelection_ = kUnknownMark;
            showMarks();
        }
    });
    view_.signal_focus_out_event().connect([this](GdkEventFocus*) {
        hideSearch();
        return false;
    });
    view_.signal_style_updated().connect([this] { rowHeight_ = 0; });
    view_.signal_columns_changed().connect([this] {
        markedCursor_ = kUnknownMark;
        if (table_) {
            table_->columnsReordered();
        }
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
    growWindow_.disconnect();
    detachRowScroller(rowScroller_);
    g_signal_handlers_disconnect_by_data(inner_, this);
    rows_ = nullptr;
    count_ = 0;
    gtk_tree_view_set_model(view_.gobj(), nullptr);
    g_object_unref(model_);
    g_object_unref(inner_);
    keepTrigger(lastButton_, nullptr);
    keepTrigger(lastKey_, nullptr);
}

void GtkChannelList::keepTrigger(GdkEvent*& kept, GdkEvent* event) {
    if (kept != nullptr) {
        gdk_event_free(kept);
    }
    kept = event;
}

ListTable& GtkChannelList::table() {
    if (!table_) {
        ListTableSource& source = *this;
        table_ = std::make_unique<ListTable>(GTK_WIDGET(view_.gobj()), source);
    }
    return *table_;
}

// --- The program's rows

void GtkChannelList::rowsReset(const ListRows& rows) {
    rows_ = &rows;
    hideSearch();
    // After a header click the program gives back the same rows in a new order.
    const bool reordered = sorting_ && rows.count() == count_;
    const bool hadSelection = selected_ >= 0;
    count_ = rows.count();
    cursor_ = -1;
    selected_ = -1;
    offset_ = 0;
    resizeWindowModel(model_, std::min(count_, wantedWindowRows()));
    markedCursor_ = markedSelection_ = kUnknownMark;
    configureScrollBar();
    scrollTo(0);
    view_.queue_draw();
    if (table_) {
        table_->rowsReset(reordered);
        if (hadSelection) {
            table_->selectionChanged();
        }
    }
}

void GtkChannelList::rowRemoved(const ListRows& rows, int32_t row) {
    rows_ = &rows;
    if (row < 0 || row >= count_) {
        return;
    }
    --count_;
    const int32_t oldSelected = selected_;
    const int32_t oldCursor = cursor_;
    if (selected_ == row) {
        selected_ = -1;
    } else if (selected_ > row) {
        --selected_;
    }
    // As the tree view does: the cursor goes to the row that takes the removed one's place (or
    // the one before, at the end) and selects it.
    if (cursor_ == row) {
        cursor_ = row < count_ ? row : count_ - 1;
        if (cursor_ >= 0) {
            selected_ = cursor_;
        }
    } else if (cursor_ > row) {
        --cursor_;
    }
    if (windowModelCount(model_) > count_) {
        resizeWindowModel(model_, count_);
    }
    markedCursor_ = markedSelection_ = kUnknownMark;
    configureScrollBar();
    placeWindow();
    view_.queue_draw();
    if (table_) {
        table_->rowRemoved(row);
        if (selected_ != oldSelected || oldSelected == row) {
            table_->selectionChanged();
        }
        if (oldCursor == row && cursor_ >= 0) {
            table_->cursorMoved(-1, cursorColumn_);
        }
    }
}

void GtkChannelList::rowRepaint(const ListRows& rows, int32_t) {
    rows_ = &rows;
    view_.queue_draw();
}

int32_t GtkChannelList::selectedRow() {
    return selected_;
}

void GtkChannelList::selectRow(int32_t row) {
    hideSearch();
    moveCursor(row, -1, true, Reveal::Centre);
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

int32_t GtkChannelList::topRow() const {
    GtkAdjustment* outer = rowScrollerAdjustment(rowScroller_);
    if (outer == nullptr || rowHeight_ <= 0 || count_ == 0) {
        return 0;
    }
    return std::clamp(static_cast<int32_t>(gtk_adjustment_get_value(outer) / rowHeight_), 0,
                      count_ - 1);
}

int32_t GtkChannelList::windowRowCount() const {
    return windowModelCount(model_);
}

void GtkChannelList::detach() {
    hideSearch();
    rows_ = nullptr;
    count_ = 0;
    cursor_ = selected_ = -1;
    offset_ = 0;
    resizeWindowModel(model_, 0);
    markedCursor_ = markedSelection_ = kUnknownMark;
}

// --- The window

int GtkChannelList::rowHeight() {
    if (rowHeight_ > 0) {
        return rowHeight_;
    }
    // Once the view has laid out a row, its own height for all of them (fixed-height mode).
    if (gtk_widget_get_realized(GTK_WIDGET(view_.gobj())) && windowModelCount(model_) > 0) {
        GdkRectangle area{};
        GtkTreePath* first = windowRowPath(0);
        gtk_tree_view_get_background_area(view_.gobj(), first, nullptr, &area);
        gtk_tree_path_free(first);
        if (area.height > 0) {
            rowHeight_ = area.height;
            return rowHeight_;
        }
    }
    // Until then, what a line of text takes.
    GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(columns_.front()->gobj()));
    gint natural = 0;
    if (cells != nullptr) {
        gtk_cell_renderer_get_preferred_height(GTK_CELL_RENDERER(cells->data),
                                               GTK_WIDGET(view_.gobj()), nullptr, &natural);
    }
    g_list_free(cells);
    gint separator = 0;
    gtk_widget_style_get(GTK_WIDGET(view_.gobj()), "vertical-separator", &separator, nullptr);
    return std::max(natural + separator, 1);
}

double GtkChannelList::pageHeight() const {
    return gtk_adjustment_get_page_size(inner_);
}

int32_t GtkChannelList::pageRows() {
    return std::max(1, static_cast<int32_t>(pageHeight() / rowHeight()));
}

int32_t GtkChannelList::wantedWindowRows() {
    const double page = pageHeight();
    if (page <= 0) {
        return kFirstWindowRows;
    }
    return static_cast<int32_t>(std::ceil(page / rowHeight())) + 1 + kWindowMargin;
}

void GtkChannelList::configureScrollBar() {
    GtkAdjustment* outer = rowScrollerAdjustment(rowScroller_);
    if (outer == nullptr) {
        return;
    }
    const double page = pageHeight();
    const double upper = std::max(static_cast<double>(count_) * rowHeight(), page);
    const double value =
        std::clamp(gtk_adjustment_get_value(outer), 0.0, std::max(upper - page, 0.0));
    gtk_adjustment_configure(outer, value, 0, upper, page * 0.1, page * 0.9, page);
}

void GtkChannelList::scrollerAllocated() {
    if (columns_.empty()) {
        return;  // still being made
    }
    const int before = rowHeight_;
    rowHeight_ = 0;
    if (rowHeight() != before) {
        markedCursor_ = kUnknownMark;
    }
    // A taller list needs more rows in its window; they are added after this layout, since the
    // tree view may not change its rows while it is being laid out.
    const int32_t wanted = std::min(count_, wantedWindowRows());
    if (wanted > windowModelCount(model_) && !growWindow_.connected()) {
        growWindow_ = Glib::signal_idle().connect(
            [this] {
                resizeWindowModel(model_, std::min(count_, wantedWindowRows()));
                configureScrollBar();
                placeWindow();
                return false;
            },
            Glib::PRIORITY_HIGH_IDLE);
    }
    configureScrollBar();
    placeWindow();
}

void GtkChannelList::scrolled() {
    if (!columns_.empty()) {
        placeWindow();
    }
}

void GtkChannelList::scrollTo(double top) {
    GtkAdjustment* outer = rowScrollerAdjustment(rowScroller_);
    if (outer != nullptr) {
        const double last = gtk_adjustment_get_upper(outer) - gtk_adjustment_get_page_size(outer);
        gtk_adjustment_set_value(outer, std::clamp(top, 0.0, std::max(last, 0.0)));
    }
    placeWindow();
}

void GtkChannelList::placeWindow() {
    GtkAdjustment* outer = rowScrollerAdjustment(rowScroller_);
    const int32_t windowRows = windowModelCount(model_);
    if (count_ == 0 || windowRows == 0 || outer == nullptr) {
        innerValue_ = 0;
        keepInnerScroll();
        return;
    }
    const int height = rowHeight();
    const double value = gtk_adjustment_get_value(outer);
    const int32_t top = std::clamp(static_cast<int32_t>(value / height), 0, count_ - 1);
    const int32_t offset = std::clamp(top, 0, std::max(0, count_ - windowRows));
    innerValue_ = value - static_cast<double>(offset) * height;
    if (offset != offset_) {
        offset_ = offset;
        markedCursor_ = markedSelection_ = kUnknownMark;
        view_.queue_draw();
    }
    showMarks();
    keepInnerScroll();
}

void GtkChannelList::keepInnerScroll() {
    if (keepingScroll_ || std::abs(gtk_adjustment_get_value(inner_) - innerValue_) < 0.5) {
        return;
    }
    keepingScroll_ = true;
    gtk_adjustment_set_value(inner_, innerValue_);
    keepingScroll_ = false;
}

bool GtkChannelList::rowFullyShown(int32_t row) {
    GtkAdjustment* outer = rowScrollerAdjustment(rowScroller_);
    if (outer == nullptr) {
        return false;
    }
    const double value = gtk_adjustment_get_value(outer);
    const double top = static_cast<double>(row) * rowHeight();
    return top >= value - 0.5 && top + rowHeight() <= value + pageHeight() + 0.5;
}

void GtkChannelList::showMarks() {
    if (showingMarks_) {
        return;
    }
    const int32_t windowRows = windowModelCount(model_);
    auto inWindow = [&](int32_t row) { return row >= offset_ && row < offset_ + windowRows; };
    // The tree view's cursor only on a row wholly on screen: it would scroll to any other.
    const int32_t cursor =
        cursor_ >= 0 && inWindow(cursor_) && rowFullyShown(cursor_) ? cursor_ - offset_ : -1;
    const int32_t selected = selected_ >= 0 && inWindow(selected_) ? selected_ - offset_ : -1;
    showingMarks_ = true;
    if (cursor != markedCursor_) {
        GtkTreePath* path = windowRowPath(cursor >= 0 ? cursor : windowRows);
        Gtk::TreeViewColumn* focus = view_.get_column(cursorColumn_);
        gtk_tree_view_set_cursor(view_.gobj(), path,
                                 cursor >= 0 && focus != nullptr ? focus->gobj() : nullptr, FALSE);
        gtk_tree_path_free(path);
        markedCursor_ = cursor;
        markedSelection_ = kUnknownMark;  // the tree view selects its cursor's row
    }
    if (selected != markedSelection_) {
        GtkTreeSelection* selection = gtk_tree_view_get_selection(view_.gobj());
        if (selected >= 0) {
            GtkTreePath* path = windowRowPath(selected);
            gtk_tree_selection_select_path(selection, path);
            gtk_tree_path_free(path);
        } else {
            gtk_tree_selection_unselect_all(selection);
        }
        markedSelection_ = selected;
    }
    showingMarks_ = false;
}

}  // namespace vistrelle::gtk
