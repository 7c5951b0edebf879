// The lock on Windows: the lock file opened without sharing, so that nobody else can open it
// while it is held, and deleted by the system when its handle closes, also when the process
// ends without releasing it.
#include <windows.h>

#include "os/lock_file.h"

namespace vistrelle::os {

LockFile::~LockFile() {
    release();
}

LockFile::Result LockFile::acquire(const std::string& path) {
    release();
    for (int attempt = 0; attempt < 50; ++attempt) {
        HANDLE file =
            CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<intptr_t>(file);
            path_ = path;
            return Result::Locked;
        }
        switch (GetLastError()) {
            case ERROR_SHARING_VIOLATION:
            case ERROR_LOCK_VIOLATION:
                return Result::Busy;
            case ERROR_ACCESS_DENIED:
                // Also what a lock file still being deleted by its last holder answers: wait a
                // moment for it to go.
                Sleep(10);
                break;
            default:
                return Result::Failed;
        }
    }
    return Result::Failed;
}

void LockFile::release() {
    if (handle_ == -1) {
        return;
    }
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
    path_.clear();
}

}  // namespace vistrelle::os
