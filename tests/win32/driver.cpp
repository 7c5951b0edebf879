#include "driver.h"

// clang-format off
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <chrono>

namespace vistrelle::testing {

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;

BOOL CALLBACK collectDialog(HWND hwnd, LPARAM out) {
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    char cls[32] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (process == GetCurrentProcessId() && IsWindowVisible(hwnd) && std::string(cls) == "#32770") {
        reinterpret_cast<std::vector<HWND>*>(out)->push_back(hwnd);
    }
    return TRUE;
}

// The button that dismisses a box: OK, else No, else Cancel, else the first button.
int dismissingButton(HWND dialog) {
    for (int id : {IDOK, IDNO, IDCANCEL}) {
        if (GetDlgItem(dialog, id))
            return id;
    }
    return IDOK;
}

}  // namespace

DialogWatcher::DialogWatcher() : thread_([this] { run(); }) {}

DialogWatcher::~DialogWatcher() {
    stop_ = true;
    thread_.join();
}

void DialogWatcher::run() {
    while (!stop_) {
        std::vector<HWND> dialogs;
        EnumWindows(collectDialog, reinterpret_cast<LPARAM>(&dialogs));
        for (HWND dialog : dialogs) {
            std::lock_guard lock(mutex_);
            bool seen = false;
            for (HWND done : answered_)
                seen = seen || done == dialog;
            if (seen)
                continue;
            AnsweredBox box{windowText(dialog), messageBoxText(dialog)};
            boxes_.push_back(box);
            answered_.push_back(dialog);
            const int button = dismissingButton(dialog);
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
        }
        // Forget boxes that are gone, so that a new box reusing the handle is answered.
        {
            std::lock_guard lock(mutex_);
            std::erase_if(answered_, [](HWND hwnd) { return !IsWindow(hwnd); });
        }
        Sleep(30);
    }
}

std::vector<AnsweredBox> DialogWatcher::boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
}

bool DialogWatcher::waitForBoxes(size_t count) const {
    return eventually([&] { return boxes().size() >= count; });
}

std::string winePath(std::string unixPath) {
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
    return "Z:" + unixPath;
}

bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        Sleep(20);
    }
    return condition();
}

std::string messageBoxText(HWND box) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    std::string text = windowText(GetDlgItem(box, kMessageBoxTextId));
    while (text.empty() && std::chrono::steady_clock::now() < deadline) {
        Sleep(10);
        text = windowText(GetDlgItem(box, kMessageBoxTextId));
    }
    return text;
}

std::string windowText(HWND hwnd) {
    if (!hwnd)
        return {};
    char text[2048] = {};
    const int length = static_cast<int>(
        SendMessageA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text)));
    return std::string(text, static_cast<size_t>(length > 0 ? length : 0));
}

int listCount(HWND list) {
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

std::string listText(HWND list, int row, int column) {
    char text[512] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

std::vector<std::string> listColumn(HWND list, int column) {
    std::vector<std::string> texts;
    const int count = listCount(list);
    for (int row = 0; row < count; ++row)
        texts.push_back(listText(list, row, column));
    return texts;
}

void selectRow(HWND list, int row) {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    if (row < 0) {
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(&item));
        return;
    }
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

std::string statusText(HWND main) {
    HWND status = FindWindowExA(main, nullptr, STATUSCLASSNAMEA, nullptr);
    if (!status)
        return {};
    char text[512] = {};
    SendMessageA(status, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    return text;
}

std::vector<std::string> comboItems(HWND combo) {
    std::vector<std::string> items;
    const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[512] = {};
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.emplace_back(text);
    }
    return items;
}

SIZE clientSize(HWND hwnd) {
    RECT rect{};
    GetClientRect(hwnd, &rect);
    return {rect.right, rect.bottom};
}

PROCESS_INFORMATION startProbe(const std::string& mode) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string commandLine(path);
    commandLine.resize(commandLine.find_last_of("\\/") + 1);
    commandLine = "\"" + commandLine + "fault_probe.exe\" " + mode;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
        CloseHandle(process.hThread);
        process.hThread = nullptr;
    }
    return process;
}

}  // namespace vistrelle::testing
