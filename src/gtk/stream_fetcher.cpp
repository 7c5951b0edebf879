#include "gtk/stream_fetcher.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vistrelle::gtk {

namespace {

constexpr gsize kReadChunk = 16 * 1024;
int timeLimitForTesting = 0;
bool onlyLoopback = false;

bool isLoopbackAddress(const std::string& url) {
    GUri* uri = g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr);
    if (uri == nullptr) {
        return false;
    }
    const std::string host = g_uri_get_host(uri) != nullptr ? g_uri_get_host(uri) : "";
    g_uri_unref(uri);
    return host == "127.0.0.1" || host == "localhost" || host == "::1" || host == "[::1]";
}

}  // namespace

struct StreamFetcher::Request {
    ~Request() {
        if (timer != 0) {
            g_source_remove(timer);
        }
        closeStream();
        g_clear_object(&message);
        g_clear_object(&cancellable);
        g_clear_object(&session);
    }

    // Closes the connection, unless a read is still under way: its end closes it then.
    void closeStream() {
        if (stream != nullptr && !reading) {
            g_input_stream_close_async(stream, G_PRIORITY_DEFAULT, nullptr, nullptr, nullptr);
            g_clear_object(&stream);
        }
    }

    SoupSession* session = nullptr;
    SoupMessage* message = nullptr;
    GCancellable* cancellable = nullptr;
    GInputStream* stream = nullptr;
    guint timer = 0;
    bool finished = false;
    bool reading = false;
    gsize limit = 0;
    FetchResult result;
    Enough enough;
    Done done;
};

namespace {

using Request = StreamFetcher::Request;
using Hold = std::shared_ptr<Request>;

// Ends the request: nothing more is read, the connection closes, and `done` runs unless it was
// given up.
void finish(Request& request, FetchOutcome outcome, bool report = true) {
    if (request.finished) {
        return;
    }
    request.finished = true;
    if (request.timer != 0) {
        g_source_remove(request.timer);
        request.timer = 0;
    }
    g_cancellable_cancel(request.cancellable);
    request.closeStream();
    request.result.outcome = outcome;
    StreamFetcher::Done done = std::move(request.done);
    if (report && done) {
        done(std::move(request.result));
    }
}

void readMore(const Hold& request);

void onRead(GObject* source, GAsyncResult* async, gpointer data) {
    std::unique_ptr<Hold> hold(static_cast<Hold*>(data));
    Request& request = **hold;
    request.reading = false;
    GBytes* bytes = g_input_stream_read_bytes_finish(G_INPUT_STREAM(source), async, nullptr);
    if (request.finished) {
        if (bytes != nullptr) {
            g_bytes_unref(bytes);
        }
        request.closeStream();
        return;
    }
    // A connection that breaks off leaves what was read.
    if (bytes == nullptr || g_bytes_get_size(bytes) == 0) {
        if (bytes != nullptr) {
            g_bytes_unref(bytes);
        }
        finish(request, FetchOutcome::Answered);
        return;
    }
    gsize size = 0;
    const auto* data_ = static_cast<const char*>(g_bytes_get_data(bytes, &size));
    request.result.bytes.append(data_, size);
    g_bytes_unref(bytes);
    if (request.result.bytes.size() >= request.limit ||
        (request.enough && request.enough(request.result.bytes))) {
        request.result.bytes.resize(std::min<size_t>(request.result.bytes.size(), request.limit));
        finish(request, FetchOutcome::Answered);
        return;
    }
    readMore(*hold);
}

void readMore(const Hold& request) {
    const gsize want = std::min(kReadChunk, request->limit - request->result.bytes.size());
    request->reading = true;
    g_input_stream_read_bytes_async(request->stream, want, G_PRIORITY_DEFAULT, request->cancellable,
                                    onRead, new Hold(request));
}

void onSent(GObject* /*source*/, GAsyncResult* async, gpointer data) {
    std::unique_ptr<Hold> hold(static_cast<Hold*>(data));
    Request& request = **hold;
    GError* error = nullptr;
    GInputStream* stream = soup_session_send_finish(request.session, async, &error);
    if (request.finished) {
        if (stream != nullptr) {
            g_input_stream_close_async(stream, G_PRIORITY_DEFAULT, nullptr, nullptr, nullptr);
            g_object_unref(stream);
        }
        g_clear_error(&error);
        return;
    }
    if (stream == nullptr) {
        const bool timedOut = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT);
        g_clear_error(&error);
        finish(request, timedOut ? FetchOutcome::NoAnswer : FetchOutcome::Unreachable);
        return;
    }
    request.stream = stream;
    StreamFetcher::readHead(request.message, request.result);
    const int32_t status = request.result.status;
    if (status >= 300 && status < 400 && !request.result.location.empty()) {
        finish(request, FetchOutcome::Redirected);
        return;
    }
    if (status < 200 || status >= 300) {
        finish(request, FetchOutcome::HttpError);
        return;
    }
    readMore(*hold);
}

