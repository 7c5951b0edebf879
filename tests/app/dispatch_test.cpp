// Menu commands, control events and the About window.
#include <gtest/gtest.h>

#include <algorithm>

#include "app_fixture.h"
#include "settings/launch.h"
#include "ui/window_defs.h"

namespace vistrelle::testing {
namespace {

using DispatchTest = AppTest;

TEST_F(DispatchTest, OnlyExitEndsTheLoop) {
    startWithSamples();
    for (int32_t command : {-1, 0, 2, 4, 5, 7, 8, 9, 10, 13101}) {
        EXPECT_FALSE(app.dispatchMenuCommand(command)) << command;
    }
    EXPECT_TRUE(app.dispatchMenuCommand(kCmdExit));
}

TEST_F(DispatchTest, UnknownCommandsDoNothing) {
    startWithSamples();
    ui.list.selected = 0;
    for (int32_t command : {-1, 10, 11, 13101}) {
        app.dispatchMenuCommand(command);
    }
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(launches.started.empty());
    EXPECT_TRUE(launches.opened.empty());
}

TEST_F(DispatchTest, UpdateChannelListPassesTheSignedWindowHandle) {
    const struct {
        int64_t handle;
        const char* parameter;
    } cases[] = {
        {4242, "4242"},
        {0, "0"},
        {0x7FFFFFFF, "2147483647"},
        {0xFFFFFFFF, "-1"},  // the 32-bit value, taken as signed
        {0x80000000, "-2147483648"},
    };
    startWithSamples();
    for (const auto& c : cases) {
        ui.handle = c.handle;
        launches.started.clear();
        app.dispatchMenuCommand(kCmdUpdateChannelList);
        ASSERT_EQ(launches.started.size(), 1u);
        EXPECT_EQ(launches.started[0].program, launches.updaterName);
        EXPECT_EQ(launches.started[0].parameter, c.parameter);
        EXPECT_FALSE(launches.started[0].wait);
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DispatchTest, UpdaterNotFoundWarnsAndReloadsNothing) {
    startWithSamples();
    launches.startResults = {false, false, false};
    sandbox.write("channels.dat", "Denmark|DR P1|128|News||http://dr.example/p1.asx|\r\n");
    app.dispatchMenuCommand(kCmdUpdateChannelList);
    EXPECT_EQ(ui.messages, (std::vector<MessageBoxCall>{
                               {"Warning!", "Channel updater not found!", MessageIcon::Warning}}));
    EXPECT_EQ(shownNames(), (std::vector<std::string>{"NRK P1", "NRK P2", "SR P1"}));
    EXPECT_EQ(app.catalog.allChannels.size(), 3u);
}

TEST_F(DispatchTest, AlwaysOnTopFlipsTheMarkAndTheWindow) {
    startWithSamples();
    app.dispatchMenuCommand(kCmdAlwaysOnTop);
    EXPECT_TRUE(ui.checked[kCmdAlwaysOnTop]);
    EXPECT_TRUE(ui.topmost);
    app.dispatchMenuCommand(kCmdAlwaysOnTop);
    EXPECT_FALSE(ui.checked[kCmdAlwaysOnTop]);
    EXPECT_FALSE(ui.topmost);
}

TEST_F(DispatchTest, SettingsOpensWithTheCurrentChoiceAndOkCancelApplyIt) {
    startWithSamples();
    app.playerVersion = 1;
    app.dispatchMenuCommand(kCmdSettings);
    ASSERT_TRUE(ui.open[kSettingsWindow]);
    EXPECT_FALSE(ui.enabled[kMainWindow]);
    EXPECT_TRUE(ui.options[kOption64]);

    ui.setOptionChecked(kOptionOlder, true);
    app.dispatchControlEvent(kSettingsCancel, ControlAction::Used);
    EXPECT_EQ(app.playerVersion, 1);
    EXPECT_FALSE(ui.open[kSettingsWindow]);
    EXPECT_TRUE(ui.enabled[kMainWindow]);

    app.dispatchMenuCommand(kCmdSettings);
    ui.setOptionChecked(kOptionOlder, true);
    app.dispatchControlEvent(kSettingsOk, ControlAction::Used);
    EXPECT_EQ(app.playerVersion, 2);
    EXPECT_FALSE(ui.open[kSettingsWindow]);
    EXPECT_TRUE(ui.enabled[kMainWindow]);
}

TEST_F(DispatchTest, OkAndCancelWithoutAnOpenSettingsWindowChangeNothing) {
    startWithSamples();
    app.dispatchMenuCommand(kCmdAbout);
    ui.calls.clear();
    app.playerVersion = 1;
    app.dispatchControlEvent(kSettingsOk, ControlAction::Used);
    app.dispatchControlEvent(kSettingsCancel, ControlAction::Used);
    EXPECT_EQ(app.playerVersion, 1);
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_FALSE(ui.enabled[kMainWindow]);  // the About window still holds it
}

TEST_F(DispatchTest, HelpShowsTheFileThenTheRightNotice) {
    const struct {
        bool available;
        const char* notice;
    } cases[] = {
        {true, "This is an old version of the help file, a new will be coming soon!"},
        {false, "Help file was not found!"},
    };
    startWithSamples();
    for (const auto& c : cases) {
        launches.helpAvailable = c.available;
        launches.helpShown.clear();
        ui.messages.clear();
        app.dispatchMenuCommand(kCmdHelp);
        EXPECT_EQ(launches.helpShown, (std::vector<std::string>{"Help.chm"}));
        EXPECT_EQ(ui.messages,
                  (std::vector<MessageBoxCall>{{"Info", c.notice, MessageIcon::Information}}));
    }
}

TEST_F(DispatchTest, CheckForUpdatesOnlyShowsItsNotice) {
    startWithSamples();
    ui.list.selected = 1;
    app.dispatchMenuCommand(kCmdCheckForUpdates);
    EXPECT_EQ(ui.messages, (std::vector<MessageBoxCall>{{"Info", "Feature not implemented yet!",
                                                         MessageIcon::Information}}));
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_TRUE(launches.started.empty());
    EXPECT_TRUE(ui.web.log.empty());
}

TEST_F(DispatchTest, WatchWritesThePageOfTheSelectedChannel) {
    startWithSamples();
    ui.list.selected = 2;
    app.dispatchMenuCommand(kCmdWatch);
    EXPECT_EQ(ui.statusText, " Now watching: SR P1");
    EXPECT_NE(ui.web.shown.find("http://radio.example/sr.ram"), std::string::npos);
    EXPECT_EQ(ui.list.background(2), kWatchedRowColour);
}

TEST_F(DispatchTest, SelectionGuardsOfTheRowCommands) {
    // The pop-ups appear only over a selected row, but a selection that is missing or past the
    // end (the view changed in between) must be harmless.
    startWithSamples();
    const std::string statusBefore = ui.statusText;
    for (int32_t row : {-1, 3, 100}) {
        SCOPED_TRACE(row);
        ui.list.selected = row;
        for (int32_t command : {kCmdWatch, kCmdFavorite, kCmdVisitHomepage}) {
            app.dispatchMenuCommand(command);
        }
        for (ControlAction action : {ControlAction::RightClick, ControlAction::DoubleClick,
                                     ControlAction::EnterKey, ControlAction::MenuKey}) {
            app.dispatchControlEvent(kChannelList, action);
        }
    }
    EXPECT_EQ(ui.statusText, statusBefore);
    EXPECT_TRUE(ui.web.log.empty());
    EXPECT_TRUE(ui.popups.empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(launches.opened.empty());
    EXPECT_TRUE(app.catalog.favoriteChannels.empty());
}

TEST_F(DispatchTest, TheSelectorDecidesBetweenAddingAndRemovingAFavorite) {
    startWithSamples();
    ui.list.selected = 2;
    app.dispatchMenuCommand(kCmdFavorite);  // All countries: adds
    selectCountry(2);                       // Norway
    ui.list.selected = 1;
    app.dispatchMenuCommand(kCmdFavorite);  // a country: adds
    EXPECT_EQ(favoriteNames(), (std::vector<std::string>{"SR P1", "NRK P2"}));

    selectCountry(0);  // Favorites: removes
    ASSERT_EQ(shownNames(), (std::vector<std::string>{"SR P1", "NRK P2"}));
    ui.list.selected = 0;
    app.dispatchMenuCommand(kCmdFavorite);
    EXPECT_EQ(favoriteNames(), (std::vector<std::string>{"NRK P2"}));
    EXPECT_EQ(shownNames(), (std::vector<std::string>{"NRK P2"}));
    EXPECT_EQ(ui.list.rowCount(), 1);
}

TEST_F(DispatchTest, VisitHomepage) {
    startWithSamples();
    ui.list.selected = 1;  // NRK P2 has none
    app.dispatchMenuCommand(kCmdVisitHomepage);
    EXPECT_EQ(ui.messages, (std::vector<MessageBoxCall>{{"Info!", "This channel has no homepage.",
                                                         MessageIcon::Information}}));
    EXPECT_TRUE(launches.opened.empty());
    EXPECT_TRUE(launches.started.empty());

    ui.messages.clear();
    ui.list.selected = 0;
    app.dispatchMenuCommand(kCmdVisitHomepage);
    EXPECT_EQ(launches.opened, (std::vector<std::string>{"http://nrk.example/"}));
    EXPECT_TRUE(ui.messages.empty());

    launches.openResult = false;  // a failed open is not reported
    app.dispatchMenuCommand(kCmdVisitHomepage);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DispatchTest, CountrySelectorEventsApplyTheFilter) {
    startWithSamples();
    selectCountry(3);
    EXPECT_EQ(app.catalog.filterIndex, 3);
    EXPECT_EQ(shownNames(), (std::vector<std::string>{"SR P1"}));
    const int32_t resets = ui.list.resets;
    // The same selection again: nothing rebuilt.
    app.dispatchControlEvent(kCountrySelector, ControlAction::Used);
    EXPECT_EQ(ui.list.resets, resets);
}

TEST_F(DispatchTest, ChannelListEventTypes) {
    struct Case {
        const char* name;
        int32_t selectorIndex;
        ControlAction action;
        std::vector<int32_t> popups;
        bool watches;
        std::vector<PopupPlace> places = {};
    };
    using enum ControlAction;
    using enum PopupPlace;
    const std::vector<Case> cases{
        {"right click, all countries", 1, RightClick, {kPopupMenuChannel}, false, {MouseCursor}},
        {"right click, a country", 2, RightClick, {kPopupMenuChannel}, false, {MouseCursor}},
        {"right click, favorites", 0, RightClick, {kPopupMenuFavorite}, false, {MouseCursor}},
        {"menu key, all countries", 1, MenuKey, {kPopupMenuChannel}, false, {SelectedRow}},
        {"menu key, favorites", 0, MenuKey, {kPopupMenuFavorite}, false, {SelectedRow}},
        {"double click", 1, DoubleClick, {}, true},
        {"enter", 2, EnterKey, {}, true},
        {"left click", 1, Click, {}, false},
        {"right double click", 1, RightDoubleClick, {}, false},
        {"selection changed", 1, SelectionChange, {}, false},
        {"begin drag", 1, DragStart, {}, false},
        {"anything else", 1, Used, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox folder;
        folder.write("channels.dat", kSampleChannels);
        folder.write("favorites.dat", "Norway|Fav|1|||http://x.example/f.asx|\r\n");
        MemoryLayer memory;
        App program(memory);
        ASSERT_TRUE(program.startUp());
        memory.ui().selector.select(c.selectorIndex);
        program.dispatchControlEvent(kCountrySelector, Used);
        memory.ui().list.selected = 0;
        memory.ui().statusHistory.clear();
        program.dispatchControlEvent(kChannelList, c.action);
        EXPECT_EQ(memory.ui().popups, c.popups);
        EXPECT_EQ(memory.ui().popupPlaces, c.places);
        EXPECT_EQ(memory.ui().statusHistory.size(), c.watches ? 1u : 0u);
    }
}

TEST_F(DispatchTest, PanelToggleAndAboutButtons) {
    startWithSamples();
    app.dispatchControlEvent(kPanelToggle, ControlAction::Used);
    EXPECT_EQ(app.listPanelVisible, 0);
    EXPECT_EQ(ui.texts[kPanelToggle], ">");

    app.dispatchMenuCommand(kCmdAbout);
    ASSERT_TRUE(ui.open[kAboutWindow]);
    for (int press = 0; press < 2; ++press) {
        app.dispatchControlEvent(kAboutWebpage, ControlAction::Used);
    }
    EXPECT_EQ(launches.opened.size(), 2u);
    for (const std::string& url : launches.opened) {
        EXPECT_EQ(url, webAddressFor(kHomepageAddress));
    }
    EXPECT_TRUE(ui.open[kAboutWindow]);
    EXPECT_FALSE(ui.enabled[kMainWindow]);

    app.dispatchControlEvent(kAboutClose, ControlAction::Used);
    EXPECT_FALSE(ui.open[kAboutWindow]);
    EXPECT_TRUE(ui.enabled[kMainWindow]);
}

TEST_F(DispatchTest, EventsOfOtherControlsDoNothing) {
    startWithSamples();
    ui.list.selected = 0;
    for (int32_t control : {kWebView, kOptionNewest, kOption64, kOptionOlder, kAboutPanel,
                            kAboutProduct, kAboutText, 4, 5, 16, -1}) {
        app.dispatchControlEvent(control, ControlAction::DoubleClick);
        app.dispatchControlEvent(control, ControlAction::RightClick);
    }
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.popups.empty());
    EXPECT_TRUE(ui.web.log.empty());
    EXPECT_EQ(app.listPanelVisible, 1);
}

// --- About window

TEST_F(DispatchTest, AboutOpensCentredOverTheMainWindowAsAToolWindow) {
    startWithSamples();
    ui.mainFrame = {100, 50, 508, 368};
    app.openAboutWindow();
    // Outer size 228 x 148 in the memory layer: centred, halves rounded down.
    EXPECT_EQ(ui.dialogFrames[kAboutWindow], (Rect{100 + 140, 50 + 110, 228, 148}));
    EXPECT_EQ(ui.dialogTitles[kAboutWindow], " About");
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"openDialog 2", "makeToolWindow 2 220x120",
                                                  "createControls 2"}));
    EXPECT_FALSE(ui.enabled[kMainWindow]);
}

TEST_F(DispatchTest, AboutNearTheScreenCornerStaysOnScreen) {
    startWithSamples();
    ui.mainFrame = {-300, -200, 400, 100};
    app.openAboutWindow();
    EXPECT_EQ(ui.dialogFrames[kAboutWindow].left, 0);
    EXPECT_EQ(ui.dialogFrames[kAboutWindow].top, 0);
}

TEST_F(DispatchTest, AboutThatCannotOpenLeavesTheMainWindowUsable) {
    startWithSamples();
    ui.dialogFails = true;
    app.dispatchMenuCommand(kCmdAbout);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"openDialog 2"}));
    EXPECT_TRUE(ui.enabled[kMainWindow]);
    EXPECT_FALSE(ui.open[kAboutWindow]);
}

TEST_F(DispatchTest, AboutWithoutItsControlsIsClosedAgain) {
    startWithSamples();
    ui.dialogControlsFail = true;
    app.dispatchMenuCommand(kCmdAbout);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"openDialog 2", "makeToolWindow 2 220x120",
                                                  "createControls 2", "closeDialog 2"}));
    EXPECT_TRUE(ui.enabled[kMainWindow]);
    EXPECT_FALSE(ui.open[kAboutWindow]);
}

TEST_F(DispatchTest, AboutOpensOnlyOnce) {
    startWithSamples();
    app.openAboutWindow();
    app.openAboutWindow();
    EXPECT_EQ(std::count(ui.calls.begin(), ui.calls.end(), "openDialog 2"), 1);
}

TEST_F(DispatchTest, ClosingAboutTwiceDoesNotEnableAMainWindowHeldBySettings) {
    startWithSamples();
    app.openAboutWindow();
    app.closeAboutWindow();
    app.dispatchMenuCommand(kCmdSettings);
    app.closeAboutWindow();  // a late close request of the About window
    EXPECT_FALSE(ui.enabled[kMainWindow]);
    EXPECT_TRUE(ui.open[kSettingsWindow]);
}

}  // namespace
}  // namespace vistrelle::testing
