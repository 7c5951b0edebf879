#include "gtk/stream_host.h"

#include <string>
#include <utility>

#include "gtk/stream_host_script.h"
#include "ui/display_text.h"

namespace vistrelle::gtk {

namespace {

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

}  // namespace

StreamHost::StreamHost(WebKitUserContentManager* manager)
    : manager_(WEBKIT_USER_CONTENT_MANAGER(g_object_ref(manager))) {
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
    fetcher_.cancel();
    answer(PlaybackStep{});
    g_object_unref(manager_);
}

void StreamHost::setStream(std::unique_ptr<StreamPlan> plan) {
    stop();
    plan_ = std::move(plan);
    setUserAgent({});
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
    answer(PlaybackStep{});
    ++token_;  // what the old page still says is not heard
    if (view_ != nullptr) {
        webkit_web_view_evaluate_javascript(view_, kStopMediaScript, -1, kStreamHostWorld, nullptr,
                                            nullptr, nullptr, nullptr);
    }
}

gboolean StreamHost::onMessage(WebKitUserContentManager* /*manager*/, JSCValue* message,
                               WebKitScriptMessageReply* reply, gpointer self) {
    static_cast<StreamHost*>(self)->handle(message, reply);
    return TRUE;
}

void StreamHost::handle(JSCValue* message, WebKitScriptMessageReply* reply) {
    if (!jsc_value_is_object(message) || !plan_) {
        return;  // answered with nothing
    }
    const std::string kind = stringProperty(message, "kind");
    if (kind == "volume") {
        volume_ = numberProperty(message, "volume");
        muted_ = booleanProperty(message, "muted");
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
        carryOut(plan_->begin());
        return;
    }
    MediaReport report;
    report.event = mediaEvent(stringProperty(message, "event"));
    report.errorCode = static_cast<int32_t>(numberProperty(message, "code"));
    report.live = booleanProperty(message, "live");
    report.played = booleanProperty(message, "played");
    if (observer_) {
        observer_(report.event);
    }
    carryOut(plan_->mediaReported(report));
}

void StreamHost::carryOut(PlaybackStep step) {
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
            setProperty(reply, "stallMs", jsc_value_new_number(context_, plan_->limits().stallMs));
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

}  // namespace vistrelle::gtk
