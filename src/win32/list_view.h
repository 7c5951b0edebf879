// channelList on Win32: a virtual report-mode list view over the program's rows.
#pragma once

#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <cstdint>

#include "ui/window_layer.h"

namespace vistrelle::win32 {

class ListView final : public ChannelListUi {
public:
    void rowsReset(const ListRows& rows) override;
    void rowRemoved(const ListRows& rows, int32_t row) override;
    void rowRepaint(const ListRows& rows, int32_t row) override;
    int32_t selectedRow() override;

    // Gives a list view just made its columns and the program's own handling of its messages.
    void adopt(HWND list);
    void forget();

    // Serves the virtual list: texts and per-column colours.
    void fillDisplayInfo(NMHDR* header);
    LRESULT customDraw(NMLVCUSTOMDRAW* draw);
    // Answers LVN_ODFINDITEM: the row the program finds for the text the user typed, or -1.
    LRESULT findItem(NMHDR* header);

    HWND hwnd = nullptr;
    const ListRows* rows = nullptr;
};

}  // namespace vistrelle::win32
