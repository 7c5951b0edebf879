// The real Windows program from the keyboard: help, tab stops, finding by typing, the
// channel's commands (Enter watches, the context-menu key and Shift+F10 open the row's menu) and
// the search field.

#include <algorithm>

#include "fake/type_ahead_steps.h"
#include "program_fixture.h"

namespace vistrelle::testing {
namespace {

TEST_F(ProgramTest, EnterWatchesAndTheMenuKeysOpenTheMenuBelowTheSelectedRow) {
    start();
    // The keys go to the list once it has the focus (Tab into it).
    const auto focusList = [&] {
        makeForeground(main_);
        // Each Tab moves the focus to the next tab stop; a few reach the list.
        for (int press = 0; press < 4 && focus() != list_; ++press) {
            const HWND before = focus();
            postKey(before ? before : main_, VK_TAB, false);
            eventually([&] { return focus() != before; });
        }
        return focus() == list_;
    };
    ASSERT_TRUE(focusList());
    selectRow(list_, 1);
    ASSERT_TRUE(typeKeys({VK_RETURN}));
    ASSERT_TRUE(watcher_.waitForBoxes(1));  // no HTML engine here: the page cannot be written
    ASSERT_TRUE(eventually([&] { return statusText(main_) == " Now watching: Alpen TV"; }));

    const auto shownMenu = [] {
        HWND popup = FindWindowA("#32768", nullptr);
        return popup && IsWindowVisible(popup) ? popup : nullptr;
    };
    for (const bool shiftF10 : {false, true}) {
        SCOPED_TRACE(shiftF10 ? "Shift+F10" : "menu key");
        selectRow(list_, 2);
        ASSERT_TRUE(focusList());
        ASSERT_TRUE(shiftF10 ? typeKeys({VK_SHIFT, VK_F10}) : typeKeys({VK_APPS}));
        HWND popup = nullptr;
        ASSERT_TRUE(eventually([&] { return (popup = shownMenu()) != nullptr; }));
        RECT row{};
        row.left = LVIR_BOUNDS;
        SendMessageA(list_, LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&row));
        POINT below{0, row.bottom};
        ClientToScreen(list_, &below);
        RECT shown{};
        GetWindowRect(popup, &shown);
        EXPECT_NEAR(shown.top, below.y, 4);
        EXPECT_NEAR(shown.left, below.x, 4);
        ASSERT_TRUE(typeKeys({VK_ESCAPE}));
        ASSERT_TRUE(eventually([&] { return shownMenu() == nullptr; }));
    }

