#include "updater/download.h"

#include "updater/texts.h"

namespace vistrelle::updater {

std::string downloadFailureText(DownloadFailure failure, std::string_view host,
                                std::string_view detail) {
    const std::string name(host);
    switch (failure) {
        case DownloadFailure::NameNotFound:
            return "the name " + name + " cannot be looked up (is the computer online?).";
        case DownloadFailure::ProxyNotFound:
            return "the proxy server cannot be looked up.";
        case DownloadFailure::NoConnection:
            return "no connection to " + name + " can be made.";
        case DownloadFailure::TimedOut:
            return name + " did not answer in time.";
        case DownloadFailure::Untrusted:
            return "the secure connection to " + name + " cannot be trusted.";
        case DownloadFailure::BrokeOff:
            return "the connection to " + name + " broke off.";
        case DownloadFailure::TooManyRedirects:
            return "the download from " + name + " failed: it was redirected too many times.";
        case DownloadFailure::Other:
            break;
    }
    return "the download from " + name + " failed: " + std::string(detail) + ".";
}

std::string httpErrorText(long status) {
    return "the server answered with the error " + std::to_string(status) + ".";
}

std::string tooLargeText(uint64_t maxBytes) {
    return "the answer is larger than " + byteSize(maxBytes) + ".";
}

std::string hostOfAddress(std::string_view url) {
    size_t start = url.find("://");
    start = start == std::string_view::npos ? 0 : start + 3;
    size_t end = url.find_first_of("/?#", start);
    return std::string(url.substr(start, end == std::string_view::npos ? url.npos : end - start));
}

}  // namespace vistrelle::updater
