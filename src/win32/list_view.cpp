// channelList: a virtual list over the program's rows, drawn in their colours, answering the
// list's searches.
#include "win32/list_view.h"

#include <algorithm>
#include <string>

#include "ui/find_row.h"
#include "win32/win32_layer.h"

namespace vistrelle::win32 {

void ListView::adopt(HWND list) {
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP,
                 LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
    int index = 0;
    for (const ColumnDef& column : channelListColumns()) {
        std::string title(column.title);
        LVCOLUMNA lvc{};
        lvc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        lvc.pszText = title.data();
        lvc.cx = column.width;
        lvc.iSubItem = index;
        SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&lvc));
        ++index;
    }
    subclassListView(list);
    hwnd = list;
}

void ListView::forget() {
    endSearch();
    hwnd = nullptr;
    rows = nullptr;
}

void ListView::rowsReset(const ListRows& newRows) {
    endSearch();
    rows = &newRows;
    if (!hwnd)
        return;
    // The selection is gone with the old rows. Only the one selected row is cleared: asking the
    // list to clear every row costs a visit of each of a million rows on some systems.
    if (SendMessageA(hwnd, LVM_GETSELECTEDCOUNT, 0, 0) > 0) {
        LRESULT selected =
            SendMessageA(hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
        if (selected >= 0) {
            LVITEMA none{};
            none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageA(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(selected),
                         reinterpret_cast<LPARAM>(&none));
        }
    }
    SendMessageA(hwnd, LVM_SETITEMCOUNT, static_cast<WPARAM>(newRows.count()), 0);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void ListView::rowRemoved(const ListRows& newRows, int32_t row) {
    rows = &newRows;
    if (!hwnd)
        return;
    SendMessageA(hwnd, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    if (SendMessageA(hwnd, LVM_GETITEMCOUNT, 0, 0) != newRows.count()) {
        SendMessageA(hwnd, LVM_SETITEMCOUNT, static_cast<WPARAM>(newRows.count()), 0);
    }
    InvalidateRect(hwnd, nullptr, TRUE);
}

void ListView::rowRepaint(const ListRows& newRows, int32_t row) {
    rows = &newRows;
    if (!hwnd || row < 0 || row >= newRows.count())
        return;
    SendMessageA(hwnd, LVM_REDRAWITEMS, static_cast<WPARAM>(row), static_cast<LPARAM>(row));
}

int32_t ListView::selectedRow() {
    if (!hwnd)
        return -1;
    return static_cast<int32_t>(
        SendMessageA(hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ListView::selectRow(int32_t row) {
    if (!hwnd)
        return;
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    SendMessageA(hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

void ListView::fillDisplayInfo(NMHDR* header) {
    if (header->code == LVN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
        if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax <= 0) {
            return;
        }
        info->item.pszText[0] = 0;
        if (!rows || info->item.iItem < 0 || info->item.iItem >= rows->count())
            return;
        const std::string text = rows->columnText(info->item.iItem, info->item.iSubItem);
        const int written =
            MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                info->item.pszText, info->item.cchTextMax - 1);
        info->item.pszText[std::max(written, 0)] = 0;
        return;
    }
    auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
    if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax <= 0)
        return;
    info->item.pszText[0] = 0;
    if (!rows || info->item.iItem < 0 || info->item.iItem >= rows->count())
        return;
    const std::string text = rows->columnText(info->item.iItem, info->item.iSubItem);
    lstrcpynA(info->item.pszText, text.c_str(), info->item.cchTextMax);
}

namespace {

std::string utf8Text(const wchar_t* text) {
    if (!text)
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(size - 1));
    return utf8;
}

std::string utf8Text(const char* text) {
    if (!text)
        return {};
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (size <= 1)
        return {};
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), size);
    return utf8Text(wide.c_str());
}

}  // namespace

LRESULT ListView::findItem(NMHDR* header) {
    UINT flags = 0;
    int start = 0;
    std::string text;
    if (header->code == LVN_ODFINDITEMW) {
        const auto* find = reinterpret_cast<const NMLVFINDITEMW*>(header);
        flags = find->lvfi.flags;
        start = find->iStart;
        if (flags & (LVFI_STRING | LVFI_PARTIAL))
            text = utf8Text(find->lvfi.psz);
    } else {
        const auto* find = reinterpret_cast<const NMLVFINDITEMA*>(header);
        flags = find->lvfi.flags;
        start = find->iStart;
        if (flags & (LVFI_STRING | LVFI_PARTIAL))
            text = utf8Text(find->lvfi.psz);
    }
    if (!rows || !(flags & LVFI_PARTIAL))
        return -1;
    return findChannelRow(*rows, text, start);
}

bool ListView::press(TypeAhead::Key key, uint32_t time, char32_t typed) {
    if (!rows) {
        search_.end();
        return false;
    }
    const TypeAhead::Outcome outcome = search_.press(*rows, selectedRow(), key, time, typed);
    if (outcome.row >= 0)
        select(outcome.row);
    if (outcome.notFound)
        MessageBeep(MB_OK);  // nothing on screen shows the text: the ear hears it
    return outcome.handled;
}

bool ListView::keyDown(WPARAM key, uint32_t time) {
    switch (key) {
        case VK_SHIFT:
        case VK_CONTROL:
        case VK_MENU:
        case VK_CAPITAL:
        case VK_LWIN:
        case VK_RWIN:
            return false;  // Shift on its way to a capital letter
        case VK_SPACE:
            // Within a search the space is a character of the text (WM_CHAR), not a selection.
            return search_.searching(time);
        case VK_DOWN: {
            const bool modified = GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0;
            return press(modified ? TypeAhead::Key::Other : TypeAhead::Key::Next, time);
        }
        default:
            break;
    }
    // Keys that make a character (Backspace, Escape and Ctrl+G among them) come back as one.
    if (MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_CHAR) != 0)
        return false;
    return press(TypeAhead::Key::Other, time);
}

bool ListView::character(WPARAM unit, uint32_t time) {
    const auto code = static_cast<wchar_t>(unit);
    if (code >= 0xD800 && code <= 0xDBFF) {
        highSurrogate_ = code;
        return true;
    }
    char32_t typed = code;
    if (code >= 0xDC00 && code <= 0xDFFF && highSurrogate_) {
        typed = 0x10000 + ((static_cast<char32_t>(highSurrogate_) - 0xD800) << 10) +
                (static_cast<char32_t>(code) - 0xDC00);
    }
    highSurrogate_ = 0;
    switch (typed) {
        case 0x08:
            return press(TypeAhead::Key::Backspace, time);
        case 0x1B:
            return press(TypeAhead::Key::Escape, time);
        case 0x07:  // Ctrl+G
            return press(TypeAhead::Key::Next, time);
        default:
            break;
    }
    if (typed < 0x20 || typed == 0x7F)
        return press(TypeAhead::Key::Other, time);
    return press(TypeAhead::Key::Character, time, typed);
}

void ListView::endSearch() {
    search_.end();
    highSurrogate_ = 0;
}

void ListView::select(int32_t row) {
    // As a click does: the row selected and focused, the old one no longer, and in sight.
    const int32_t old = selectedRow();
    if (old >= 0 && old != row) {
        LVITEMA none{};
        none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(old),
                     reinterpret_cast<LPARAM>(&none));
    }
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    SendMessageA(hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

LRESULT ListView::customDraw(NMLVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return CDRF_NOTIFYSUBITEMDRAW;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
            const auto row = static_cast<int32_t>(draw->nmcd.dwItemSpec);
            const int32_t column = draw->iSubItem;
            draw->clrTextBk = CLR_DEFAULT;
            draw->clrText = CLR_DEFAULT;
            if (rows && row >= 0 && row < rows->count() && column >= 0 && column < kColumnCount) {
                const RowColours colours = rows->colours(row);
                if (const auto& back = colours.background[column]) {
                    draw->clrTextBk = RGB(back->red, back->green, back->blue);
                }
                if (const auto& fore = colours.text[column]) {
                    draw->clrText = RGB(fore->red, fore->green, fore->blue);
                }
            }
            return CDRF_NEWFONT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

}  // namespace vistrelle::win32
