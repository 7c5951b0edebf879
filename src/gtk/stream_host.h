// Plays the stream of the page a web view shows: answers the program's page script, fetches what
// the stream's plan asks for, hands the plan's steps back to the page, reads an internet radio's
// song titles, and watches over the web view's process while a stream starts or plays.
#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "gtk/stream_fetcher.h"
#include "gtk/title_reader.h"
#include "ui/media_controls.h"
#include "ui/stream_plan.h"

namespace vistrelle::gtk {

class StreamHost {
public:
    // Adds the page script and its message channel to `manager`, which the view is made with.
    explicit StreamHost(WebKitUserContentManager* manager);
    StreamHost(const StreamHost&) = delete;
    StreamHost& operator=(const StreamHost&) = delete;
    ~StreamHost();

    // The view whose pages this host serves, once it exists, and how its last page is shown
    // again in a fresh process.
    void attach(WebKitWebView* view, std::function<void()> showAgain);
    // The stream of the page shown next; the stream playing stops at once.
    void setStream(std::unique_ptr<StreamPlan> plan);
    // Stops the media of the page shown, any fetch and the titles.
    void stop();
    // Acts on the page's media element.
    void control(MediaAction action, double volume);
    // The view's process ended on its own (a crash): the page is shown again.
    void processEnded();
    // The page answered something: it still works.
    void pageAnswered();

    // For tests and the benchmark: an address is being resolved; the titles are being read;
    // what the media element said.
    bool resolving() const { return pending_ != nullptr; }
    bool readingTitles() const { return titles_.active(); }
    void setMediaObserver(std::function<void(MediaEvent)> observer) {
        observer_ = std::move(observer);
    }

private:
    static gboolean onMessage(WebKitUserContentManager* manager, JSCValue* message,
                              WebKitScriptMessageReply* reply, gpointer self);
    static gboolean onPingTime(gpointer self);
    void handle(JSCValue* message, WebKitScriptMessageReply* reply);
    void report(const MediaReport& report);
    // Carries out `step`; Fetch steps keep the reply until a later step answers it.
    void carryOut(PlaybackStep step);
    void answer(const PlaybackStep& step);
    void readTitles(const PlaybackStep& step);
    // Calls the page script's control function.
    void tellPage(const char* action, const std::string& text = {}, double number = 0);
    // Asks the page whether it still answers; ends its process when it has not for too long.
    void ping();
    // The page stopped answering or its process ended: a fresh process shows it again.
    void lost(bool endProcess);
    // The user agent of the view's requests: the one asked for, else the plan's.
    void setUserAgent(const std::string& asked);

    WebKitUserContentManager* manager_ = nullptr;
    WebKitWebView* view_ = nullptr;
    std::function<void()> showAgain_;
    std::unique_ptr<StreamPlan> plan_;
    StreamFetcher fetcher_;
    TitleReader titles_;
    WebKitScriptMessageReply* pending_ = nullptr;
    JSCContext* context_ = nullptr;
    // Each page's messages carry the number of the stream they belong to.
    int32_t token_ = 0;
    double volume_ = 1.0;
    bool muted_ = false;
    // A stream is starting or playing: the page is watched over.
    bool live_ = false;
    guint pingTimer_ = 0;
    gint64 pingSent_ = 0;  // when the unanswered ping went out; 0: none
    GCancellable* pings_ = nullptr;
    // What the page shown again gets when it asks for its stream; none: the stream begins.
    std::optional<PlaybackStep> afterLoss_;
    int losses_ = 0;
    std::function<void(MediaEvent)> observer_;
};

}  // namespace vistrelle::gtk
