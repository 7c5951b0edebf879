// The program's windows for real: start-up, the list, the selector, the menus, both dialogs, the
// panel and the ways the program ends, driven through GTK's own signals and events.
#include <gtest/gtest.h>
#include <gtkmm/accellabel.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/radiobutton.h>

#include <map>

#include "gtk/message_box.h"
#include "gtk_fixture.h"
#include "ui/ids.h"

namespace vistrelle::gtk::testing {
namespace {

// Two runs of countries; one name in Windows-1252 (not UTF-8).
const std::string kAlpen =
    "Austria|Alpen Radio|128|Music|Folk|http://a.example/a.asx|http://www.example.org/a\r\n";
const std::string kAlpha = "Austria|alpha Jazz|320|Jazz||http://c.example/c.ram|\r\n";
const std::string kZeta = "Belgium|Zeta FM|64|News|Hits|http://b.example/b.m3u|\r\n";
const std::string kMid = "Belgium|Mid Talk|-5|Talk|Late|http://d.example/d.asx|\r\n";
const std::string kCafe = "France|Caf\xe9 Radio|96|Chanson|Paris|http://e.example/e.asx|\r\n";

using Texts = std::vector<std::string>;

class MainWindowTest : public GtkAppTest {
protected:
    void SetUp() override {
        GtkAppTest::SetUp();
        sandbox.write("channels.dat", kAlpen + kAlpha + kZeta + kMid + kCafe);
    }

    Gtk::Widget& control(int32_t window, int32_t id) {
        Gtk::Widget* widget = layer->ui().window(window)->control(id);
        EXPECT_NE(widget, nullptr) << id;
        return *widget;
    }
    Gtk::Button& button(int32_t window, int32_t id) {
        return dynamic_cast<Gtk::Button&>(control(window, id));
    }
    bool isOpen(int32_t window) { return layer->ui().isWindowOpen(window); }
    bool mainTakesInput() { return mainWindow().inputArea().get_sensitive(); }

    // Right-clicks a row and chooses an item of the pop-up menu that comes up.
    void choosePopupItem(int32_t row, int32_t menu, const std::string& label) {
        settle();
        rightClickRow(row);
        Gtk::Menu* popup = mainWindow().popupMenu(menu);
        ASSERT_TRUE(runUntil([popup] { return popup->get_visible(); })) << label;
        EXPECT_EQ(layer->list().selectedRow(), row);
        Gtk::MenuItem* item = popupItem(menu, label);
        ASSERT_NE(item, nullptr) << label;
        item->activate();
        popup->popdown();
        settle();
    }

    int32_t allocatedLeft(int32_t id) { return control(kMainWindow, id).get_allocation().get_x(); }
};

TEST_F(MainWindowTest, StartUpShowsTheCatalogueInTheWindow) {
    startProgram();
    MainWindow& window = mainWindow();
    EXPECT_EQ(window.get_title(), "Vistrelle v1.0 Beta 3");
    EXPECT_EQ(layer->ui().layoutSize(), (Size{500, 340}));
    EXPECT_EQ(window.get_icon_list().size(), 2u);

    EXPECT_EQ(columnTexts(0),
              (Texts{"Alpen Radio", "alpha Jazz", "Zeta FM", "Mid Talk", "Caf\u00e9 Radio"}));
    EXPECT_EQ(columnTexts(1), (Texts{"Music", "Jazz", "News", "Talk", "Chanson"}));
    EXPECT_EQ(columnTexts(2), (Texts{"128", "320", "64", "-5", "96"}));
    EXPECT_EQ(columnTexts(3), (Texts{"Folk", "", "Hits", "Late", "Paris"}));
    EXPECT_EQ(selectorItems(),
              (Texts{"Favorites", "All countries", "Austria", "Belgium", "France"}));
    EXPECT_EQ(layer->selector().widget().get_active_row_number(), 1);
    EXPECT_EQ(window.statusText(), " 5 channels loaded");
    EXPECT_EQ(layer->list().selectedRow(), -1);

    // The columns, their widths, and where the controls stand.
    const Texts titles{"Channel", "Category", "Bitrate", "Comment"};
    const int widths[] = {80, 70, 42, 180};
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(layer->list().column(i)->get_title(), titles[static_cast<size_t>(i)]);
        EXPECT_EQ(layer->list().column(i)->get_fixed_width(), widths[i]);
    }
    EXPECT_EQ(allocatedLeft(kWebView), 5);
    EXPECT_EQ(allocatedLeft(kPanelToggle), 278);
    EXPECT_EQ(allocatedLeft(kCountrySelector), 295);
    EXPECT_EQ(allocatedLeft(kChannelList), 295);
    EXPECT_EQ(control(kMainWindow, kChannelList).get_allocation().get_y(), 30);
    EXPECT_EQ(control(kMainWindow, kChannelList).get_allocation().get_width(), 200);
    EXPECT_EQ(button(kMainWindow, kPanelToggle).get_label(), "<");

