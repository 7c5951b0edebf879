// The fault report hook: the process-wide unhandled-exception filter.
#include "win32/faults.h"

#include <windows.h>

#include <string>

#include "win32/message_box.h"

namespace vistrelle::win32 {

namespace {

void (*faultHandler)(uint32_t) = nullptr;
LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
bool filterInstalled = false;

// Runs on the thread that faulted. The handler ends the process and does not come back.
LONG WINAPI unhandledExceptionFilter(EXCEPTION_POINTERS* pointers) {
    const uint32_t code = pointers && pointers->ExceptionRecord
                              ? static_cast<uint32_t>(pointers->ExceptionRecord->ExceptionCode)
                              : 0;
    if (faultHandler)
        faultHandler(code);
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void ExceptionFilter::install(void (*handler)(uint32_t code)) {
    faultHandler = handler;
    previousFilter = SetUnhandledExceptionFilter(&unhandledExceptionFilter);
    filterInstalled = true;
}

void ExceptionFilter::restore() {
    if (!filterInstalled)
        return;
    SetUnhandledExceptionFilter(previousFilter);
    previousFilter = nullptr;
    filterInstalled = false;
}

void ExceptionFilter::showReport(std::string_view title, std::string_view text, MessageIcon icon,
                                 MessageButtons buttons) {
    const std::string textCopy(text);
    const std::string titleCopy(title);
    MessageBoxA(nullptr, textCopy.c_str(), titleCopy.c_str(), messageBoxFlags(icon, buttons));
}

void ExceptionFilter::exitProcess(int32_t code) {
    ExitProcess(static_cast<UINT>(code));
}

}  // namespace vistrelle::win32
