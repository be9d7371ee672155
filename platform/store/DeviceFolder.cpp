#include "platform/store/DeviceFolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace device {

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view content, std::string* error)
{
    std::string temp = path.string() + ".XXXXXX";
    int fd = mkstemp(temp.data());
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + " " + path.string() + ": " + std::strerror(errno);
        if (fd >= 0) {
            close(fd);
            unlink(temp.c_str());
        }
        return false;
    };
    if (fd < 0)
        return fail("cannot create a temporary file beside");
    fchmod(fd, 0644);
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail("cannot write");
        done += std::size_t(n);
    }
    if (fsync(fd) != 0)
        return fail("cannot flush");
    if (close(fd) != 0) {
        fd = -1;
        unlink(temp.c_str());
        return fail("cannot close");
    }
    fd = -1;
    if (rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return fail("cannot rename into place");
    }
    return true;
}

} // namespace device
