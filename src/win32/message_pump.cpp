// The thread's message queue: one message taken, translated and dispatched at a time.
#include "win32/message_pump.h"

#include "win32/win32_layer.h"

namespace vistrelle::win32 {

bool MessagePump::dispatchNext(bool wait) {
    MSG msg;
    if (wait) {
        if (GetMessageA(&msg, nullptr, 0, 0) == -1)
            return false;
    } else if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        return false;
    }
    HWND active = GetActiveWindow();
    if (HACCEL table = windows_.acceleratorsOf(active)) {
        if (TranslateAcceleratorA(active, table, &msg))
            return true;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

void MessagePump::sleepMilliseconds(int32_t ms) {
    Sleep(static_cast<DWORD>(ms < 0 ? 0 : ms));
}

int64_t MessagePump::monotonicMilliseconds() {
    return static_cast<int64_t>(GetTickCount64());
}

}  // namespace vistrelle::win32
