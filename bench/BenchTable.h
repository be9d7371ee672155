// The table the database benchmarks read: 8 columns (ints, nvarchar,
// datetime, real, a null here and there), made through the engine provider.
#pragma once

#include "engine/Provider.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace bench {

// True when `hr` succeeded; otherwise says what failed, with the engine's text.
inline bool Check(engine::HRESULT hr, const char* what)
{
    if (hr >= 0)
        return true;
    std::vector<engine::ErrorRecord> records;
    engine::GetErrorInfo(records);
    std::string text;
    for (char16_t c : records.empty() ? std::u16string() : records[0].description)
        text.push_back(static_cast<char>(c < 128 ? c : '?'));
    std::fprintf(stderr, "%s failed: 0x%08x %s\n", what, static_cast<unsigned>(hr), text.c_str());
    return false;
}

// Creates table Bench with `rows` rows in an open session.
inline bool FillBenchTable(engine::Session& session, long rows)
{
    auto wide = [](const std::string& s) { return std::u16string(s.begin(), s.end()); };
    std::unique_ptr<engine::Rowset> none;
    std::int64_t affected = 0;
    if (!Check(
            session.Execute(u"CREATE TABLE Bench (id int IDENTITY PRIMARY KEY, qty int, name nvarchar(50), "
                            u"stamp datetime, ratio real, amount float, note nvarchar(100), code smallint)",
                none, affected),
            "create table"))
        return false;
    const std::string columns = "(qty, name, stamp, ratio, amount, note, code)";
    if (!Check(session.Execute(wide("INSERT INTO Bench " + columns
                                   + " VALUES (7, 'name 1', '2005/12/25 10:00:00', 0.5, 1.25, 'note 1', 3)"),
                   none, affected),
            "insert"))
        return false;
    // Doubling keeps the number of statements (and commits) small.
    for (long have = 1; have < rows; have *= 2) {
        const std::string sql = "INSERT INTO Bench " + columns + " SELECT (id * 7) % 1000, 'name ' || (id + "
            + std::to_string(have)
            + "), printf('%04d/%d/%d %d:%02d:%02d', 2000 + id % 20, 1 + id % 12, 1 + id % 28, id % 24, "
              "id % 60, (id * 7) % 60), id * 0.5, id * 1.25, CASE WHEN id % 10 = 0 THEN NULL ELSE 'note ' || "
              "id END, id % 30000 FROM Bench WHERE id <= "
            + std::to_string(rows - have);
        if (!Check(session.Execute(wide(sql), none, affected), "fill"))
            return false;
    }
    return true;
}

// A new unencrypted database `file` of the engine `classId` holding the table.
inline bool MakeBenchDatabase(const std::filesystem::path& file, long rows, std::u16string_view classId)
{
    std::unique_ptr<engine::Provider> provider;
    auto any = [](std::u16string_view) { return true; };
    if (!Check(engine::CreateProvider(classId, any, provider), "provider")
        || !Check(provider->SetProperties({ file, u"" }), "properties")
        || !Check(provider->CreateDataSource(), "create"))
        return false;
    std::unique_ptr<engine::Session> session;
    return Check(provider->CreateSession(session), "session") && FillBenchTable(*session, rows);
}

} // namespace bench
