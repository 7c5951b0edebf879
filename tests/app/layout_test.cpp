// Building MainWindow, its layout, the list panel, and the window tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app_fixture.h"
#include "ui/window_defs.h"

namespace vistrelle::testing {
namespace {

using LayoutTest = AppTest;

constexpr Rect kWebViewAt{5, 5, 270, 290};
constexpr Rect kToggleAt{278, 5, 15, 290};
constexpr Rect kSelectorAt{295, 5, 200, 160};
constexpr Rect kListAt{295, 30, 200, 267};

TEST_F(LayoutTest, BuildsTheWindowInOrderCentredOnTheScreen) {
    ASSERT_TRUE(app.buildMainWindow());
    EXPECT_EQ(ui.calls,
              (std::vector<std::string>{"createMainWindow", "createMenus", "createStatusBar",
                                        "createControls 0", "addHelpAccelerator 0 4"}));
    // 500 x 340 client is 508 x 368 outside in the memory layer; the screen is 1024 x 768.
    EXPECT_EQ(ui.mainFrame, (Rect{258, 200, 508, 368}));
    EXPECT_EQ(ui.title, "Vistrelle v1.0 Beta 3");
    EXPECT_EQ(ui.selector.items, (std::vector<std::string>{"Favorites", "All countries"}));
    EXPECT_EQ(ui.selector.selected, 1);
    EXPECT_EQ(app.controlRects, (std::array<Rect, 4>{kWebViewAt, kSelectorAt, kListAt, kToggleAt}));
    EXPECT_TRUE(ui.placements.empty());  // the controls are created where the table says
}

TEST_F(LayoutTest, AWindowLargerThanTheScreenIsCutToIt) {
    const struct {
        Size screen;
        Rect frame;
    } cases[] = {
        {{400, 300}, {0, 0, 400, 300}},
        {{400, 1000}, {0, 316, 400, 368}},
        {{509, 369}, {0, 0, 508, 368}},  // halves rounded down
    };
    for (const auto& c : cases) {
        MemoryLayer memory;
        memory.ui().screen = c.screen;
        App program(memory);
        ASSERT_TRUE(program.buildMainWindow());
        EXPECT_EQ(memory.ui().mainFrame, c.frame);
    }
}

TEST_F(LayoutTest, AWindowThatCannotBeCreatedStopsTheBuild) {
    ui.mainWindowFails = true;
    EXPECT_FALSE(app.buildMainWindow());
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"createMainWindow"}));
}

TEST_F(LayoutTest, OpeningSizeGivesTheCreationPlacesButTheListTwoPixelsShorter) {
    ASSERT_TRUE(app.buildMainWindow());
    ui.calls.clear();
    app.layoutMainWindow();
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"redrawNow"}));
    const std::vector<std::pair<int32_t, Rect>> expected{
        {kCountrySelector, kSelectorAt},
        {kChannelList, {295, 30, 200, 265}},
        {kPanelToggle, kToggleAt},
        {kWebView, kWebViewAt},
    };
    EXPECT_EQ(ui.placements, expected);
}

TEST_F(LayoutTest, ResizesFollowTheFormulas) {
    const struct {
        Size layout;  // W, H
        Rect selector, list, toggle, web;
    } cases[] = {
        {{800, 600}, {595, 5, 200, 160}, {595, 30, 200, 525}, {578, 5, 15, 550}, {5, 5, 570, 550}},
        {{500, 341}, {295, 5, 200, 160}, {295, 30, 200, 266}, {278, 5, 15, 291}, {5, 5, 270, 291}},
        {{300, 200}, {95, 5, 200, 160}, {95, 30, 200, 125}, {78, 5, 15, 150}, {5, 5, 70, 150}},
        // Smaller than the panel: no negative sizes reach the window layer.
        {{100, 40}, {-105, 5, 200, 160}, {-105, 30, 200, 0}, {-122, 5, 15, 0}, {5, 5, 0, 0}},
    };
    ASSERT_TRUE(app.buildMainWindow());
    for (const auto& c : cases) {
        ui.layout = c.layout;
        app.layoutMainWindow();
        EXPECT_EQ(ui.placed[kCountrySelector], c.selector);
        EXPECT_EQ(ui.placed[kChannelList], c.list);
        EXPECT_EQ(ui.placed[kPanelToggle], c.toggle);
        EXPECT_EQ(ui.placed[kWebView], c.web);
    }
    // The last placement is remembered for the next.
    EXPECT_EQ(app.controlRects[kChannelList], (Rect{-105, 30, 200, 0}));
}

