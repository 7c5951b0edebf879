#include "ui/window_defs.h"

#include <gtest/gtest.h>

#include <vector>

#include "ui/ids.h"

namespace vistrelle {
namespace {

TEST(NextTabStop, WrapsAtBothEndsAndStartsFromTheEdgeWithoutFocus) {
    struct Case {
        int32_t count, current;
        bool forward;
        int32_t next;
    };
    const Case cases[] = {
        {0, -1, true, -1}, {0, 0, false, -1}, {1, 0, true, 0}, {1, 0, false, 0},
        {3, -1, true, 0},  {3, -1, false, 2}, {3, 0, true, 1}, {3, 2, true, 0},
        {3, 0, false, 2},  {3, 1, false, 0},  {3, 7, true, 0}, {3, 7, false, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(nextTabStop(c.count, c.current, c.forward), c.next)
            << c.count << " stops, at " << c.current << (c.forward ? " forward" : " back");
    }
}

TEST(MessageBoxOwnership, TheActiveWindowOwnsTheBoxAndTheOtherOpenWindowsAreDisabled) {
    struct Case {
        const char* what;
        std::vector<WindowState> windows;
        int32_t owner;
        std::vector<int32_t> disabled;
    };
    const Case cases[] = {
        {"main window alone", {{kMainWindow, true, true, true}}, kMainWindow, {}},
        {"settings open over a disabled main window",
         {{kMainWindow, false, true, false}, {kSettingsWindow, true, true, true}},
         kSettingsWindow,
         {}},
        {"another program in front",
         {{kMainWindow, false, true, true}, {kAboutWindow, false, true, true}},
         -1,
         {kMainWindow, kAboutWindow}},
        {"a hidden window is left alone",
         {{kMainWindow, true, true, true}, {kAboutWindow, false, false, true}},
         kMainWindow,
         {}},
    };
    for (const Case& c : cases) {
        const MessageBoxOwnership ownership = messageBoxOwnership(c.windows);
        EXPECT_EQ(ownership.owner, c.owner) << c.what;
        EXPECT_EQ(ownership.disabled, c.disabled) << c.what;
    }
}

TEST(WindowDef, LooksUpEachWindowByItsIdentifier) {
    EXPECT_EQ(windowDef(kMainWindow).id, kMainWindow);
    EXPECT_EQ(windowDef(kSettingsWindow).id, kSettingsWindow);
    EXPECT_EQ(windowDef(kAboutWindow).id, kAboutWindow);
    EXPECT_EQ(windowDef(99).id, kMainWindow);
}

}  // namespace
}  // namespace vistrelle
