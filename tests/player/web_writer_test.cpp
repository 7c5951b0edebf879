#include "player/web_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake/memory_layer.h"

namespace vistrelle {
namespace {

using testing::MemoryEvents;
using testing::MemoryWebView;

// Counts the drains and writes them into the web view's log, so that the order of drains and
// browser calls can be read in one place.
class LoggingDrain final : public EventDrain {
public:
    explicit LoggingDrain(MemoryWebView& view) : view_(view) {}
    void drainPendingEvents() override {
        drains++;
        view_.log.push_back("drain");
    }
    int32_t drains = 0;

private:
    MemoryWebView& view_;
};

using Log = std::vector<std::string>;

class WebWriterTest : public ::testing::Test {
protected:
    int32_t write(std::string_view page) { return writeWebViewDocument(&web, page, drain, pump); }

    MemoryWebView web;
    MemoryEvents pump;
    LoggingDrain drain{web};
};

TEST_F(WebWriterTest, FirstWriteNavigatesToAboutBlankAndTheNextDoesNot) {
    EXPECT_EQ(write("<p>one</p>"), 1);
    EXPECT_EQ(web.log, (Log{"location", "navigate about:blank", "drain", "busy", "document",
                            "write", "close"}));
    EXPECT_EQ(web.shown, "<p>one</p>");

    web.log.clear();
    EXPECT_EQ(write("<p>two</p>"), 1);
    EXPECT_EQ(web.log, (Log{"location", "drain", "busy", "document", "write", "close"}));
    EXPECT_EQ(web.shown, "<p>two</p>");
    EXPECT_EQ(web.navigations, (std::vector<std::string>{"about:blank"}));
    EXPECT_TRUE(pump.sleeps.empty());
}

TEST_F(WebWriterTest, FailedLocationCountsAsEmpty) {
    web.location = "about:blank";
    web.locationFails = true;
    EXPECT_EQ(write("x"), 1);
    EXPECT_EQ(web.navigations, (std::vector<std::string>{"about:blank"}));
}

TEST_F(WebWriterTest, WaitsForABusyBrowserDrainingBeforeEveryPoll) {
    web.location = "about:blank";
    web.busyPolls = 3;
    EXPECT_EQ(write("page"), 1);
    EXPECT_EQ(web.log, (Log{"location", "drain", "busy", "drain", "busy", "drain", "busy", "drain",
                            "busy", "document", "write", "close"}));
    EXPECT_EQ(pump.sleeps, (std::vector<int32_t>{10, 10, 10}));
    EXPECT_EQ(drain.drains, 4);
}

TEST_F(WebWriterTest, WritesWhenTheBrowserBecomesIdleJustBeforeTheBound) {
    web.location = "about:blank";
    web.busyPolls = static_cast<int32_t>(kWebViewBusyLimitMs / kWebViewPollMs) - 1;
    EXPECT_EQ(write("late"), 1);
    EXPECT_EQ(web.shown, "late");
}

TEST_F(WebWriterTest, GivesUpOnABrowserThatStaysBusy) {
    web.location = "about:blank";
    web.alwaysBusy = true;
    pump.now = 123456;  // the clock's start is arbitrary
    EXPECT_EQ(write("never"), 0);
    EXPECT_GE(pump.now - 123456, kWebViewBusyLimitMs);
    EXPECT_LT(pump.now - 123456, kWebViewBusyLimitMs + 2 * kWebViewPollMs);
    for (int32_t ms : pump.sleeps) {
        ASSERT_EQ(ms, kWebViewPollMs);
    }
    EXPECT_EQ(web.log.back(), "busy");
    EXPECT_EQ(std::count(web.log.begin(), web.log.end(), "document"), 0);
    EXPECT_EQ(web.writes, 0);
    EXPECT_EQ(web.closes, 0);
    // The windows went on being served while it waited.
    EXPECT_EQ(drain.drains, static_cast<int32_t>(pump.sleeps.size()) + 1);
}

TEST_F(WebWriterTest, NoDocumentGivesZeroWithoutClose) {
    web.hasDocument = false;
    EXPECT_EQ(write("page"), 0);
    EXPECT_EQ(web.log.back(), "document");
    EXPECT_EQ(web.closes, 0);
}

TEST_F(WebWriterTest, FailedWriteGivesZeroAndStillCloses) {
    web.writeFails = true;
    EXPECT_EQ(write("page"), 0);
    EXPECT_EQ(web.log, (Log{"location", "navigate about:blank", "drain", "busy", "document",
                            "write", "close"}));
    EXPECT_EQ(web.closes, 1);
}

TEST_F(WebWriterTest, EmptyPageIsWrittenAsAnEmptyDocument) {
    web.shown = "old page";
    EXPECT_EQ(write(""), 1);
    EXPECT_EQ(web.writes, 1);
    EXPECT_EQ(web.closes, 1);
    EXPECT_EQ(web.shown, "");
}

TEST_F(WebWriterTest, NoWebViewGivesZeroAndDoesNothing) {
    EXPECT_EQ(writeWebViewDocument(nullptr, "page", drain, pump), 0);
    EXPECT_EQ(drain.drains, 0);
    EXPECT_TRUE(pump.sleeps.empty());
    EXPECT_TRUE(web.log.empty());
}

}  // namespace
}  // namespace vistrelle
