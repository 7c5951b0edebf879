// Downloads through WinHTTP in asynchronous mode: every operation is started here and completed
// by WinHTTP's callback, while this thread waits in short slices, so that Cancel, the overall
// time limit and a stalled answer end a download at once by closing its request. Redirects are
// followed here (the final address is then known, and relative ones resolve the same on every
// system), gzip answers are decoded with zlib, and an answer shorter than its Content-Length is
// an error.
#include "updater_win32/winhttp_network.h"

#include <windows.h>
// clang-format off
#include <winhttp.h>
// clang-format on
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>

#include "player/playlist.h"
#include "updater_win32/winhttp_text.h"

namespace vistrelle::updater {

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kReadSize = 256 * 1024;

// What WinHTTP's callback shares with one request. The callback may come on another thread, and
// after the request's handle was closed it may still come, later than the download lives: the
// request's handle holds a reference until its closing callback.
struct Exchange {
    std::mutex mutex;
    std::condition_variable changed;
    bool completed = false;
    DWORD error = 0;  // of the last operation, 0 when it succeeded
    DWORD bytes = 0;  // bytes available or read
    std::vector<char> buffer = std::vector<char>(kReadSize);
    std::atomic<int> references{1};

    void complete(DWORD failure, DWORD count) {
        {
            std::lock_guard lock(mutex);
            completed = true;
            error = failure;
            bytes = count;
        }
        changed.notify_all();
    }
    void release() {
        if (references.fetch_sub(1) == 1) {
            delete this;
        }
    }
};

void CALLBACK onStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                       DWORD length) {
    auto* exchange = reinterpret_cast<Exchange*>(context);
    if (exchange == nullptr) {
        return;
    }
    switch (status) {
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
            exchange->complete(0, 0);
            break;
        case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
            exchange->complete(0, *static_cast<DWORD*>(information));
            break;
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
            exchange->complete(0, length);
            break;
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: {
            const DWORD failure = static_cast<WINHTTP_ASYNC_RESULT*>(information)->dwError;
            exchange->complete(failure != 0 ? failure : ERROR_WINHTTP_INTERNAL_ERROR, 0);
            break;
        }
        case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
            exchange->release();
            break;
        default:
            break;
    }
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// The decoder of a gzip (or zlib) answer.
class Inflater {
public:
    Inflater() { ready_ = inflateInit2(&stream_, 15 + 32) == Z_OK; }
    ~Inflater() {
        if (ready_) {
            inflateEnd(&stream_);
        }
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Appends the decoded bytes of `data` to `out`; false when the data is damaged.
    bool decode(const char* data, size_t size, std::string& out) {
        if (!ready_) {
            return false;
        }
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        stream_.avail_in = static_cast<uInt>(size);
        while (stream_.avail_in > 0 && !ended_) {
            char chunk[65536];
            stream_.next_out = reinterpret_cast<Bytef*>(chunk);
            stream_.avail_out = sizeof chunk;
            const int result = inflate(&stream_, Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END) {
                return false;
            }
            out.append(chunk, sizeof chunk - stream_.avail_out);
            ended_ = result == Z_STREAM_END;
            if (result == Z_OK && stream_.avail_out != 0 && stream_.avail_in != 0) {
                return false;  // no progress
            }
        }
        return true;
    }
    bool ended() const { return ended_; }

private:
    z_stream stream_{};
    bool ready_ = false;
    bool ended_ = false;
};

class WinHttpDownload : public Download {
public:
    WinHttpDownload(HINTERNET session, const std::string& url, uint64_t maxBytes,
                    const std::atomic<bool>& cancel, const NetworkLimits& limits)
        : session_(session),
          url_(url),
          host_(hostOfAddress(url)),
          maxBytes_(maxBytes),
          cancel_(cancel),
          limits_(limits),
          start_(Clock::now()) {}

    ~WinHttpDownload() override { closeRequest(); }

    std::string_view next() override {
        piece_.clear();
        if (!started_) {
            started_ = true;
            if (!sendRequest()) {
                finished_ = true;
            }
        }
        while (piece_.empty() && !finished_) {
            // How much has come: usually asked while the caller worked on the last piece.
            if (!querying_ && !ask()) {
                break;
            }
            querying_ = false;
            if (!await()) {
                break;
            }
            const DWORD available = std::min(exchange_->bytes, kReadSize);
            if (available == 0) {
                endOfAnswer();
                break;
            }
            if (!perform([&] {
                    return WinHttpReadData(request_, exchange_->buffer.data(), available, nullptr);
                })) {
                break;
            }
            if (exchange_->bytes == 0) {
                endOfAnswer();
                break;
            }
            take(exchange_->buffer.data(), exchange_->bytes);
            if (!finished_ && !ask()) {
                break;
            }
        }
        if (!error_.empty() || cancelled()) {
            finished_ = true;
            piece_.clear();
        }
        return piece_;
    }

    std::string error() const override { return error_; }
    bool cancelled() const override { return cancel_.load(); }
    std::string finalUrl() const override { return finalUrl_; }

private:
    // Sends the request, following redirects, until an answer with a body is there.
    bool sendRequest() {
        std::string address = url_;
        for (int redirects = 0;; ++redirects) {
            if (!openRequest(address)) {
                return false;
            }
            static const wchar_t kHeaders[] = L"Accept-Encoding: gzip\r\n";
            if (!perform([&] {
                    return WinHttpSendRequest(request_, kHeaders, static_cast<DWORD>(-1),
                                              WINHTTP_NO_REQUEST_DATA, 0, 0, 0);
                }) ||
                !perform([&] { return WinHttpReceiveResponse(request_, nullptr); })) {
                return false;
            }
            const DWORD status = statusCode();
            const std::string location = header(WINHTTP_QUERY_LOCATION);
            if (status >= 300 && status < 400 && status != 304 && !location.empty()) {
                if (redirects == limits_.maxRedirects) {
                    return fail(downloadFailureText(DownloadFailure::TooManyRedirects, host_));
                }
                std::string next = resolveAddress(address, location);
                if (!startsWithNoCase(next, "http://") && !startsWithNoCase(next, "https://")) {
                    return fail(downloadFailureText(
                        DownloadFailure::Other, host_,
                        "it was sent on to an address that is not http or https"));
                }
                address = std::move(next);
                closeRequest();
                continue;
            }
            if (status >= 400) {
                return fail(httpErrorText(static_cast<long>(status)));
            }
            finalUrl_ = address;
            return readAnswerHeaders();
        }
    }

    bool openRequest(const std::string& address) {
        const std::wstring url = wide(escapedAddress(address));
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength =
            parts.dwExtraInfoLength = static_cast<DWORD>(-1);
        if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) ||
            (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) ||
            parts.dwHostNameLength == 0) {
            return fail(
                downloadFailureText(DownloadFailure::Other, host_, "the address cannot be read"));
        }
        const std::wstring hostName(parts.lpszHostName, parts.dwHostNameLength);
        std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
        path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
        if (path.empty()) {
            path = L"/";
        }
        connect_ = WinHttpConnect(session_, hostName.c_str(), parts.nPort, 0);
        if (connect_ == nullptr) {
            return fail(errorText(GetLastError(), host_));
        }
        const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
        request_ = WinHttpOpenRequest(
            connect_, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
            WINHTTP_DEFAULT_ACCEPT_TYPES,
            secure | WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY);
        if (request_ == nullptr) {
            return fail(errorText(GetLastError(), host_));
        }
        // The request's handle holds its own reference to the exchange, given back by its
        // closing callback.
        exchange_ = new Exchange;
        exchange_->references.fetch_add(1);
        DWORD_PTR context = reinterpret_cast<DWORD_PTR>(exchange_);
        if (!WinHttpSetOption(request_, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context)) {
            exchange_->release();
            return fail(errorText(GetLastError(), host_));
        }
        DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
        WinHttpSetOption(request_, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects,
                         sizeof noRedirects);
        const int connectMs = static_cast<int>(limits_.connectSeconds * 1000);
        const int stalledMs = static_cast<int>(limits_.stalledSeconds * 1000);
        WinHttpSetTimeouts(request_, connectMs, connectMs, stalledMs, stalledMs);
        // Without it a server that takes the request but never answers would be waited for
        // without end on some systems.
        DWORD responseMs = static_cast<DWORD>(stalledMs);
        WinHttpSetOption(request_, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseMs,
                         sizeof responseMs);
        return true;
    }

    // The length and encoding of the answer's body.
    bool readAnswerHeaders() {
        const std::string transfer = header(WINHTTP_QUERY_TRANSFER_ENCODING);
        const std::string length = header(WINHTTP_QUERY_CONTENT_LENGTH);
        if (transfer.empty() && !length.empty() &&
            std::all_of(length.begin(), length.end(),
                        [](char c) { return c >= '0' && c <= '9'; }) &&
            length.size() < 19) {
            contentLength_ = std::stoll(length);
        }
        std::string encoding = header(WINHTTP_QUERY_CONTENT_ENCODING);
        std::transform(encoding.begin(), encoding.end(), encoding.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (encoding == "gzip" || encoding == "x-gzip" || encoding == "deflate") {
            inflater_ = std::make_unique<Inflater>();
        } else if (!encoding.empty() && encoding != "identity") {
            return fail(downloadFailureText(
                DownloadFailure::Other, host_,
                "the answer is encoded as " + encoding + ", which cannot be read"));
        } else if (contentLength_ > 0 && static_cast<uint64_t>(contentLength_) > maxBytes_) {
            return fail(tooLargeText(maxBytes_));
        }
        return true;
    }

    void take(const char* data, size_t size) {
        const size_t before = piece_.size();
        received_ += size;
        if (inflater_ != nullptr) {
            if (!inflater_->decode(data, size, piece_)) {
                fail(downloadFailureText(DownloadFailure::Other, host_,
                                         "the compressed answer is damaged"));
                return;
            }
        } else {
            piece_.append(data, size);
        }
        decoded_ += piece_.size() - before;
        if (decoded_ > maxBytes_) {
            fail(tooLargeText(maxBytes_));
        }
    }

    void endOfAnswer() {
        finished_ = true;
        // Some systems report an answer cut short as a success: its length tells.
        if ((contentLength_ >= 0 && received_ < static_cast<uint64_t>(contentLength_)) ||
            (inflater_ != nullptr && !inflater_->ended())) {
            fail(downloadFailureText(DownloadFailure::BrokeOff, host_));
        }
    }

    // Asks how much of the answer is there, without waiting for the answer.
    bool ask() {
        querying_ = start([&] { return WinHttpQueryDataAvailable(request_, nullptr); });
        return querying_;
    }

    // Starts one asynchronous operation, and waits for its callback.
    template <typename Operation>
    bool perform(Operation operation) {
        return start(operation) && await();
    }

    // Starts one asynchronous operation; false (with error_ set) when it could not start.
    template <typename Operation>
    bool start(Operation operation) {
        {
            std::lock_guard lock(exchange_->mutex);
            exchange_->completed = false;
        }
        progress_ = Clock::now();
        if (!operation()) {
            return fail(errorText(GetLastError(), host_));
        }
        return true;
    }

    // Waits for the operation started last, checking Cancel and the time limits meanwhile; any
    // of them closes the request. False (with error_ set unless cancelled) when it failed.
    bool await() {
        std::unique_lock lock(exchange_->mutex);
        while (!exchange_->completed) {
            const Clock::time_point now = Clock::now();
            const bool overdue = now - start_ > std::chrono::seconds(limits_.totalSeconds) ||
                                 now - progress_ > std::chrono::seconds(limits_.stalledSeconds);
            if (cancelled() || overdue) {
                lock.unlock();
                closeRequest();
                return overdue && !cancelled()
                           ? fail(downloadFailureText(DownloadFailure::TimedOut, host_))
                           : false;
            }
            exchange_->changed.wait_for(lock, std::chrono::milliseconds(50));
        }
        if (exchange_->error != 0) {
            const DWORD error = exchange_->error;
            lock.unlock();
            return fail(errorText(error, host_));
        }
        return true;
    }

    DWORD statusCode() {
        DWORD status = 0;
        DWORD size = sizeof status;
        WinHttpQueryHeaders(request_, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
        return status;
    }

    std::string header(DWORD which) {
        DWORD size = 0;
        WinHttpQueryHeaders(request_, which, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size,
                            WINHTTP_NO_HEADER_INDEX);
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
            return {};
        }
        std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
        if (!WinHttpQueryHeaders(request_, which, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                                 WINHTTP_NO_HEADER_INDEX)) {
            return {};
        }
        value.resize(size / sizeof(wchar_t));
        return narrow(value);
    }

    // Closes the request (which ends an operation still running) without waiting for WinHTTP's
    // last callback: the exchange outlives this download while the callback may still come.
    void closeRequest() {
        if (request_ != nullptr) {
            WinHttpCloseHandle(request_);
            request_ = nullptr;
        }
        if (connect_ != nullptr) {
            WinHttpCloseHandle(connect_);
            connect_ = nullptr;
        }
        if (exchange_ != nullptr) {
            exchange_->release();
            exchange_ = nullptr;
        }
    }

    bool fail(std::string text) {
        if (error_.empty() && !cancelled()) {
            error_ = std::move(text);
        }
        finished_ = true;
        return false;
    }

    HINTERNET session_;
    HINTERNET connect_ = nullptr;
    HINTERNET request_ = nullptr;
    Exchange* exchange_ = nullptr;
    std::string url_;
    std::string host_;
    std::string finalUrl_;
    uint64_t maxBytes_;
    const std::atomic<bool>& cancel_;
    NetworkLimits limits_;
    Clock::time_point start_;
    Clock::time_point progress_{};  // when the operation waited for was started
    std::unique_ptr<Inflater> inflater_;
    int64_t contentLength_ = -1;
    uint64_t received_ = 0;  // bytes as they came
    uint64_t decoded_ = 0;   // bytes handed on
    std::string piece_;
    std::string error_;
    bool started_ = false;
    bool querying_ = false;  // a WinHttpQueryDataAvailable is under way
    bool finished_ = false;
};

// A session with the system's proxy settings: the automatic ones where the system has them
// (Windows 8.1 and later), else the browser's fixed proxy, else WinHTTP's own setting.
HINTERNET openSession() {
    const std::wstring agent = wide(kUserAgent);
    HINTERNET session =
        WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                    WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    if (session == nullptr) {
        WINHTTP_CURRENT_USER_IE_PROXY_CONFIG browser{};
        if (WinHttpGetIEProxyConfigForCurrentUser(&browser) && browser.lpszProxy != nullptr) {
            session = WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_NAMED_PROXY, browser.lpszProxy,
                                  browser.lpszProxyBypass != nullptr ? browser.lpszProxyBypass
                                                                     : WINHTTP_NO_PROXY_BYPASS,
                                  WINHTTP_FLAG_ASYNC);
        }
        for (LPWSTR text :
             {browser.lpszAutoConfigUrl, browser.lpszProxy, browser.lpszProxyBypass}) {
            if (text != nullptr) {
                GlobalFree(text);
            }
        }
    }
    if (session == nullptr) {
        session = WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                              WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    }
    if (session == nullptr) {
        return nullptr;
    }
    // TLS 1.2 and 1.3 where the system has them (Windows 7 leaves 1.2 off by default).
    for (DWORD protocols :
         {DWORD{WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3},
          DWORD{WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2}}) {
        if (WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols,
                             sizeof protocols)) {
            break;
        }
    }
    WinHttpSetStatusCallback(session, onStatus,
                             WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
                             0);
    return session;
}

