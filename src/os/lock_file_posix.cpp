#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "os/lock_file.h"

namespace vistrelle::os {

LockFile::~LockFile() {
    release();
}

LockFile::Result LockFile::acquire(const std::string& path) {
    release();
    // The holder removes the file when it is done; a process that opened it just before then
    // holds a lock on a file nobody else sees, so it checks that its file is still the one at
    // the path, and tries again when it is not.
    for (int attempt = 0; attempt < 100; ++attempt) {
        int file = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (file < 0) {
            return Result::Failed;
        }
        if (::flock(file, LOCK_EX | LOCK_NB) != 0) {
            ::close(file);
            return Result::Busy;
        }
        struct stat opened {};
        struct stat named {};
        if (::fstat(file, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
            opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
            handle_ = file;
            path_ = path;
            return Result::Locked;
        }
        ::close(file);
    }
    return Result::Failed;
}

void LockFile::release() {
    if (handle_ < 0) {
        return;
    }
    ::unlink(path_.c_str());
    ::close(static_cast<int>(handle_));
    handle_ = -1;
    path_.clear();
}

}  // namespace vistrelle::os
