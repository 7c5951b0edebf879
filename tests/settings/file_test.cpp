#include "os/file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fake/child_process.h"
#include "fake/sandbox.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#endif

namespace vistrelle {
namespace {

namespace fs = std::filesystem;
using os::File;
using os::PathKind;
using os::ReplaceResult;
using testing::SandboxTest;

class FileModule : public SandboxTest {};

std::string readAll(File& file) {
    std::string bytes;
    char buffer[7];  // small, so that reading takes several calls
    for (;;) {
        int64_t count = file.read(buffer, sizeof buffer);
        if (count <= 0) {
            EXPECT_EQ(count, 0);
            return bytes;
        }
        bytes.append(buffer, static_cast<size_t>(count));
    }
}

TEST_F(FileModule, OpensExistingFilesOnly) {
    sandbox.write("file", "content");
    fs::create_directory(sandbox.path() / "folder");
    struct Case {
        const char* path;
        File::Access access;
        bool opens;
    };
    const Case cases[] = {
        {"file", File::Access::Read, true},
        {"file", File::Access::ReadWrite, true},
        {"missing", File::Access::Read, false},
        {"missing", File::Access::ReadWrite, false},
        {"folder", File::Access::Read, false},
        {"folder", File::Access::ReadWrite, false},
        {"folder/missing", File::Access::Read, false},
    };
    for (const Case& c : cases) {
        File file;
        EXPECT_EQ(file.open(c.path, c.access), c.opens) << c.path;
        EXPECT_EQ(file.isOpen(), c.opens) << c.path;
        EXPECT_EQ(file.writable(), c.opens && c.access == File::Access::ReadWrite) << c.path;
    }
    EXPECT_FALSE(sandbox.exists("missing"));  // opening never creates
}

TEST_F(FileModule, ReadsSizesAndSeeks) {
    const std::string bytes = std::string("line\r\n\0binary\xFF", 14) + std::string(100000, 'x');
    sandbox.write("file", bytes);
    File file;
    ASSERT_TRUE(file.open("file", File::Access::ReadWrite));
    EXPECT_EQ(file.size(), static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(readAll(file), bytes);
    ASSERT_TRUE(file.seek(3));
    char first = 0;
    EXPECT_EQ(file.read(&first, 1), 1);
    EXPECT_EQ(first, 'e');
    ASSERT_TRUE(file.seek(0));
    EXPECT_EQ(readAll(file), bytes);

    File moved(std::move(file));
    EXPECT_TRUE(moved.isOpen());
    EXPECT_FALSE(file.isOpen());  // NOLINT(bugprone-use-after-move): the moved-from state
    moved.close();
    EXPECT_FALSE(moved.isOpen());
    EXPECT_FALSE(moved.writable());
    char byte = 0;
    EXPECT_EQ(moved.read(&byte, 1), -1);
    EXPECT_EQ(moved.size(), -1);
    EXPECT_FALSE(moved.seek(0));
}

TEST_F(FileModule, AnEmptyFileReadsAsNothing) {
    sandbox.write("empty", "");
    File file;
    ASSERT_TRUE(file.open("empty", File::Access::Read));
    EXPECT_EQ(file.size(), 0);
    EXPECT_EQ(readAll(file), "");
}

TEST_F(FileModule, TellsWhatStandsAtAPath) {
    sandbox.write("file", "x");
    fs::create_directory(sandbox.path() / "folder");
    EXPECT_EQ(os::pathKind("file"), PathKind::RegularFile);
    EXPECT_EQ(os::pathKind("folder"), PathKind::Directory);
    EXPECT_EQ(os::pathKind("missing"), PathKind::Missing);
    EXPECT_EQ(os::pathKind("folder/missing"), PathKind::Missing);
    EXPECT_EQ(os::pathKind(""), PathKind::Missing);
#ifndef _WIN32
    ASSERT_EQ(mkfifo("fifo", 0600), 0);
    EXPECT_EQ(os::pathKind("fifo"), PathKind::Other);
#endif
}

TEST_F(FileModule, RemovesFilesButNotFolders) {
    sandbox.write("file", "x");
    fs::create_directory(sandbox.path() / "folder");
    EXPECT_TRUE(os::removeFile("file"));
    EXPECT_FALSE(sandbox.exists("file"));
    EXPECT_FALSE(os::removeFile("file"));
    EXPECT_FALSE(os::removeFile("folder"));
    EXPECT_TRUE(fs::is_directory(sandbox.path() / "folder"));
}

TEST_F(FileModule, ReplaceCreatesOrReplacesAndLeavesNoTemporary) {
    struct Case {
        const char* name;
        std::optional<std::string> before;
        std::string content;
    };
    const Case cases[] = {
        {"new file", std::nullopt, "WMP Version = 1\r\n"},
        {"longer old file", std::string(5000, 'o'), "short"},
        {"shorter old file", "old", std::string(70000, 'n')},
        {"emptied", "old", ""},
        {"binary", "old", std::string("\0\r\n\xFF", 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::error_code ignored;
        fs::remove(sandbox.path() / "target", ignored);
        if (c.before) {
            sandbox.write("target", *c.before);
        }
        EXPECT_EQ(os::replaceFile("target", c.content), ReplaceResult::Replaced);
        EXPECT_EQ(sandbox.read("target"), c.content);
        EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"target"});
    }
}

TEST_F(FileModule, ReplaceInASubfolderUsesThatFolder) {
    fs::create_directory(sandbox.path() / "sub");
    sandbox.write("sub/target", "old");
    EXPECT_EQ(os::replaceFile("sub/target", "new"), ReplaceResult::Replaced);
    EXPECT_EQ(sandbox.read("sub/target"), "new");
    EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"sub"});
    std::vector<std::string> inside;
    for (const auto& entry : fs::directory_iterator(sandbox.path() / "sub")) {
        inside.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(inside, std::vector<std::string>{"target"});
}

TEST_F(FileModule, ReplaceNeverPutsAFileOverAFolder) {
    fs::create_directory(sandbox.path() / "target");  // empty: a rename could take its place
    EXPECT_EQ(os::replaceFile("target", "content"), ReplaceResult::Failed);
    EXPECT_TRUE(fs::is_directory(sandbox.path() / "target"));
    EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"target"});
    EXPECT_FALSE(os::rewriteFile("target", "content"));
    EXPECT_TRUE(fs::is_directory(sandbox.path() / "target"));
}

