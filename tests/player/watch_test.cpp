#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "fake/memory_layer.h"
#include "player/pages.h"
#include "player/web_writer.h"

namespace vistrelle {
namespace {

using testing::MessageBoxCall;

class HookDrain final : public EventDrain {
public:
    void drainPendingEvents() override {
        drains++;
        if (onDrain) {
            onDrain();
        }
    }
    int32_t drains = 0;
    std::function<void()> onDrain;
};

const MessageBoxCall kWriteFailed{"Error!", "Error changing webgadget content", MessageIcon::Plain};

class WatchTest : public ::testing::Test {
protected:
    void SetUp() override { setView(8); }

    // A view of `count` channels "Channel 0".., each with its own .asx address.
    void setView(int count) {
        catalog.shownChannels.clear();
        catalog.rows.clear();
        for (int i = 0; i < count; ++i) {
            const std::string n = std::to_string(i);
            catalog.shownChannels.emplace_back("Norway", "Channel " + n, 128, "News", "",
                                               "http://example.net/ch" + n + ".asx",
                                               "http://example.net/");
            catalog.rows.append(catalog.shownChannels.back());
        }
        windows.list.rowsReset(catalog.rows);
    }

    void watch(int32_t row, int8_t playerVersion = 0) {
        windows.list.selected = row;
        watchSelectedChannel(catalog, windows, playerVersion, drain, pump);
    }

    std::vector<int> watchingMarks() const {
        std::vector<int> marks;
        for (const Channel& c : catalog.shownChannels) {
            marks.push_back(c.watching);
        }
        return marks;
    }

    bool isGreen(int32_t row) const {
        for (int32_t column = 0; column < kColumnCount; ++column) {
            if (windows.list.background(row, column) != kWatchedRowColour) {
                return false;
            }
        }
        return true;
    }

    bool isDefault(int32_t row) const { return catalog.rows.colours(row).isDefault(); }