    // Without a selected row both keys do nothing.
    selectRow(list_, -1);
    ASSERT_TRUE(focusList());
    ASSERT_TRUE(typeKeys({VK_APPS}));
    ASSERT_TRUE(typeKeys({VK_RETURN}));
    settle();
    settle();
    EXPECT_EQ(shownMenu(), nullptr);
    EXPECT_EQ(watcher_.boxes().size(), 1u);
    exitBy(1);
    EXPECT_EQ(finish(), 0);
}

TEST_F(ProgramTest, F1AsksForHelpOnlyWhileTheMainWindowIsActive) {
    start();
    // With About open the main window is disabled and not active: F1 does nothing there.
    menu(6);
    HWND about = nullptr;
    ASSERT_TRUE(eventually([&] { return (about = dialog(" About")) != nullptr; }));
    makeForeground(about);
    EXPECT_FALSE(IsWindowEnabled(main_));
    postKey(main_, VK_F1, false);
    postKey(focus() ? focus() : about, VK_F1, false);
    ASSERT_TRUE(typeKeys({VK_F1}));
    settle();
    EXPECT_TRUE(IsWindow(about));
    SendMessageA(GetDlgItem(about, 15), BM_CLICK, 0, 0);
    ASSERT_TRUE(eventually([&] { return !IsWindow(about) && IsWindowEnabled(main_); }));

    // On the active main window F1 goes through the accelerator to the help command; there is
    // no help file here.
    makeForeground(main_);
    postKey(focus() ? focus() : main_, VK_F1, false);
    ASSERT_TRUE(watcher_.waitForBoxes(1));
    ASSERT_TRUE(eventually([&] { return IsWindowEnabled(main_) && active() == main_; }));
    makeForeground(main_);
    ASSERT_TRUE(typeKeys({VK_F1}));
    ASSERT_TRUE(watcher_.waitForBoxes(2));
    settle();
    const auto boxes = watcher_.boxes();
    ASSERT_EQ(boxes.size(), 2u) << "F1 asked for help while About was open";
    for (const auto& box : boxes) {
        EXPECT_EQ(box.title, "Info");
        EXPECT_EQ(box.text, "Help file was not found!");
    }
    exitBy(1);
    EXPECT_EQ(finish(), 0);
}

TEST_F(ProgramTest, TabAndShiftTabCycleThroughTheTabStopsInCreationOrder) {
    start();
    const struct {
        const char* name;
        bool settings;
        std::vector<int> stops;
    } windows[] = {
        {"main window", false, {3, 1, 2, 5}},
        {"Settings", true, {6, 7, 8, 9, 10}},
    };
    for (const auto& window : windows) {
        HWND hwnd = main_;
        if (window.settings) {
            menu(3);
            ASSERT_TRUE(eventually([&] { return (hwnd = dialog(" Settings")) != nullptr; }));
        }
        makeForeground(hwnd);
        std::vector<HWND> stops;
        for (int id : window.stops)
            stops.push_back(GetDlgItem(hwnd, id));
        auto where = [&] {
            HWND now = focus();
            for (size_t i = 0; i < stops.size(); ++i) {
                if (stops[i] == now || IsChild(stops[i], now))
                    return static_cast<int>(i);
            }
            return -1;
        };
        // The first Tab lands on a stop; from there each Tab takes the next, wrapping round.
        postKey(focus() ? focus() : hwnd, VK_TAB, false);
        ASSERT_TRUE(eventually([&] { return where() >= 0; })) << window.name;
        const int count = static_cast<int>(stops.size());
        for (int step = 0; step < count + 1; ++step) {
            const int expected = (where() + 1) % count;
            postKey(focus(), VK_TAB, false);
            EXPECT_TRUE(eventually([&] { return where() == expected; }))
                << window.name << ": Tab from stop " << (expected + count - 1) % count;
        }
        // Shift+Tab needs the Shift key down as the program sees it: typed keys.
        for (int step = 0; step < count + 1; ++step) {
            const int expected = (where() + count - 1) % count;
            ASSERT_TRUE(typeKeys({VK_SHIFT, VK_TAB}));
            EXPECT_TRUE(eventually([&] { return where() == expected; }))
                << window.name << ": Shift+Tab from stop " << (expected + 1) % count;
        }
        for (int step = 0; step < count; ++step) {
            const int expected = (where() + 1) % count;
            ASSERT_TRUE(typeKeys({VK_TAB}));
            EXPECT_TRUE(eventually([&] { return where() == expected; }))
                << window.name << ": typed Tab from stop " << (expected + count - 1) % count;
        }
        if (window.settings) {
            SendMessageA(GetDlgItem(hwnd, 10), BM_CLICK, 0, 0);
            ASSERT_TRUE(eventually([&] { return !IsWindow(hwnd); }));
        }
    }
    exitBy(1);
    EXPECT_EQ(finish(), 0);
}

TEST_F(ProgramTest, TypingInTheListSelectsTheSameRowsAsOnEveryLayer) {
    sandbox.write("channels.dat", kTypeAheadCatalogue);
    start();
    const auto selected = [&] {
        return static_cast<int>(
            SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    };
    // Keys as the keyboard brings them: key downs that the program's loop translates into
    // characters for the list (posted behind whatever is queued: two rounds to settle). Ctrl+G
    // and characters beyond the keyboard's come as the characters they make.
    const std::pair<char, WPARAM> keys[] = {
        {'\b', VK_BACK}, {'\x1b', VK_ESCAPE}, {'\n', VK_DOWN}, {'~', VK_F5}};
    for (const TypeAheadStep& step : kTypeAheadSteps) {
        SCOPED_TRACE(std::string(step.keys));
        for (size_t at = 0; at < step.keys.size(); ++at) {
            const char c = step.keys[at];
            const auto* named = std::find_if(std::begin(keys), std::end(keys),
                                             [c](const auto& key) { return key.first == c; });
            if (c == '|') {
                Sleep(kTypeAheadPauseMs);
                continue;
            } else if (named != std::end(keys)) {
                postKey(list_, named->second, false);
            } else if (c == '\a') {
                PostMessageW(list_, WM_CHAR, 0x07, 1);
            } else if (static_cast<unsigned char>(c) == 0xC3) {  // the UTF-8 lead of Latin-1
                const auto next = static_cast<unsigned char>(step.keys[++at]);
                PostMessageW(list_, WM_CHAR, 0xC0 + (next & 0x3F), 1);
            } else {
                postKey(list_, static_cast<WPARAM>(VkKeyScanA(c) & 0xFF), false);
            }
            settle();
            settle();
        }
        EXPECT_EQ(selected(), step.row);
    }
    EXPECT_EQ(statusText(main_), " 7 channels loaded");  // finding never watches
    exitBy(1);
    EXPECT_EQ(finish(), 0);
}

TEST_F(ProgramTest, TypedWordsNarrowTheRowsAndTheKeysReachTheSearchField) {
    start();
    HWND field = GetDlgItem(main_, 5);
    ASSERT_TRUE(field);
    EXPECT_EQ(windowText(GetDlgItem(main_, 4)), "&Search:");

    makeForeground(main_);
    ASSERT_TRUE(typeKeys({VK_CONTROL, 'F'}));
    ASSERT_TRUE(eventually([&] { return focus() == field; })) << "Ctrl+F";
    const auto rowsAre = [&](const Texts& names) {
        return eventually([&] { return listColumn(list_, 0) == names; });
    };
    for (WORD key : {WORD{'J'}, WORD{'A'}, WORD{'Z'}, WORD{'Z'}})
        ASSERT_TRUE(typeKeys({key}));
    EXPECT_TRUE(rowsAre({"Bergen Jazz"})) << windowText(field);
    ASSERT_TRUE(typeKeys({VK_ESCAPE}));
    EXPECT_TRUE(rowsAre({"Donau Info", "Alpen TV", "Fjord Radio", "Bergen Jazz"}));
    EXPECT_EQ(windowText(field), "");
    for (WORD key : {WORD{'O'}, WORD{VK_SPACE}, WORD{'A'}})
        ASSERT_TRUE(typeKeys({key}));
    EXPECT_TRUE(rowsAre({"Donau Info", "Alpen TV", "Fjord Radio"})) << windowText(field);
    // Pasted texts: 100,000 characters find nothing at once, only spaces narrow nothing.
    SetWindowTextW(field, std::wstring(100000, L'j').c_str());
    EXPECT_TRUE(rowsAre({}));
    SetWindowTextW(field, std::wstring(100000, L' ').c_str());
    EXPECT_TRUE(rowsAre({"Donau Info", "Alpen TV", "Fjord Radio", "Bergen Jazz"}));
    EXPECT_EQ(statusText(main_), " 4 channels loaded");

    // Shift+Tab goes back to the list, Alt+S (the label's access key) to the field again.
    ASSERT_TRUE(typeKeys({VK_SHIFT, VK_TAB}));
    ASSERT_TRUE(eventually([&] { return focus() == list_; }));
    ASSERT_TRUE(typeKeys({VK_MENU, 'S'}));
    EXPECT_TRUE(eventually([&] { return focus() == field; })) << "Alt+S";
    exitBy(1);
    EXPECT_EQ(finish(), 0);
}

}  // namespace
}  // namespace vistrelle::testing
