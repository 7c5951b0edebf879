// Files on Windows: KERNEL32 handles, ANSI paths.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <limits>

#include "os/file.h"

namespace vistrelle::os {

namespace testing {
void (*beforeReplaceRename)() = nullptr;
}  // namespace testing

namespace {

HANDLE toHandle(intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}
intptr_t fromHandle(HANDLE handle) {
    return reinterpret_cast<intptr_t>(handle);
}
constexpr intptr_t kNoHandle = -1;  // INVALID_HANDLE_VALUE

// Writes all of content; false on any error (a full disk included).
bool writeAll(HANDLE handle, std::string_view content) {
    constexpr size_t kBlock = 1 << 20;
    size_t done = 0;
    while (done < content.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min(kBlock, content.size() - done));
        DWORD written = 0;
        if (!WriteFile(handle, content.data() + done, chunk, &written, nullptr) ||
            written != chunk) {
            return false;
        }
        done += written;
    }
    return true;
}

std::string baseNameOf(const std::string& path) {
    const size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Creates a new, uniquely named file beside path. Returns its handle and name.
HANDLE createTemporaryBeside(const std::string& path, std::string& name) {
    static std::atomic<unsigned> counter{0};
    const std::string stem = folderOf(path) + "~" + baseNameOf(path) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, "%lx.%x.tmp", GetCurrentProcessId(),
                      counter.fetch_add(1) + static_cast<unsigned>(GetTickCount()) * 7919u);
        name = stem + suffix;
        HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE)
            return handle;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    name.clear();
    return INVALID_HANDLE_VALUE;
}

}  // namespace

std::string folderOf(const std::string& path) {
    // "\\" and "/" separate folders; "C:name" lies in the current folder of drive C.
    const size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

File::File(File&& other) noexcept : handle_(other.handle_), writable_(other.writable_) {
    other.handle_ = kNoHandle;
    other.writable_ = false;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        writable_ = other.writable_;
        other.handle_ = kNoHandle;
        other.writable_ = false;
    }
    return *this;
}

File::~File() {
    close();
}

bool File::open(const std::string& path, Access access) {
    close();
    const bool write = access == Access::ReadWrite;
    // Only existing files are opened; a directory is never one.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    // A read-only file is never opened for writing, whatever rights the user has.
    if (write && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        return false;
    }
    HANDLE handle =
        CreateFileA(path.c_str(), write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    handle_ = fromHandle(handle);
    writable_ = write;
    return true;
}

bool File::isOpen() const {
    return handle_ != kNoHandle;
}

int64_t File::read(void* buffer, size_t size) {
    if (!isOpen())
        return -1;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(toHandle(handle_), buffer, chunk, &got, nullptr))
        return -1;
    return static_cast<int64_t>(got);
}

int64_t File::size() {
    if (!isOpen())
        return -1;
    LARGE_INTEGER value;
    if (!GetFileSizeEx(toHandle(handle_), &value))
        return -1;
    return static_cast<int64_t>(value.QuadPart);
}

bool File::seek(int64_t offset) {
    if (!isOpen() || offset < 0)
        return false;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    return SetFilePointerEx(toHandle(handle_), distance, nullptr, FILE_BEGIN) != 0;
}

void File::close() {
    if (isOpen())
        CloseHandle(toHandle(handle_));
    handle_ = kNoHandle;
    writable_ = false;
}

PathKind pathKind(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PathKind::Missing;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return PathKind::Directory;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return PathKind::Other;
    return PathKind::RegularFile;
}

bool removeFile(const std::string& path) {
    return DeleteFileA(path.c_str()) != 0;
}

ReplaceResult replaceFile(const std::string& path, std::string_view content) {
    std::string temporary;
    HANDLE handle = createTemporaryBeside(path, temporary);
    if (handle == INVALID_HANDLE_VALUE)
        return ReplaceResult::NoTemporary;
    const bool written = writeAll(handle, content) && FlushFileBuffers(handle);
    CloseHandle(handle);
    if (!written) {
        DeleteFileA(temporary.c_str());
        return ReplaceResult::Failed;
    }
    if (testing::beforeReplaceRename)
        testing::beforeReplaceRename();
    if (!MoveFileExA(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return ReplaceResult::Failed;
    }
    removeLeftoverTemporaries(path);
    return ReplaceResult::Replaced;
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string_view name = found.cFileName;
        if (name != "." && name != "..")
            names.emplace_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

namespace {

// Takes one or more lowercase hexadecimal digits from the front of text.
bool takeHex(std::string_view& text) {
    size_t digits = 0;
    while (digits < text.size() && ((text[digits] >= '0' && text[digits] <= '9') ||
                                    (text[digits] >= 'a' && text[digits] <= 'f')))
        ++digits;
    text.remove_prefix(digits);
    return digits > 0;
}

}  // namespace

bool isTemporaryName(std::string_view name, std::string_view baseName) {
    // createTemporaryBeside: "~<name>.<process id>.<counter>.tmp", both numbers in hex.
    if (baseName.empty() || !name.starts_with("~"))
        return false;
    name.remove_prefix(1);
    if (!name.starts_with(baseName) || !name.substr(baseName.size()).starts_with("."))
        return false;
    name.remove_prefix(baseName.size() + 1);
    if (!takeHex(name) || !name.starts_with("."))
        return false;
    name.remove_prefix(1);
    return takeHex(name) && name == ".tmp";
}

void removeLeftoverTemporaries(const std::string& path) {
    const std::string folder = folderOf(path);
    const std::string baseName = baseNameOf(path);
    for (const std::string& name : folderEntries(folder)) {
        const std::string full = folder + name;
        const DWORD attributes = GetFileAttributesA(full.c_str());
        if (isTemporaryName(name, baseName) && attributes != INVALID_FILE_ATTRIBUTES &&
            !(attributes &
              (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT)))
            DeleteFileA(full.c_str());
    }
}

bool rewriteFile(const std::string& path, std::string_view content) {
    if (pathKind(path) == PathKind::Directory)
        return false;
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool written = writeAll(handle, content) && FlushFileBuffers(handle);
    CloseHandle(handle);
    return written;
}

}  // namespace vistrelle::os
