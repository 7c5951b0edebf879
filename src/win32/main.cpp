// The Windows program's entry point. It reads no command line.
#include <windows.h>

#include "win32/win32_layer.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return vistrelle::win32::runProgram();
}
