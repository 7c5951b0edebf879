// The real Windows program, driven with messages: its windows, lists, menus, dialogs and exit.
#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "driver.h"
#include "fake/sandbox.h"
#include "fake/type_ahead_steps.h"
#include "win32/win32_layer.h"

namespace vistrelle::testing {
namespace {

constexpr const char* kCatalogue =
    "Austria|Donau Info|96|News||http://s.example.org/donau.asx|\r\n"
    "Austria|Alpen TV|300|TV|Mountains|http://s.example.org/alpen.asx|\r\n"
    "Norway|Fjord "
    "Radio|128|Music|Coast|http://s.example.org/fjord.m3u|http://fjord.example.org/\r\n"
    "Norway|Bergen Jazz|64|Jazz|Late|http://s.example.org/bergen.asx|\r\n";

// What the program's thread takes from its queue, and the close requests sent to its windows,
// in the order they happen: the hooks run on the program's thread.
struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
};
std::mutex seenMutex;
std::vector<Seen> seen;

void record(HWND hwnd, UINT message, WPARAM wParam) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_SYSCOMMAND:
        case WM_CLOSE:
        case WM_NCLBUTTONDOWN:
            break;
        default:
            return;
    }
    std::lock_guard lock(seenMutex);
    seen.push_back({hwnd, message, wParam});
}

LRESULT CALLBACK recordTaken(int code, WPARAM removal, LPARAM lParam) {
    if (code == HC_ACTION && removal == PM_REMOVE) {
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg->message != WM_CLOSE)
            record(msg->hwnd, msg->message, msg->wParam);
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

LRESULT CALLBACK recordSent(int code, WPARAM current, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (sent->message == WM_CLOSE)
            record(sent->hwnd, sent->message, sent->wParam);
    }
    return CallNextHookEx(nullptr, code, current, lParam);
}

// A key press as the keyboard driver reports it to the window that has the focus.
void postKey(HWND to, WPARAM key, bool alt) {
    const auto scan = static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(key), MAPVK_VK_TO_VSC));
    const LPARAM down = 1 | (scan << 16) | (alt ? (1 << 29) : 0);
    const LPARAM up = down | (LPARAM{1} << 30) | (LPARAM{1} << 31);
    PostMessageA(to, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, down);
    PostMessageA(to, alt ? WM_SYSKEYUP : WM_KEYUP, key, up);
}

// Keys pressed in order and released in reverse through the system's input queue.
bool typeKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *it;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
           inputs.size();
}

class ProgramTest : public SandboxTest {
protected:
    void SetUp() override { sandbox.write("channels.dat", kCatalogue); }

    void TearDown() override {
        for (HHOOK hook : hooks_)
            UnhookWindowsHookEx(hook);
        if (program_.joinable()) {
            // Leave no program behind, whatever the test did.
            if (IsWindow(main_))
                PostMessageA(main_, WM_COMMAND, MAKEWPARAM(1, 0), 0);
            program_.join();
        }
    }

    void start() {
        program_ = std::thread([this] { exitCode_ = win32::runProgram(); });
        ASSERT_TRUE(eventually([this] {
            main_ = FindWindowA(win32::kWindowClass, "Vistrelle v1.0 Beta 3");
            return main_ && statusText(main_).find("channels loaded") != std::string::npos;
        })) << "the main window did not come up";
        list_ = GetDlgItem(main_, 2);
        combo_ = GetDlgItem(main_, 1);
        ASSERT_TRUE(list_ && combo_);
    }

    // Waits for the program to end; its exit code.
    int finish() {
        program_.join();
        return exitCode_;
    }

    // Waits until the program has taken every message posted so far: a harmless marker (a
    // width of the last column) goes through its queue behind them.
    void settle() {
        static int marker = 150;
        const int width = ++marker;
        PostMessageA(list_, LVM_SETCOLUMNWIDTH, 3, MAKELPARAM(width, 0));
        ASSERT_TRUE(
            eventually([&] { return SendMessageA(list_, LVM_GETCOLUMNWIDTH, 3, 0) == width; }));
    }

