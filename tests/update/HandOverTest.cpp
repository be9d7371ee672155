// The upgrade hand-over from "Downloads" into the installation beside it:
// the moved-aside names of a held file, the undo of a hand-over that fails
// half-way, and the check of the set before anything moves.
#include "UpdateFixture.h"

#include "desktop/update/UpgradeHandOver.h"

using namespace updatetest;

namespace {

class HandOverTest : public UpdateTest {
protected:
    // An installation of `names` ("old <name>") and a checked set of them in
    // "Downloads" ("new <name>").
    void PlantInstallationAndSet(const QStringList& names)
    {
        QByteArray sums;
        for (const QString& name : names) {
            ASSERT_TRUE(WriteFile(Installed(name), "old " + name.toUtf8()));
            ASSERT_TRUE(WriteFile(Downloaded(name), "new " + name.toUtf8()));
            sums += QCryptographicHash::hash("new " + name.toUtf8(), QCryptographicHash::Sha256).toHex()
                + "  " + name.toUtf8() + '\n';
        }
        ASSERT_TRUE(WriteFile(Downloaded(QStringLiteral("SHA256SUMS")), sums));
    }

    QString Installed(const QString& name) const { return ProgramDir() + QLatin1Char('/') + name; }
    QString Downloaded(const QString& name) const
    {
        return update::DownloadFolder() + QLatin1Char('/') + name;
    }

    update::HandOverOperations Recording()
    {
        update::HandOverOperations operations;
        operations.start = [this](const QString& program, const QStringList& arguments) {
            m_started.append(program + QLatin1Char('|') + arguments.join(QLatin1Char(' ')));
            return true;
        };
        return operations;
    }

    QStringList m_started;
    const QStringList m_names { QStringLiteral("quorvane"), QStringLiteral("Quorvane2003.dll"),
        QStringLiteral("Quorvane2005.dll"), QStringLiteral("Haltquill.dll") };
};

TEST_F(HandOverTest, HeldTargetIsMovedAsideToTheFirstFreeNumber)
{
    PlantInstallationAndSet(m_names);
    // An earlier update left a held copy behind; both agents are held now.
    ASSERT_TRUE(WriteFile(Installed(QStringLiteral("Quorvane2003.dll.old.00")), "older"));
    update::HandOverOperations operations = Recording();
    operations.remove = [](const QString& path) {
        return !path.contains(QLatin1String("Quorvane200")) && QFile::remove(path);
    };

    EXPECT_EQ(update::RunUpgradeHandOver(update::DownloadFolder(), QStringLiteral("quorvane"), operations),
        update::HandOverResult::Installed);
    for (const QString& name : m_names)
        EXPECT_EQ(ReadFile(Installed(name)), "new " + name.toUtf8()) << name.toStdString();
    EXPECT_EQ(ReadFile(Installed(QStringLiteral("Quorvane2003.dll.old.00"))), "older");
    EXPECT_EQ(ReadFile(Installed(QStringLiteral("Quorvane2003.dll.old.01"))), "old Quorvane2003.dll");
    EXPECT_EQ(ReadFile(Installed(QStringLiteral("Quorvane2005.dll.old.00"))), "old Quorvane2005.dll");
    // Files nothing held leave no copy behind.
    EXPECT_FALSE(QFileInfo::exists(Installed(QStringLiteral("Haltquill.dll.old.00"))));
    EXPECT_FALSE(QFileInfo::exists(Installed(QStringLiteral("quorvane.old.00"))));
    EXPECT_FALSE(QFileInfo::exists(Installed(QStringLiteral("SHA256SUMS"))));
    EXPECT_EQ(m_started, QStringList { Installed(QStringLiteral("quorvane")) + QLatin1Char('|') });
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(HandOverTest, CopyFailingOnTheThirdFilePutsTheOldInstallationBack)
{
    PlantInstallationAndSet(m_names);
    const QStringList before = Entries(ProgramDir());
    update::HandOverOperations operations = Recording();
    int copies = 0;
    operations.copy = [&copies](const QString& from, const QString& to) {
        return ++copies != 3 && QFile::copy(from, to);
    };

    EXPECT_EQ(update::RunUpgradeHandOver(update::DownloadFolder(), QStringLiteral("quorvane"), operations),
        update::HandOverResult::RolledBack);
    EXPECT_EQ(Entries(ProgramDir()), before);
    for (const QString& name : m_names)
        EXPECT_EQ(ReadFile(Installed(name)), "old " + name.toUtf8()) << name.toStdString();
    ASSERT_EQ(m_prompter.Count(), 1);
    const auto box = m_prompter.Records().first();
    EXPECT_EQ(box.caption, QStringLiteral("Error"));
    EXPECT_EQ(box.text,
        QStringLiteral("Unable to copy temporary file from from:\r\n\t") + Downloaded(m_names[2])
            + QStringLiteral("\r\nto:\r\n\t") + Installed(m_names[2]));
    // The old program starts again.
    EXPECT_EQ(m_started, QStringList { Installed(QStringLiteral("quorvane")) + QLatin1Char('|') });
}

TEST_F(HandOverTest, SetThatNoLongerMatchesItsListInstallsNothing)
{
    PlantInstallationAndSet(m_names);
    ASSERT_TRUE(WriteFile(Downloaded(QStringLiteral("Haltquill.dll")), "changed since"));
    const QStringList before = Entries(ProgramDir());
    EXPECT_EQ(update::RunUpgradeHandOver(update::DownloadFolder(), QStringLiteral("quorvane"), Recording()),
        update::HandOverResult::DamagedSet);
    EXPECT_EQ(Entries(ProgramDir()), before);
    EXPECT_EQ(ReadFile(Installed(QStringLiteral("quorvane"))), "old quorvane");
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records().first().text,
        QStringLiteral("The downloaded update cannot be installed, and nothing was changed:\r\n"
                       "\"Haltquill.dll\" does not match its checksum: it was damaged on the way."));

    // Only a "Downloads" folder hands over.
    EXPECT_EQ(update::InstallationFolderOf(QStringLiteral("/opt/q/downloads/")), QStringLiteral("/opt/q"));
    EXPECT_EQ(update::InstallationFolderOf(QStringLiteral("/opt/q")), QString());
}

} // namespace
