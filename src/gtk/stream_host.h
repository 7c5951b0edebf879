// Plays the stream of the page a web view shows: answers the program's page script, fetches what
// the stream's plan asks for and hands the plan's steps back to the page.
#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <memory>

#include "gtk/stream_fetcher.h"
#include "ui/stream_plan.h"

namespace vistrelle::gtk {

class StreamHost {
public:
    // Adds the page script and its message channel to `manager`, which the view is made with.
    explicit StreamHost(WebKitUserContentManager* manager);
    StreamHost(const StreamHost&) = delete;
    StreamHost& operator=(const StreamHost&) = delete;
    ~StreamHost();

    // The view whose pages this host serves, once it exists.
    void attach(WebKitWebView* view) { view_ = view; }
    // The stream of the page shown next; the stream playing stops at once.
    void setStream(std::unique_ptr<StreamPlan> plan);
    // Stops the media of the page shown and any fetch.
    void stop();

    // For tests and the benchmark: an address is being resolved; what the media element said.
    bool resolving() const { return pending_ != nullptr; }
    void setMediaObserver(std::function<void(MediaEvent)> observer) {
        observer_ = std::move(observer);
    }

private:
    static gboolean onMessage(WebKitUserContentManager* manager, JSCValue* message,
                              WebKitScriptMessageReply* reply, gpointer self);
    void handle(JSCValue* message, WebKitScriptMessageReply* reply);
    // Carries out `step`; Fetch steps keep the reply until a later step answers it.
    void carryOut(PlaybackStep step);
    void answer(const PlaybackStep& step);
    // The user agent of the view's requests: the one asked for, else the plan's.
    void setUserAgent(const std::string& asked);

    WebKitUserContentManager* manager_ = nullptr;
    WebKitWebView* view_ = nullptr;
    std::unique_ptr<StreamPlan> plan_;
    StreamFetcher fetcher_;
    WebKitScriptMessageReply* pending_ = nullptr;
    JSCContext* context_ = nullptr;
    // Each page's messages carry the number of the stream they belong to.
    int32_t token_ = 0;
    double volume_ = 1.0;
    bool muted_ = false;
    std::function<void(MediaEvent)> observer_;
};

}  // namespace vistrelle::gtk
