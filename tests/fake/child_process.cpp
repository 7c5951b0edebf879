#include "fake/child_process.h"

#ifndef _WIN32

#include <sys/wait.h>
#include <unistd.h>

namespace vistrelle::testing {

int runInChild(const std::function<int()>& body, bool dropRoot) {
    pid_t child = fork();
    if (child == 0) {
        if (dropRoot && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(kCannotDropRights);
        }
        _exit(body());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

}  // namespace vistrelle::testing

#endif
