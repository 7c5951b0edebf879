// webView on Win32: the WebBrowser control in an ATL host window.
#pragma once

#include <windows.h>
// clang-format off
#include <exdisp.h>
#include <mshtml.h>
// clang-format on

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ui/window_layer.h"

namespace vistrelle::win32 {

class BrowserView final : public WebView {
public:
    ~BrowserView() override;
    // Makes the ATL host with the WebBrowser control; false when it cannot be made.
    bool create(HWND parent, const Rect& rect, int32_t id);
    void destroy();

    std::optional<std::string> locationUrl() override;
    void navigate(std::string_view url) override;
    bool busy() override;
    std::unique_ptr<WebDocument> document() override;

    HWND hwnd = nullptr;
    IWebBrowser2* browser = nullptr;  // also in the host window's user-data slot
};

}  // namespace vistrelle::win32
