// The program on Windows: the common controls, OLE, the window layer and the program itself.
#include "app/app.h"
#include "win32/process_services.h"
#include "win32/win32_layer.h"

namespace vistrelle::win32 {

int runProgram() {
    ProcessServices services;
    Win32Layer layer;
    App app(layer);
    return app.run();
}

}  // namespace vistrelle::win32
