// The real Windows program, driven with messages: its lists, menus, dialogs and reports.

#include "program_fixture.h"

namespace vistrelle::testing {
namespace {

TEST_F(ProgramTest, StartsWithTheCatalogueSortsNarrowsAndKeepsFavourites) {
    start();
    EXPECT_EQ(statusText(main_), " 4 channels loaded");
    EXPECT_EQ(comboItems(combo_), (Texts{"Favorites", "All countries", "Austria", "Norway"}));
    EXPECT_EQ(SendMessageA(combo_, CB_GETCURSEL, 0, 0), 1);
    ASSERT_EQ(listCount(list_), 4);
    EXPECT_EQ(listColumn(list_, 0),
              (Texts{"Donau Info", "Alpen TV", "Fjord Radio", "Bergen Jazz"}));
    EXPECT_EQ(listText(list_, 2, 1), "Music");
    EXPECT_EQ(listText(list_, 2, 2), "128");
    EXPECT_EQ(listText(list_, 2, 3), "Coast");

    // Header clicks sort at once: names A to Z, then Bitrate highest first, then reversed.
    const struct {
        int column;
        Texts names;
    } sorts[] = {
        {0, {"Alpen TV", "Bergen Jazz", "Donau Info", "Fjord Radio"}},
        {2, {"Alpen TV", "Fjord Radio", "Donau Info", "Bergen Jazz"}},
        {2, {"Bergen Jazz", "Donau Info", "Fjord Radio", "Alpen TV"}},
        {0, {"Fjord Radio", "Donau Info", "Bergen Jazz", "Alpen TV"}},
    };
    for (const auto& sort : sorts) {
        clickHeader(sort.column);
        EXPECT_EQ(listColumn(list_, 0), sort.names) << "column " << sort.column;
    }

    // The selector narrows the list to one country.
    chooseCountry(3);
    ASSERT_EQ(listCount(list_), 2);
    EXPECT_EQ(listColumn(list_, 0), (Texts{"Fjord Radio", "Bergen Jazz"}));

    // "Add to favorites" on the selected row, then the Favorites view, then removing it there.
    selectRow(list_, 1);
    menu(8);
    chooseCountry(0);
    ASSERT_EQ(listCount(list_), 1);
    EXPECT_EQ(listText(list_, 0, 0), "Bergen Jazz");
    selectRow(list_, 0);
    menu(8);
    EXPECT_EQ(listCount(list_), 0);

    // Add two, then Exit writes them.
    chooseCountry(1);
    ASSERT_EQ(listCount(list_), 4);
    for (int row : {2, 0}) {
        selectRow(list_, row);
        menu(8);
    }
    exitBy(1);
    EXPECT_EQ(finish(), 0);
    EXPECT_EQ(sandbox.read("favorites.dat"),
              "Norway|Fjord Radio|128|Music|Coast|http://s.example.org/fjord.m3u|"
              "http://fjord.example.org/\r\n"
              "Austria|Donau Info|96|News||http://s.example.org/donau.asx|\r\n");
    EXPECT_FALSE(sandbox.exists("Config.ini"));
    EXPECT_TRUE(watcher_.boxes().empty());
}

TEST_F(ProgramTest, DoubleClickReportsTheFailedWriteAndPaintsTheWatchedRowGreen) {
    start();
    selectRow(list_, 1);
    RECT row{};
    row.left = LVIR_BOUNDS;
    SendMessageA(list_, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
    PostMessageA(list_, WM_LBUTTONDBLCLK, MK_LBUTTON,
                 MAKELPARAM(row.left + 10, (row.top + row.bottom) / 2));
    // No HTML engine here: the page cannot be written.
    ASSERT_TRUE(watcher_.waitForBoxes(1));
    EXPECT_EQ(watcher_.boxes()[0].title, "Error!");
    EXPECT_EQ(watcher_.boxes()[0].text, "Error changing webgadget content");
    ASSERT_TRUE(eventually([&] { return statusText(main_) == " Now watching: Alpen TV"; }));

    // Unselected, the watched row shows green in every column; the others do not.
    selectRow(list_, -1);
    auto pixel = [&](int item, int column) {
        RECT cell{};
        cell.top = column;
        cell.left = LVIR_BOUNDS;
        SendMessageA(list_, LVM_GETSUBITEMRECT, static_cast<WPARAM>(item),
                     reinterpret_cast<LPARAM>(&cell));
        RedrawWindow(list_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
        // A point of the cell that is on screen, past the end of its text.
        POINT at{std::min<LONG>(cell.right, clientSize(list_).cx - 20) - 3,
                 (cell.top + cell.bottom) / 2};
        ClientToScreen(list_, &at);
        HDC screen = GetDC(nullptr);
        const COLORREF colour = GetPixel(screen, at.x, at.y);
        ReleaseDC(nullptr, screen);
        return colour;
    };
    // The list repaints in its own time: wait for the green, then look at the neighbour.
    for (int column : {0, 1, 2, 3}) {
        EXPECT_TRUE(eventually([&] { return pixel(1, column) == RGB(0, 255, 0); }))
            << "column " << column << " shows " << std::hex << pixel(1, column);
        EXPECT_NE(pixel(0, column), RGB(0, 255, 0)) << "column " << column;
    }

    // A right click on no row does nothing; the Exit saves no favourites.
    exitBy(1);
    EXPECT_EQ(finish(), 0);
    EXPECT_FALSE(sandbox.exists("favorites.dat"));
    EXPECT_EQ(watcher_.boxes().size(), 1u);
}

TEST_F(ProgramTest, SettingsOkKeepsTheChoiceAndCancelDropsIt) {
    start();
    menu(3);
    HWND settings = nullptr;
    ASSERT_TRUE(eventually([&] { return (settings = dialog(" Settings")) != nullptr; }));
    EXPECT_FALSE(IsWindowEnabled(main_));
    EXPECT_EQ(clientSize(settings).cx, 195);
    EXPECT_EQ(clientSize(settings).cy, 145);
    EXPECT_TRUE(GetWindowLongA(settings, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetWindow(settings, GW_OWNER), main_);
    EXPECT_EQ(SendMessageA(GetDlgItem(settings, 6), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(windowText(GetDlgItem(settings, 8)), "Older");

    SendMessageA(GetDlgItem(settings, 8), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageA(GetDlgItem(settings, 6), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageA(GetDlgItem(settings, 9), BM_CLICK, 0, 0);
    ASSERT_TRUE(eventually([&] { return !IsWindow(settings); }));
    EXPECT_TRUE(IsWindowEnabled(main_));

    // Cancel leaves the choice as it was: the window opens again on "Older".
    menu(3);
    ASSERT_TRUE(eventually([&] { return (settings = dialog(" Settings")) != nullptr; }));
    EXPECT_EQ(SendMessageA(GetDlgItem(settings, 8), BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageA(GetDlgItem(settings, 7), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(settings, 10), BM_CLICK, 0, 0);
    ASSERT_TRUE(eventually([&] { return !IsWindow(settings); }));
    EXPECT_TRUE(IsWindowEnabled(main_));

    exitBy(1);
    EXPECT_EQ(finish(), 0);
    EXPECT_EQ(sandbox.read("Config.ini"), "WMP Version = 2\r\n");
}

TEST_F(ProgramTest, AboutShowsTheProductAndClosesByButtonOrCloseRequest) {
    start();
    for (bool byButton : {true, false}) {
        menu(6);
        HWND about = nullptr;
        ASSERT_TRUE(eventually([&] { return (about = dialog(" About")) != nullptr; }));
        EXPECT_FALSE(IsWindowEnabled(main_));
        EXPECT_EQ(clientSize(about).cx, 220);
        EXPECT_EQ(clientSize(about).cy, 120);
        HWND panel = GetDlgItem(about, 11);
        HWND product = GetDlgItem(panel, 12);
        EXPECT_EQ(windowText(product), "Vistrelle");
        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(product, WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        EXPECT_EQ(font.lfWeight, FW_BOLD);
        EXPECT_STREQ(font.lfFaceName, "Arial");
        EXPECT_EQ(windowText(GetDlgItem(panel, 13)).substr(0, 12), "v1.0 Beta 3\n");
        RedrawWindow(about, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        HDC dc = GetDC(panel);
        EXPECT_EQ(GetPixel(dc, 2, 80), RGB(255, 255, 255));
        ReleaseDC(panel, dc);

        if (byButton) {
            SendMessageA(GetDlgItem(about, 15), BM_CLICK, 0, 0);
        } else {
            PostMessageA(about, WM_CLOSE, 0, 0);
        }
        ASSERT_TRUE(eventually([&] { return !IsWindow(about); }));
        EXPECT_TRUE(IsWindowEnabled(main_));
        EXPECT_TRUE(IsWindow(main_));
    }
    exitBy(1);
    EXPECT_EQ(finish(), 0);
}

TEST_F(ProgramTest, PanelToggleNarrowsAndWidensByTheListPanel) {
    start();
    HWND toggle = GetDlgItem(main_, 3);
    RECT before{};
    GetWindowRect(main_, &before);
    const SIZE client = clientSize(main_);
    EXPECT_EQ(client.cx, 500);

    SendMessageA(toggle, BM_CLICK, 0, 0);
    ASSERT_TRUE(eventually([&] { return clientSize(main_).cx == 500 - 205; }));
    EXPECT_EQ(windowText(toggle), ">");
    EXPECT_FALSE(IsWindowVisible(list_));
    EXPECT_FALSE(IsWindowVisible(combo_));

    SendMessageA(toggle, BM_CLICK, 0, 0);
    ASSERT_TRUE(eventually([&] { return clientSize(main_).cx == 500; }));
    EXPECT_EQ(windowText(toggle), "<");
    EXPECT_TRUE(IsWindowVisible(list_));
    RECT after{};
    GetWindowRect(main_, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(clientSize(main_).cy, client.cy);
    exitBy(1);
    EXPECT_EQ(finish(), 0);
}

TEST_F(ProgramTest, AForeignCloseIsIgnoredAndTheCloseBoxEndsTheProgram) {
    start();
    PostMessageA(main_, WM_CLOSE, 0, 0);
    menu(2);  // "Always on top": shows that the close request was handled before it
    HMENU options = GetSubMenu(GetMenu(main_), 1);
    ASSERT_TRUE(eventually([&] { return GetMenuState(options, 2, MF_BYCOMMAND) & MF_CHECKED; }));
    EXPECT_TRUE(GetWindowLongA(main_, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(IsWindow(main_));

    // Add a favourite so that the close shows it ran the whole shutdown.
    selectRow(list_, 0);
    menu(8);
    PostMessageA(main_, WM_NCLBUTTONDOWN, HTCLOSE, 0);
    PostMessageA(main_, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(finish(), 0);
    EXPECT_EQ(sandbox.read("favorites.dat"),
              "Austria|Donau Info|96|News||http://s.example.org/donau.asx|\r\n");
}

TEST_F(ProgramTest, TheSystemCloseCommandEndsTheProgramLikeExit) {
    start();
    PostMessageA(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(finish(), 0);
    EXPECT_FALSE(sandbox.exists("favorites.dat"));
    EXPECT_FALSE(sandbox.exists("Config.ini"));
}

TEST_F(ProgramTest, MissingUpdaterAndHelpAreReportedAndAnswered) {
    start();
    menu(0);
    // Wine's shell may tell of the missing file first; the program's warning comes last.
    ASSERT_TRUE(eventually([&] {
        const auto boxes = watcher_.boxes();
        return !boxes.empty() && boxes.back().text == "Channel updater not found!";
    }));
    EXPECT_EQ(watcher_.boxes().back().title, "Warning!");

    const size_t before = watcher_.boxes().size();
    menu(4);
    ASSERT_TRUE(watcher_.waitForBoxes(before + 1));
    EXPECT_EQ(watcher_.boxes().back().title, "Info");
    EXPECT_EQ(watcher_.boxes().back().text, "Help file was not found!");

    menu(5);
    ASSERT_TRUE(watcher_.waitForBoxes(before + 2));
    EXPECT_EQ(watcher_.boxes().back().text, "Feature not implemented yet!");
    exitBy(1);
    EXPECT_EQ(finish(), 0);
}

}  // namespace
}  // namespace vistrelle::testing
