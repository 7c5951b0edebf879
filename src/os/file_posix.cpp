#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "os/file.h"

namespace vistrelle::os {

namespace testing {
void (*beforeReplaceRename)() = nullptr;
}  // namespace testing

namespace {

int fd(intptr_t handle) {
    return static_cast<int>(handle);
}

// A write beyond the file-size limit (ulimit -f) ends the process with SIGXFSZ unless the
// signal is ignored, leaving a temporary file and any lock behind. Ignored, the write fails with
// EFBIG, and the save fails as on a full disk.
void ignoreFileSizeSignal() {
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        ::signal(SIGXFSZ, SIG_IGN);
    }
}

// Writes all of content, retrying short writes and interruptions.
bool writeAll(int file, std::string_view content) {
    ignoreFileSizeSignal();
    const char* data = content.data();
    size_t left = content.size();
    while (left > 0) {
        ssize_t written = ::write(file, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

// Flushes the folder's entry list, so that a rename survives a power cut.
void syncFolder(const std::string& folder) {
    int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace

std::string folderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return std::string();
    }
    return path.substr(0, slash + 1);
}

File::File(File&& other) noexcept : handle_(other.handle_), writable_(other.writable_) {
    other.handle_ = -1;
    other.writable_ = false;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        writable_ = other.writable_;
        other.handle_ = -1;
        other.writable_ = false;
    }
    return *this;
}

File::~File() {
    close();
}

bool File::open(const std::string& path, Access access) {
    close();
    int flags = (access == Access::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    int file = ::open(path.c_str(), flags);
    if (file < 0) {
        return false;
    }
    struct stat info {};
    if (::fstat(file, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(file);
        return false;
    }
    handle_ = file;
    writable_ = access == Access::ReadWrite;
    return true;
}

bool File::isOpen() const {
    return handle_ >= 0;
}

int64_t File::read(void* buffer, size_t size) {
    if (handle_ < 0) {
        return -1;
    }
    for (;;) {
        ssize_t got = ::read(fd(handle_), buffer, size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return got;
    }
}

int64_t File::size() {
    struct stat info {};
    if (handle_ < 0 || ::fstat(fd(handle_), &info) != 0) {
        return -1;
    }
    return info.st_size;
}

bool File::seek(int64_t offset) {
    return handle_ >= 0 && ::lseek(fd(handle_), static_cast<off_t>(offset), SEEK_SET) == offset;
}

void File::close() {
    if (handle_ >= 0) {
        ::close(fd(handle_));
        handle_ = -1;
    }
    writable_ = false;
}

PathKind pathKind(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return PathKind::Missing;
    }
    if (S_ISREG(info.st_mode)) {
        return PathKind::RegularFile;
    }
    if (S_ISDIR(info.st_mode)) {
        return PathKind::Directory;
    }
    return PathKind::Other;
}

bool removeFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

ReplaceResult replaceFile(const std::string& path, std::string_view content) {
    const std::string folder = folderOf(path);
    std::string temporary = path + ".XXXXXX";
    int file = ::mkstemp(temporary.data());
    if (file < 0) {
        // On a full disk, rewriting in place would only lose the old file as well.
        const bool full = errno == ENOSPC || errno == EDQUOT;
        return full ? ReplaceResult::Failed : ReplaceResult::NoTemporary;
    }
    ::fcntl(file, F_SETFD, FD_CLOEXEC);
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat old {};
    mode_t mode = 0666;
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(file, mode);

    bool written = writeAll(file, content) && ::fsync(file) == 0;
    written = (::close(file) == 0) && written;
    if (written && testing::beforeReplaceRename) {
        testing::beforeReplaceRename();
    }
    // rename() would also replace an empty directory of that name: only a regular file or
    // nothing may stand at the path.
    PathKind existing = pathKind(path);
    bool replaceable = existing == PathKind::Missing || existing == PathKind::RegularFile;
    if (!written || !replaceable || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return ReplaceResult::Failed;
    }
    syncFolder(folder);
    removeLeftoverTemporaries(path);
    return ReplaceResult::Replaced;
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    ::closedir(dir);
    return names;
}

bool isTemporaryName(std::string_view name, std::string_view baseName) {
    // mkstemp replaces the six X of "<name>.XXXXXX" with letters and digits.
    constexpr size_t kSuffix = 6;
    if (baseName.empty() || name.size() != baseName.size() + 1 + kSuffix ||
        !name.starts_with(baseName) || name[baseName.size()] != '.') {
        return false;
    }
    for (char c : name.substr(baseName.size() + 1)) {
        bool alphanumeric =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alphanumeric) {
            return false;
        }
    }
    return true;
}

void removeLeftoverTemporaries(const std::string& path) {
    const std::string folder = folderOf(path);
    const std::string baseName = path.substr(folder.size());
    for (const std::string& name : folderEntries(folder)) {
        struct stat info {};
        if (isTemporaryName(name, baseName) && ::lstat((folder + name).c_str(), &info) == 0 &&
            S_ISREG(info.st_mode)) {
            ::unlink((folder + name).c_str());
        }
    }
}

bool rewriteFile(const std::string& path, std::string_view content) {
    if (pathKind(path) == PathKind::Directory) {
        return false;
    }
    int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file < 0) {
        return false;
    }
    bool written = writeAll(file, content) && ::fsync(file) == 0;
    return (::close(file) == 0) && written;
}

}  // namespace vistrelle::os
