// channelList's moves, the cursor and the selection in the program's rows, what its accessible
// table asks, and its mouse, keys and type-ahead find.
#include <glibmm/main.h>

#include <algorithm>
#include <cmath>

#include "gtk/channel_list.h"
#include "gtk/event_pump.h"
#include "ui/display_text.h"
#include "ui/ids.h"
#include "ui/texts.h"
#include "ui/window_defs.h"

namespace vistrelle::gtk {

namespace {

GdkRGBA toRgba(const Rgb& colour) {
    return GdkRGBA{colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0, 1.0};
}

}  // namespace

// --- Moves

void GtkChannelList::moveCursor(int32_t row, int32_t column, bool select, Reveal how) {
    if (row < 0 || row >= count_) {
        return;
    }
    const int32_t oldRow = cursor_;
    const int32_t oldColumn = cursorColumn_;
    const int32_t oldSelected = selected_;
    cursor_ = row;
    if (column >= 0) {
        cursorColumn_ = column;
    }
    if (select) {
        selected_ = row;
    }
    if (cursorColumn_ != oldColumn) {
        markedCursor_ = kUnknownMark;
    }
    reveal(row, how);
    showMarks();
    if (selected_ != oldSelected) {
        view_.queue_draw();
    }
    if (table_) {
        // As GTK's own table tells it: the selection first, then the cursor's cell.
        if (selected_ != oldSelected) {
            table_->selectionChanged();
        }
        if (cursor_ != oldRow || cursorColumn_ != oldColumn) {
            table_->cursorMoved(oldRow, oldColumn);
        }
    }
}

void GtkChannelList::setSelected(int32_t row) {
    if (row == selected_ || row >= count_) {
        return;
    }
    selected_ = row;
    showMarks();
    view_.queue_draw();
    if (table_) {
        table_->selectionChanged();
    }
}

void GtkChannelList::reveal(int32_t row, Reveal how) {
    GtkAdjustment* outer = rowScrollerAdjustment(rowScroller_);
    if (how == Reveal::No || outer == nullptr) {
        return;
    }
    const double height = rowHeight();
    const double page = pageHeight();
    const double top = static_cast<double>(row) * height;
    const double value = gtk_adjustment_get_value(outer);
    if (how == Reveal::Centre) {
        scrollTo(top - (page - height) / 2);
    } else if (top < value) {
        scrollTo(top);
    } else if (top + height > value + page) {
        scrollTo(top + height - page);
    }
}

void GtkChannelList::revealColumn(int32_t column) {
    Gtk::TreeViewColumn* shown = view_.get_column(column);
    Glib::RefPtr<Gtk::Adjustment> across = view_.get_hadjustment();
    if (shown == nullptr || !across || windowModelCount(model_) == 0) {
        return;
    }
    GdkRectangle area{};
    GtkTreePath* first = windowRowPath(0);
    gtk_tree_view_get_background_area(view_.gobj(), first, shown->gobj(), &area);
    gtk_tree_path_free(first);
    const double value = across->get_value();
    const double left = value + area.x;
    const double page = across->get_page_size();
    if (left < value || area.width > page) {
        across->set_value(left);
    } else if (left + area.width > value + page) {
        across->set_value(left + area.width - page);
    }
}

bool GtkChannelList::rowAt(int x, int y, int32_t& row, int32_t& column) {
    GtkTreePath* path = nullptr;
    GtkTreeViewColumn* at = nullptr;
    if (!gtk_tree_view_get_path_at_pos(view_.gobj(), x, y, &path, &at, nullptr, nullptr)) {
        return false;
    }
    row = offset_ + gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    column = 0;
    for (int32_t position = 0; Gtk::TreeViewColumn* shown = view_.get_column(position);
         ++position) {
        if (shown->gobj() == at) {
            column = position;
        }
    }
    return row < count_;
}

bool GtkChannelList::rowArea(int32_t row, GdkRectangle& area, bool revealRow) {
    if (row < 0 || row >= count_) {
        return false;
    }
    if (revealRow) {
        reveal(row, Reveal::Nearest);
    }
    GtkAdjustment* outer = rowScrollerAdjustment(rowScroller_);
    GdkWindow* bin = gtk_tree_view_get_bin_window(view_.gobj());
    if (outer == nullptr || bin == nullptr) {
        return false;
    }
    area.x = 0;
    area.width = gdk_window_get_width(bin);
    area.height = rowHeight();
    area.y = static_cast<int>(
        std::lround(static_cast<double>(row) * area.height - gtk_adjustment_get_value(outer)));
    return area.y + area.height > 0 && area.y < gdk_window_get_height(bin);
}

// --- What the accessible table asks

int32_t GtkChannelList::tableColumnCount() {
    int32_t shown = 0;
    for (Gtk::TreeViewColumn* column : columns_) {
        shown += column->get_visible() ? 1 : 0;
    }
    return shown;
}

std::string GtkChannelList::tableCellText(int32_t row, int32_t column) {
    return cellText(row, columnAt(column));
}

GtkWidget* GtkChannelList::tableColumnHeader(int32_t column) {
    Gtk::TreeViewColumn* shown = view_.get_column(column);
    Gtk::Widget* button = shown != nullptr ? shown->get_button() : nullptr;
    return button != nullptr ? button->gobj() : nullptr;
}

std::string GtkChannelList::tableColumnTitle(int32_t column) {
    Gtk::TreeViewColumn* shown = view_.get_column(column);
    return shown != nullptr ? std::string(shown->get_title()) : std::string();
}

bool GtkChannelList::tableSelectRow(int32_t row) {
    if (row >= count_) {
        return false;
    }
    setSelected(row);
    return true;
}

bool GtkChannelList::tableFocusCell(int32_t row, int32_t column) {
    if (row < 0 || row >= count_) {
        return false;
    }
    moveCursor(row, column, true, Reveal::Nearest);
    view_.grab_focus();
    return true;
}

bool GtkChannelList::tableCellArea(int32_t row, int32_t column, GdkRectangle& area) {
    Gtk::TreeViewColumn* shown = view_.get_column(column);
    GdkRectangle rowRect{};
    if (shown == nullptr || windowModelCount(model_) == 0) {
        return false;
    }
    rowArea(row, rowRect, false);
    GtkTreePath* first = windowRowPath(0);
    gtk_tree_view_get_background_area(view_.gobj(), first, shown->gobj(), &area);
    gtk_tree_path_free(first);
    area.y = rowRect.y;
    area.height = rowRect.height;
    return row >= 0 && row < count_;
}

bool GtkChannelList::tableCellAt(int x, int y, int32_t& row, int32_t& column) {
    return rowAt(x, y, row, column);
}

// --- Mouse and keys

bool GtkChannelList::onButtonPress(GdkEventButton* event) {
    Glib::RefPtr<Gdk::Window> bin = view_.get_bin_window();
    if (!bin || event->window != bin->gobj()) {
        return false;  // the header
    }
    hideSearch();
    keepTrigger(lastButton_, gdk_event_copy(reinterpret_cast<GdkEvent*>(event)));

    int32_t row = -1;
    int32_t column = -1;
    const bool onRow = rowAt(static_cast<int>(event->x), static_cast<int>(event->y), row, column);
    const bool press = event->type == GDK_BUTTON_PRESS;
    if (press && (event->button == 1 || event->button == 3)) {
        // The row under the pointer becomes the selected one; the list takes the focus.
        if (onRow) {
            moveCursor(row, column, true, Reveal::Nearest);
        } else if (event->button == 3) {
            setSelected(-1);
        }
        view_.grab_focus();
        if (event->button == 3) {
            router_.controlEvent(kChannelList, ControlAction::RightClick);
        }
        return true;
    }
    if (event->type == GDK_2BUTTON_PRESS && event->button == 1) {
        if (onRow) {
            router_.controlEvent(kChannelList, ControlAction::DoubleClick);
        }
        return true;
    }
    return event->button == 1 || event->button == 3;
}

bool GtkChannelList::onNavigationKey(GdkEventKey* event) {
    const auto modifiers =
        event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK | GDK_SUPER_MASK | GDK_META_MASK);
    if ((modifiers & ~GDK_CONTROL_MASK) != 0) {
        return false;
    }
    // Control moves the cursor without selecting, as in the tree view.
    const bool select = (modifiers & GDK_CONTROL_MASK) == 0;
    const int32_t last = count_ - 1;
    // Without a cursor, a move puts it on the first row (the last for End).
    auto step = [&](int32_t target, int32_t withoutCursor = 0) {
        if (count_ == 0) {
            return true;
        }
        target = std::clamp(cursor_ < 0 ? withoutCursor : target, 0, last);
        if (target == cursor_ && (!select || selected_ == cursor_)) {
            view_.error_bell();
            return true;
        }
        moveCursor(target, -1, select, Reveal::Nearest);
        return true;
    };
    switch (event->keyval) {
        case GDK_KEY_Up:
        case GDK_KEY_KP_Up:
            return step(cursor_ - 1);
        case GDK_KEY_Down:
        case GDK_KEY_KP_Down:
            return step(cursor_ + 1);
        case GDK_KEY_Page_Up:
        case GDK_KEY_KP_Page_Up:
        case GDK_KEY_Page_Down:
        case GDK_KEY_KP_Page_Down: {
            // A page, the view scrolled by as much, as in the tree view.
            const bool down =
                event->keyval == GDK_KEY_Page_Down || event->keyval == GDK_KEY_KP_Page_Down;
            const int32_t rows = down ? pageRows() : -pageRows();
            if (GtkAdjustment* outer = rowScrollerAdjustment(rowScroller_); outer && cursor_ >= 0) {
                scrollTo(gtk_adjustment_get_value(outer) + static_cast<double>(rows) * rowHeight());
            }
            return step(cursor_ + rows);
        }
        case GDK_KEY_Home:
        case GDK_KEY_KP_Home:
            return step(0);
        case GDK_KEY_End:
        case GDK_KEY_KP_End:
            return step(last, last);
        case GDK_KEY_Left:
        case GDK_KEY_KP_Left:
        case GDK_KEY_Right:
        case GDK_KEY_KP_Right: {
            // From cell to cell of the cursor's row.
            const bool right = event->keyval == GDK_KEY_Right || event->keyval == GDK_KEY_KP_Right;
            const int32_t column =
                std::clamp(cursorColumn_ + (right ? 1 : -1), 0, tableColumnCount() - 1);
            if (cursor_ < 0 || column == cursorColumn_) {
                view_.error_bell();
                return true;
            }
            moveCursor(cursor_, column, false, Reveal::Nearest);
            revealColumn(column);
            return true;
        }
        case GDK_KEY_space:
        case GDK_KEY_KP_Space:
            if (cursor_ >= 0) {
                setSelected(!select && selected_ == cursor_ ? -1 : cursor_);
            }
            return true;
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_ISO_Enter:
            // The cursor's row is selected first, as the tree view does before it activates it.
            if (cursor_ >= 0) {
                setSelected(cursor_);
            }
            router_.controlEvent(kChannelList, ControlAction::EnterKey);
            return true;
        default:
            return false;
    }
}

bool GtkChannelList::onKeyPress(GdkEventKey* event) {
    // Kept for a pop-up menu that this key may ask for.
    keepTrigger(lastKey_, gdk_event_copy(reinterpret_cast<GdkEvent*>(event)));
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
        return onNavigationKey(event);
    }
    if (!search_.searching(now)) {
        hideSearch();  // Escape
        return true;
    }
    if (outcome.row >= 0) {
        moveCursor(outcome.row, -1, true, Reveal::Centre);
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
    const int32_t row = list->offset_ + windowRowOf(iter);
    const ListRows* rows = list->rows_;
    if (rows == nullptr || row < 0 || row >= list->count_ || row >= rows->count()) {
        g_object_set(cell, "text", "", "cell-background-set", FALSE, "foreground-set", FALSE,
                     nullptr);
        return;
    }
    std::string text = displayText(rows->columnText(row, context->column));
    g_object_set(cell, "text", text.c_str(), nullptr);

    RowColours colours = rows->colours(row);
    auto column = static_cast<size_t>(context->column);
    // A selected row keeps the selection colour, so that the selection stays visible.
    if (colours.background[column] && row != list->selected_) {
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
