// A client of the accessibility bus in a process of its own, as a screen reader is: the tests
// ask it questions about the program's window, one line each on its standard input, and read
// one answer line each, "ok ..." or "error ...". It listens from the start to the events a
// screen reader follows and keeps those of tables and their cells.
//
//   find PID              the program's channel list, found without descending into tables
//   rows | columns        the table's size
//   cell ROW COLUMN       a cell's name
//   states ROW COLUMN     a cell's states among selected, focused, showing, defunct
//   header COLUMN         a column header's name
//   selected              the selected rows, separated by spaces
//   select ROW            selects a row through the table
//   at X Y                the cell at a point of the screen, as "ROW COLUMN"
//   centre ROW COLUMN     the screen point at the middle of a cell, as "X Y"
//   events                the events heard since the last time, as "TYPE[:ROW]" separated by
//                         spaces (ROW: the active descendant's row)
//   page                  the texts of the web view's document, separated by spaces
#include <atspi/atspi.h>
#include <glib-unix.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

AtspiAccessible* table = nullptr;
AtspiAccessible* program = nullptr;
std::vector<std::string> heard;

int32_t rowOfCell(AtspiAccessible* cell) {
    if (cell == nullptr || table == nullptr) {
        return -1;
    }
    AtspiTable* asTable = atspi_accessible_get_table_iface(table);
    const gint index = atspi_accessible_get_index_in_parent(cell, nullptr);
    const gint row =
        asTable != nullptr ? atspi_table_get_row_at_index(asTable, index, nullptr) : -1;
    if (asTable != nullptr) {
        g_object_unref(asTable);
    }
    return row;
}

void onEvent(AtspiEvent* event, void*) {
    const AtspiRole role = event->source != nullptr
                               ? atspi_accessible_get_role(event->source, nullptr)
                               : ATSPI_ROLE_INVALID;
    if (role == ATSPI_ROLE_TABLE || role == ATSPI_ROLE_TABLE_CELL) {
        std::string entry = event->type;
        if (entry == "object:active-descendant-changed" && G_VALUE_HOLDS_OBJECT(&event->any_data)) {
            auto* child = static_cast<AtspiAccessible*>(g_value_get_object(&event->any_data));
            entry += ":" + std::to_string(rowOfCell(child));
        }
        heard.push_back(entry);
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

AtspiAccessible* findTable(AtspiAccessible* node, int depth) {
    const AtspiRole role = atspi_accessible_get_role(node, nullptr);
    if (role == ATSPI_ROLE_TABLE) {
        gchar* name = atspi_accessible_get_name(node, nullptr);
        const bool found = name != nullptr && std::string(name) == "Channel list";
        g_free(name);
        return found ? ATSPI_ACCESSIBLE(g_object_ref(node)) : nullptr;
    }
    // A table's cells are not walked: there may be millions.
    const gint children = atspi_accessible_get_child_count(node, nullptr);
    if (depth > 30 || role == ATSPI_ROLE_TREE_TABLE || children > 500) {
        return nullptr;
    }
    for (gint i = 0; i < children; ++i) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(node, i, nullptr);
        if (child == nullptr) {
            continue;
        }
        AtspiAccessible* found = findTable(child, depth + 1);
        g_object_unref(child);
        if (found != nullptr) {
            return found;
        }
    }
    return nullptr;
}

std::string find(int pid) {
    if (table != nullptr) {
        g_object_unref(table);
        table = nullptr;
    }
    AtspiAccessible* desktop = atspi_get_desktop(0);
    const gint apps = atspi_accessible_get_child_count(desktop, nullptr);
    for (gint i = 0; i < apps && table == nullptr; ++i) {
        AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, nullptr);
        if (app == nullptr) {
            continue;
        }
        if (static_cast<int>(atspi_accessible_get_process_id(app, nullptr)) == pid) {
            // Every answer fresh from the program.
            atspi_accessible_set_cache_mask(app, ATSPI_CACHE_NONE);
            table = findTable(app, 0);
            if (program != nullptr) {
                g_object_unref(program);
            }
            program = ATSPI_ACCESSIBLE(g_object_ref(app));
        }
        g_object_unref(app);
    }
    g_object_unref(desktop);
    return table != nullptr ? "ok" : "error no channel list";
}

AtspiAccessible* cellAt(int row, int column) {
    AtspiTable* asTable = atspi_accessible_get_table_iface(table);
    AtspiAccessible* cell = atspi_table_get_accessible_at(asTable, row, column, nullptr);
    g_object_unref(asTable);
    return cell;
}

std::string stateNames(AtspiAccessible* cell) {
    AtspiStateSet* states = atspi_accessible_get_state_set(cell);
    std::string names;
    const std::pair<AtspiStateType, const char*> known[] = {
        {ATSPI_STATE_SELECTED, "selected"},
        {ATSPI_STATE_FOCUSED, "focused"},
        {ATSPI_STATE_SHOWING, "showing"},
        {ATSPI_STATE_DEFUNCT, "defunct"},
    };
    for (const auto& [state, name] : known) {
        if (atspi_state_set_contains(states, state)) {
            names += names.empty() ? name : std::string(" ") + name;
        }
    }
    g_object_unref(states);
    return names;
}

