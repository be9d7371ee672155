// Where Debian's SQLite ODBC driver (libsqliteodbc) keeps its library, for
// tests that register it in an odbcinst.ini of their own.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// The driver library under /usr/lib/<multiarch>/odbc; empty when it is not
// installed (scripts/install-deps installs it).
inline std::string SqliteOdbcDriver()
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib", error)) {
        const std::filesystem::path driver = entry.path() / "odbc" / "libsqlite3odbc.so";
        if (std::filesystem::exists(driver, error))
            return driver.string();
    }
    return std::string();
}

} // namespace testsupport