gboolean onTimeLimit(gpointer data) {
    auto& request = *static_cast<Request*>(data);
    request.timer = 0;
    // Without a status line the server did not answer; with one, what came so far is the answer.
    finish(request, request.stream == nullptr ? FetchOutcome::NoAnswer : FetchOutcome::Answered);
    return G_SOURCE_REMOVE;
}

gboolean onRefused(gpointer data) {
    std::unique_ptr<Hold> hold(static_cast<Hold*>(data));
    finish(**hold, FetchOutcome::Unreachable);
    return G_SOURCE_REMOVE;
}

}  // namespace

StreamFetcher::StreamFetcher() {
    session_ = soup_session_new();
}

StreamFetcher::~StreamFetcher() {
    cancel();
    g_object_unref(session_);
}

void StreamFetcher::setTimeLimitForTesting(int ms) {
    timeLimitForTesting = ms;
}

void StreamFetcher::setLoopbackOnlyForTesting(bool only) {
    onlyLoopback = only;
}

int StreamFetcher::timeLimit(const StreamLimits& limits) {
    return timeLimitForTesting > 0 ? timeLimitForTesting : limits.fetchMs;
}

bool StreamFetcher::refused(const std::string& url) {
    return onlyLoopback && !isLoopbackAddress(url);
}

void StreamFetcher::readHead(SoupMessage* message, FetchResult& result) {
    const guint status = soup_message_get_status(message);
    const char* reason = soup_message_get_reason_phrase(message);
    result.status = static_cast<int32_t>(status);
    result.reason = reason != nullptr ? reason : "";
    gchar* finalUrl = g_uri_to_string(soup_message_get_uri(message));
    result.finalUrl = finalUrl != nullptr ? finalUrl : "";
    g_free(finalUrl);
    SoupMessageHeaders* headers = soup_message_get_response_headers(message);
    const char* type = soup_message_headers_get_one(headers, "Content-Type");
    result.contentType = type != nullptr ? type : "";
    const char* location = soup_message_headers_get_one(headers, "Location");
    result.location = location != nullptr ? location : "";
    const char* interval = soup_message_headers_get_one(headers, "icy-metaint");
    result.metaInterval = interval != nullptr ? interval : "";
    SoupMessageHeadersIter iter;
    soup_message_headers_iter_init(&iter, headers);
    const char* name = nullptr;
    const char* value = nullptr;
    while (soup_message_headers_iter_next(&iter, &name, &value)) {
        if (g_ascii_strncasecmp(name, "icy-", 4) == 0) {
            result.icy = true;
        }
    }
}

void StreamFetcher::setRequestHeaders(SoupMessage* message, const StreamLimits& limits,
                                      const StreamHeaders& headers) {
    SoupMessageHeaders* sent = soup_message_get_request_headers(message);
    const std::string agent =
        headers.userAgent.empty() ? std::string(limits.userAgent) : headers.userAgent;
    soup_message_headers_replace(sent, "User-Agent", agent.c_str());
    if (!headers.referer.empty()) {
        soup_message_headers_replace(sent, "Referer", headers.referer.c_str());
    }
}

void StreamFetcher::cancel() {
    if (request_) {
        finish(*request_, FetchOutcome::Unreachable, false);
        request_.reset();
    }
}

void StreamFetcher::fetch(const std::string& url, const StreamLimits& limits,
                          const StreamHeaders& headers, Enough enough, Done done) {
    cancel();
    auto request = std::make_shared<Request>();
    request_ = request;
    request->session = SOUP_SESSION(g_object_ref(session_));
    request->cancellable = g_cancellable_new();
    request->limit = std::max<gsize>(limits.fetchBytes, 1);
    request->enough = std::move(enough);
    request->done = std::move(done);
    request->result.finalUrl = url;

    request->message = soup_message_new(SOUP_METHOD_GET, url.c_str());
    if (request->message == nullptr || refused(url)) {
        // Not an address libsoup can request: answered like a host that cannot be reached, but
        // from the main loop as every other answer.
        g_idle_add(onRefused, new Hold(request));
        return;
    }
    // Every redirect is one more fetch of the watch: the plan decides whether to follow it.
    soup_message_add_flags(request->message, SOUP_MESSAGE_NO_REDIRECT);
    setRequestHeaders(request->message, limits, headers);
    request->timer =
        g_timeout_add(static_cast<guint>(timeLimit(limits)), onTimeLimit, request.get());
    soup_session_send_async(session_, request->message, G_PRIORITY_DEFAULT, request->cancellable,
                            onSent, new Hold(request));
}

}  // namespace vistrelle::gtk