// The texts below a node, tables left out; `inDocument` once a web document is above.
void pageTexts(AtspiAccessible* node, int depth, bool inDocument, std::string& texts) {
    const AtspiRole role = atspi_accessible_get_role(node, nullptr);
    inDocument = inDocument || role == ATSPI_ROLE_DOCUMENT_WEB;
    if (inDocument && role != ATSPI_ROLE_DOCUMENT_WEB) {
        if (AtspiText* text = atspi_accessible_get_text_iface(node)) {
            gchar* content = atspi_text_get_text(text, 0, 200, nullptr);
            texts += std::string(texts.empty() ? "" : " ") + (content != nullptr ? content : "");
            g_free(content);
            g_object_unref(text);
            return;
        }
    }
    const gint children = atspi_accessible_get_child_count(node, nullptr);
    if (depth > 30 || role == ATSPI_ROLE_TABLE || children > 500) {
        return;
    }
    for (gint i = 0; i < children; ++i) {
        if (AtspiAccessible* child = atspi_accessible_get_child_at_index(node, i, nullptr)) {
            pageTexts(child, depth + 1, inDocument, texts);
            g_object_unref(child);
        }
    }
}

std::string answer(const std::string& line) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command == "find") {
        int pid = 0;
        words >> pid;
        return find(pid);
    }
    if (table == nullptr) {
        return "error find the list first";
    }
    if (command == "page") {
        std::string texts;
        pageTexts(program, 0, false, texts);
        for (char& c : texts) {
            c = c == '\n' || c == '\r' ? ' ' : c;  // one answer, one line
        }
        return texts.empty() ? "error no page" : "ok " + texts;
    }
    AtspiTable* asTable = atspi_accessible_get_table_iface(table);
    std::string result = "error unknown command";
    int row = -1;
    int column = -1;
    if (command == "rows") {
        result = "ok " + std::to_string(atspi_table_get_n_rows(asTable, nullptr));
    } else if (command == "columns") {
        result = "ok " + std::to_string(atspi_table_get_n_columns(asTable, nullptr));
    } else if (command == "cell" || command == "states" || command == "centre") {
        words >> row >> column;
        if (AtspiAccessible* cell = cellAt(row, column)) {
            if (command == "cell") {
                gchar* name = atspi_accessible_get_name(cell, nullptr);
                result = std::string("ok ") + (name != nullptr ? name : "");
                g_free(name);
            } else if (command == "states") {
                result = "ok " + stateNames(cell);
            } else {
                AtspiComponent* component = atspi_accessible_get_component_iface(cell);
                AtspiRect* box =
                    atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr);
                result = "ok " + std::to_string(box->x + box->width / 2) + " " +
                         std::to_string(box->y + box->height / 2);
                g_free(box);
                g_object_unref(component);
            }
            g_object_unref(cell);
        } else {
            result = "error no cell";
        }
    } else if (command == "header") {
        words >> column;
        AtspiAccessible* header = atspi_table_get_column_header(asTable, column, nullptr);
        gchar* name = header != nullptr ? atspi_accessible_get_name(header, nullptr) : nullptr;
        result = std::string("ok ") + (name != nullptr ? name : "");
        g_free(name);
        if (header != nullptr) {
            g_object_unref(header);
        }
    } else if (command == "selected") {
        GArray* rows = atspi_table_get_selected_rows(asTable, nullptr);
        result = "ok";
        for (guint i = 0; rows != nullptr && i < rows->len; ++i) {
            result += " " + std::to_string(g_array_index(rows, gint, i));
        }
        if (rows != nullptr) {
            g_array_free(rows, TRUE);
        }
    } else if (command == "select") {
        words >> row;
        result = atspi_table_add_row_selection(asTable, row, nullptr) ? "ok" : "error refused";
    } else if (command == "at") {
        int x = 0;
        int y = 0;
        words >> x >> y;
        AtspiComponent* component = atspi_accessible_get_component_iface(table);
        AtspiAccessible* cell = atspi_component_get_accessible_at_point(
            component, x, y, ATSPI_COORD_TYPE_SCREEN, nullptr);
        g_object_unref(component);
        if (cell != nullptr) {
            const gint index = atspi_accessible_get_index_in_parent(cell, nullptr);
            result = "ok " + std::to_string(rowOfCell(cell)) + " " +
                     std::to_string(atspi_table_get_column_at_index(asTable, index, nullptr));
            g_object_unref(cell);
        } else {
            result = "error nothing there";
        }
    } else if (command == "events") {
        // A call to the program first: the events it sent before the answer are all in.
        atspi_table_get_n_rows(asTable, nullptr);
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        result = "ok";
        for (const std::string& entry : heard) {
            result += " " + entry;
        }
        heard.clear();
    }
    g_object_unref(asTable);
    return result;
}

gboolean onInput(GIOChannel* channel, GIOCondition, gpointer) {
    gchar* line = nullptr;
    gsize length = 0;
    if (g_io_channel_read_line(channel, &line, &length, nullptr, nullptr) != G_IO_STATUS_NORMAL ||
        line == nullptr) {
        atspi_event_quit();
        return G_SOURCE_REMOVE;
    }
    std::string text(line, length);
    g_free(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    std::cout << answer(text) << std::endl;
    return G_SOURCE_CONTINUE;
}

}  // namespace

int main() {
    if (atspi_init() > 1) {
        std::cout << "error no accessibility bus" << std::endl;
        return 1;
    }
    AtspiEventListener* listener = atspi_event_listener_new(onEvent, nullptr, nullptr);
    for (const char* type : {"object:row-reordered", "object:model-changed", "object:row-deleted",
                             "object:row-inserted", "object:active-descendant-changed",
                             "object:selection-changed", "object:children-changed",
                             "object:state-changed:focused", "object:visible-data-changed"}) {
        atspi_event_listener_register(listener, type, nullptr);
    }
    GIOChannel* input = g_io_channel_unix_new(0);
    g_io_add_watch(input, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP), onInput, nullptr);
    std::cout << "ready" << std::endl;
    atspi_event_main();
    return 0;
}
