// The controls of the program's windows, made from the windows' tables: one small maker per kind
// of control, chosen from a table.
#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <array>
#include <string>

#include "ui/ids.h"
#include "win32/win32_layer.h"

namespace vistrelle::win32 {

namespace {

constexpr intptr_t kNoControlId = 0xFFFF;  // IDC_STATIC

// What a maker gets: the table's entry, the window or panel that holds the control, the style
// every control of the entry has (child, visible, tab stop, group start), its font, and the
// controls the window layer keeps for the program.
struct Making {
    const ControlDef& def;
    HWND parent;
    DWORD style;
    HFONT font;
    ListView& list;
    ComboBox& combo;
    BrowserView& web;
};

HWND createChild(const Making& making, const char* windowClass, DWORD style, DWORD exStyle = 0) {
    const ControlDef& def = making.def;
    const std::string caption(def.caption);
    HMENU id = reinterpret_cast<HMENU>(def.id == kNoControl ? kNoControlId
                                                            : static_cast<intptr_t>(def.id));
    HWND made = CreateWindowExA(exStyle, windowClass, caption.c_str(), making.style | style,
                                def.rect.left, def.rect.top, def.rect.width, def.rect.height,
                                making.parent, id, GetModuleHandleA(nullptr), nullptr);
    if (made)
        SendMessageA(made, WM_SETFONT, reinterpret_cast<WPARAM>(making.font), FALSE);
    return made;
}

HWND makeWebView(const Making& making) {
    return making.web.create(making.parent, making.def.rect, making.def.id) ? making.web.hwnd
                                                                            : nullptr;
}

HWND makePushButton(const Making& making) {
    return createChild(making, "BUTTON", BS_PUSHBUTTON);
}

HWND makeDefaultPushButton(const Making& making) {
    return createChild(making, "BUTTON", BS_DEFPUSHBUTTON);
}

HWND makeDropDownList(const Making& making) {
    HWND combo = createChild(making, "COMBOBOX", CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL,
                             WS_EX_CLIENTEDGE);
    if (combo && making.def.id == kCountrySelector)
        making.combo.hwnd = combo;
    return combo;
}

HWND makeListView(const Making& making) {
    HWND list = createChild(making, WC_LISTVIEWA, LVS_REPORT | LVS_SINGLESEL | LVS_OWNERDATA,
                            WS_EX_CLIENTEDGE);
    if (list)
        making.list.adopt(list);
    return list;
}

HWND makeGroupBox(const Making& making) {
    return createChild(making, "BUTTON", BS_GROUPBOX);
}

HWND makeStaticText(const Making& making) {
    return createChild(making, "STATIC", SS_LEFT);
}

HWND makeCentredText(const Making& making) {
    return createChild(making, "STATIC", SS_CENTER);
}

HWND makeRadioButton(const Making& making) {
    return createChild(making, "BUTTON", BS_AUTORADIOBUTTON);
}

HWND makePanel(const Making& making) {
    return createChild(making, kPanelClass, 0);
}

HWND makeSeparator(const Making& making) {
    return createChild(making, "STATIC", 0, WS_EX_STATICEDGE);
}

struct Maker {
    ControlKind kind;
    HWND (*make)(const Making&);
    bool optional;  // one that cannot be made is left out, and the rest is still built
};

// In the order of ControlKind.
constexpr std::array kMakers{
    Maker{ControlKind::WebView, makeWebView, true},
    Maker{ControlKind::PushButton, makePushButton, false},
    Maker{ControlKind::DefaultPushButton, makeDefaultPushButton, false},
    Maker{ControlKind::DropDownList, makeDropDownList, false},
    Maker{ControlKind::ListView, makeListView, false},
    Maker{ControlKind::GroupBox, makeGroupBox, false},
    Maker{ControlKind::StaticText, makeStaticText, false},
    Maker{ControlKind::CentredText, makeCentredText, false},
    Maker{ControlKind::RadioButton, makeRadioButton, false},
    Maker{ControlKind::Panel, makePanel, false},
    Maker{ControlKind::Separator, makeSeparator, false},
};

constexpr bool makersInOrder() {
    for (size_t at = 0; at < kMakers.size(); ++at) {
        if (static_cast<size_t>(kMakers[at].kind) != at)
            return false;
    }
    return true;
}
static_assert(makersInOrder(), "one maker per ControlKind, in its order");

HFONT createProductFont() {
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    return CreateFontA(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, "Arial");
}

}  // namespace

HFONT Windows::fontFor(FontKind kind) {
    if (kind == FontKind::ProductBold) {
        if (!productFont_)
            productFont_ = createProductFont();
        if (productFont_)
            return productFont_;
    }
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

bool Windows::createControls(int32_t window) {
    HWND hwnd = this->window(window);
    if (!hwnd)
        return false;
    bool afterRadio = false;
    for (const ControlDef& def : windowDef(window).controls) {
        const bool isRadio = def.kind == ControlKind::RadioButton;
        // A group of option buttons ends at the first control after it.
        const bool startsGroup = def.groupStart || (afterRadio && !isRadio);
        afterRadio = isRadio;
        HWND parent = def.parent >= 0 ? control(def.parent) : hwnd;
        if (!parent)
            return false;
        DWORD style = WS_CHILD | WS_VISIBLE;
        if (def.tabStop)
            style |= WS_TABSTOP;
        if (startsGroup)
            style |= WS_GROUP;
        const Maker& maker = kMakers[static_cast<size_t>(def.kind)];
        HWND made = maker.make(Making{def, parent, style, fontFor(def.font), list_, combo_, web_});
        if (!made) {
            if (maker.optional)
                continue;
            return false;
        }
        if (def.whiteBackground)
            whiteControls_.push_back(made);
        if (def.id >= 0 && def.id < kControlIdCount)
            controls_[def.id] = made;
        creationOrder_[window].push_back(made);
        if (def.tabStop)
            tabStops_[window].push_back(made);
    }
    return true;
}

void Windows::placeControl(int32_t control, const Rect& rect) {
    if (HWND hwnd = this->control(control))
        MoveWindow(hwnd, rect.left, rect.top, rect.width, rect.height, TRUE);
}

void Windows::setControlVisible(int32_t control, bool visible) {
    if (HWND hwnd = this->control(control))
        ShowWindow(hwnd, visible ? SW_SHOW : SW_HIDE);
}

void Windows::setControlText(int32_t control, std::string_view text, std::string_view) {
    // A button's accessible name is its caption here.
    if (HWND hwnd = this->control(control))
        SetWindowTextA(hwnd, std::string(text).c_str());
}

void Windows::setOptionChecked(int32_t control, bool checked) {
    HWND hwnd = this->control(control);
    if (!hwnd)
        return;
    SendMessageA(hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!checked)
        return;
    // Checking one option button clears the others of its group, as a click would.
    HWND parent = GetParent(hwnd);
    for (HWND other = GetNextDlgGroupItem(parent, hwnd, FALSE); other && other != hwnd;
         other = GetNextDlgGroupItem(parent, other, FALSE)) {
        if ((GetWindowLongA(other, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
            SendMessageA(other, BM_SETCHECK, BST_UNCHECKED, 0);
        }
    }
}

bool Windows::optionChecked(int32_t control) {
    HWND hwnd = this->control(control);
    return hwnd && SendMessageA(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace vistrelle::win32
