#include "RunnerFixture.h"

#include "agent/Maintenance.h"
#include "platform/store/DeviceFolder.h"
#include "platform/store/Store.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

using namespace agenttest;

namespace {

std::string FileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

class MaintenanceTest : public RunnerTest {
protected:
    agent::AgentContext& Context(int version = 3)
    {
        context = std::make_unique<agent::AgentContext>(
            agent::VariantFor(version), status, m_files, AllInstalled);
        return *context;
    }
};

TEST_F(MaintenanceTest, CompactionReplacesTheDatabaseAndKeepsItsRows)
{
    std::vector<std::string> statements = { "CREATE TABLE T (a int, b nvarchar(100))" };
    for (int i = 0; i < 200; ++i)
        statements.push_back("INSERT INTO T VALUES (" + std::to_string(i) + ", N'some text to take room')");
    statements.push_back("DELETE FROM T WHERE a >= 10");
    Database(statements, 2, u"pw");
    for (int version : { 2, 3 }) {
        EXPECT_TRUE(agent::CompactDatabase(Context(version), u"\\db.sdf", u"pw")) << ErrorText();
        EXPECT_EQ(status.Number("CompactSuccessful"), 1u);
        EXPECT_EQ(status.Text("Status"), "Compacting successful...");
        EXPECT_FALSE(std::filesystem::exists(m_files.Host(u"\\db.sdfx")));
        EXPECT_NE(S(Run("SELECT COUNT(*) AS n FROM T", 2, u"pw")).find("\r\n10\t\r\n"), std::string::npos);
    }
}

TEST_F(MaintenanceTest, CompactionThatCannotReplaceTheFileLeavesBoth)
{
    Database({ "CREATE TABLE T (a int)", "INSERT INTO T VALUES (1)" }, 3);
    const std::string before = FileText(m_files.Host(u"\\db.sdf"));
    m_files.failReplace = ERROR_SHARING_VIOLATION;
    EXPECT_FALSE(agent::CompactDatabase(Context(), u"\\db.sdf", u""));
    EXPECT_EQ(ErrorText(), "Couldn't compact this database.");
    EXPECT_EQ(status.Number("CompactSuccessful"), 1u);
    EXPECT_EQ(status.Text("Status"), "Done.");
    EXPECT_TRUE(std::filesystem::exists(m_files.Host(u"\\db.sdfx")));
    EXPECT_EQ(FileText(m_files.Host(u"\\db.sdf")), before);
}

TEST_F(MaintenanceTest, CompactionWithTheWrongPasswordReportsTheEngine)
{
    Database({ "CREATE TABLE T (a int)" }, 3, u"pw");
    status.SetStatusNumber(u"CompactSuccessful", 1);
    EXPECT_FALSE(agent::CompactDatabase(Context(), u"\\db.sdf", u"nope"));
    EXPECT_TRUE(ErrorText().starts_with("0x80040e4d\r\n")) << ErrorText();
    EXPECT_FALSE(status.Has("CompactSuccessful"));
    EXPECT_FALSE(std::filesystem::exists(m_files.Host(u"\\db.sdfx")));
}

TEST_F(MaintenanceTest, CompactionWithoutTheEngineCannotConnect)
{
    Database({ "CREATE TABLE T (a int)" }, 3);
    context = std::make_unique<agent::AgentContext>(
        agent::Engine30Variant(), status, m_files, [](std::u16string_view) { return false; });
    EXPECT_FALSE(agent::CompactDatabase(*context, u"\\db.sdf", u""));
    // The engine's own message comes first when it gives one.
    EXPECT_EQ(ErrorText(), "0x80040154\r\nClass not registered.");
}

TEST_F(MaintenanceTest, CreateWithAPasswordProtectsTheDatabase)
{
    EXPECT_TRUE(agent::CreateDatabase(Context(), u"\\new.sdf", u"secret")) << ErrorText();
    EXPECT_EQ(status.Text("Status"), "Done.");
    std::filesystem::rename(m_files.Host(u"\\new.sdf"), m_files.Host(u"\\db.sdf"));
    Run("SELECT * FROM T", 3, u"");
    EXPECT_FALSE(ok);
    EXPECT_NE(ErrorText().find("0x80040e4d"), std::string::npos) << ErrorText();
    EXPECT_TRUE(S(Run("SCHEMA-BINARY", 3, u"secret")) == "\x07\x06") << ErrorText();
}

TEST_F(MaintenanceTest, CreateWithoutPasswordAndOverAnExistingFile)
{
    EXPECT_TRUE(agent::CreateDatabase(Context(2), u"\\db.sdf", u"")) << ErrorText();
    EXPECT_EQ(S(Run("SCHEMA-BINARY", 2)), "\x07\x06");
    EXPECT_FALSE(agent::CreateDatabase(Context(2), u"\\db.sdf", u""));
    EXPECT_TRUE(ErrorText().starts_with("0x80030050\r\n")) << ErrorText();
    EXPECT_FALSE(agent::CreateDatabase(Context(2), u"\\no\\such\\folder.sdf", u""));
    EXPECT_EQ(ErrorText(), "Couldn't compact this database.");
}

// The replacement on the device's own store, with its sharing rules.
class StoreFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_folder.path() / "files");
        setenv(device::kEnvDeviceDir, m_folder.path().c_str(), 1);
        std::string error;
        m_files = agent::StoreFiles::Open(&error);
        ASSERT_TRUE(m_files) << error;
        m_store = store::Store::Open(m_folder.path() / "files", &error);
        ASSERT_TRUE(m_store) << error;
        ASSERT_EQ(m_store->CreateDirectory(u"\\Data"), ERROR_SUCCESS);
        Put(u"\\Data\\A.sdf", "old");
        Put(u"\\Data\\A.sdfx", "new");
    }
    void TearDown() override { unsetenv(device::kEnvDeviceDir); }

    void Put(std::u16string_view path, std::string_view text)
    {
        std::unique_ptr<store::File> file;
        bool existed = false;
        ASSERT_EQ(m_store->CreateFile(
                      path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, &file, &existed),
            ERROR_SUCCESS);
        std::uint32_t done = 0;
        file->Write(text.data(), static_cast<std::uint32_t>(text.size()), &done);
    }
    std::string Get(std::u16string_view path)
    {
        std::string relative = S(path.substr(1));
        std::replace(relative.begin(), relative.end(), '\\', '/');
        return FileText(m_folder.path() / "files" / relative);
    }

    testsupport::TempDir m_folder { "qvagent" };
    std::unique_ptr<agent::StoreFiles> m_files;
    std::unique_ptr<store::Store> m_store;
};

