// An exclusive lock held through a lock file beside another file, so that two processes never
// write that file at once.
#pragma once

#include <cstdint>
#include <string>

namespace vistrelle::os {

class LockFile {
public:
    enum class Result { Locked, Busy, Failed };

    LockFile() = default;
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;
    ~LockFile();

    // Takes the lock of `path` without waiting: Busy when another process holds it, Failed when
    // the lock file cannot be made.
    Result acquire(const std::string& path);
    // Gives the lock back and removes the lock file.
    void release();
    bool held() const { return handle_ != -1; }

private:
    intptr_t handle_ = -1;  // a file descriptor, or a Windows handle
    std::string path_;
};

}  // namespace vistrelle::os
