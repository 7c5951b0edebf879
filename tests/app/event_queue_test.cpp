#include "app/event_queue.h"

#include <gtest/gtest.h>

#include <vector>

#include "ui/ids.h"

namespace vistrelle {
namespace {

std::vector<Event> takeAllQueued(EventQueue& queue) {
    std::vector<Event> events;
    while (queue.hasQueued()) {
        events.push_back(queue.takeQueued());
    }
    return events;
}

TEST(EventQueueTest, CloseRequestsAndSizeChangesComeOutInArrivalOrder) {
    EventQueue queue;
    queue.postSize(kMainWindow);
    queue.postClose(kAboutWindow);
    queue.postSize(kSettingsWindow);
    queue.postClose(kMainWindow);
    EXPECT_EQ(
        takeAllQueued(queue),
        (std::vector<Event>{sizeChangeEvent(kMainWindow), closeRequestEvent(kAboutWindow),
                            sizeChangeEvent(kSettingsWindow), closeRequestEvent(kMainWindow)}));
    EXPECT_FALSE(queue.hasDelivered());
}

TEST(EventQueueTest, OnlyARepeatOfTheNewestWaitingEntryIsDropped) {
    struct Case {
        const char* name;
        std::vector<Event> posted;
        std::vector<Event> waiting;
    };
    const Event size0 = sizeChangeEvent(kMainWindow);
    const Event size2 = sizeChangeEvent(kAboutWindow);
    const Event close0 = closeRequestEvent(kMainWindow);
    const std::vector<Case> cases{
        {"same size change twice", {size0, size0}, {size0}},
        {"same close three times", {close0, close0, close0}, {close0}},
        {"same event, other window", {size0, size2}, {size0, size2}},
        {"same window, other event", {size0, close0}, {size0, close0}},
        {"repeat of an older entry", {size0, close0, size0}, {size0, close0, size0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EventQueue queue;
        for (const Event& event : c.posted) {
            if (event.kind == EventKind::SizeChange) {
                queue.postSize(event.window);
            } else {
                queue.postClose(event.window);
            }
        }
        EXPECT_EQ(takeAllQueued(queue), c.waiting);
    }
}

TEST(EventQueueTest, AnEntryTakenAlreadyDoesNotBlockTheSameOneAgain) {
    EventQueue queue;
    queue.postSize(kMainWindow);
    EXPECT_EQ(queue.takeQueued(), sizeChangeEvent(kMainWindow));
    queue.postSize(kMainWindow);
    EXPECT_EQ(queue.queuedCount(), 1u);
}

TEST(EventQueueTest, DeliveredEventsAreNeverMergedAndStayApartFromTheQueue) {
    EventQueue queue;
    queue.deliver(menuCommandEvent(kCmdAbout));
    queue.deliver(menuCommandEvent(kCmdAbout));
    queue.deliver(controlEventOf(kChannelList, kListDoubleClick));
    queue.postClose(kMainWindow);
    ASSERT_EQ(queue.deliveredCount(), 3u);
    EXPECT_EQ(queue.takeDelivered(), menuCommandEvent(kCmdAbout));
    EXPECT_EQ(queue.takeDelivered(), menuCommandEvent(kCmdAbout));
    EXPECT_EQ(queue.takeDelivered(), controlEventOf(kChannelList, kListDoubleClick));
    EXPECT_EQ(queue.takeQueued(), closeRequestEvent(kMainWindow));
}

TEST(EventQueueTest, TakingFromAnEmptyQueueGivesNoEvent) {
    EventQueue queue;
    EXPECT_EQ(queue.takeQueued().kind, EventKind::None);
    EXPECT_EQ(queue.takeDelivered().kind, EventKind::None);
}

TEST(EventQueueTest, DiscardAllEmptiesBothSides) {
    EventQueue queue;
    queue.postSize(kMainWindow);
    queue.deliver(menuCommandEvent(kCmdExit));
    queue.discardAll();
    EXPECT_FALSE(queue.hasQueued());
    EXPECT_FALSE(queue.hasDelivered());
}

TEST(EventQueueTest, EventCodesAreTheLoopsOwn) {
    EXPECT_EQ(static_cast<int32_t>(EventKind::SizeChange), 5);
    EXPECT_EQ(static_cast<int32_t>(EventKind::CloseRequest), 16);
    EXPECT_EQ(static_cast<int32_t>(EventKind::ControlEvent), 13100);
    EXPECT_EQ(static_cast<int32_t>(EventKind::MenuCommand), 13101);
}

TEST(UserCloseTest, OnlyTheCloseBoxAndTheSystemCloseCommandPass) {
    const struct {
        uint32_t wParam;
        bool passes;
    } cases[] = {
        {20, true},       // HTCLOSE: a click on the close box
        {0xF060, true},   // SC_CLOSE: window menu, Alt+F4
        {0, false},       // WM_CLOSE posted by another program
        {21, false},      // another hit-test code
        {0xF020, false},  // SC_MINIMIZE
        {0xF030, false},  // SC_MAXIMIZE
        {0xF061, false}, {0x0014F060, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isUserClose(c.wParam), c.passes) << c.wParam;
    }
}

}  // namespace
}  // namespace vistrelle
