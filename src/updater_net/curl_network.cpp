#include "updater_net/curl_network.h"

#include <curl/curl.h>

#include <algorithm>
#include <random>

#include "updater/download.h"

namespace vistrelle::updater {

namespace {

class CurlDownload : public Download {
public:
    CurlDownload(const std::string& url, uint64_t maxBytes, const std::atomic<bool>& cancel,
                 const NetworkLimits& limits)
        : url_(url), maxBytes_(maxBytes), cancel_(cancel) {
        easy_ = curl_easy_init();
        multi_ = curl_multi_init();
        if (easy_ == nullptr || multi_ == nullptr) {
            error_ = "the download could not be started.";
            finished_ = true;
            return;
        }
        curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, static_cast<long>(limits.maxRedirects));
        curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy_, CURLOPT_ACCEPT_ENCODING, "");
        curl_easy_setopt(easy_, CURLOPT_USERAGENT, std::string(kUserAgent).c_str());
        curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
        curl_easy_setopt(easy_, CURLOPT_TIMEOUT, limits.totalSeconds);
        curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 16L);
        curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, limits.stalledSeconds);
        curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlDownload::write);
        curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &CurlDownload::progress);
        curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorBuffer_);
        curl_multi_add_handle(multi_, easy_);
    }

    ~CurlDownload() override {
        if (multi_ != nullptr && easy_ != nullptr) {
            curl_multi_remove_handle(multi_, easy_);
        }
        if (easy_ != nullptr) {
            curl_easy_cleanup(easy_);
        }
        if (multi_ != nullptr) {
            curl_multi_cleanup(multi_);
        }
    }

    std::string_view next() override {
        piece_.clear();
        while (piece_.empty() && !finished_) {
            int running = 0;
            if (curl_multi_perform(multi_, &running) != CURLM_OK) {
                error_ = "the download failed.";
                finished_ = true;
                break;
            }
            if (running == 0) {
                finish();
                break;
            }
            if (piece_.empty()) {
                curl_multi_poll(multi_, nullptr, 0, 200, nullptr);
            }
        }
        if (!error_.empty() || cancelled()) {
            piece_.clear();
        }
        return piece_;
    }

    std::string error() const override { return error_; }
    bool cancelled() const override { return cancel_.load(); }
    std::string finalUrl() const override { return finalUrl_; }

private:
    static size_t write(char* data, size_t size, size_t count, void* self) {
        return static_cast<CurlDownload*>(self)->take(data, size * count);
    }

    static int progress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        return static_cast<CurlDownload*>(self)->cancel_.load() ? 1 : 0;
    }

    size_t take(const char* data, size_t size) {
        if (received_ == 0) {
            long status = 0;
            curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
            if (status >= 400) {
                error_ = httpErrorText(status);
                return 0;
            }
            char* address = nullptr;
            curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &address);
            finalUrl_ = address != nullptr ? address : url_;
        }
        received_ += size;
        if (received_ > maxBytes_) {
            error_ = tooLargeText(maxBytes_);
            return 0;
        }
        piece_.append(data, size);
        return size;
    }

    void finish() {
        finished_ = true;
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
            if (message->msg != CURLMSG_DONE || message->data.result == CURLE_OK) {
                continue;
            }
            if (!error_.empty() || cancelled()) {
                continue;
            }
            error_ = failureText(message->data.result);
        }
        long status = 0;
        curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
        if (error_.empty() && status >= 400) {
            error_ = httpErrorText(status);
        }
        if (finalUrl_.empty()) {
            char* address = nullptr;
            curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &address);
            finalUrl_ = address != nullptr ? address : url_;
        }
    }

    // What went wrong, in plain words.
    std::string failureText(CURLcode code) const {
        const std::string host = hostOfAddress(url_);
        switch (code) {
            case CURLE_COULDNT_RESOLVE_HOST:
                return downloadFailureText(DownloadFailure::NameNotFound, host);
            case CURLE_COULDNT_RESOLVE_PROXY:
                return downloadFailureText(DownloadFailure::ProxyNotFound, host);
            case CURLE_COULDNT_CONNECT:
                return downloadFailureText(DownloadFailure::NoConnection, host);
            case CURLE_OPERATION_TIMEDOUT:
                return downloadFailureText(DownloadFailure::TimedOut, host);
            case CURLE_PEER_FAILED_VERIFICATION:
            case CURLE_SSL_CONNECT_ERROR:
                return downloadFailureText(DownloadFailure::Untrusted, host);
            case CURLE_PARTIAL_FILE:
            case CURLE_RECV_ERROR:
            case CURLE_GOT_NOTHING:
                return downloadFailureText(DownloadFailure::BrokeOff, host);
            case CURLE_TOO_MANY_REDIRECTS:
                return downloadFailureText(DownloadFailure::TooManyRedirects, host);
            default:
                break;
        }
        return downloadFailureText(DownloadFailure::Other, host,
                                   errorBuffer_[0] != '\0' ? std::string(errorBuffer_)
                                                           : std::string(curl_easy_strerror(code)));
    }

    std::string url_;
    uint64_t maxBytes_;
    const std::atomic<bool>& cancel_;
    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;
    std::string piece_;
    std::string error_;
    std::string finalUrl_;
    uint64_t received_ = 0;
    bool finished_ = false;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
};

}  // namespace

CurlNetwork::CurlNetwork(const std::atomic<bool>& cancel, NetworkLimits limits)
    : cancel_(cancel), limits_(limits) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

CurlNetwork::~CurlNetwork() {
    curl_global_cleanup();
}

std::unique_ptr<Download> CurlNetwork::open(const std::string& url, uint64_t maxBytes) {
    if (limits_.maxBytes != 0) {
        maxBytes = std::min(maxBytes, limits_.maxBytes);
    }
    return std::make_unique<CurlDownload>(url, maxBytes, cancel_, limits_);
}

std::vector<std::string> CurlNetwork::radioServers(std::string* error) {
    std::vector<std::string> hosts = radioDirectoryHosts(error);
    std::shuffle(hosts.begin(), hosts.end(), std::mt19937(std::random_device()()));
    for (std::string& host : hosts) {
        host = "https://" + host;
    }
    return hosts;
}

}  // namespace vistrelle::updater
