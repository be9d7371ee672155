// A file descriptor that closes itself.
#pragma once

#include <unistd.h>
#include <utility>

namespace store {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : m_fd(fd)
    {
    }
    UniqueFd(UniqueFd&& o) noexcept
        : m_fd(std::exchange(o.m_fd, -1))
    {
    }
    UniqueFd& operator=(UniqueFd&& o) noexcept
    {
        if (this != &o)
            Reset(std::exchange(o.m_fd, -1));
        return *this;
    }
    ~UniqueFd() { Reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void Reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

} // namespace store
