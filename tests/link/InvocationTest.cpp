// The request's preparation on the device: the query file's exact bytes,
// the values reset before the start, the decimal separator, refused
// requests, the agent build chosen by the engine version, and device
// programs that cannot be started. No agent runs here.
#include "LinkFixture.h"

#include "desktop/link/AgentDeployment.h"
#include "desktop/link/AgentInvocation.h"

#include <QLocale>

using devlink::PromptIcon;
using devlink::ScriptedPrompter;

namespace linktest {
namespace {

const QString kDatabase = QStringLiteral("\\My Documents\\a.sdf");

QString MissingProgramText(const QString& path)
{
    return QStringLiteral("An error occurred.\r\n\r\nUnable to find the following file on the device:\r\n")
        + path
        + QStringLiteral(".\r\n\r\nThis file must be present on the device for this application to work "
                         "correctly.\r\n");
}

class LinkInvocation : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        StartAndConnect();
        ASSERT_TRUE(Device().CeCreateDirectory(u"\\Quorvane", nullptr));
    }
    void TearDown() override
    {
        QLocale::setDefault(QLocale::c());
        LinkTest::TearDown();
    }
};

TEST_F(LinkInvocation, QueryFileAndResetValuesBeforeTheStart)
{
    ASSERT_TRUE(PutDeviceFile(devlink::kResultsFilePath, Bytes16(u"<Success>\r\n")));
    ASSERT_TRUE(SetAgentString(QStringLiteral("Status"), QStringLiteral("Done.")));
    ASSERT_TRUE(devlink::WriteAgentRegDword(QStringLiteral("Cancel"), 1));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    // No agent on the device: everything up to its start is done, then the
    // user is told.
    EXPECT_FALSE(
        devlink::CreateCEQueryFile(kDatabase, QStringLiteral("ab"), QStringLiteral("SELECT\r\n\t1"), false));

    EXPECT_EQ(GetDeviceFile(devlink::kQueryFilePath),
        Bytes16(u"\\My Documents\\a.sdf\r\n_LT\r\nSELECT\u001D\u001E\u00081\r\n"));
    EXPECT_FALSE(DeviceFileThere(devlink::kResultsFilePath));
    EXPECT_EQ(devlink::ReadAgentRegString(QStringLiteral("DecimalPointChar")), QStringLiteral(","));
    quint32 cancel = 7;
    EXPECT_TRUE(devlink::ReadAgentRegDword(QStringLiteral("Cancel"), &cancel));
    EXPECT_EQ(cancel, 0u);
    bool read = true;
    devlink::ReadAgentRegString(QStringLiteral("Status"), &read);
    EXPECT_FALSE(read);

    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(records[0].icon, PromptIcon::Warning);
    EXPECT_EQ(records[0].text, MissingProgramText(QStringLiteral("\\Quorvane\\Quorvane2003.exe")));
}

TEST_F(LinkInvocation, EmptyPasswordIsASingleUnderscoreAndThePointFollowsTheLocale)
{
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(devlink::DecimalSeparator(), QStringLiteral("."));
    EXPECT_EQ(devlink::ScramblePassword(QString()), QStringLiteral("_"));
    EXPECT_FALSE(devlink::CreateCEQueryFile(kDatabase, QString(), QStringLiteral("x"), true));
    EXPECT_EQ(GetDeviceFile(devlink::kQueryFilePath), Bytes16(u"\\My Documents\\a.sdf\r\n_\r\nx\r\n"));
    EXPECT_EQ(devlink::ReadAgentRegString(QStringLiteral("DecimalPointChar")), QStringLiteral("."));
}