TEST_F(FileModule, WithoutTheFolderThereIsNoTemporary) {
    EXPECT_EQ(os::replaceFile("missing/target", "content"), ReplaceResult::NoTemporary);
    EXPECT_FALSE(os::rewriteFile("missing/target", "content"));
    EXPECT_TRUE(sandbox.entries().empty());
}

TEST_F(FileModule, RewriteCreatesOrTruncatesInPlace) {
    EXPECT_TRUE(os::rewriteFile("target", "first content"));
    EXPECT_EQ(sandbox.read("target"), "first content");
    EXPECT_TRUE(os::rewriteFile("target", "2nd"));
    EXPECT_EQ(sandbox.read("target"), "2nd");
    EXPECT_TRUE(os::rewriteFile("target", ""));
    EXPECT_EQ(sandbox.read("target"), "");
    EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"target"});
}

#ifndef _WIN32
using testing::kCannotDropRights;
using testing::runInChild;

TEST_F(FileModule, AFullDiskLeavesTheOldFileAndNoTemporary) {
    const std::string old = "old content";
    sandbox.write("target", old);
    // A file-size limit of 16 bytes stands in for a full disk; its signal, left as a process
    // starts, would end the process.
    int code = runInChild([] {
        std::signal(SIGXFSZ, SIG_DFL);
        rlimit limit{16, 16};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 2;
        }
        if (os::replaceFile("target", std::string(4096, 'n')) != ReplaceResult::Failed) {
            return 3;
        }
        if (os::rewriteFile("other", std::string(4096, 'n'))) {
            return 4;  // the in-place fallback reports the failure too
        }
        return 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(sandbox.read("target"), old);
    std::error_code ignored;
    fs::remove(sandbox.path() / "other", ignored);
    EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"target"});
}

#ifdef __linux__
TEST(FileModuleDevice, AWriteErrorIsReported) {
    if (os::pathKind("/dev/full") != PathKind::Other) {
        GTEST_SKIP() << "no /dev/full";
    }
    EXPECT_FALSE(os::rewriteFile("/dev/full", "x"));
}
#endif

TEST_F(FileModule, ACrashBeforeTheRenameLeavesTheOldFile) {
    const std::string old = "WMP Version = 2\r\n";
    sandbox.write("target", old);
    int code = runInChild([] {
        os::testing::beforeReplaceRename = [] { _exit(42); };
        os::replaceFile("target", "WMP Version = 1\r\n");
        return 0;
    });
    EXPECT_EQ(code, 42);
    EXPECT_EQ(sandbox.read("target"), old);
    // The crashed process's temporary may remain; the next replace still works.
    EXPECT_EQ(os::replaceFile("target", "new"), ReplaceResult::Replaced);
    EXPECT_EQ(sandbox.read("target"), "new");
}

TEST_F(FileModule, PermissionsAreKeptAcrossAReplace) {
    sandbox.write("target", "old");
    fs::permissions(sandbox.path() / "target", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(os::replaceFile("target", "new"), ReplaceResult::Replaced);
    EXPECT_EQ(fs::status(sandbox.path() / "target").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(FileModule, AReadOnlyFolderHasNoTemporary) {
    sandbox.write("target", "old");
    if (geteuid() == 0) {
        ASSERT_EQ(chown((sandbox.path() / "target").c_str(), 65534, 65534), 0);
    }
    fs::permissions(sandbox.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                        fs::perms::group_read | fs::perms::group_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
    int code = runInChild(
        [] {
            if (os::replaceFile("target", "new") != ReplaceResult::NoTemporary) {
                return 2;
            }
            if (os::rewriteFile("created", "x")) {
                return 3;  // nothing can be created either
            }
            return os::rewriteFile("target", "new") ? 0 : 4;
        },
        true);
    if (code == kCannotDropRights) {
        GTEST_SKIP() << "no unprivileged user to run as";
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(sandbox.read("target"), "new");
    EXPECT_EQ(sandbox.entries(), std::vector<std::string>{"target"});
}

TEST_F(FileModule, AReadOnlyFileOpensForReadingOnly) {
    sandbox.write("target", "old");
    fs::permissions(sandbox.path(), fs::perms::all);
    fs::permissions(sandbox.path() / "target",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    int code = runInChild(
        [] {
            File file;
            if (file.open("target", File::Access::ReadWrite)) {
                return 2;
            }
            if (!file.open("target", File::Access::Read) || file.writable()) {
                return 3;
            }
            return 0;
        },
        true);
    if (code == kCannotDropRights) {
        GTEST_SKIP() << "no unprivileged user to run as";
    }
    EXPECT_EQ(code, 0);
}
#endif

}  // namespace
}  // namespace vistrelle
