#pragma once

#include <functional>
#include <grp.h>

#include <sys/wait.h>
#include <unistd.h>

namespace mellowby::tests {

// Runs body in a child process which, when started as root, first gives up root's power to read
// and write every file (as the user nobody), so that permissions mean what they say. The result
// is body's (0 to 124), 125 when the child could not give up root, -1 when it did not exit.
inline int runUnprivileged(const std::function<int()>& body)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(125);
        ::_exit(body());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace mellowby::tests
