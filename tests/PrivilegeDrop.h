#pragma once

#include <csignal>
#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// Runs check in a forked child and returns its exit status (or -1 when it did not exit normally).
//
// Root ignores file modes, so a test of a read-only file must drop root first: the child becomes the user
// nobody when the test runs as root. The child also suits process-wide limits such as RLIMIT_FSIZE.
inline int runInChild(const std::function<int()>& check, bool asNobody)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (asNobody && ::geteuid() == 0) {
            const gid_t nogroup = 65534;
            if (::setgroups(0, nullptr) != 0 || ::setresgid(nogroup, nogroup, nogroup) != 0
                || ::setresuid(65534, 65534, 65534) != 0)
                ::_exit(125);
        }
        ::_exit(check());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Makes this process act as the user nobody for the scope's lifetime, when it runs as root: the effective user
// and group change, the real ones stay root, so the scope's end takes root back. For a window, which cannot
// be carried into a forked child.
class ActAsNobody {
public:
    ActAsNobody()
        : m_active(::geteuid() == 0)
    {
        if (m_active && (::setegid(65534) != 0 || ::seteuid(65534) != 0))
            ::_exit(125);
    }
    ~ActAsNobody()
    {
        if (m_active && (::seteuid(0) != 0 || ::setegid(0) != 0))
            ::_exit(125);
    }
    ActAsNobody(const ActAsNobody&) = delete;
    ActAsNobody& operator=(const ActAsNobody&) = delete;

private:
    bool m_active;
};

inline int runAsNobody(const std::function<int()>& check)
{
    return runInChild(check, true);
}

// Limits the size of files this process may write, as a full disk would, and makes the overrun an error
// (EFBIG) instead of a signal. Only for use inside runInChild.
inline void limitFileSize(rlim_t bytes)
{
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit { bytes, bytes };
    ::setrlimit(RLIMIT_FSIZE, &limit);
}
