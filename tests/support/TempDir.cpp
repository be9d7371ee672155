#include "tests/support/TempDir.h"

#include <cstdlib>

namespace testsupport {

TempDir::TempDir(const std::string& prefix)
{
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()))
        m_path = pattern;
}

TempDir::~TempDir()
{
    if (m_path.empty() || m_keep)
        return;
    namespace fs = std::filesystem;
    std::error_code ec;
    // What a test made read-only (device files, a locked-down socket folder)
    // needs its owner's rights back before it can go.
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(m_path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_symlink(ec))
            continue;
        fs::permissions(it->path(), it->is_directory(ec) ? fs::perms::owner_all : fs::perms::owner_write,
            fs::perm_options::add, ec);
    }
    fs::remove_all(m_path, ec);
}

} // namespace testsupport