TEST_F(LayoutTest, HiddenPanelLayoutPlacesOnlyTheBrowserAndTheToggle) {
    ASSERT_TRUE(app.buildMainWindow());
    app.listPanelVisible = 0;
    ui.layout = {600, 400};
    app.layoutMainWindow();
    const std::vector<std::pair<int32_t, Rect>> expected{
        {kWebView, {5, 5, 575, 350}},
        {kPanelToggle, {583, 5, 15, 350}},
    };
    EXPECT_EQ(ui.placements, expected);
}

TEST_F(LayoutTest, WithoutABrowserItsAreaStaysEmpty) {
    ui.webViewExists = false;
    ASSERT_TRUE(app.buildMainWindow());
    app.layoutMainWindow();
    EXPECT_EQ(ui.placed.count(kWebView), 0u);
    EXPECT_EQ(ui.placed[kPanelToggle], kToggleAt);
}

TEST_F(LayoutTest, TogglingANormalWindowReturnsItToItsExactWidth) {
    ASSERT_TRUE(app.buildMainWindow());
    ui.layout = {613, 377};
    ui.mainFrame = {40, 30, 621, 405};
    app.layoutMainWindow();
    const Rect web = ui.placed[kWebView];
    const Rect toggle = ui.placed[kPanelToggle];
    ui.calls.clear();

    app.dispatchControlEvent(kPanelToggle, ControlAction::Used);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"setClientWidth 408"}));
    EXPECT_FALSE(ui.visible[kCountrySelector]);
    EXPECT_FALSE(ui.visible[kChannelList]);
    EXPECT_EQ(ui.texts[kPanelToggle], ">");
    EXPECT_EQ(ui.accessibleNames[kPanelToggle], "Show the channel list");
    EXPECT_EQ(app.listPanelVisible, 0);
    app.routeEvent(sizeChangeEvent(kMainWindow));  // what the narrower window reports
    EXPECT_EQ(ui.placed[kWebView], web);
    EXPECT_EQ(ui.placed[kPanelToggle], toggle);

    ui.calls.clear();
    app.dispatchControlEvent(kPanelToggle, ControlAction::Used);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"setClientWidth 613"}));
    EXPECT_TRUE(ui.visible[kCountrySelector]);
    EXPECT_TRUE(ui.visible[kChannelList]);
    EXPECT_EQ(ui.texts[kPanelToggle], "<");
    EXPECT_EQ(ui.accessibleNames[kPanelToggle], "Hide the channel list");
    EXPECT_EQ(app.listPanelVisible, 1);
    EXPECT_EQ(ui.mainFrame, (Rect{40, 30, 621, 405}));
    app.routeEvent(sizeChangeEvent(kMainWindow));
    EXPECT_EQ(ui.placed[kWebView], web);
    EXPECT_EQ(ui.placed[kPanelToggle], toggle);
    EXPECT_EQ(ui.placed[kChannelList], (Rect{408, 30, 200, 302}));
}

TEST_F(LayoutTest, TogglingAMaximisedWindowOnlyReplacesTheControls) {
    ASSERT_TRUE(app.buildMainWindow());
    ui.maximized = true;
    ui.layout = {1000, 700};
    app.togglePanel();
    std::vector<std::pair<int32_t, Rect>> hidden{
        {kWebView, {5, 5, 975, 650}},
        {kPanelToggle, {983, 5, 15, 650}},
    };
    EXPECT_EQ(ui.placements, hidden);

    ui.placements.clear();
    app.togglePanel();
    std::vector<std::pair<int32_t, Rect>> shown{
        {kCountrySelector, {795, 5, 200, 160}},
        {kChannelList, {795, 30, 200, 625}},
        {kPanelToggle, {778, 5, 15, 650}},
        {kWebView, {5, 5, 770, 650}},
    };
    EXPECT_EQ(ui.placements, shown);
    for (const std::string& call : ui.calls) {
        EXPECT_EQ(call.rfind("setClientWidth", 0), std::string::npos) << call;
    }
    EXPECT_EQ(ui.layout, (Size{1000, 700}));
}

// --- the window tables

std::vector<std::string> itemTexts(const MenuDef& menu) {
    std::vector<std::string> texts;
    for (const MenuItemDef& item : menu.items) {
        texts.emplace_back(item.text);
        texts.back() += " " + std::to_string(item.command) + (item.checkable ? " checkable" : "");
    }
    return texts;
}