TEST_F(LinkInvocation, KnownEngineThreeDatabaseStartsTheEngineThreeBuild)
{
    ASSERT_TRUE(settings::WriteString(devlink::EngineSettingName(kDatabase), QStringLiteral("3")));
    EXPECT_EQ(devlink::EngineSettingName(kDatabase), QStringLiteral("SQLCE__My Documents_a.sdf"));
    EXPECT_EQ(devlink::GetDatabaseEngineVersion(kDatabase), 3);
    EXPECT_FALSE(devlink::CreateCEQueryFile(kDatabase, QString(), QStringLiteral("x"), false));
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(
        m_prompter.Records()[0].text, MissingProgramText(QStringLiteral("\\Quorvane\\Quorvane2005.exe")));

    ASSERT_TRUE(settings::WriteString(devlink::EngineSettingName(kDatabase), QStringLiteral("2")));
    EXPECT_EQ(devlink::GetDatabaseEngineVersion(kDatabase), 2);
    ASSERT_TRUE(settings::WriteString(devlink::EngineSettingName(kDatabase), QStringLiteral("x")));
    EXPECT_EQ(devlink::GetDatabaseEngineVersion(kDatabase), -1);
}

TEST_F(LinkInvocation, RequestTheDeviceWouldMisreadIsRefusedBeforeAnythingIsWritten)
{
    ASSERT_TRUE(PutDeviceFile(devlink::kQueryFilePath, "previous"));
    ASSERT_TRUE(PutDeviceFile(devlink::kResultsFilePath, Bytes16(u"<Success>\r\n")));
    EXPECT_FALSE(devlink::CreateCEQueryFile(kDatabase, QString(), QString(12000, QLatin1Char('x')), false));
    // ")" and U+0011 scramble to CR and LF, which would end the password line.
    EXPECT_FALSE(
        devlink::CreateCEQueryFile(kDatabase, QString::fromUtf16(u")\u0011"), QStringLiteral("x"), false));
    EXPECT_EQ(GetDeviceFile(devlink::kQueryFilePath), "previous");
    EXPECT_TRUE(DeviceFileThere(devlink::kResultsFilePath));
    auto records = m_prompter.Records();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(records[0].text,
        QStringLiteral(
            "This SQL cannot be run.\r\n\r\nThe SQL is too long: the device reads at most 20,000 bytes of "
            "a request."));
    EXPECT_EQ(records[1].text,
        QStringLiteral(
            "This SQL cannot be run.\r\n\r\nThe password holds a character that the device cannot read."));
}

TEST_F(LinkInvocation, QueryFileHeldOpenOnTheDeviceCannotBeCreated)
{
    ASSERT_TRUE(PutDeviceFile(devlink::kQueryFilePath, "held"));
    const std::u16string path = U(devlink::kQueryFilePath);
    HANDLE held = Device().CeCreateFile(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0x80, 0);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(devlink::CreateCEQueryFile(kDatabase, QString(), QStringLiteral("x"), false));
    Device().CeCloseHandle(held);
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records()[0].text,
        QStringLiteral(
            "Unable to create \"SQLquery.txt\" file on the device.\r\n\r\nThis SQL cannot be run."));
    EXPECT_EQ(GetDeviceFile(devlink::kQueryFilePath), "held");
}

TEST_F(LinkInvocation, ProgramThatCannotStartIsReportedWithTheDeviceError)
{
    // A folder where the program should be.
    ASSERT_TRUE(Device().CeCreateDirectory(u"\\Quorvane\\Tool.exe", nullptr));
    EXPECT_FALSE(devlink::RunDeviceCommand(QStringLiteral("\\Quorvane\\Tool.exe"), QStringLiteral("-x")));
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records()[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(m_prompter.Records()[0].text,
        QStringLiteral(
            "An error occurred whilst trying to run \"\\Quorvane\\Tool.exe\".\r\nError: Access is denied."));
    EXPECT_FALSE(devlink::RunDeviceExe(QStringLiteral("\\Quorvane\\None.exe"), QString(), true));
    EXPECT_EQ(m_prompter.Records()[1].text, MissingProgramText(QStringLiteral("\\Quorvane\\None.exe")));
}

} // namespace
} // namespace linktest
