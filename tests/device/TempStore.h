// A temporary device store for tests: a fresh folder under /tmp, removed
// when the fixture ends.
#pragma once

#include "device/store/Store.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>

namespace testing_store {

class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/qvst-XXXXXX";
        char* made = mkdtemp(tmpl);
        if (made)
            m_path = made;
    }
    ~TempDir()
    {
        std::error_code ec;
        if (!m_path.empty()) {
            // Read-only entries need write permission back before removal.
            std::filesystem::permissions(
                m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
            std::filesystem::remove_all(m_path, ec);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

inline std::string ReadHostFile(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteHostFile(const std::filesystem::path& p, const std::string& content)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << content;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directory(root());
        std::string error;
        m_store = store::Store::Open(root(), &error);
        ASSERT_TRUE(m_store) << error;
    }
    std::filesystem::path root() const { return m_dir.path() / "files"; }
    store::Store& s() { return *m_store; }

    // Creates a device file holding `content`.
    void Put(std::u16string_view path, const std::string& content)
    {
        std::unique_ptr<store::File> f;
        bool existed = false;
        ASSERT_EQ(
            s().CreateFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, &f, &existed), 0u);
        std::uint32_t done = 0;
        ASSERT_EQ(f->Write(content.data(), std::uint32_t(content.size()), &done), 0u);
        ASSERT_EQ(done, content.size());
    }
    std::string Get(std::u16string_view path)
    {
        std::unique_ptr<store::File> f;
        bool existed = false;
        EXPECT_EQ(s().CreateFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0, &f, &existed), 0u);
        if (!f)
            return "<unreadable>";
        std::string out;
        char buffer[1 << 16];
        std::uint32_t done = 0;
        do {
            EXPECT_EQ(f->Read(buffer, sizeof buffer, &done), 0u);
            out.append(buffer, done);
        } while (done > 0);
        return out;
    }

    TempDir m_dir;
    std::unique_ptr<store::Store> m_store;
};

} // namespace testing_store
