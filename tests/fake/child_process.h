// Running part of a test in a child process (POSIX only): for a crash, a file-size limit, or
// file permissions that would not bind root.
#pragma once

#ifndef _WIN32

#include <functional>

namespace vistrelle::testing {

// The exit code of a child that was asked to drop root's rights and could not.
inline constexpr int kCannotDropRights = 77;

// Runs body in a forked child and gives its exit code (-1 when it did not exit normally). With
// `dropRoot`, a child running as root first takes the rights of the user "nobody", so that file
// permissions apply to it.
int runInChild(const std::function<int()>& body, bool dropRoot = false);

}  // namespace vistrelle::testing

#endif
