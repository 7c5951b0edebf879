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
    queue.postClose(kAboutWindow, CloseSource::Other);
    queue.postSize(kSettingsWindow);
    queue.postClose(kMainWindow, CloseSource::User);
    EXPECT_EQ(
        takeAllQueued(queue),
        (std::vector<Event>{
            sizeChangeEvent(kMainWindow), closeRequestEvent(kAboutWindow, CloseSource::Other),
            sizeChangeEvent(kSettingsWindow), closeRequestEvent(kMainWindow, CloseSource::User)}));
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
    const Event close0 = closeRequestEvent(kMainWindow, CloseSource::User);
    const Event foreignClose0 = closeRequestEvent(kMainWindow, CloseSource::Other);
    const std::vector<Case> cases{
        {"same size change twice", {size0, size0}, {size0}},
        {"same close three times", {close0, close0, close0}, {close0}},
        {"same window, other source", {foreignClose0, close0}, {foreignClose0, close0}},
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
                queue.postClose(event.window, event.source);
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
    queue.deliver(controlEventOf(kChannelList, ControlAction::DoubleClick));
    queue.postClose(kMainWindow, CloseSource::User);
    ASSERT_EQ(queue.deliveredCount(), 3u);
    EXPECT_EQ(queue.takeDelivered(), menuCommandEvent(kCmdAbout));
    EXPECT_EQ(queue.takeDelivered(), menuCommandEvent(kCmdAbout));
    EXPECT_EQ(queue.takeDelivered(), controlEventOf(kChannelList, ControlAction::DoubleClick));
    EXPECT_EQ(queue.takeQueued(), closeRequestEvent(kMainWindow, CloseSource::User));
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

TEST(UserCloseTest, OnlyACloseRequestByTheUserPasses) {
    const struct {
        Event event;
        bool passes;
    } cases[] = {
        {closeRequestEvent(kMainWindow, CloseSource::User), true},
        {closeRequestEvent(kSettingsWindow, CloseSource::User), true},
        {closeRequestEvent(kMainWindow, CloseSource::Other), false},
        {Event{.kind = EventKind::SizeChange, .source = CloseSource::User}, false},
        {menuCommandEvent(kCmdExit), false},
        {Event{}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isUserClose(c.event), c.passes) << static_cast<int>(c.event.kind);
    }
}

}  // namespace
}  // namespace vistrelle
