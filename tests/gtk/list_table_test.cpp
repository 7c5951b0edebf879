// The two details of GTK that channelList's accessible table relies on. If a GTK update changes
// either, these fail rather than a screen reader's user:
//  - GTK's per-row accessibility hooks (rows added or removed, selection, cursor) reach only an
//    accessible GTK made itself, so that an accessible handed out through the widget's
//    get_accessible virtual hears none of them;
//  - GTK's code that does reach the widget's accessible through gtk_widget_get_accessible (a row
//    changed, a new model) takes it for its own tree view accessible, so that one derived from it
//    keeps that code working.
#include <gtest/gtest.h>
#include <gtk/gtk-a11y.h>
#include <gtkmm/liststore.h>

#include "gtk/channel_list.h"
#include "gtk/event_pump.h"
#include "gtk_fixture.h"

namespace vistrelle::gtk::testing {
namespace {

constexpr int kRows = 500;

// Counts the emissions of an ATK signal on any object, and GLib's warnings, while it lives.
class Heard {
public:
    explicit Heard(const char* signal) {
        id_ = g_signal_lookup(signal, ATK_TYPE_OBJECT);
        hook_ = g_signal_add_emission_hook(
            id_, 0,
            [](GSignalInvocationHint*, guint, const GValue*, gpointer count) -> gboolean {
                ++*static_cast<int*>(count);
                return TRUE;
            },
            &emissions, nullptr);
        for (const char* domain : {"GLib-GObject", "Gtk", "Atk"}) {
            logs_.emplace_back(
                domain,
                g_log_set_handler(
                    domain, static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL),
                    [](const gchar*, GLogLevelFlags, const gchar*, gpointer count) {
                        ++*static_cast<int*>(count);
                    },
                    &warnings));
        }
    }
    ~Heard() {
        g_signal_remove_emission_hook(id_, hook_);
        for (const auto& [domain, handler] : logs_) {
            g_log_remove_handler(domain, handler);
        }
    }
    int emissions = 0;
    int warnings = 0;

private:
    guint id_ = 0;
    gulong hook_ = 0;
    std::vector<std::pair<const char*, guint>> logs_;
};

GtkListStore* storeOfRows() {
    GtkListStore* store = gtk_list_store_new(1, G_TYPE_STRING);
    for (int row = 0; row < kRows; ++row) {
        gtk_list_store_insert_with_values(store, nullptr, -1, 0, "row", -1);
    }
    return store;
}

class ListTableTest : public ::testing::Test {
protected:
    void SetUp() override { initGtk(); }
};

TEST_F(ListTableTest, GtksPerRowHooksMissTheTableAndItsOwnCodeFindsItsAccessibleInIt) {
    GtkListStore* store = storeOfRows();
    // GTK's own accessible hears every cell of every row come.
    Gtk::TreeView plain;
    plain.append_column("Text", *Gtk::manage(new Gtk::CellRendererText()));
    plain.get_accessible();
    {
        Heard added("children-changed");
        gtk_tree_view_set_model(plain.gobj(), GTK_TREE_MODEL(store));
        EXPECT_GE(added.emissions, kRows);
        gtk_tree_view_set_model(plain.gobj(), nullptr);  // heard no more below
    }
    // The list's table hears none of it, nor of the selection and cursor GTK marks row by row.
    EventRouter router;
    GtkChannelList list(router);
    AtkObject* table = list.view().get_accessible()->gobj();
    EXPECT_EQ(G_OBJECT_TYPE(table), ListTable::type());
    int selectionChanges = 0;
    g_signal_connect_swapped(table, "selection-changed", G_CALLBACK(+[](int* count) { ++*count; }),
                             &selectionChanges);
    {
        Heard added("children-changed");
        Heard descendant("active-descendant-changed");
        gtk_tree_view_set_model(list.view().gobj(), GTK_TREE_MODEL(store));
        GtkTreePath* path = gtk_tree_path_new_from_indices(kRows / 2, -1);
        gtk_tree_view_set_cursor(list.view().gobj(), path, nullptr, FALSE);
        gtk_tree_path_free(path);
        EXPECT_EQ(added.emissions, 0);
        EXPECT_EQ(descendant.emissions, 0);
        EXPECT_EQ(selectionChanges, 0);
    }
    gtk_tree_view_set_model(list.view().gobj(), nullptr);

    // GTK's own code finds its tree view accessible in the table.
    ASSERT_TRUE(G_TYPE_CHECK_INSTANCE_TYPE(table, GTK_TYPE_TREE_VIEW_ACCESSIBLE));
    {
        Heard changed("visible-data-changed");
        // A new model and a changed row: GTK casts the widget's accessible to its own type and
        // looks into what that type keeps.
        gtk_tree_view_set_model(list.view().gobj(), GTK_TREE_MODEL(store));
        GtkTreeIter iter;
        gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(store), &iter, nullptr, 3);
        gtk_list_store_set(store, &iter, 0, "changed", -1);
        EXPECT_EQ(changed.warnings, 0);
        EXPECT_GE(changed.emissions, 1);
    }
    // The table still answers from the list's own rows (none yet), not from GTK's.
    EXPECT_EQ(atk_table_get_n_rows(ATK_TABLE(table)), 0);
    EXPECT_EQ(atk_object_get_n_accessible_children(table), 4);  // the column headers
    gtk_tree_view_set_model(list.view().gobj(), nullptr);
    g_object_unref(store);
}

}  // namespace
}  // namespace vistrelle::gtk::testing
