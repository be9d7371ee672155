// Shared helpers of the engine tests: a temporary folder, providers of both
// versions, statements run with their failures reported, and rows read back
// as texts (the way the agent prints them, in a simplified form).
#pragma once

#include "engine/ErrorInfo.h"
#include "engine/Provider.h"
#include "engine/Rowset.h"
#include "engine/Session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace enginetest {

using Rows = std::vector<std::vector<std::string>>;

std::u16string U(std::string_view utf8);
std::string S(std::u16string_view utf16);

// "0x80040e14 description [p1|p2|p3]" of the first error record, or "" when none.
std::string LastError();

// Every registered class.
bool AllRegistered(std::u16string_view);

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path Path(const std::string& name) const { return m_dir / name; }

    // A provider of engine `version` (2 or 3).
    std::unique_ptr<engine::Provider> MakeProvider(int version);

    // Creates a database and opens a session on it (m_provider, m_session).
    void CreateDatabase(const std::string& name, int version = 3, const std::u16string& password = u"");
    // Opens an existing database; returns the HRESULT of Initialize.
    engine::HRESULT OpenDatabase(
        const std::string& name, int version = 3, const std::u16string& password = u"");

    // Runs a statement that must succeed; returns rows affected.
    std::int64_t Exec(const std::string& sql);
    // Runs a statement that must fail; returns LastError().
    std::string ExecFails(const std::string& sql);
    // Runs a query that must succeed and gives its rowset.
    std::unique_ptr<engine::Rowset> Open(const std::string& sql);
    // Runs a query and reads all rows as texts.
    Rows Query(const std::string& sql);
    // The one value a query gives.
    std::string Value(const std::string& sql);
    // Runs a query that must fail, when it runs or on a row it reads; returns LastError().
    std::string QueryFails(const std::string& sql);

    std::filesystem::path m_dir;
    std::unique_ptr<engine::Provider> m_provider;
    std::unique_ptr<engine::Session> m_session;
};

// Reads every row of a rowset; long columns are read through their stream in
// 4,096-byte chunks. Values print as: integers in decimal, reals with %g,
// bool "true"/"false", currency and numeric as decimal text, date-time as
// "%d/%02d/%02d  %02d:%02d:%02d", GUID "{...}" from its bytes in order,
// text as UTF-8, bytes as hex, null as "(null)".
Rows ReadAll(engine::Rowset& rowset);

// Runs a command in the sqlite3 or sqlcipher shell; returns its output and exit status.
int RunShell(
    const std::string& shell, const std::filesystem::path& db, const std::string& input, std::string& output);

} // namespace enginetest