    Catalog catalog;
    testing::MemoryWindows windows;
    testing::MemoryEvents pump;
    HookDrain drain;
};

TEST_F(WatchTest, TheGreenRowAndTheMarkMoveToTheNewRow) {
    watch(3);
    EXPECT_TRUE(isGreen(3));
    EXPECT_EQ(catalog.watchedRow, 3);

    watch(5);
    EXPECT_TRUE(isDefault(3));
    EXPECT_TRUE(isGreen(5));
    EXPECT_EQ(catalog.watchedRow, 5);
    EXPECT_EQ(watchingMarks(), (std::vector<int>{0, 0, 0, 0, 0, 1, 0, 0}));
    // Old row first, then the new one; the first watch cleared the initial row 0.
    EXPECT_EQ(windows.list.repainted, (std::vector<int32_t>{0, 3, 3, 5}));

    EXPECT_EQ(windows.web.shown, playerPage("http://example.net/ch5.asx", 0));
    EXPECT_EQ(windows.statusText, " Now watching: Channel 5");
    EXPECT_TRUE(windows.messages.empty());
}

TEST_F(WatchTest, TheViewGetsTheStreamBeforeThePage) {
    watch(2);
    watch(6);
    using Stream = std::pair<std::string, int32_t>;
    EXPECT_EQ(windows.web.streams, (std::vector<Stream>{{"http://example.net/ch2.asx", 0},
                                                        {"http://example.net/ch6.asx", 1}}));
}

TEST_F(WatchTest, WatchingTheWatchedRowAgainKeepsItGreen) {
    watch(2);
    watch(2);
    EXPECT_TRUE(isGreen(2));
    EXPECT_EQ(catalog.watchedRow, 2);
    EXPECT_EQ(watchingMarks(), (std::vector<int>{0, 0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(windows.web.writes, 2);
    EXPECT_EQ(windows.statusHistory,
              (std::vector<std::string>{" Now watching: Channel 2", " Now watching: Channel 2"}));
}

TEST_F(WatchTest, AFailedWriteIsReportedOnceAndTheChannelIsStillAnnounced) {
    const std::vector<std::function<void(testing::MemoryWindows&)>> failures = {
        [](testing::MemoryWindows& w) { w.web.writeFails = true; },
        [](testing::MemoryWindows& w) { w.web.hasDocument = false; },
        [](testing::MemoryWindows& w) { w.webViewExists = false; },
        [](testing::MemoryWindows& w) { w.web.alwaysBusy = true; },
    };
    for (size_t i = 0; i < failures.size(); ++i) {
        SCOPED_TRACE(i);
        testing::MemoryWindows fresh;
        windows.messages.clear();
        windows.statusHistory.clear();
        windows.web = fresh.web;
        windows.webViewExists = true;
        failures[i](windows);
        size_t statusBeforeMessage = 99;
        windows.onMessage = [&](const MessageBoxCall&) {
            statusBeforeMessage = windows.statusHistory.size();
            return MessageAnswer::Ok;
        };

        watch(4);
        EXPECT_EQ(windows.messages, (std::vector<MessageBoxCall>{kWriteFailed}));
        EXPECT_EQ(statusBeforeMessage, 0u);  // the message comes first
        EXPECT_EQ(windows.statusHistory, (std::vector<std::string>{" Now watching: Channel 4"}));
        EXPECT_TRUE(isGreen(4));
        EXPECT_EQ(catalog.shownChannels[4].watching, 1);
    }
}

TEST_F(WatchTest, AnUnknownExtensionPlaysNothingButIsAnnounced) {
    catalog.shownChannels[1] =
        Channel("Norway", "Plain", 64, "Music", "", "http://example.net/x", "");
    watch(1);
    EXPECT_EQ(windows.web.shown, playerPage("http://example.net/x", 0));
    EXPECT_TRUE(windows.messages.empty());
    EXPECT_EQ(windows.statusText, " Now watching: Plain");
}

TEST_F(WatchTest, ThePageFollowsThePlayerGeneration) {
    catalog.shownChannels[6] =
        Channel("Norway", "Real", 64, "Music", "", "rtsp://example.net/a.ram", "");
    watch(0, 2);
    EXPECT_EQ(windows.web.shown, playerPage("http://example.net/ch0.asx", 2));
    watch(6, 1);
    EXPECT_EQ(windows.web.shown, playerPage("rtsp://example.net/a.ram", 1));
}

TEST_F(WatchTest, AWatchedRowBeyondAShorterViewIsLeftAlone) {
    watch(7);
    setView(3);  // another country: new entries, no green row, watchedRow kept
    catalog.shownChannels[2].watching = 1;
    windows.list.repainted.clear();

    watch(1);
    EXPECT_EQ(windows.list.repainted, (std::vector<int32_t>{1}));
    EXPECT_EQ(watchingMarks(), (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(catalog.watchedRow, 1);
    EXPECT_TRUE(isGreen(1));
}

TEST_F(WatchTest, NoSelectionOrAnEmptyViewChangesNothing) {
    for (int count : {8, 0}) {
        setView(count);
        catalog.watchedRow = 2;
        windows.list.repainted.clear();
        watch(-1);
        watch(count);  // one past the end
        EXPECT_EQ(catalog.watchedRow, 2);
        EXPECT_TRUE(windows.list.repainted.empty());
        EXPECT_EQ(windows.web.writes, 0);
        EXPECT_TRUE(windows.statusHistory.empty());
    }
}

TEST_F(WatchTest, TheListMayChangeWhileThePageIsWritten) {
    // A header click sorts the view while the writer serves the windows.
    windows.web.busyPolls = 2;
    drain.onDrain = [this] {
        std::reverse(catalog.shownChannels.begin(), catalog.shownChannels.end());
        catalog.shownChannels.pop_back();
        catalog.shownChannels.shrink_to_fit();
    };
    watch(3);
    EXPECT_EQ(windows.statusText, " Now watching: Channel 3");
    EXPECT_EQ(windows.web.shown, playerPage("http://example.net/ch3.asx", 0));
}

TEST_F(WatchTest, TheWelcomePageIsWrittenWithoutAMessage) {
    showWelcomePage(windows, drain, pump);
    EXPECT_EQ(windows.web.shown, welcomePage());
    EXPECT_EQ(windows.web.navigations, (std::vector<std::string>{"about:blank"}));

    for (auto failure : {+[](testing::MemoryWindows& w) { w.web.writeFails = true; },
                         +[](testing::MemoryWindows& w) { w.webViewExists = false; }}) {
        failure(windows);
        showWelcomePage(windows, drain, pump);
    }
    EXPECT_TRUE(windows.messages.empty());
    EXPECT_TRUE(windows.statusHistory.empty());
}

}  // namespace
}  // namespace vistrelle