// A download that could not even start.
class FailedDownload : public Download {
public:
    explicit FailedDownload(std::string error) : error_(std::move(error)) {}
    std::string_view next() override { return {}; }
    std::string error() const override { return error_; }
    std::string finalUrl() const override { return {}; }

private:
    std::string error_;
};

}  // namespace

WinHttpNetwork::WinHttpNetwork(const std::atomic<bool>& cancel, NetworkLimits limits)
    : cancel_(cancel), limits_(limits), session_(openSession()) {}

WinHttpNetwork::~WinHttpNetwork() {
    if (session_ != nullptr) {
        WinHttpCloseHandle(static_cast<HINTERNET>(session_));
    }
}

std::unique_ptr<Download> WinHttpNetwork::open(const std::string& url, uint64_t maxBytes) {
    if (session_ == nullptr) {
        return std::make_unique<FailedDownload>(downloadFailureText(
            DownloadFailure::Other, hostOfAddress(url), "the system's HTTP service cannot start"));
    }
    if (limits_.maxBytes != 0) {
        maxBytes = std::min(maxBytes, limits_.maxBytes);
    }
    return std::make_unique<WinHttpDownload>(static_cast<HINTERNET>(session_), url, maxBytes,
                                             cancel_, limits_);
}

std::vector<std::string> WinHttpNetwork::radioServers(std::string* error) {
    std::vector<std::string> hosts = radioDirectoryHosts(error);
    std::shuffle(hosts.begin(), hosts.end(), std::mt19937(std::random_device()()));
    for (std::string& host : hosts) {
        host = "https://" + host;
    }
    return hosts;
}

}  // namespace vistrelle::updater
