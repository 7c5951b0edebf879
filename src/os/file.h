// The program's only operating-system calls for files: a POSIX and a Windows implementation,
// chosen by the build. Paths are byte strings relative to the current directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vistrelle::os {

class File {
public:
    enum class Access {
        Read,       // read only; others may read
        ReadWrite,  // read and write; others may read but not write (where the system allows)
    };

    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    ~File();

    bool open(const std::string& path, Access access);
    bool isOpen() const;
    bool writable() const { return writable_; }
    // Bytes read into buffer: 0 at the end of the file, -1 on an error.
    int64_t read(void* buffer, size_t size);
    int64_t size();  // -1 on an error
    bool seek(int64_t offset);
    void close();

private:
    intptr_t handle_ = -1;
    bool writable_ = false;
};

enum class PathKind { Missing, RegularFile, Directory, Other };
PathKind pathKind(const std::string& path);

bool removeFile(const std::string& path);

// The folder part of a path with its last separator ("/"; on Windows also "\\" and a drive's
// ":"), or empty for a bare name.
std::string folderOf(const std::string& path);

enum class ReplaceResult {
    Replaced,     // path now holds content
    NoTemporary,  // no temporary file could be made in the folder; nothing changed
    Failed,       // writing, flushing or renaming failed; path unchanged, no temporary left
};

// Writes content to a new temporary file in the folder of path, flushes it to disk and renames
// it over path (Windows: MoveFileEx with replace-existing and write-through).
ReplaceResult replaceFile(const std::string& path, std::string_view content);

// The names in `folder` (empty: the current one), without "." and ".."; empty on an error.
std::vector<std::string> folderEntries(const std::string& folder);

// Whether `name` is exactly the name of a temporary file that replaceFile makes for a file
// named `baseName` (POSIX: "favorites.dat." and six letters or digits; Windows:
// "~favorites.dat.<hex>.<hex>.tmp").
bool isTemporaryName(std::string_view name, std::string_view baseName);

// Removes the regular files beside path whose names are replaceFile's temporary names for it:
// what a save stopped between its write and its rename left behind. Called by replaceFile after
// a successful replace; other files are never touched.
void removeLeftoverTemporaries(const std::string& path);

// Creates path, or truncates it, and writes content in place. The fallback for folders where
// no temporary file can be made. False on any failure.
bool rewriteFile(const std::string& path, std::string_view content);

namespace testing {
// Called after the temporary file is written and flushed, before it is renamed; tests use it to
// stop the process at that point. Null by default.
extern void (*beforeReplaceRename)();
}  // namespace testing

}  // namespace vistrelle::os
