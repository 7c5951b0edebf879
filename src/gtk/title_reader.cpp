#include "gtk/title_reader.h"

#include <utility>

#include "gtk/stream_fetcher.h"

namespace vistrelle::gtk {

namespace {

constexpr gsize kReadChunk = 16 * 1024;

}  // namespace

struct TitleReader::Connection {
    ~Connection() { end(); }

    // Ends the reading for good; the connection closes once no read is under way.
    void end() {
        closed = true;
        if (timer != 0) {
            g_source_remove(timer);
            timer = 0;
        }
        if (cancellable != nullptr) {
            g_cancellable_cancel(cancellable);
        }
        if (stream != nullptr && !reading) {
            g_input_stream_close_async(stream, G_PRIORITY_DEFAULT, nullptr, nullptr, nullptr);
            g_clear_object(&stream);
        }
        if (!reading && !sending) {
            g_clear_object(&message);
            g_clear_object(&cancellable);
            g_clear_object(&session);
        }
    }

    std::string url;
    SoupSession* session = nullptr;
    SoupMessage* message = nullptr;
    GCancellable* cancellable = nullptr;
    GInputStream* stream = nullptr;
    guint timer = 0;
    bool closed = false;
    bool sending = false;
    bool reading = false;
    Head head;
    Bytes bytes;
};

namespace {

using Connection = TitleReader::Connection;
using Hold = std::shared_ptr<Connection>;

void readMore(const Hold& connection);

void onRead(GObject* source, GAsyncResult* async, gpointer data) {
    std::unique_ptr<Hold> hold(static_cast<Hold*>(data));
    Connection& connection = **hold;
    connection.reading = false;
    GBytes* bytes = g_input_stream_read_bytes_finish(G_INPUT_STREAM(source), async, nullptr);
    bool more = false;
    if (!connection.closed) {
        gsize size = 0;
        const auto* chunk =
            bytes != nullptr ? static_cast<const char*>(g_bytes_get_data(bytes, &size)) : nullptr;
        // The plan may close the reader from inside: it ends after this call.
        more = connection.bytes(std::string_view(chunk != nullptr ? chunk : "", size)) &&
               size > 0 && !connection.closed;
    }
    if (bytes != nullptr) {
        g_bytes_unref(bytes);
    }
    if (more) {
        readMore(*hold);
    } else {
        connection.end();
    }
}

void readMore(const Hold& connection) {
    connection->reading = true;
    g_input_stream_read_bytes_async(connection->stream, kReadChunk, G_PRIORITY_LOW,
                                    connection->cancellable, onRead, new Hold(connection));
}

void onSent(GObject* /*source*/, GAsyncResult* async, gpointer data) {
    std::unique_ptr<Hold> hold(static_cast<Hold*>(data));
    Connection& connection = **hold;
    connection.sending = false;
    GError* error = nullptr;
    connection.stream = soup_session_send_finish(connection.session, async, &error);
    const bool timedOut = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT);
    g_clear_error(&error);
    if (connection.closed) {
        connection.end();
        return;
    }
    if (connection.timer != 0) {
        g_source_remove(connection.timer);
        connection.timer = 0;
    }
    FetchResult head;
    if (connection.stream == nullptr) {
        head.outcome = timedOut ? FetchOutcome::NoAnswer : FetchOutcome::Unreachable;
    } else {
        StreamFetcher::readHead(connection.message, head);
        head.outcome = head.status >= 200 && head.status < 300 ? FetchOutcome::Answered
                                                               : FetchOutcome::HttpError;
    }
    if (connection.head(head) && connection.stream != nullptr && !connection.closed) {
        readMore(*hold);
    } else {
        connection.end();
    }
}

gboolean onNoHead(gpointer data) {
    auto& connection = *static_cast<Connection*>(data);
    connection.timer = 0;
    FetchResult head;
    head.outcome = FetchOutcome::NoAnswer;
    TitleReader::Head told = connection.head;
    connection.end();
    told(head);
    return G_SOURCE_REMOVE;
}

}  // namespace

TitleReader::TitleReader() {
    session_ = soup_session_new();
}

TitleReader::~TitleReader() {
    close();
    g_object_unref(session_);
}

void TitleReader::open(const std::string& url, const StreamLimits& limits,
                       const StreamHeaders& headers, Head head, Bytes bytes) {
    close();
    SoupMessage* message = soup_message_new(SOUP_METHOD_GET, url.c_str());
    if (message == nullptr || StreamFetcher::refused(url)) {
        g_clear_object(&message);
        return;
    }
    auto connection = std::make_shared<Connection>();
    connection_ = connection;
    connection->url = url;
    connection->session = SOUP_SESSION(g_object_ref(session_));
    connection->message = message;
    connection->cancellable = g_cancellable_new();
    connection->head = std::move(head);
    connection->bytes = std::move(bytes);
    soup_message_add_flags(message, SOUP_MESSAGE_NO_REDIRECT);
    StreamFetcher::setRequestHeaders(message, limits, headers);
    soup_message_headers_replace(soup_message_get_request_headers(message), "Icy-MetaData", "1");
    connection->timer = g_timeout_add(static_cast<guint>(StreamFetcher::timeLimit(limits)),
                                      onNoHead, connection.get());
    connection->sending = true;
    soup_session_send_async(session_, message, G_PRIORITY_LOW, connection->cancellable, onSent,
                            new Hold(connection));
}

void TitleReader::close() {
    if (connection_) {
        connection_->end();
        connection_.reset();
    }
}

bool TitleReader::active() const {
    return connection_ && !connection_->closed;
}

bool TitleReader::reading(const std::string& url) const {
    return connection_ && !connection_->closed && connection_->url == url;
}

}  // namespace vistrelle::gtk
