#include "updater_win32/winhttp_text.h"

// clang-format off
#include <winhttp.h>
// clang-format on

#include <algorithm>

#include "updater/download.h"

namespace vistrelle::updater {

std::wstring wide(std::string_view text) {
    std::wstring result(text.size(), L'\0');
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         result.data(), static_cast<int>(result.size()));
    result.resize(static_cast<size_t>(std::max(size, 0)));
    return result;
}

std::string narrow(std::wstring_view text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
    return result;
}

std::string escapedAddress(std::string_view url) {
    url = url.substr(0, url.find('#'));
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(url.size());
    for (char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' ||
            c == '^' || c == '`' || c == '{' || c == '|' || c == '}') {
            result += '%';
            result += kHex[byte >> 4];
            result += kHex[byte & 15];
        } else {
            result += c;
        }
    }
    return result;
}

std::string errorText(DWORD error, std::string_view host) {
    switch (error) {
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
            return downloadFailureText(DownloadFailure::NameNotFound, host);
        case ERROR_WINHTTP_AUTODETECTION_FAILED:
        case ERROR_WINHTTP_UNABLE_TO_DOWNLOAD_SCRIPT:
        case ERROR_WINHTTP_BAD_AUTO_PROXY_SCRIPT:
            return downloadFailureText(DownloadFailure::ProxyNotFound, host);
        case ERROR_WINHTTP_CANNOT_CONNECT:
            return downloadFailureText(DownloadFailure::NoConnection, host);
        case ERROR_WINHTTP_TIMEOUT:
        case WSAETIMEDOUT:  // what Wine reports instead
            return downloadFailureText(DownloadFailure::TimedOut, host);
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
        case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
            return downloadFailureText(DownloadFailure::Untrusted, host);
        case ERROR_WINHTTP_CONNECTION_ERROR:
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
            return downloadFailureText(DownloadFailure::BrokeOff, host);
        default:
            break;
    }
    return downloadFailureText(DownloadFailure::Other, host, "error " + std::to_string(error));
}

}  // namespace vistrelle::updater
