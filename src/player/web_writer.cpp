#include "player/web_writer.h"

#include <optional>
#include <string>

#include "ui/window_layer.h"

namespace vistrelle {

namespace {

constexpr std::string_view kBlankAddress = "about:blank";

// Waits until the browser is idle, emptying the message queue before every look at it. False
// when it stayed busy for longer than kWebViewBusyLimitMs.
bool waitUntilIdle(WebView& webView, EventDrain& drain, EventPump& pump) {
    const int64_t start = pump.monotonicMilliseconds();
    for (;;) {
        drain.drainPendingEvents();
        if (!webView.busy()) {
            return true;
        }
        if (pump.monotonicMilliseconds() - start >= kWebViewBusyLimitMs) {
            return false;
        }
        pump.sleepMilliseconds(kWebViewPollMs);
    }
}

}  // namespace

int32_t writeWebViewDocument(WebView* webView, std::string_view page, EventDrain& drain,
                             EventPump& pump) {
    if (webView == nullptr) {
        return 0;
    }
    // Only a view that never held a document has no location; give it one to write into.
    std::optional<std::string> location = webView->locationUrl();
    if (!location.has_value() || location->empty()) {
        webView->navigate(kBlankAddress);
    }
    if (!waitUntilIdle(*webView, drain, pump)) {
        return 0;
    }
    std::unique_ptr<WebDocument> document = webView->document();
    if (!document) {
        return 0;
    }
    const int32_t result = document->write(page) ? 1 : 0;
    document->close();
    return result;
}

}  // namespace vistrelle
