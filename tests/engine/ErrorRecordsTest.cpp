// Error records: what a failing call leaves for GetErrorInfo, with the
// descriptions the desktop reacts to (password, damaged file, no database)
// and the parameter slots of SQL errors.
#include "EngineFixture.h"

#include <fstream>
#include <thread>

namespace enginetest {
namespace {

using namespace engine;

class ErrorRecordsTest : public EngineTest {
protected:
    // Overwrites `count` bytes at `offset` of a file with a pattern.
    void Damage(const std::string& name, std::size_t offset, std::size_t count)
    {
        std::fstream f(Path(name), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(offset));
        for (std::size_t i = 0; i < count; ++i)
            f.put(static_cast<char>(0xA5 ^ i));
    }

    // Runs a query and reads its rows until it fails; returns LastError().
    std::string ReadFails(const std::string& sql)
    {
        std::unique_ptr<Rowset> rowset;
        std::int64_t affected = 0;
        HRESULT hr = m_session->Execute(U(sql), rowset, affected);
        while (hr == S_OK && rowset && (hr = rowset->MoveNext()) == S_OK) { }
        EXPECT_TRUE(Failed(hr)) << sql;
        return LastError();
    }

    void FillTable(int rows)
    {
        Exec("CREATE TABLE T (id int PRIMARY KEY, s nvarchar(100))");
        std::string insert = "INSERT INTO T SELECT 1, 'first row with some text to fill the pages'";
        Exec(insert);
        for (int n = 1; n < rows; n *= 2)
            Exec("INSERT INTO T SELECT id + " + std::to_string(n) + ", s FROM T");
    }
};

TEST_F(ErrorRecordsTest, WrongPasswordNamesTheDatabasePassword)
{
    CreateDatabase("p.sdf", 3, u"right");
    m_session.reset();
    EXPECT_EQ(DB_SEC_E_AUTH_FAILED, OpenDatabase("p.sdf", 3, u"wrong"));
    std::vector<ErrorRecord> records;
    ASSERT_EQ(S_OK, GetErrorInfo(records));
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(DB_SEC_E_AUTH_FAILED, records[0].result);
    EXPECT_EQ(u"The specified password does not match the database password", records[0].description);
    EXPECT_FALSE(records[0].source.empty());
    // The records were handed out once.
    EXPECT_EQ(S_FALSE, GetErrorInfo(records));
    EXPECT_TRUE(records.empty());
    // The engine-2.0 provider answers the same way.
    EXPECT_EQ(DB_SEC_E_AUTH_FAILED, OpenDatabase("p.sdf", 2, u"wrong"));
}

TEST_F(ErrorRecordsTest, MissingPasswordNamesTheDatabasePassword)
{
    CreateDatabase("p.sdf", 3, u"right");
    m_session.reset();
    EXPECT_EQ(DB_SEC_E_AUTH_FAILED, OpenDatabase("p.sdf", 3, u""));
    EXPECT_EQ(
        "0x80040e4d The database is encrypted; the database password is needed to open it", LastError());
}

TEST_F(ErrorRecordsTest, DamagedHeaderOfAPlainFileIsReportedCorrupted)
{
    CreateDatabase("c.sdf", 3);
    m_session.reset();
    m_provider.reset();
    Damage("c.sdf", 16, 40);
    EXPECT_EQ(E_FAIL, OpenDatabase("c.sdf", 3));
    EXPECT_EQ("0x80004005 The database file is corrupted", LastError());
}

TEST_F(ErrorRecordsTest, DamagedPageIsReportedCorruptedWhenRead)
{
    CreateDatabase("c.sdf", 3);
    FillTable(64);
    m_session.reset();
    m_provider.reset();
    auto size = std::filesystem::file_size(Path("c.sdf"));
    ASSERT_GT(size, 8192u);
    Damage("c.sdf", static_cast<std::size_t>(size) - 3000, 2000);
    ASSERT_EQ(S_OK, OpenDatabase("c.sdf", 3)) << LastError();
    std::unique_ptr<Rowset> rowset;
    std::int64_t affected = 0;
    HRESULT hr = m_session->Execute(u"SELECT * FROM T", rowset, affected);
    while (hr == S_OK && rowset && (hr = rowset->MoveNext()) == S_OK) { }
    EXPECT_EQ(E_FAIL, hr);
    EXPECT_EQ("0x80004005 The database file is corrupted", LastError());
}

TEST_F(ErrorRecordsTest, DamagedPageOfAnEncryptedFileIsReportedCorrupted)
{
    CreateDatabase("c.sdf", 3, u"pw");
    FillTable(64);
    m_session.reset();
    m_provider.reset();
    auto size = std::filesystem::file_size(Path("c.sdf"));
    Damage("c.sdf", static_cast<std::size_t>(size) - 1500, 100);
    ASSERT_EQ(S_OK, OpenDatabase("c.sdf", 3, u"pw")) << LastError();
    std::unique_ptr<Rowset> rowset;
    std::int64_t affected = 0;
    HRESULT hr = m_session->Execute(u"SELECT * FROM T", rowset, affected);
    while (hr == S_OK && rowset && (hr = rowset->MoveNext()) == S_OK) { }
    EXPECT_TRUE(Failed(hr));
    EXPECT_EQ("0x80004005 The database file is corrupted", LastError());
}

// A write that touches only healthy pages would succeed on its own: once a
// read has found the file damaged, every later connection refuses it too,
// until a compacted copy takes the file's place.
TEST_F(ErrorRecordsTest, ADatabaseFoundCorruptedRefusesWritesOnEveryConnection)
{
    for (const std::u16string& password : { std::u16string(), std::u16string(u"pw") }) {
        SCOPED_TRACE(password.empty() ? "plain" : "encrypted");
        std::filesystem::remove(Path("c.sdf"));
        CreateDatabase("c.sdf", 3, password);
        Exec("CREATE TABLE Log (n int)");
        FillTable(64);
        m_session.reset();
        m_provider.reset();
        // The last pages hold the table's rows, the first ones Log.
        auto size = static_cast<std::size_t>(std::filesystem::file_size(Path("c.sdf")));
        if (password.empty())
            Damage("c.sdf", size - 3000, 2000);
        else
            Damage("c.sdf", size - 1500, 100);
        ASSERT_EQ(S_OK, OpenDatabase("c.sdf", 3, password)) << LastError();
        EXPECT_EQ(1, Exec("INSERT INTO Log (n) VALUES (1)")) << "nothing was found damaged yet";

        ASSERT_EQ("0x80004005 The database file is corrupted", ReadFails("SELECT * FROM T"));
        for (const char* write : { "INSERT INTO Log (n) VALUES (2)", "UPDATE Log SET n = 3",
                 "DELETE FROM Log", "CREATE TABLE Other (n int)", "DROP TABLE Log" })
            EXPECT_EQ("0x80004005 The database file is corrupted", ExecFails(write)) << write;
        EXPECT_EQ(Rows({ { "1" } }), Query("SELECT n FROM Log")) << "reads of healthy pages go on";

        // Another connection (another process, say) learns it from the file.
        m_session.reset();
        ASSERT_EQ(S_OK, OpenDatabase("c.sdf", 3, password)) << LastError();
        EXPECT_EQ("0x80004005 The database file is corrupted", ExecFails("INSERT INTO Log (n) VALUES (4)"));
        EXPECT_EQ(Rows({ { "1" } }), Query("SELECT n FROM Log"));
    }
}

// The finding stays with the file even when its pages read well again: only
// a compacted copy, or another file in its place, takes writes.
TEST_F(ErrorRecordsTest, TheCompactedCopyOfADatabaseFoundCorruptedTakesWrites)
{
    CreateDatabase("c.sdf", 3);
    FillTable(64);
    m_session.reset();
    m_provider.reset();
    const std::size_t at = static_cast<std::size_t>(std::filesystem::file_size(Path("c.sdf"))) - 3000;
    std::string healthy(2000, '\0');
    std::ifstream(Path("c.sdf"), std::ios::binary)
        .seekg(static_cast<std::streamoff>(at))
        .read(healthy.data(), static_cast<std::streamsize>(healthy.size()));
    Damage("c.sdf", at, healthy.size());
    ASSERT_EQ(S_OK, OpenDatabase("c.sdf", 3)) << LastError();
    ASSERT_EQ("0x80004005 The database file is corrupted", ReadFails("SELECT * FROM T"));
    m_session.reset();
    m_provider.reset();
    {
        std::fstream f(Path("c.sdf"), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(at));
        f.write(healthy.data(), static_cast<std::streamsize>(healthy.size()));
    }

    ASSERT_EQ(S_OK, OpenDatabase("c.sdf", 3)) << LastError();
    EXPECT_EQ(Rows({ { "64" } }), Query("SELECT COUNT(*) FROM T"));
    EXPECT_EQ("0x80004005 The database file is corrupted", ExecFails("UPDATE T SET s = 'x' WHERE id = 5"));
    ASSERT_EQ(S_OK, m_provider->Compact(Path("c2.sdf"))) << LastError();
    ASSERT_EQ(S_OK, OpenDatabase("c2.sdf", 3)) << LastError();
    EXPECT_EQ(1, Exec("UPDATE T SET s = 'x' WHERE id = 5"));
    ASSERT_EQ(S_OK, OpenDatabase("c.sdf", 3)) << LastError();
    EXPECT_EQ("0x80004005 The database file is corrupted", ExecFails("DELETE FROM T WHERE id = 6"));

    m_session.reset();
    m_provider.reset();
    std::filesystem::rename(Path("c2.sdf"), Path("c.sdf"));
    ASSERT_EQ(S_OK, OpenDatabase("c.sdf", 3)) << LastError();
    EXPECT_EQ(1, Exec("DELETE FROM T WHERE id = 6"));
    EXPECT_EQ(Rows({ { "x" } }), Query("SELECT s FROM T WHERE id = 5"));
}

TEST_F(ErrorRecordsTest, FileThatIsNoDatabaseSaysSo)
{
    {
        std::ofstream text(Path("notes.sdf"));
        for (int i = 0; i < 200; ++i)
            text << "This is a text file, line " << i << ".\n";
    }
    {
        std::ofstream empty(Path("empty.sdf"));
    }
    for (const char* name : { "notes.sdf", "empty.sdf" }) {
        for (int version : { 2, 3 }) {
            EXPECT_EQ(STG_E_INVALIDHEADER, OpenDatabase(name, version));
            EXPECT_EQ("0x800300fb The file is not a valid database file", LastError());
        }
    }
    // A plain SQLite file that is not one of ours is no database of this engine either.
    std::string out;
    RunShell("sqlite3", Path("foreign.db"), "CREATE TABLE x (a);\n", out);
    EXPECT_EQ(STG_E_INVALIDHEADER, OpenDatabase("foreign.db", 3));
    EXPECT_EQ("0x800300fb The file is not a valid database file", LastError());
    EXPECT_EQ(STG_E_FILENOTFOUND, OpenDatabase("missing.sdf", 3));
}

TEST_F(ErrorRecordsTest, ParseErrorsFillTheTokenSlots)
{
    CreateDatabase("e.sdf");
    Exec("CREATE TABLE T (a int)");
    const std::string slots
        = "0x80040e14 There was an error parsing the query. [ Token line number,Token line "
          "offset,Token in error ] ";
    EXPECT_EQ(slots + "[1|10|FROMM]", ExecFails("SELECT * FROMM T"));
    EXPECT_EQ(slots + "[2|3|FROMM]", ExecFails("SELECT *\r\n  FROMM T"));
    EXPECT_EQ(slots + "[1|18|SELECT]", ExecFails("SELECT 1 FROM T; SELECT 2 FROM T"));
    EXPECT_EQ(slots + "[1|27|'oops]", ExecFails("SELECT * FROM T WHERE a = 'oops"));
    EXPECT_EQ(slots + "[1|1|GRANT]", ExecFails("GRANT ALL ON T TO x"));
    EXPECT_EQ(slots + "[1|23|]", ExecFails("SELECT * FROM T WHERE "));
    // At the end of the text the last token is the one in error.
    EXPECT_EQ(slots + "[1|33|1]", ExecFails("SELECT 1 FROM T WHERE (a = 1 OR 1"));
    EXPECT_EQ(slots + "[1|29|)]", ExecFails("CREATE TABLE X (a int, bogus)"));
    EXPECT_EQ(slots + "[1|1|]", ExecFails(""));
}

TEST_F(ErrorRecordsTest, SqlErrorsNameTheirDetails)
{
    CreateDatabase("e.sdf");
    Exec("CREATE TABLE T (a int, b int)");
    Exec("CREATE TABLE U (a int)");
    EXPECT_EQ("0x80040e37 The specified table does not exist. [ Table name ] [Nope]",
        ExecFails("SELECT * FROM Nope"));
    EXPECT_EQ("0x80040e14 The column name is not valid. [ Node name (if any),Column name ] [|c]",
        ExecFails("SELECT c FROM T"));
    EXPECT_EQ("0x80040e14 The column name is not valid. [ Node name (if any),Column name ] [T|c]",
        ExecFails("SELECT T.c FROM T"));
    EXPECT_EQ(
        "0x80040e14 The column name is ambiguous. [ Column name ] [a]", ExecFails("SELECT a FROM T, U"));
    EXPECT_EQ("0x80040e14 The function is not recognized by the engine. [ Name of function ] [nofunc]",
        ExecFails("SELECT nofunc(a) FROM T"));
    EXPECT_EQ("0x80040e3f The specified table already exists. [ Table name ] [T]",
        ExecFails("CREATE TABLE t (x int)"));
    EXPECT_EQ("0x80040e14 The specified data type is not valid. [ Data type (if known) ] [varchar]",
        ExecFails("CREATE TABLE V (x varchar(10))"));
    EXPECT_EQ("0x80040e14 The column name is already in use in this table. [ Column name ] [X]",
        ExecFails("CREATE TABLE V (x int, X int)"));
}

TEST_F(ErrorRecordsTest, SuccessClearsRecordsAndEachThreadHasItsOwn)
{
    CreateDatabase("e.sdf");
    ExecFails("SELECT * FROM Nope");
    std::string other;
    std::thread t([&] {
        std::vector<ErrorRecord> records;
        other = GetErrorInfo(records) == S_FALSE ? "none" : "some";
    });
    t.join();
    EXPECT_EQ("none", other);
    Exec("CREATE TABLE T (a int)");
    std::vector<ErrorRecord> records;
    EXPECT_EQ(S_FALSE, GetErrorInfo(records));
}

} // namespace
} // namespace enginetest
