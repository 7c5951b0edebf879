// webView: the WebBrowser control ("Shell.Explorer.1") in an ATL host window, driven through
// IWebBrowser2 and the document's IHTMLDocument2.
#include <windows.h>
// clang-format off
#include <ole2.h>
#include <oleauto.h>
// clang-format on

#include <vector>

#include "win32/web_view.h"

namespace vistrelle::win32 {

namespace {

// ATL has no headers in mingw-w64: its two entry points, looked up at run time.
using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);

constexpr IID kIidWebBrowser2 = {
    0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};
constexpr IID kIidHtmlDocument2 = {
    0x332C4425, 0x26CB, 0x11D0, {0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19}};

AtlAxGetControlFn atlAxGetControl = nullptr;

// Loads "ATL.DLL" and initialises its host window class, once per process.
bool loadAtl() {
    if (atlAxGetControl)
        return true;
    HMODULE atl = LoadLibraryA("ATL.DLL");
    if (!atl)
        return false;
    auto init = reinterpret_cast<AtlAxWinInitFn>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    auto getControl = reinterpret_cast<AtlAxGetControlFn>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    if (!init || !getControl)
        return false;
    init();
    atlAxGetControl = getControl;
    return true;
}

std::wstring toWide(std::string_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string toAnsi(const wchar_t* text) {
    if (!text || !*text)
        return {};
    const int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return {};
    std::string ansi(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, ansi.data(), length, nullptr, nullptr);
    ansi.resize(static_cast<size_t>(length - 1));
    return ansi;
}

// The document taken for one write. Releases IHTMLDocument2, then IDispatch.
class HtmlDocument final : public WebDocument {
public:
    HtmlDocument(IDispatch* dispatch, IHTMLDocument2* document)
        : dispatch_(dispatch), document_(document) {}
    ~HtmlDocument() override {
        document_->Release();
        dispatch_->Release();
    }
    HtmlDocument(const HtmlDocument&) = delete;
    HtmlDocument& operator=(const HtmlDocument&) = delete;

    bool write(std::string_view page) override {
        // The page up to its first NUL, as one BSTR in a one-element array of VARIANT.
        std::wstring wide = toWide(page);
        BSTR text = SysAllocString(wide.c_str());
        if (!text)
            return false;
        SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 1);
        if (!array) {
            SysFreeString(text);
            return false;
        }
        VARIANT* element = nullptr;
        if (FAILED(SafeArrayAccessData(array, reinterpret_cast<void**>(&element))) || !element) {
            SysFreeString(text);
            SafeArrayDestroy(array);
            return false;
        }
        VariantInit(&element[0]);
        element[0].vt = VT_BSTR;
        element[0].bstrVal = text;  // the array owns it from here
        if (FAILED(SafeArrayUnaccessData(array))) {
            SafeArrayDestroy(array);
            return false;
        }
        document_->write(array);
        SafeArrayDestroy(array);
        return true;
    }

    void close() override { document_->close(); }

private:
    IDispatch* dispatch_;
    IHTMLDocument2* document_;
};

}  // namespace

BrowserView::~BrowserView() {
    destroy();
}

bool BrowserView::create(HWND parent, const Rect& rect, int32_t id) {
    destroy();
    if (!loadAtl())
        return false;
    hwnd = CreateWindowExA(0, "AtlAxWin", "Shell.Explorer.1", WS_CHILD | WS_VISIBLE, rect.left,
                           rect.top, rect.width, rect.height, parent,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(id)),
                           GetModuleHandleA(nullptr), nullptr);
    if (!hwnd)
        return false;
    IUnknown* control = nullptr;
    if (SUCCEEDED(atlAxGetControl(hwnd, &control)) && control) {
        void* browserInterface = nullptr;
        if (FAILED(control->QueryInterface(kIidWebBrowser2, &browserInterface))) {
            browserInterface = nullptr;
        }
        browser = static_cast<IWebBrowser2*>(browserInterface);
        control->Release();
    }
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(browser));
    return true;
}

void BrowserView::destroy() {
    if (browser)
        browser->Release();
    browser = nullptr;
    if (hwnd && IsWindow(hwnd))
        DestroyWindow(hwnd);
    hwnd = nullptr;
}

std::optional<std::string> BrowserView::locationUrl() {
    if (!browser)
        return std::nullopt;
    BSTR location = nullptr;
    if (FAILED(browser->get_LocationURL(&location)))
        return std::nullopt;
    std::string text = toAnsi(location);
    if (location)
        SysFreeString(location);
    return text;
}

void BrowserView::navigate(std::string_view url) {
    if (!browser)
        return;
    const std::wstring wide = toWide(url);
    VARIANT address;
    VariantInit(&address);
    address.vt = VT_BSTR;
    address.bstrVal = SysAllocString(wide.c_str());
    if (!address.bstrVal)
        return;
    browser->Navigate2(&address, nullptr, nullptr, nullptr, nullptr);
    VariantClear(&address);
}

bool BrowserView::busy() {
    if (!browser)
        return false;
    VARIANT_BOOL value = VARIANT_FALSE;
    browser->get_Busy(&value);
    return value == VARIANT_TRUE;
}

std::unique_ptr<WebDocument> BrowserView::document() {
    if (!browser)
        return nullptr;
    IDispatch* dispatch = nullptr;
    // The call can succeed without a document: that is no document either.
    if (FAILED(browser->get_Document(&dispatch)) || !dispatch)
        return nullptr;
    void* documentInterface = nullptr;
    if (FAILED(dispatch->QueryInterface(kIidHtmlDocument2, &documentInterface)) ||
        !documentInterface) {
        dispatch->Release();
        return nullptr;
    }
    return std::make_unique<HtmlDocument>(dispatch,
                                          static_cast<IHTMLDocument2*>(documentInterface));
}

}  // namespace vistrelle::win32
