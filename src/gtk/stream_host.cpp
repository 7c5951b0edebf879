#include "gtk/stream_host.h"

#include <string>
#include <utility>

#include "gtk/stream_host_script.h"
#include "ui/display_text.h"

namespace vistrelle::gtk {

namespace {

// How often one watch's page is shown again in a fresh process.
constexpr int kMaxLosses = 3;

std::string stringProperty(JSCValue* object, const char* name) {
    JSCValue* value = jsc_value_object_get_property(object, name);
    std::string text;
    if (value != nullptr && jsc_value_is_string(value)) {
        gchar* chars = jsc_value_to_string(value);
        text = chars != nullptr ? chars : "";
        g_free(chars);
    }
    g_clear_object(&value);
    return text;
}

double numberProperty(JSCValue* object, const char* name) {
    JSCValue* value = jsc_value_object_get_property(object, name);
    double number = value != nullptr && jsc_value_is_number(value) ? jsc_value_to_double(value) : 0;
    g_clear_object(&value);
    return number;
}

bool booleanProperty(JSCValue* object, const char* name) {
    JSCValue* value = jsc_value_object_get_property(object, name);
    bool flag = value != nullptr && jsc_value_to_boolean(value);
    g_clear_object(&value);
    return flag;
}

void setProperty(JSCValue* object, const char* name, JSCValue* value) {
    jsc_value_object_set_property(object, name, value);
    g_object_unref(value);
}

MediaEvent mediaEvent(const std::string& name) {
    if (name == "playing") {
        return MediaEvent::Playing;
    }
    if (name == "ended") {
        return MediaEvent::Ended;
    }
    if (name == "stalled") {
        return MediaEvent::Stalled;
    }
    if (name == "pause") {
        return MediaEvent::Paused;
    }
    if (name == "nodata") {
        return MediaEvent::NoData;
    }
    return MediaEvent::Error;
}

const char* actionName(PlaybackStep::Action action) {
    switch (action) {
        case PlaybackStep::Action::Play:
            return "play";
        case PlaybackStep::Action::Fail:
            return "fail";
        default:
            return "none";
    }
}

void onPingAnswered(GObject* view, GAsyncResult* result, gpointer self) {
    GError* error = nullptr;
    JSCValue* value =
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
    // An error is an answer too (the page may have gone meanwhile), unless the host gave up.
    const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    g_clear_error(&error);
    g_clear_object(&value);
    if (!cancelled) {
        static_cast<StreamHost*>(self)->pageAnswered();
    }
}

}  // namespace

StreamHost::StreamHost(WebKitUserContentManager* manager)
    : manager_(WEBKIT_USER_CONTENT_MANAGER(g_object_ref(manager))), pings_(g_cancellable_new()) {
    WebKitUserScript* script = webkit_user_script_new_for_world(
        kStreamHostScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END, kStreamHostWorld, nullptr, nullptr);
    webkit_user_content_manager_add_script(manager_, script);
    webkit_user_script_unref(script);
    webkit_user_content_manager_register_script_message_handler_with_reply(
        manager_, kStreamHostHandler, kStreamHostWorld);
    const std::string signal =
        std::string("script-message-with-reply-received::") + kStreamHostHandler;
    g_signal_connect(manager_, signal.c_str(), G_CALLBACK(onMessage), this);
}

StreamHost::~StreamHost() {
    g_signal_handlers_disconnect_by_data(manager_, this);
    g_cancellable_cancel(pings_);
    g_object_unref(pings_);
    if (pingTimer_ != 0) {
        g_source_remove(pingTimer_);
    }
    fetcher_.cancel();
    titles_.close();
    answer(PlaybackStep{});
    g_object_unref(manager_);
}

void StreamHost::attach(WebKitWebView* view, std::function<void()> showAgain) {
    view_ = view;
    showAgain_ = std::move(showAgain);
}

void StreamHost::setStream(std::unique_ptr<StreamPlan> plan) {
    stop();
    afterLoss_.reset();
    losses_ = 0;
    plan_ = std::move(plan);
    if (pingTimer_ != 0) {
        g_source_remove(pingTimer_);
        pingTimer_ = 0;
    }
    setUserAgent({});
    if (view_ != nullptr && plan_) {
        live_ = true;
        const int32_t pingMs = plan_->limits().pingMs;
        if (pingMs > 0) {
            pingTimer_ = g_timeout_add(static_cast<guint>(pingMs), onPingTime, this);
        }
    }
}

void StreamHost::setUserAgent(const std::string& asked) {
    if (view_ == nullptr || !plan_) {
        return;
    }
    const std::string agent = asked.empty() ? std::string(plan_->limits().userAgent) : asked;
    WebKitSettings* settings = webkit_web_view_get_settings(view_);
    if (agent != webkit_settings_get_user_agent(settings)) {
        webkit_settings_set_user_agent(settings, agent.c_str());
    }
}

void StreamHost::stop() {
    fetcher_.cancel();
    titles_.close();
    answer(PlaybackStep{});
    ++token_;  // what the old page still says is not heard
    live_ = false;
    pingSent_ = 0;
    if (view_ != nullptr) {
        webkit_web_view_evaluate_javascript(view_, kStopMediaScript, -1, kStreamHostWorld, nullptr,
                                            nullptr, nullptr, nullptr);
    }
}

void StreamHost::control(MediaAction action, double volume) {
    switch (action) {
        case MediaAction::Pause:
            tellPage("pause");
            break;
        case MediaAction::Resume:
            tellPage("resume");
            break;
        case MediaAction::Stop:
            // The page stays as it is, its element without a stream; nothing it says counts.
            fetcher_.cancel();
            titles_.close();
            answer(PlaybackStep{});
            ++token_;
            live_ = false;
            pingSent_ = 0;
            tellPage("stop");
            break;
        case MediaAction::Restart:
            if (plan_) {
                live_ = true;
                pingSent_ = 0;
                tellPage("restart");
            }
            break;
        case MediaAction::SetVolume:
            volume_ = volume;
            muted_ = false;
            tellPage("volume", {}, volume);
            break;
    }
}

void StreamHost::processEnded() {
    lost(false);
}

gboolean StreamHost::onMessage(WebKitUserContentManager* /*manager*/, JSCValue* message,
                               WebKitScriptMessageReply* reply, gpointer self) {
    static_cast<StreamHost*>(self)->handle(message, reply);
    return TRUE;
}

gboolean StreamHost::onPingTime(gpointer self) {
    static_cast<StreamHost*>(self)->ping();
    return G_SOURCE_CONTINUE;
}

void StreamHost::pageAnswered() {
    pingSent_ = 0;
}

void StreamHost::handle(JSCValue* message, WebKitScriptMessageReply* reply) {
    pageAnswered();
    if (!jsc_value_is_object(message) || !plan_) {
        return;  // answered with nothing
    }
    const std::string kind = stringProperty(message, "kind");
    if (kind == "volume") {
        volume_ = numberProperty(message, "volume");
        muted_ = booleanProperty(message, "muted");
        MediaReport changed;
        changed.event = MediaEvent::Volume;
        changed.volume = volume_;
        changed.muted = muted_;
        plan_->mediaReported(changed);
        return;
    }
    const bool start = kind == "start";
    if (!start && (kind != "media" || numberProperty(message, "token") != token_)) {
        return;
    }
    fetcher_.cancel();
    answer(PlaybackStep{});
    pending_ = webkit_script_message_reply_ref(reply);
    context_ = JSC_CONTEXT(g_object_ref(jsc_value_get_context(message)));
    if (start) {
        ++token_;
        titles_.close();
        // A page shown again after its process was lost may have only its failure to show.
        std::optional<PlaybackStep> step = std::exchange(afterLoss_, std::nullopt);
        if (step && step->action == PlaybackStep::Action::Fail) {
            carryOut(*step);
            return;
        }
        live_ = true;
        carryOut(plan_->begin());
        return;
    }
    MediaReport said;
    said.event = mediaEvent(stringProperty(message, "event"));
    said.errorCode = static_cast<int32_t>(numberProperty(message, "code"));
    said.live = booleanProperty(message, "live");
    said.played = booleanProperty(message, "played");
    if (observer_) {
        observer_(said.event);
    }
    carryOut(plan_->mediaReported(said));
}

void StreamHost::carryOut(PlaybackStep step) {
    if (step.action == PlaybackStep::Action::ReadTitles ||
        step.action == PlaybackStep::Action::EndTitles) {
        if (step.action == PlaybackStep::Action::ReadTitles) {
            readTitles(step);
        } else {
            titles_.close();
        }
        answer(PlaybackStep{});
        return;
    }
    if (step.action == PlaybackStep::Action::Play) {
        // The media element's requests carry the view's user agent; their Referer is the
        // page's, which WebKitGTK gives the program no way to set, so an asked-for one is only
        // sent with the program's own fetches.
        setUserAgent(step.headers.userAgent);
    }
    if (step.action != PlaybackStep::Action::Fetch) {
        answer(step);
        return;
    }
    StreamPlan* plan = plan_.get();
    fetcher_.fetch(
        step.url, plan->limits(), step.headers,
        [plan](const std::string& bytes) { return plan->enoughToDecide(bytes); },
        [this, plan](FetchResult result) {
            if (plan == plan_.get()) {
                carryOut(plan->fetched(result));
            }
        });
}

void StreamHost::answer(const PlaybackStep& step) {
    if (step.action == PlaybackStep::Action::Fail) {
        live_ = false;  // nothing plays any more: nothing to watch over
        titles_.close();
    }
    if (pending_ == nullptr) {
        return;
    }
    if (step.action == PlaybackStep::Action::Play || step.action == PlaybackStep::Action::Fail) {
        JSCValue* reply = jsc_value_new_object(context_, nullptr, nullptr);
        setProperty(reply, "token", jsc_value_new_number(context_, token_));
        setProperty(reply, "action", jsc_value_new_string(context_, actionName(step.action)));
        setProperty(reply, "url", jsc_value_new_string(context_, step.url.c_str()));
        setProperty(reply, "delay", jsc_value_new_number(context_, step.delayMs));
        setProperty(reply, "volume", jsc_value_new_number(context_, volume_));
        setProperty(reply, "muted", jsc_value_new_boolean(context_, muted_));
        if (plan_) {
            const StreamLimits limits = plan_->limits();
            setProperty(reply, "stallMs", jsc_value_new_number(context_, limits.stallMs));
            // The element's first data is held to the fetches' limit.
            setProperty(reply, "firstDataMs",
                        jsc_value_new_number(context_, StreamFetcher::timeLimit(limits)));
            setProperty(reply, "line", jsc_value_new_string(context_, step.line.c_str()));
            const std::string address = displayText(plan_->address());
            setProperty(reply, "address", jsc_value_new_string(context_, address.c_str()));
            const std::string colour(plan_->failureColour());
            setProperty(reply, "colour", jsc_value_new_string(context_, colour.c_str()));
        }
        webkit_script_message_reply_return_value(pending_, reply);
        g_object_unref(reply);
    }
    webkit_script_message_reply_unref(pending_);
    pending_ = nullptr;
    g_clear_object(&context_);
}

void StreamHost::readTitles(const PlaybackStep& step) {
    if (titles_.reading(step.url)) {
        return;
    }
    StreamPlan* plan = plan_.get();
    titles_.open(
        step.url, plan->limits(), step.headers,
        [this, plan](const FetchResult& head) {
            return plan == plan_.get() && plan->titlesAnswered(head).keepReading;
        },
        [this, plan](std::string_view chunk) {
            if (plan != plan_.get()) {
                return false;
            }
            const TitleStep read = plan->titlesRead(chunk);
            if (read.changed) {
                tellPage("title", read.title);
            }
            return read.keepReading;
        });
}

void StreamHost::tellPage(const char* action, const std::string& text, double number) {
    if (view_ == nullptr) {
        return;
    }
    const std::string colour(plan_ ? plan_->titleColour() : std::string_view());
    GVariantDict arguments;
    g_variant_dict_init(&arguments, nullptr);
    g_variant_dict_insert(&arguments, "action", "s", action);
    g_variant_dict_insert(&arguments, "text", "s", text.c_str());
    g_variant_dict_insert(&arguments, "number", "d", number);
    g_variant_dict_insert(&arguments, "colour", "s", colour.c_str());
    webkit_web_view_call_async_javascript_function(view_, kControlCall, -1,
                                                   g_variant_dict_end(&arguments), kStreamHostWorld,
                                                   nullptr, nullptr, nullptr, nullptr);
}

void StreamHost::ping() {
    if (!live_ || view_ == nullptr || !plan_) {
        pingSent_ = 0;
        return;
    }
    const gint64 now = g_get_monotonic_time();
    if (pingSent_ != 0) {
        if (now - pingSent_ >= static_cast<gint64>(plan_->limits().unresponsiveMs) * 1000) {
            lost(true);
        }
        return;
    }
    pingSent_ = now;
    webkit_web_view_evaluate_javascript(view_, kPingScript, -1, kStreamHostWorld, nullptr, pings_,
                                        onPingAnswered, this);
}

void StreamHost::lost(bool endProcess) {
    live_ = false;
    pingSent_ = 0;
    fetcher_.cancel();
    titles_.close();
    answer(PlaybackStep{});
    ++token_;
    afterLoss_ = plan_ ? plan_->mediaReported(MediaReport{MediaEvent::Lost}) : PlaybackStep{};
    if (observer_) {
        observer_(MediaEvent::Lost);
    }
    if (endProcess && view_ != nullptr) {
        webkit_web_view_terminate_web_process(view_);
    }
    // A page without a stream (the welcome page) waits for the next watch, and so does a page
    // whose processes keep ending: they are not started again and again.
    if (plan_ && showAgain_ && ++losses_ <= kMaxLosses) {
        showAgain_();
    }
}

}  // namespace vistrelle::gtk