    void menu(int command) {
        PostMessageA(main_, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        settle();
    }
    // Menu commands that end the program: nothing to wait for.
    void exitBy(int command) { PostMessageA(main_, WM_COMMAND, MAKEWPARAM(command, 0), 0); }

    void chooseCountry(int index) {
        SendMessageA(combo_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        PostMessageA(main_, WM_COMMAND, MAKEWPARAM(1, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo_));
        settle();
    }

    void clickHeader(int column) {
        NMHEADERA header{};
        header.hdr.hwndFrom = reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0));
        header.hdr.code = HDN_ITEMCLICKA;
        header.iItem = column;
        SendMessageA(main_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    }

    HWND dialog(const char* title) { return FindWindowA(win32::kWindowClass, title); }

    DWORD programThread() { return GetWindowThreadProcessId(main_, nullptr); }

    // From here on the messages the program takes and the close requests it gets are recorded.
    void watchMessages() {
        {
            std::lock_guard lock(seenMutex);
            seen.clear();
        }
        for (int kind : {WH_GETMESSAGE, WH_CALLWNDPROC}) {
            HHOOK hook = SetWindowsHookExA(kind, kind == WH_GETMESSAGE ? recordTaken : recordSent,
                                           nullptr, programThread());
            ASSERT_NE(hook, nullptr);
            hooks_.push_back(hook);
        }
    }

    // The message the program took last before `window` was asked to close; none when it was not.
    std::optional<Seen> takenBeforeClose(HWND window) {
        std::lock_guard lock(seenMutex);
        std::optional<Seen> last;
        for (const Seen& entry : seen) {
            if (entry.message == WM_CLOSE && entry.hwnd == window)
                return last;
            if (entry.message != WM_CLOSE)
                last = entry;
        }
        return std::nullopt;
    }

    // The window of the program's thread that has the keyboard focus.
    HWND focus() {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(programThread(), &info) ? info.hwndFocus : nullptr;
    }
    HWND active() {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(programThread(), &info) ? info.hwndActive : nullptr;
    }

    // Brings `window` to the front so that the keyboard reaches it.
    void makeForeground(HWND window) {
        ASSERT_TRUE(eventually([&] {
            if (GetForegroundWindow() != window)
                SetForegroundWindow(window);
            return GetForegroundWindow() == window && active() == window;
        })) << "the window never became the active foreground window";
    }

    std::vector<HHOOK> hooks_;

    DialogWatcher watcher_;
    std::thread program_;
    int exitCode_ = -1;
    HWND main_ = nullptr;
    HWND list_ = nullptr;
    HWND combo_ = nullptr;
};

using Texts = std::vector<std::string>;

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

TEST_F(ProgramTest, EnterWatchesAndTheMenuKeysOpenTheMenuBelowTheSelectedRow) {
    start();
    // The keys go to the list once it has the focus (Tab into it).
    const auto focusList = [&] {
        makeForeground(main_);
        for (int press = 0; press < 4 && focus() != list_; ++press) {
            postKey(focus() ? focus() : main_, VK_TAB, false);
            eventually([&] { return focus() == list_; });
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

// The ways a user ends the program. Alt+F4 reaches the program as a key message that the
// default window procedure turns into the system Close command; the window menu's Close is
// that command itself.
enum class Ending { Exit, AltF4Posted, AltF4Typed, WindowMenuClose };

struct EndingCase {
    const char* name;
    Ending ending;
    bool fromSettings;  // asked of the open Settings window rather than of the main window
};

class EndingTest : public ProgramTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(EndingTest, EndsTheProgramExactlyLikeExit) {
    const EndingCase& how = GetParam();
    start();
    // A changed setting and a favourite, so that the shutdown has both files to write.
    menu(3);
    HWND settings = nullptr;
    ASSERT_TRUE(eventually([&] { return (settings = dialog(" Settings")) != nullptr; }));
    SendMessageA(GetDlgItem(settings, 8), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(settings, 9), BM_CLICK, 0, 0);
    ASSERT_TRUE(eventually([&] { return !IsWindow(settings) && IsWindowEnabled(main_); }));
    selectRow(list_, 2);
    menu(8);

    HWND target = main_;
    if (how.fromSettings) {
        // A new choice that the ending must not apply.
        menu(3);
        ASSERT_TRUE(eventually([&] { return (settings = dialog(" Settings")) != nullptr; }));
        SendMessageA(GetDlgItem(settings, 6), BM_CLICK, 0, 0);
        target = settings;
    }
    watchMessages();
    switch (how.ending) {
        case Ending::Exit:
            exitBy(1);
            break;
        case Ending::AltF4Posted:
            makeForeground(target);
            postKey(focus() ? focus() : target, VK_F4, true);
            break;
        case Ending::AltF4Typed:
            makeForeground(target);
            ASSERT_TRUE(typeKeys({VK_MENU, VK_F4}));
            break;
        case Ending::WindowMenuClose:
            PostMessageA(target, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
    }
    EXPECT_EQ(finish(), 0);
    EXPECT_EQ(sandbox.read("favorites.dat"),
              "Norway|Fjord Radio|128|Music|Coast|http://s.example.org/fjord.m3u|"
              "http://fjord.example.org/\r\n");
    EXPECT_EQ(sandbox.read("Config.ini"), "WMP Version = 2\r\n");
    EXPECT_TRUE(watcher_.boxes().empty());
    if (how.ending != Ending::Exit) {
        // The user-close path: the close request follows the system Close command.
        const auto before = takenBeforeClose(target);
        ASSERT_TRUE(before.has_value()) << "no close request reached the window";
        EXPECT_EQ(before->message, static_cast<UINT>(WM_SYSCOMMAND));
        EXPECT_EQ(before->wParam & 0xFFF0, static_cast<WPARAM>(SC_CLOSE));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ways, EndingTest,
    ::testing::Values(EndingCase{"Exit", Ending::Exit, false},
                      EndingCase{"AltF4PostedToMain", Ending::AltF4Posted, false},
                      EndingCase{"AltF4TypedOnMain", Ending::AltF4Typed, false},
                      EndingCase{"WindowMenuCloseOfMain", Ending::WindowMenuClose, false},
                      EndingCase{"AltF4PostedToSettings", Ending::AltF4Posted, true},
                      EndingCase{"AltF4TypedOnSettings", Ending::AltF4Typed, true},
                      EndingCase{"WindowMenuCloseOfSettings", Ending::WindowMenuClose, true}),
    [](const ::testing::TestParamInfo<EndingCase>& tested) { return tested.param.name; });

TEST_F(ProgramTest, EveryCloseOfAboutClosesOnlyAbout) {
    start();
    const struct {
        const char* name;
        Ending ending;
    } closes[] = {
        {"Alt+F4 posted", Ending::AltF4Posted},
        {"Alt+F4 typed", Ending::AltF4Typed},
        {"window menu Close", Ending::WindowMenuClose},
    };
    for (const auto& close : closes) {
        menu(6);
        HWND about = nullptr;
        ASSERT_TRUE(eventually([&] { return (about = dialog(" About")) != nullptr; }))
            << close.name;
        EXPECT_FALSE(IsWindowEnabled(main_));
        makeForeground(about);
        switch (close.ending) {
            case Ending::AltF4Posted:
                postKey(focus() ? focus() : about, VK_F4, true);
                break;
            case Ending::AltF4Typed:
                ASSERT_TRUE(typeKeys({VK_MENU, VK_F4}));
                break;
            default:
                PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0);
                break;
        }
        ASSERT_TRUE(eventually([&] { return !IsWindow(about); })) << close.name;
        settle();
        EXPECT_TRUE(IsWindow(main_)) << close.name;
        EXPECT_TRUE(IsWindowEnabled(main_)) << close.name;
    }
    exitBy(1);
    EXPECT_EQ(finish(), 0);
    EXPECT_TRUE(watcher_.boxes().empty());
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
        {"main window", false, {3, 1, 2}},
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
    const auto post = [&](WPARAM key) { postKey(list_, key, false); };
    const auto postCharacter = [&](char32_t c) { PostMessageW(list_, WM_CHAR, c, 1); };
    for (const TypeAheadStep& step : kTypeAheadSteps) {
        SCOPED_TRACE(std::string(step.keys));
        for (size_t at = 0; at < step.keys.size(); ++at) {
            const auto c = static_cast<unsigned char>(step.keys[at]);
            switch (c) {
                case '|':
                    Sleep(kTypeAheadPauseMs);
                    continue;
                case '\b':
                    post(VK_BACK);
                    break;
                case '\x1b':
                    post(VK_ESCAPE);
                    break;
                case '\n':
                    post(VK_DOWN);
                    break;
                case '\a':
                    postCharacter(0x07);
                    break;
                case '~':
                    post(VK_F5);
                    break;
                case 0xC3:  // the UTF-8 lead of a Latin-1 letter
                    postCharacter(0xC0 + (static_cast<unsigned char>(step.keys[++at]) & 0x3F));
                    break;
                default:
                    post(static_cast<WPARAM>(VkKeyScanA(static_cast<char>(c)) & 0xFF));
                    break;
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

}  // namespace
}  // namespace vistrelle::testing
