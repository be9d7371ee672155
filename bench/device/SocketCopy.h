// The reference a device copy is held against: the same bytes moved between
// this process and a forked peer through a Unix socket, in blocks of 60,000
// bytes with one acknowledgement per block, the peer reading or writing the
// file on its side. What any request/answer transport of file blocks costs
// at least; the device adds its store, handles and protocol on top.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace bench {

inline constexpr std::size_t kSocketBlock = 60000;

inline bool WriteAll(int fd, const void* data, std::size_t size)
{
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n <= 0)
            return false;
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

inline bool ReadAll(int fd, void* data, std::size_t size)
{
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, p, size);
        if (n <= 0)
            return false;
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

// Sends the file `from` block by block to the peer's file `to` (toPeer) or
// asks the peer for its file `from` block by block into `to` (!toPeer).
// True when every byte arrived.
inline bool SocketCopy(const std::filesystem::path& from, const std::filesystem::path& to, bool toPeer)
{
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    const pid_t peer = fork();
    if (peer < 0)
        return false;
    std::vector<char> block(kSocketBlock);
    if (peer == 0) {
        ::close(pair[0]);
        const int link = pair[1];
        bool ok = true;
        if (toPeer) {
            const int file = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            for (std::uint32_t length = 0; ok && ReadAll(link, &length, sizeof length) && length > 0;) {
                ok = length <= block.size() && ReadAll(link, block.data(), length)
                    && WriteAll(file, block.data(), length) && WriteAll(link, &length, sizeof length);
            }
            ok = ::close(file) == 0 && ok;
        } else {
            const int file = ::open(from.c_str(), O_RDONLY);
            for (std::uint32_t asked = 0; ok && ReadAll(link, &asked, sizeof asked);) {
                const ssize_t n = ::read(file, block.data(), std::min<std::size_t>(asked, block.size()));
                const std::uint32_t length = n > 0 ? std::uint32_t(n) : 0;
                ok = n >= 0 && WriteAll(link, &length, sizeof length) && WriteAll(link, block.data(), length);
                if (length == 0)
                    break;
            }
            ::close(file);
        }
        _exit(ok ? 0 : 1);
    }
    ::close(pair[1]);
    const int link = pair[0];
    bool ok = true;
    if (toPeer) {
        const int file = ::open(from.c_str(), O_RDONLY);
        for (;;) {
            const ssize_t n = ::read(file, block.data(), block.size());
            std::uint32_t length = n > 0 ? std::uint32_t(n) : 0, ack = 0;
            ok = n >= 0 && WriteAll(link, &length, sizeof length);
            if (!ok || length == 0)
                break;
            ok = WriteAll(link, block.data(), length) && ReadAll(link, &ack, sizeof ack) && ack == length;
            if (!ok)
                break;
        }
        ::close(file);
    } else {
        const int file = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        for (;;) {
            std::uint32_t asked = std::uint32_t(block.size()), length = 0;
            ok = WriteAll(link, &asked, sizeof asked) && ReadAll(link, &length, sizeof length)
                && length <= block.size() && ReadAll(link, block.data(), length) && WriteAll(file, block.data(), length);
            if (!ok || length == 0)
                break;
        }
        ok = ::close(file) == 0 && ok;
    }
    ::close(link);
    int status = 0;
    while (waitpid(peer, &status, 0) < 0) { }
    return ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace bench