    // Accessible names and roles for screen readers.
    EXPECT_EQ(layer->list().view().get_accessible()->get_name(), "Channel list");
    EXPECT_EQ(layer->selector().widget().get_accessible()->get_name(), "Country");
    // The button inside the selector, in the selector's box.
    std::vector<std::string> innerButtons;
    std::function<void(GtkWidget*)> collect = [&](GtkWidget* widget) {
        if (GTK_IS_TOGGLE_BUTTON(widget)) {
            innerButtons.push_back(atk_object_get_name(gtk_widget_get_accessible(widget)));
        } else if (GTK_IS_CONTAINER(widget)) {
            gtk_container_forall(
                GTK_CONTAINER(widget),
                [](GtkWidget* child, gpointer walk) {
                    (*static_cast<std::function<void(GtkWidget*)>*>(walk))(child);
                },
                &collect);
        }
    };
    collect(GTK_WIDGET(layer->selector().widget().gobj()));
    EXPECT_EQ(innerButtons, (Texts{"Country"}));
    EXPECT_EQ(window.statusBar().get_accessible()->get_role(), Atk::ROLE_STATUSBAR);
}

TEST_F(MainWindowTest, MenuBarHoldsTheTitlesAndItemsInOrder) {
    startProgram();
    Texts titles;
    std::map<std::string, Texts> items;
    for (Gtk::Widget* child : mainWindow().menuBar()->get_children()) {
        auto* title = dynamic_cast<Gtk::MenuItem*>(child);
        ASSERT_NE(title, nullptr);
        titles.push_back(title->get_label());
        for (Gtk::Widget* entry : title->get_submenu()->get_children()) {
            items[title->get_label()].push_back(dynamic_cast<Gtk::MenuItem*>(entry)->get_label());
        }
    }
    EXPECT_EQ(titles, (Texts{"File", "Options", "Help"}));
    EXPECT_EQ(items["File"], (Texts{"Update channel list", "Exit"}));
    EXPECT_EQ(items["Options"], (Texts{"Always on top", "Settings"}));
    EXPECT_EQ(items["Help"], (Texts{"Help...", "Check for updates", "About"}));

    // "F1" is drawn at the right of "Help...".
    auto* label = dynamic_cast<Gtk::AccelLabel*>(mainWindow().menuItem(kCmdHelp)->get_child());
    ASSERT_NE(label, nullptr);
    guint key = 0;
    Gdk::ModifierType modifiers{};
    label->get_accel(key, modifiers);
    EXPECT_EQ(key, static_cast<guint>(GDK_KEY_F1));
    EXPECT_NE(dynamic_cast<Gtk::CheckMenuItem*>(mainWindow().menuItem(kCmdAlwaysOnTop)), nullptr);

    for (auto [menu, last] : {std::pair{kPopupMenuChannel, "Add to favorites"},
                              std::pair{kPopupMenuFavorite, "Remove from favorites"}}) {
        Texts labels;
        for (Gtk::Widget* entry : mainWindow().popupMenu(menu)->get_children()) {
            labels.push_back(dynamic_cast<Gtk::MenuItem*>(entry)->get_label());
        }
        EXPECT_EQ(labels, (Texts{"Watch", "Visit homepage", last}));
    }
}

TEST_F(MainWindowTest, HeaderClicksSortByTheColumnsOwnIndex) {
    startProgram();
    layer->list().column(0)->clicked();
    settle();
    EXPECT_EQ(columnTexts(0),
              (Texts{"Alpen Radio", "Caf\u00e9 Radio", "Mid Talk", "Zeta FM", "alpha Jazz"}));
    layer->list().column(0)->clicked();
    settle();
    EXPECT_EQ(columnTexts(0),
              (Texts{"alpha Jazz", "Zeta FM", "Mid Talk", "Caf\u00e9 Radio", "Alpen Radio"}));

    // "Bitrate" dragged to the front still sorts by bitrate, highest first on its first click.
    layer->list().view().move_column_to_start(*layer->list().column(2));
    EXPECT_EQ(layer->list().columnAt(0), 2);
    layer->list().column(2)->clicked();
    settle();
    EXPECT_EQ(columnTexts(2), (Texts{"320", "128", "96", "64", "-5"}));
    layer->list().column(2)->clicked();
    settle();
    EXPECT_EQ(columnTexts(2), (Texts{"-5", "64", "96", "128", "320"}));
}

TEST_F(MainWindowTest, SelectorNarrowsTheView) {
    startProgram();
    Gtk::ComboBoxText& selector = layer->selector().widget();
    selector.set_active(3);  // Belgium
    EXPECT_TRUE(runUntil([&] { return columnTexts(0) == Texts{"Zeta FM", "Mid Talk"}; }));
    selector.set_active(4);  // France
    EXPECT_TRUE(runUntil([&] { return columnTexts(0) == Texts{"Caf\u00e9 Radio"}; }));
    selector.set_active(0);  // Favorites: none yet
    EXPECT_TRUE(runUntil([&] { return layer->list().shownRowCount() == 0; }));
    selector.set_active(1);
    EXPECT_TRUE(runUntil([&] { return layer->list().shownRowCount() == 5; }));
    EXPECT_EQ(mainWindow().statusText(), " 5 channels loaded");
}

TEST_F(MainWindowTest, FavouritesAddedThroughThePopupMenuAreWrittenAtExit) {
    startProgram();
    choosePopupItem(2, kPopupMenuChannel, "Add to favorites");
    choosePopupItem(4, kPopupMenuChannel, "Add to favorites");
    EXPECT_FALSE(sandbox.exists("favorites.dat"));
    ASSERT_TRUE(exitThroughMenu());
    // The catalogue's bytes, Windows-1252 included, go back unchanged.
    EXPECT_EQ(sandbox.read("favorites.dat"), kZeta + kCafe);
    EXPECT_FALSE(layer->ui().isWindowOpen(kMainWindow));
}

TEST_F(MainWindowTest, FavouritesRemovedThroughThePopupMenu) {
    sandbox.write("favorites.dat", kAlpha + kMid + kCafe);
    startProgram();
    layer->selector().widget().set_active(0);
    ASSERT_TRUE(runUntil([&] { return layer->list().shownRowCount() == 3; }));
    choosePopupItem(1, kPopupMenuFavorite, "Remove from favorites");
    EXPECT_EQ(columnTexts(0), (Texts{"alpha Jazz", "Caf\u00e9 Radio"}));
    // As the tree view does, the row that took the removed one's place is selected; screen
    // readers count the rows left.
    EXPECT_EQ(layer->list().selectedRow(), 1);
    EXPECT_EQ(atk_table_get_n_rows(ATK_TABLE(layer->list().table().object())), 2);
    ASSERT_TRUE(exitThroughMenu());
    EXPECT_EQ(sandbox.read("favorites.dat"), kAlpha + kCafe);
}

TEST_F(MainWindowTest, RightClickBesideTheRowsShowsNoMenu) {
    startProgram();
    layer->selector().widget().set_active(0);  // the empty Favorites view
    ASSERT_TRUE(runUntil([&] { return layer->list().shownRowCount() == 0; }));
    rightClickRow(0);
    settle();
    EXPECT_FALSE(mainWindow().popupMenu(kPopupMenuChannel)->get_visible());
    EXPECT_FALSE(mainWindow().popupMenu(kPopupMenuFavorite)->get_visible());
}

TEST_F(MainWindowTest, DoubleClickWatchesTheRow) {
    startProgram();
    doubleClickRow(1);
    EXPECT_TRUE(
        runUntil([&] { return mainWindow().statusText() == " Now watching: alpha Jazz"; }, 60000));
    EXPECT_EQ(layer->list().selectedRow(), 1);
}

TEST_F(MainWindowTest, EnterWatchesAndTheMenuKeysOpenTheMenuBelowTheSelectedRow) {
    startProgram();
    GtkChannelList& list = layer->list();
    list.view().grab_focus();  // the first row becomes the cursor's, and selected
    settle();
    pressKey(mainWindow(), GDK_KEY_Down);
    EXPECT_EQ(list.selectedRow(), 1);
    pressKey(mainWindow(), GDK_KEY_Return);
    EXPECT_TRUE(
        runUntil([&] { return mainWindow().statusText() == " Now watching: alpha Jazz"; }, 60000));

    struct Key {
        const char* name;
        guint keyval;
        GdkModifierType state;
    };
    for (const Key& key : {Key{"menu key", GDK_KEY_Menu, GdkModifierType(0)},
                           Key{"Shift+F10", GDK_KEY_F10, GDK_SHIFT_MASK}}) {
        SCOPED_TRACE(key.name);
        list.view().grab_focus();
        pressKey(mainWindow(), GDK_KEY_Down);
        pressKey(mainWindow(), key.keyval, key.state);
        Gtk::Menu* popup = mainWindow().popupMenu(kPopupMenuChannel);
        ASSERT_TRUE(runUntil([&] { return popup->get_visible(); }));
        settle();
        GdkRectangle row{};
        ASSERT_TRUE(list.rowArea(list.selectedRow(), row, false));
        int listX = 0, listY = 0;
        gdk_window_get_origin(gtk_tree_view_get_bin_window(list.view().gobj()), &listX, &listY);
        int menuX = 0, menuY = 0;
        popup->get_toplevel()->get_window()->get_origin(menuX, menuY);
        EXPECT_NEAR(menuY, listY + row.y + row.height, 8);
        EXPECT_NEAR(menuX, listX, 8);
        popup->popdown();
        settle();
    }
}

TEST_F(MainWindowTest, EnterAndTheMenuKeysDoNothingWithoutASelectedRow) {
    startProgram();
    layer->selector().widget().set_active(0);  // the empty Favorites view
    ASSERT_TRUE(runUntil([&] { return layer->list().shownRowCount() == 0; }));
    layer->list().view().grab_focus();
    for (guint key : {GDK_KEY_Return, GDK_KEY_KP_Enter, GDK_KEY_Menu}) {
        pressKey(mainWindow(), key);
    }
    pressKey(mainWindow(), GDK_KEY_F10, GDK_SHIFT_MASK);
    settle();
    EXPECT_FALSE(mainWindow().popupMenu(kPopupMenuFavorite)->get_visible());
    EXPECT_EQ(mainWindow().statusText(), " 5 channels loaded");
}

TEST_F(MainWindowTest, SettingsOkAppliesTheChoiceAndCancelDoesNot) {
    startProgram();
    chooseMenuItem(kCmdSettings);
    ASSERT_TRUE(runUntil([&] { return isOpen(kSettingsWindow); }));
    Gtk::Window& settings = *layer->ui().window(kSettingsWindow);
    EXPECT_EQ(settings.get_title(), " Settings");
    EXPECT_FALSE(settings.get_deletable());
    EXPECT_FALSE(settings.get_resizable());
    EXPECT_EQ(settings.get_transient_for(), &mainWindow());
    EXPECT_FALSE(mainTakesInput());
    EXPECT_TRUE(layer->ui().optionChecked(kOptionNewest));
    EXPECT_FALSE(layer->ui().optionChecked(kOption64));

    dynamic_cast<Gtk::RadioButton&>(control(kSettingsWindow, kOption64)).set_active(true);
    EXPECT_FALSE(layer->ui().optionChecked(kOptionNewest));
    button(kSettingsWindow, kSettingsOk).clicked();
    ASSERT_TRUE(runUntil([&] { return !isOpen(kSettingsWindow); }));
    EXPECT_EQ(app->playerVersion, 1);
    EXPECT_TRUE(mainTakesInput());

    chooseMenuItem(kCmdSettings);
    ASSERT_TRUE(runUntil([&] { return isOpen(kSettingsWindow); }));
    EXPECT_TRUE(layer->ui().optionChecked(kOption64));
    dynamic_cast<Gtk::RadioButton&>(control(kSettingsWindow, kOptionOlder)).set_active(true);
    button(kSettingsWindow, kSettingsCancel).clicked();
    ASSERT_TRUE(runUntil([&] { return !isOpen(kSettingsWindow); }));
    EXPECT_EQ(app->playerVersion, 1);
    EXPECT_TRUE(mainTakesInput());

    ASSERT_TRUE(exitThroughMenu());
    EXPECT_NE(sandbox.read("Config.ini").find("WMP Version"), std::string::npos);
}

TEST_F(MainWindowTest, TabAndShiftTabMoveThroughTheSettingsControlsInOrder) {
    startProgram();
    chooseMenuItem(kCmdSettings);
    ASSERT_TRUE(runUntil([&] { return isOpen(kSettingsWindow); }));
    settle();
    Gtk::Window& settings = *layer->ui().window(kSettingsWindow);
    control(kSettingsWindow, kOptionNewest).grab_focus();
    std::vector<int32_t> order;
    auto focused = [&]() {
        for (int32_t id = kOptionNewest; id <= kSettingsCancel; ++id) {
            if (settings.get_focus() == &control(kSettingsWindow, id)) {
                return id;
            }
        }
        return kNoControl;
    };
    for (int i = 0; i < 5; ++i) {
        pressKey(settings, GDK_KEY_Tab);
        order.push_back(focused());
    }
    pressKey(settings, GDK_KEY_ISO_Left_Tab, GDK_SHIFT_MASK);
    order.push_back(focused());
    pressKey(settings, GDK_KEY_ISO_Left_Tab, GDK_SHIFT_MASK);
    order.push_back(focused());
    EXPECT_EQ(order, (std::vector<int32_t>{kOption64, kOptionOlder, kSettingsOk, kSettingsCancel,
                                           kOptionNewest, kSettingsCancel, kSettingsOk}));
}

TEST_F(MainWindowTest, AboutOpensAndClosesByButtonAndByCloseRequest) {
    startProgram();
    chooseMenuItem(kCmdAbout);
    ASSERT_TRUE(runUntil([&] { return isOpen(kAboutWindow); }));
    Gtk::Window& about = *layer->ui().window(kAboutWindow);
    EXPECT_EQ(about.get_title(), " About");
    EXPECT_EQ(dynamic_cast<Gtk::Label&>(control(kAboutWindow, kAboutProduct)).get_text(),
              "Vistrelle");
    EXPECT_TRUE(
        control(kAboutWindow, kAboutPanel).get_style_context()->has_class("vistrelle-white"));
    EXPECT_FALSE(mainTakesInput());
    button(kAboutWindow, kAboutClose).clicked();
    ASSERT_TRUE(runUntil([&] { return !isOpen(kAboutWindow); }));
    EXPECT_TRUE(mainTakesInput());

    // The window manager's close of the About window closes only it.
    chooseMenuItem(kCmdAbout);
    ASSERT_TRUE(runUntil([&] { return isOpen(kAboutWindow); }));
    settle();
    layer->ui().window(kAboutWindow)->close();
    ASSERT_TRUE(runUntil([&] { return !isOpen(kAboutWindow); }));
    settle();
    EXPECT_FALSE(ended);
    EXPECT_TRUE(mainTakesInput());
}

TEST_F(MainWindowTest, PanelToggleNarrowsTheWindowBy205AndBack) {
    startProgram();
    int width = 0;
    int height = 0;
    mainWindow().get_size(width, height);
    button(kMainWindow, kPanelToggle).clicked();
    ASSERT_TRUE(runUntil([&] { return layer->ui().layoutSize().width == 295; }));
    ASSERT_TRUE(runUntil([&] { return allocatedLeft(kPanelToggle) == 295 - 17; }));
    EXPECT_EQ(button(kMainWindow, kPanelToggle).get_label(), ">");
    EXPECT_FALSE(control(kMainWindow, kChannelList).get_visible());
    EXPECT_FALSE(control(kMainWindow, kCountrySelector).get_visible());
    EXPECT_EQ(layer->ui().layoutSize().height, 340);

    button(kMainWindow, kPanelToggle).clicked();
    ASSERT_TRUE(runUntil([&] { return layer->ui().layoutSize().width == 500; }));
    ASSERT_TRUE(runUntil([&] { return allocatedLeft(kChannelList) == 295; }));
    EXPECT_EQ(button(kMainWindow, kPanelToggle).get_label(), "<");
    EXPECT_TRUE(control(kMainWindow, kChannelList).get_visible());
    int after = 0;
    mainWindow().get_size(after, height);
    EXPECT_EQ(after, width);
}

TEST_F(MainWindowTest, AlwaysOnTopTogglesTheCheckMark) {
    startProgram();
    auto* item = dynamic_cast<Gtk::CheckMenuItem*>(mainWindow().menuItem(kCmdAlwaysOnTop));
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->get_active());
    item->activate();
    EXPECT_TRUE(runUntil([&] { return item->get_active(); }));
    EXPECT_TRUE(layer->ui().menuItemChecked(kCmdAlwaysOnTop));
    item->activate();
    EXPECT_TRUE(runUntil([&] { return !item->get_active(); }));
    EXPECT_FALSE(layer->ui().menuItemChecked(kCmdAlwaysOnTop));
}