TEST(WindowDefsTest, MenusCarryTheirCommands) {
    auto bar = menuBarDef();
    ASSERT_EQ(bar.size(), 3u);
    EXPECT_EQ(bar[0].title, "File");
    EXPECT_EQ(itemTexts(bar[0]), (std::vector<std::string>{"Update channel list 0", "Exit 1"}));
    EXPECT_EQ(bar[1].title, "Options");
    EXPECT_EQ(itemTexts(bar[1]),
              (std::vector<std::string>{"Always on top 2 checkable", "Settings 3"}));
    EXPECT_EQ(bar[2].title, "Help");
    EXPECT_EQ(itemTexts(bar[2]),
              (std::vector<std::string>{"Help...\tF1 4", "Check for updates 5", "About 6"}));
    EXPECT_EQ(itemTexts(popupMenuDef(kPopupMenuChannel)),
              (std::vector<std::string>{"Watch 7", "Visit homepage 9", "Add to favorites 8"}));
    EXPECT_EQ(itemTexts(popupMenuDef(kPopupMenuFavorite)),
              (std::vector<std::string>{"Watch 7", "Visit homepage 9", "Remove from favorites 8"}));
}

// The controls that Tab and Shift+Tab visit, in creation order.
std::vector<int32_t> tabOrder(const WindowDef& window) {
    std::vector<int32_t> ids;
    for (const ControlDef& control : window.controls) {
        if (control.tabStop) {
            ids.push_back(control.id);
        }
    }
    return ids;
}

TEST(WindowDefsTest, CreationAndTabOrder) {
    EXPECT_EQ(tabOrder(mainWindowDef()),
              (std::vector<int32_t>{kPanelToggle, kCountrySelector, kChannelList}));
    EXPECT_EQ(mainWindowDef().controls.front().id, kWebView);
    EXPECT_EQ(tabOrder(settingsWindowDef()),
              (std::vector<int32_t>{kOptionNewest, kOption64, kOptionOlder, kSettingsOk,
                                    kSettingsCancel}));
    EXPECT_EQ(tabOrder(aboutWindowDef()), (std::vector<int32_t>{kAboutWebpage, kAboutClose}));

    int32_t groupStarts = 0;
    for (const ControlDef& control : settingsWindowDef().controls) {
        groupStarts += control.groupStart ? 1 : 0;
        if (control.id == kSettingsOk) {
            EXPECT_EQ(control.kind, ControlKind::DefaultPushButton);
        }
        if (control.groupStart) {
            EXPECT_EQ(control.id, kOptionNewest);
        }
    }
    EXPECT_EQ(groupStarts, 1);
}

TEST(WindowDefsTest, AboutTextHasFourLines) {
    const ControlDef* text = nullptr;
    const ControlDef* product = nullptr;
    for (const ControlDef& control : aboutWindowDef().controls) {
        if (control.id == kAboutText) {
            text = &control;
        } else if (control.id == kAboutProduct) {
            product = &control;
        }
    }
    ASSERT_NE(text, nullptr);
    ASSERT_NE(product, nullptr);
    EXPECT_EQ(product->caption, "Vistrelle");
    EXPECT_EQ(product->font, FontKind::ProductBold);
    EXPECT_EQ(product->parent, kAboutPanel);
    EXPECT_EQ(text->parent, kAboutPanel);
    EXPECT_EQ(text->font, FontKind::DefaultGui);

    std::vector<std::string> lines;
    std::string caption(text->caption);
    size_t start = 0;
    for (size_t end; (end = caption.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(caption.substr(start, end - start));
    }
    lines.push_back(caption.substr(start));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "v1.0 Beta 3");
    EXPECT_FALSE(lines[1].empty());
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "If you like this free program then please visit my webpage and donate!");
}

TEST(WindowDefsTest, ColumnsAndInitialItems) {
    std::vector<std::string> columns;
    for (const ColumnDef& column : channelListColumns()) {
        columns.push_back(std::string(column.title) + " " + std::to_string(column.width));
    }
    EXPECT_EQ(columns,
              (std::vector<std::string>{"Channel 80", "Category 70", "Bitrate 42", "Comment 180"}));
    EXPECT_EQ(initialCountryItems()[kInitialCountrySelection], "All countries");
}

}  // namespace
}  // namespace vistrelle::testing