TEST_F(StoreFilesTest, HostPathResolvesWithoutRegardToCaseAndStaysInside)
{
    std::filesystem::path host;
    ASSERT_TRUE(m_files->HostPath(u"\\data\\a.SDF", host));
    EXPECT_EQ(host, m_folder.path() / "files" / "Data" / "A.sdf");
    ASSERT_TRUE(m_files->HostPath(u"\\Data\\new.sdf", host)); // may not exist yet
    EXPECT_EQ(host, m_folder.path() / "files" / "Data" / "new.sdf");
    ASSERT_TRUE(m_files->HostPath(u"\\..\\..\\Data\\A.sdf", host));
    EXPECT_EQ(host, m_folder.path() / "files" / "Data" / "A.sdf");
    EXPECT_FALSE(m_files->HostPath(u"\\Missing\\a.sdf", host));
    EXPECT_FALSE(m_files->HostPath(u"\\Data", host));
    std::filesystem::create_symlink("/etc/passwd", m_folder.path() / "files" / "link.sdf");
    EXPECT_FALSE(m_files->HostPath(u"\\link.sdf", host));
}

TEST_F(StoreFilesTest, ReplacementIsOneStep)
{
    EXPECT_EQ(m_files->ReplaceFile(u"\\Data\\A.sdfx", u"\\data\\a.sdf"), ERROR_SUCCESS);
    EXPECT_EQ(Get(u"\\Data\\A.sdf"), "new");
    EXPECT_FALSE(std::filesystem::exists(m_folder.path() / "files" / "Data" / "A.sdfx"));
    // Onto a missing name it is a move.
    Put(u"\\Data\\B~", "b");
    EXPECT_EQ(m_files->ReplaceFile(u"\\Data\\B~", u"\\Data\\B"), ERROR_SUCCESS);
    EXPECT_EQ(Get(u"\\Data\\B"), "b");
    EXPECT_EQ(m_files->ReplaceFile(u"\\Data\\gone", u"\\Data\\B"), ERROR_FILE_NOT_FOUND);
}

TEST_F(StoreFilesTest, AnOpenThatDoesNotShareDeletingKeepsTheOldFile)
{
    std::unique_ptr<store::File> holder;
    bool existed = false;
    ASSERT_EQ(m_store->CreateFile(
                  u"\\Data\\A.sdf", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0, &holder, &existed),
        ERROR_SUCCESS);
    EXPECT_EQ(m_files->ReplaceFile(u"\\Data\\A.sdfx", u"\\Data\\A.sdf"), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(Get(u"\\Data\\A.sdf"), "old");
    EXPECT_EQ(Get(u"\\Data\\A.sdfx"), "new");
    holder.reset();
    EXPECT_EQ(m_files->ReplaceFile(u"\\Data\\A.sdfx", u"\\Data\\A.sdf"), ERROR_SUCCESS);
}

TEST_F(StoreFilesTest, AReadOnlyTargetIsNotReplaced)
{
    ASSERT_EQ(m_store->SetAttributes(u"\\Data\\A.sdf", FILE_ATTRIBUTE_READONLY), ERROR_SUCCESS);
    EXPECT_EQ(m_files->ReplaceFile(u"\\Data\\A.sdfx", u"\\Data\\A.sdf"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Get(u"\\Data\\A.sdf"), "old");
}
