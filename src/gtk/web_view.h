// webView on Linux: a WebKitGTK view that shows only the pages the program writes into it.
#pragma once

#include <gtkmm/widget.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "gtk/stream_host.h"
#include "ui/window_layer.h"

namespace vistrelle::gtk {

class GtkWebView final : public vistrelle::WebView {
public:
    GtkWebView();
    GtkWebView(const GtkWebView&) = delete;
    GtkWebView& operator=(const GtkWebView&) = delete;
    ~GtkWebView() override;

    // The widget to place in the main window.
    Gtk::Widget& widget() { return *widget_; }
    WebKitWebView* webKitView() const { return view_; }

    std::optional<std::string> locationUrl() override;
    void navigate(std::string_view url) override;
    bool busy() override;
    std::unique_ptr<WebDocument> document() override;
    void hostStream(std::unique_ptr<StreamPlan> stream) override;
    void controlMedia(MediaAction action, double volume) override;

    // What plays the pages' streams.
    StreamHost& streamHost() { return *streamHost_; }

    // Shows `page` (the program's bytes) as the document of "about:blank".
    void loadPage(std::string_view page);

    // Where a link with a target goes, for web addresses only. By default the desktop's URL
    // handler; never this view.
    using LinkOpener = std::function<void(const std::string& url)>;
    void setLinkOpener(LinkOpener opener) { linkOpener_ = std::move(opener); }

private:
    static gboolean onDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer self);
    static void onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
    static void onProcessTerminated(WebKitWebView* view, WebKitWebProcessTerminationReason reason,
                                    gpointer self);
    static gboolean onContextMenu(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent* event,
                                  WebKitHitTestResult* hit, gpointer self);

    std::unique_ptr<StreamHost> streamHost_;
    WebKitWebView* view_ = nullptr;
    Gtk::Widget* widget_ = nullptr;
    // A load was asked for and the view has not reported it started yet.
    bool loadPending_ = false;
    // The page shown, for a fresh process when the one showing it was lost.
    std::string page_;
    LinkOpener linkOpener_;
};

// The address a navigation asks for, and its kind; empty when the decision carries none.
std::string navigationAddress(WebKitPolicyDecision* decision, WebKitNavigationType* type);

}  // namespace vistrelle::gtk
