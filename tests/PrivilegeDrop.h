#pragma once

#include <unistd.h>

// Makes this process act as the user nobody for the scope's lifetime, when it runs as root: the effective user
// and group change, the real ones stay root, so the scope's end takes root back. For a window, which
// cannot be carried into another process.
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
