// A temporary device store for tests: a fresh folder under /tmp, removed
// when the fixture ends.
#pragma once

#include "platform/store/Store.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace testing_store {

// Creates (or replaces) the device file `path` holding `content`.
inline void PutStoreFile(store::Store& s, std::u16string_view path, const std::string& content)
{
    std::unique_ptr<store::File> f;
    bool existed = false;
    ASSERT_EQ(s.CreateFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, &f, &existed), 0u);
    std::uint32_t done = 0;
    ASSERT_EQ(f->Write(content.data(), std::uint32_t(content.size()), &done), 0u);
    ASSERT_EQ(done, content.size());
}

// The device file's bytes; "<unreadable>" when it cannot be opened and
// "<read failed>" when a read fails, so that a comparison shows why.
inline std::string GetStoreFile(store::Store& s, std::u16string_view path)
{
    std::unique_ptr<store::File> f;
    bool existed = false;
    if (s.CreateFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0, &f, &existed))
        return "<unreadable>";
    std::string out;
    char buffer[1 << 16];
    std::uint32_t done = 0;
    do {
        if (f->Read(buffer, sizeof buffer, &done))
            return "<read failed>";
        out.append(buffer, done);
    } while (done > 0);
    return out;
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

    void Put(std::u16string_view path, const std::string& content) { PutStoreFile(s(), path, content); }
    std::string Get(std::u16string_view path) { return GetStoreFile(s(), path); }

    testsupport::TempDir m_dir { "qvst" };
    std::unique_ptr<store::Store> m_store;
};

} // namespace testing_store