TEST_F(MainWindowTest, CheckForUpdatesShowsItsMessageAndReturns) {
    startProgram();
    answerMessageBox(GTK_RESPONSE_OK);
    chooseMenuItem(kCmdCheckForUpdates);
    ASSERT_TRUE(runUntil([&] { return !messageTexts.empty(); }));
    settle();
    EXPECT_EQ(messageTitles, (Texts{"Info"}));
    EXPECT_EQ(messageTexts, (Texts{"Feature not implemented yet!"}));
    EXPECT_EQ(currentMessageBox(), nullptr);
    EXPECT_TRUE(mainTakesInput());
    EXPECT_FALSE(ended);
}

TEST_F(MainWindowTest, CloseRequestEndsTheProgramWithTheSameFilesAsExit) {
    std::map<std::string, std::string> results[2];
    for (int run = 0; run < 2; ++run) {
        sandbox.write("favorites.dat", kMid);
        ended = false;
        startProgram();
        choosePopupItem(0, kPopupMenuChannel, "Add to favorites");
        if (run == 0) {
            ASSERT_TRUE(exitThroughMenu());
        } else {
            mainWindow().close();
            ASSERT_TRUE(runUntil([&] { return ended; }));
        }
        for (const std::string& name : sandbox.entries()) {
            results[run][name] = sandbox.read(name);
        }
        app.reset();
        layer.reset();
        std::filesystem::remove(sandbox.path() / "Config.ini");
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[1]["favorites.dat"], kMid + kAlpen);
}

}  // namespace
}  // namespace vistrelle::gtk::testing
