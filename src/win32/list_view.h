// channelList on Win32: a virtual report-mode list view over the program's rows.
#pragma once

#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <cstdint>

#include "ui/type_ahead.h"
#include "ui/window_layer.h"

namespace vistrelle::win32 {

class ListView final : public ChannelListUi {
public:
    void rowsReset(const ListRows& rows) override;
    void rowRemoved(const ListRows& rows, int32_t row) override;
    void rowRepaint(const ListRows& rows, int32_t row) override;
    int32_t selectedRow() override;
    void selectRow(int32_t row) override;

    // Gives a list view just made its columns and the program's own handling of its messages.
    void adopt(HWND list);
    void forget();

    // Serves the virtual list: texts and per-column colours.
    void fillDisplayInfo(NMHDR* header);
    LRESULT customDraw(NMLVCUSTOMDRAW* draw);
    // Answers LVN_ODFINDITEM (a search asked of the list): the first row from the start on whose
    // Channel text starts with the text, or -1.
    LRESULT findItem(NMHDR* header);

    // Finding a row by typing (TypeAhead), from the list's own key messages at `time` (the
    // message's). True when the search took the key and the list is to do nothing more.
    bool keyDown(WPARAM key, uint32_t time);
    bool character(WPARAM unit, uint32_t time);  // a UTF-16 unit of WM_CHAR
    void endSearch();

    HWND hwnd = nullptr;
    const ListRows* rows = nullptr;

private:
    bool press(TypeAhead::Key key, uint32_t time, char32_t typed = 0);
    void select(int32_t row);

    TypeAhead search_;
    wchar_t highSurrogate_ = 0;  // the first half of a character typed in two WM_CHARs
};

}  // namespace vistrelle::win32
