// Writing a page into webView, and watching the selected channel.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace vistrelle {

class WebView;
class EventPump;
struct Catalog;
class WindowUi;
class PlaybackListener;

// Throws away everything the main loop would have received while the writer waits.
class EventDrain {
public:
    virtual ~EventDrain() = default;
    // Dispatches every pending platform message and discards the program events they made.
    virtual void drainPendingEvents() = 0;
};

// How long a browser may stay busy before a write gives up.
inline constexpr int64_t kWebViewBusyLimitMs = 20000;
inline constexpr int32_t kWebViewPollMs = 10;

// Replaces the document of `webView` (null: no control) with `page`. 1 when the page was
// written, 0 when not.
int32_t writeWebViewDocument(WebView* webView, std::string_view page, EventDrain& drain,
                             EventPump& pump);

void showWelcomePage(WindowUi& windows, EventDrain& drain, EventPump& pump);
// `listener` learns of the channel and follows its stream.
void watchSelectedChannel(Catalog& catalog, WindowUi& windows, int8_t playerVersion,
                          EventDrain& drain, EventPump& pump,
                          std::weak_ptr<PlaybackListener> listener = {});

}  // namespace vistrelle
