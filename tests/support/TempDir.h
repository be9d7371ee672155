// A fresh folder directly under /tmp for one test, benchmark or program run,
// removed with everything in it when the object goes. It lies under /tmp
// rather than $TMPDIR so that a socket path beneath it stays far below the
// 107 bytes a Unix socket address holds.
//
// One object belongs to one thread.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

class TempDir {
public:
    // Makes "/tmp/<prefix>-XXXXXX". When that fails, path() is empty and
    // ok() false.
    explicit TempDir(const std::string& prefix = "qvt");
    // Removes the folder and all it holds, read-only entries included,
    // unless Keep() was called.
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool ok() const { return !m_path.empty(); }
    const std::filesystem::path& path() const { return m_path; }

    // Leaves the folder in place, for a look at it afterwards.
    void Keep() { m_keep = true; }

private:
    std::filesystem::path m_path;
    bool m_keep = false;
};

} // namespace testsupport
