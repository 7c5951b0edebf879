#include "gtk/web_view.h"

#include <glibmm/wrap.h>

#include "gtk/launcher.h"
#include "gtk/session_bus.h"
#include "settings/launch.h"
#include "ui/display_text.h"

namespace vistrelle::gtk {

namespace {

constexpr const char* kBlankAddress = "about:blank";

class GtkWebDocument final : public WebDocument {
public:
    explicit GtkWebDocument(GtkWebView& view) : view_(view) {}

    bool write(std::string_view page) override {
        page_.append(page);
        written_ = true;
        return true;
    }

    void close() override {
        // Like a document that was never written to, closing without a write changes nothing.
        if (written_) {
            view_.loadPage(page_);
        }
        page_.clear();
        written_ = false;
    }

private:
    GtkWebView& view_;
    std::string page_;
    bool written_ = false;
};

}  // namespace

GtkWebView::GtkWebView() {
    // The media elements play HLS only when asked before the first view starts its processes.
    g_setenv("WEBKIT_GST_ENABLE_HLS_SUPPORT", "1", FALSE);
    keepWebProcessesOffSessionBus();
    WebKitUserContentManager* content = webkit_user_content_manager_new();
    streamHost_ = std::make_unique<StreamHost>(content);
    // The user's double click on a channel is the reason to start its sound.
    WebKitWebsitePolicies* policies =
        webkit_website_policies_new_with_policies("autoplay", WEBKIT_AUTOPLAY_ALLOW, nullptr);
    view_ = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager", content,
                                         "website-policies", policies, nullptr));
    g_object_unref(policies);
    g_object_unref(content);
    g_object_ref_sink(view_);
    streamHost_->attach(view_, [this] {
        loadPending_ = true;
        webkit_web_view_load_html(view_, page_.c_str(), kBlankAddress);
    });

    // None of the scripts a page brings along is run; the program's own page script is.
    WebKitSettings* settings = webkit_web_view_get_settings(view_);
    webkit_settings_set_enable_javascript_markup(settings, FALSE);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);

    g_signal_connect(view_, "decide-policy", G_CALLBACK(onDecidePolicy), this);
    g_signal_connect(view_, "load-changed", G_CALLBACK(onLoadChanged), this);
    g_signal_connect(view_, "web-process-terminated", G_CALLBACK(onProcessTerminated), this);
    g_signal_connect(view_, "context-menu", G_CALLBACK(onContextMenu), this);

    linkOpener_ = [](const std::string& url) { GtkLauncher().openWebAddress(url); };
    widget_ = Glib::wrap(GTK_WIDGET(view_));
    widget_->show();
}

GtkWebView::~GtkWebView() {
    streamHost_->stop();
    streamHost_->attach(nullptr, nullptr);
    g_signal_handlers_disconnect_by_data(view_, this);
    // Its process goes with the view, whatever state it is in (a player that hangs included).
    webkit_web_view_terminate_web_process(view_);
    g_object_unref(view_);
}

std::optional<std::string> GtkWebView::locationUrl() {
    const gchar* uri = webkit_web_view_get_uri(view_);
    return std::string(uri != nullptr ? uri : "");
}

void GtkWebView::navigate(std::string_view url) {
    loadPending_ = true;
    webkit_web_view_load_uri(view_, std::string(url).c_str());
}

bool GtkWebView::busy() {
    return loadPending_ || webkit_web_view_is_loading(view_);
}

std::unique_ptr<WebDocument> GtkWebView::document() {
    return std::make_unique<GtkWebDocument>(*this);
}

void GtkWebView::hostStream(std::unique_ptr<StreamPlan> stream) {
    streamHost_->setStream(std::move(stream));
}

void GtkWebView::controlMedia(MediaAction action, double volume) {
    streamHost_->control(action, volume);
}

void GtkWebView::loadPage(std::string_view page) {
    loadPending_ = true;
    page_ = displayText(page);
    webkit_web_view_load_html(view_, page_.c_str(), kBlankAddress);
}

gboolean GtkWebView::onDecidePolicy(WebKitWebView* /*view*/, WebKitPolicyDecision* decision,
                                    WebKitPolicyDecisionType type, gpointer self) {
    auto* webView = static_cast<GtkWebView*>(self);
    WebKitNavigationType navigation = WEBKIT_NAVIGATION_TYPE_OTHER;
    switch (type) {
        case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION: {
            // Only the program's own loads: "about:blank" and the pages shown as its document.
            // Links, history steps and reloads stay where they are.
            std::string address = navigationAddress(decision, &navigation);
            if (address == kBlankAddress && navigation == WEBKIT_NAVIGATION_TYPE_OTHER) {
                webkit_policy_decision_use(decision);
            } else {
                webkit_policy_decision_ignore(decision);
            }
            return TRUE;
        }
        case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION: {
            // A link with a target: a web address goes to the user's browser, nothing else
            // goes anywhere.
            std::string address = navigationAddress(decision, &navigation);
            webkit_policy_decision_ignore(decision);
            if (!webAddressFor(address).empty() && webView->linkOpener_) {
                webView->linkOpener_(address);
            }
            return TRUE;
        }
        default:
            return FALSE;
    }
}

void GtkWebView::onLoadChanged(WebKitWebView* /*view*/, WebKitLoadEvent /*event*/, gpointer self) {
    // From the first event on, the view's own loading state tells how far the load is.
    static_cast<GtkWebView*>(self)->loadPending_ = false;
}

void GtkWebView::onProcessTerminated(WebKitWebView* /*view*/,
                                     WebKitWebProcessTerminationReason reason, gpointer self) {
    auto* webView = static_cast<GtkWebView*>(self);
    webView->loadPending_ = false;
    // A process the program ended itself is already replaced.
    if (reason != WEBKIT_WEB_PROCESS_TERMINATED_BY_API) {
        webView->streamHost_->processEnded();
    }
}

gboolean GtkWebView::onContextMenu(WebKitWebView* /*view*/, WebKitContextMenu* /*menu*/,
                                   GdkEvent* /*event*/, WebKitHitTestResult* /*hit*/,
                                   gpointer /*self*/) {
    // No reload, back or "open link" entries: the view keeps the page it was given.
    return TRUE;
}

std::string navigationAddress(WebKitPolicyDecision* decision, WebKitNavigationType* type) {
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    if (action == nullptr) {
        return {};
    }
    *type = webkit_navigation_action_get_navigation_type(action);
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    const gchar* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
    return uri != nullptr ? uri : "";
}

}  // namespace vistrelle::gtk
