#include "program_fixture.h"

#include <mutex>

namespace vistrelle::testing {

const char* const kCatalogue =
    "Austria|Donau Info|96|News||http://s.example.org/donau.asx|\r\n"
    "Austria|Alpen TV|300|TV|Mountains|http://s.example.org/alpen.asx|\r\n"
    "Norway|Fjord "
    "Radio|128|Music|Coast|http://s.example.org/fjord.m3u|http://fjord.example.org/\r\n"
    "Norway|Bergen Jazz|64|Jazz|Late|http://s.example.org/bergen.asx|\r\n";

namespace {

// What the program's thread takes from its queue, and the close requests sent to its windows,
// in the order they happen: the hooks run on the program's thread.
std::mutex seenMutex;
std::vector<Seen> seen;

void record(HWND hwnd, UINT message, WPARAM wParam) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_SYSCOMMAND:
        case WM_CLOSE:
        case WM_NCLBUTTONDOWN:
            break;
        default:
            return;
    }
    std::lock_guard lock(seenMutex);
    seen.push_back({hwnd, message, wParam});
}

LRESULT CALLBACK recordTaken(int code, WPARAM removal, LPARAM lParam) {
    if (code == HC_ACTION && removal == PM_REMOVE) {
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg->message != WM_CLOSE)
            record(msg->hwnd, msg->message, msg->wParam);
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

LRESULT CALLBACK recordSent(int code, WPARAM current, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (sent->message == WM_CLOSE)
            record(sent->hwnd, sent->message, sent->wParam);
    }
    return CallNextHookEx(nullptr, code, current, lParam);
}

}  // namespace

void postKey(HWND to, WPARAM key, bool alt) {
    const auto scan = static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(key), MAPVK_VK_TO_VSC));
    const LPARAM down = 1 | (scan << 16) | (alt ? (1 << 29) : 0);
    const LPARAM up = down | (LPARAM{1} << 30) | (LPARAM{1} << 31);
    PostMessageA(to, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, down);
    PostMessageA(to, alt ? WM_SYSKEYUP : WM_KEYUP, key, up);
}

bool typeKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *it;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
           inputs.size();
}

void ProgramTest::watchMessages() {
    {
        std::lock_guard lock(seenMutex);
        seen.clear();
    }
    for (int kind : {WH_GETMESSAGE, WH_CALLWNDPROC}) {
        HHOOK hook = SetWindowsHookExA(kind, kind == WH_GETMESSAGE ? recordTaken : recordSent,
                                       nullptr, programThread());
        ASSERT_NE(hook, nullptr);
        hooks_.push_back(hook);
    }
}

std::optional<Seen> ProgramTest::takenBeforeClose(HWND window) {
    std::lock_guard lock(seenMutex);
    std::optional<Seen> last;
    for (const Seen& entry : seen) {
        if (entry.message == WM_CLOSE && entry.hwnd == window)
            return last;
        if (entry.message != WM_CLOSE)
            last = entry;
    }
    return std::nullopt;
}

}  // namespace vistrelle::testing
