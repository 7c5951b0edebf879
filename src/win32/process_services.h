// What every Win32 program of the repository starts before it opens a window: the common
// controls (version 6, through the manifest) and OLE, which the WebBrowser control needs.
#pragma once

#include <windows.h>

namespace vistrelle::win32 {

// Starts both for the life of the object, on the calling thread.
class ProcessServices {
public:
    ProcessServices();
    ~ProcessServices();
    ProcessServices(const ProcessServices&) = delete;
    ProcessServices& operator=(const ProcessServices&) = delete;

private:
    HRESULT ole_;
};

}  // namespace vistrelle::win32
