// The two pages the program shows: the welcome page at start-up and the page of the watched
// channel.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "player/pages.h"
#include "player/playback.h"
#include "player/web_writer.h"
#include "ui/texts.h"
#include "ui/window_layer.h"

namespace vistrelle {

namespace {

// Gives every column of `row` this background and tells channelList; rows that do not exist
// are left alone.
void paintRow(Catalog& catalog, WindowUi& windows, int32_t row, std::optional<Rgb> colour) {
    if (row < 0 || row >= catalog.rows.count()) {
        return;
    }
    catalog.rows.setBackground(row, colour);
    windows.channelList().rowRepaint(catalog.rows, row);
}

}  // namespace

void showWelcomePage(WindowUi& windows, EventDrain& drain, EventPump& pump) {
    // A welcome page that cannot be written is not worth a message.
    (void)writeWebViewDocument(windows.webView(), welcomePage(), drain, pump);
}

void watchSelectedChannel(Catalog& catalog, WindowUi& windows, int8_t playerVersion,
                          EventDrain& drain, EventPump& pump,
                          std::weak_ptr<PlaybackListener> listener) {
    const int32_t selected = windows.channelList().selectedRow();
    std::vector<Channel>& shown = catalog.shownChannels;
    if (selected < 0 || selected >= static_cast<int32_t>(shown.size())) {
        return;  // nothing to watch
    }

    // Take the mark off the channel watched so far. After a change of view watchedRow may lie
    // beyond the list: then the last entry stands for it.
    paintRow(catalog, windows, catalog.watchedRow, std::nullopt);
    if (!shown.empty() && catalog.watchedRow >= 0) {
        const size_t old = std::min(static_cast<size_t>(catalog.watchedRow), shown.size() - 1);
        shown[old].watching = 0;
    }

    catalog.watchedRow = selected;
    paintRow(catalog, windows, selected, kWatchedRowColour);
    Channel& channel = shown[static_cast<size_t>(selected)];
    channel.watching = 1;

    // The writer runs the window procedures while it waits (a header click may sort the list),
    // so keep what is needed afterwards.
    const std::string name(channel.name());
    const std::string page = playerPage(channel.streamUrl(), playerVersion);

    if (std::shared_ptr<PlaybackListener> told = listener.lock()) {
        told->watching(channel);
    }
    if (WebView* view = windows.webView()) {
        view->hostStream(std::make_unique<StreamResolution>(channel.streamUrl(), listener));
    }
    if (writeWebViewDocument(windows.webView(), page, drain, pump) == 0) {
        showMessage(windows, texts::kPageNotWritten);
    }
    windows.setStatusText(std::string(texts::kNowWatching) + name);
}

}  // namespace vistrelle
