// The ways the real Windows program and its About window are closed, and what each one ends.

#include "program_fixture.h"

namespace vistrelle::testing {
namespace {

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
    ASSERT_NO_FATAL_FAILURE(closeBy(how.ending, target));
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
        ASSERT_NO_FATAL_FAILURE(closeBy(close.ending, about)) << close.name;
        ASSERT_TRUE(eventually([&] { return !IsWindow(about); })) << close.name;
        settle();
        EXPECT_TRUE(IsWindow(main_)) << close.name;
        EXPECT_TRUE(IsWindowEnabled(main_)) << close.name;
    }
    exitBy(1);
    EXPECT_EQ(finish(), 0);
    EXPECT_TRUE(watcher_.boxes().empty());
}

}  // namespace
}  // namespace vistrelle::testing
