// The online update against a local HTTP server: the check and the download
// through the dialog as a user sees them, and the ways a download can fail
// without touching what was downloaded before.
#include "UpdateFixture.h"

#include "desktop/update/CUpdateDialog.h"
#include "desktop/update/OnlineUpdateThread.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>

using namespace updatetest;
using windowtest::WaitFor;

namespace {

class OnlineUpdateTest : public UpdateTest {
protected:
    static QString Text(QWidget* dialog, const char* objectName)
    {
        if (auto* label = dialog->findChild<QLabel*>(QLatin1String(objectName)))
            return label->isVisibleTo(dialog) ? label->text() : QString();
        return QStringLiteral("<no %1>").arg(QLatin1String(objectName));
    }

    static bool Shown(QWidget* dialog, const char* objectName)
    {
        auto* button = dialog->findChild<QPushButton*>(QLatin1String(objectName));
        return button && button->isVisibleTo(dialog);
    }

    // Runs a download to its end; the status text it ended with.
    QString Download()
    {
        update::OnlineUpdateThread worker;
        EXPECT_TRUE(worker.Start(update::UpdateMode::Download));
        EXPECT_TRUE(WaitFor([&] { return !worker.isRunning(); }));
        EXPECT_FALSE(worker.record().done && !worker.record().statusText.isEmpty());
        return worker.record().done ? QStringLiteral("done") : worker.record().statusText;
    }
};

TEST_F(OnlineUpdateTest, CheckFindsANewerReleaseAndTheDownloadBringsEveryFileWhole)
{
    PutRelease("v3.0\rFaster start\rSmaller agent\r");
    auto* dialog = new update::CUpdateDialog;
    dialog->show();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Online update"));
    EXPECT_EQ(
        Text(dialog, "ownVersionLine"), QStringLiteral("Quorvane v") + QStringLiteral(QUORVANE_VERSION));
    ASSERT_TRUE(WaitFor([&] { return dialog->update()->record().done; }));
    EXPECT_EQ(Text(dialog, "releaseLine"), QStringLiteral("Quorvane v3.0"));
    EXPECT_EQ(Text(dialog, "statusLine"), QStringLiteral("New version available !"));
    EXPECT_EQ(Text(dialog, "featuresHeading"), QStringLiteral("New features:"));
    EXPECT_EQ(dialog->findChild<QPlainTextEdit*>(QStringLiteral("featuresText"))->toPlainText(),
        QStringLiteral("Faster start\nSmaller agent\n"));
    ASSERT_TRUE(Shown(dialog, "downloadButton"));

    dialog->findChild<QPushButton*>(QStringLiteral("downloadButton"))->click();
    EXPECT_TRUE(Text(dialog, "statusLine").endsWith(QLatin1String("  Downloading latest version..")));
    ASSERT_TRUE(WaitFor([&] { return !dialog->update()->isRunning(); }));
    ASSERT_TRUE(dialog->update()->record().done) << dialog->update()->record().statusText.toStdString();
    EXPECT_EQ(Text(dialog, "statusLine"),
        QStringLiteral("Have successfully downloaded update.  Click on OK to launch this new version."));
    ASSERT_TRUE(Shown(dialog, "okButton"));

    // The checksum list comes first; every file arrives whole, and only the
    // release's files are kept, with their own list.
    const QStringList files = update::ReleaseFiles();
    EXPECT_EQ(m_server.requests().value(1), QStringLiteral("/release/SHA256SUMS"));
    const QString downloads = update::DownloadFolder();
    for (int i = 0; i < files.size(); ++i)
        EXPECT_EQ(ReadFile(downloads + QLatin1Char('/') + files[i]),
            ReleaseBytes(files[i], i == 0 ? 3 * 1024 * 1024 : 4000))
            << files[i].toStdString();
    EXPECT_EQ(ReadFile(downloads + QStringLiteral("/SHA256SUMS")), m_server.ChecksumsOf(files));
    EXPECT_FALSE(QFileInfo::exists(downloads + QStringLiteral(".partial")));

    dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    delete dialog;
}

TEST_F(OnlineUpdateTest, LeavingADownloadAsksFirstAndCancelLeavesNothingBehind)
{
    PutRelease();
    m_server.Stall(update::ReleaseFiles().at(2));
    update::CUpdateDialog dialog;
    dialog.show();
    ASSERT_TRUE(WaitFor([&] { return dialog.update()->record().done; }));
    dialog.findChild<QPushButton*>(QStringLiteral("downloadButton"))->click();
    ASSERT_TRUE(WaitFor([&] { return m_server.requests().size() == 5; }));
    // Two of the release's eight files are in: the dialog shows at least that.
    auto* progress = dialog.findChild<QProgressBar*>(QStringLiteral("downloadProgress"));
    ASSERT_TRUE(WaitFor([&] { return progress->isVisibleTo(&dialog) && progress->value() >= 25; }, 3000))
        << progress->value();

    m_prompter.QueueAnswer(devlink::PromptAnswer::No);
    dialog.reject();
    ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1; }));
    const auto question = m_prompter.Records().first();
    EXPECT_EQ(question.caption, QStringLiteral("Online update"));
    EXPECT_EQ(question.text, QStringLiteral("Cancel downloading new version ?"));
    EXPECT_EQ(question.buttons, devlink::PromptButtons::YesNo);
    QTest::qWait(50);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.update()->isRunning());

    m_prompter.QueueAnswer(devlink::PromptAnswer::Yes);
    dialog.reject();
    ASSERT_TRUE(WaitFor([&] { return !dialog.isVisible(); }));
    EXPECT_FALSE(dialog.update()->isRunning());
    EXPECT_EQ(Entries(ProgramDir()), QStringList());
}

TEST_F(OnlineUpdateTest, SameVersionSaysThereAreNoUpdates)
{
    PutRelease("v" QUORVANE_VERSION "\r\nFaster start\r\n");
    update::CUpdateDialog dialog;
    dialog.show();
    ASSERT_TRUE(WaitFor([&] { return dialog.update()->record().done; }));
    EXPECT_EQ(Text(&dialog, "statusLine"), QStringLiteral("There are no updates available at this time."));
    EXPECT_EQ(Text(&dialog, "featuresHeading"), QStringLiteral("Features added:"));
    EXPECT_FALSE(Shown(&dialog, "downloadButton"));
}

TEST_F(OnlineUpdateTest, UnreachableServerAndMissingFileEachEndWithTheirText)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    settings::WriteString(QStringLiteral("UpdateLocation"), QStringLiteral("http://127.0.0.1:%1/").arg(port));
    {
        update::CUpdateDialog dialog;
        dialog.show();
        ASSERT_TRUE(WaitFor([&] { return !dialog.update()->isRunning(); }));
        EXPECT_EQ(Text(&dialog, "featuresHeading"), QStringLiteral("Error:"));
        EXPECT_EQ(dialog.findChild<QPlainTextEdit*>(QStringLiteral("featuresText"))->toPlainText(),
            QStringLiteral("Cannot access internet files:  might be a firewall problem."));
    }

    // The server answers, but holds no release.
    settings::WriteString(QStringLiteral("UpdateLocation"), m_server.Location());
    update::OnlineUpdateThread worker;
    update::StartUpdateCheck(&worker, true);
    ASSERT_TRUE(WaitFor([&] { return !worker.isRunning(); }));
    EXPECT_EQ(worker.record().statusText, QStringLiteral("Unable to find update information file."));

    // The start-up check stays away when it is switched off.
    settings::WriteDword(QStringLiteral("CheckForUpdates"), 0);
    EXPECT_FALSE(update::StartUpdateCheck(&worker, false));
}

TEST_F(OnlineUpdateTest, DamagedDownloadIsDiscardedAndTheLastDownloadStays)
{
    // What an earlier download left.
    const QString downloads = update::DownloadFolder();
    ASSERT_TRUE(WriteFile(downloads + QStringLiteral("/SHA256SUMS"), "earlier"));
    const QString program = update::ReleaseFiles().first();

    // A connection that closes in the middle of the program file.
    PutRelease();
    m_server.BreakOff(program);
    EXPECT_EQ(Download(), QStringLiteral("Unable to read update information file."));
    EXPECT_EQ(Entries(downloads), QStringList { QStringLiteral("SHA256SUMS") });
    EXPECT_EQ(ReadFile(downloads + QStringLiteral("/SHA256SUMS")), "earlier");
    EXPECT_FALSE(QFileInfo::exists(downloads + QStringLiteral(".partial")));

    // A file that is not what the list says.
    LocalHttpServer other;
    settings::WriteString(QStringLiteral("UpdateLocation"), other.Location());
    const QStringList files = update::ReleaseFiles();
    for (const QString& name : files)
        other.Put(name, ReleaseBytes(name, 100));
    other.Put(QLatin1String(update::kChecksumsFile), other.ChecksumsOf(files));
    other.Put(QStringLiteral("Haltquill.dll"), "tampered");
    EXPECT_EQ(Download(),
        QStringLiteral("\"Haltquill.dll\" does not match its checksum: it was damaged on the way."));
    EXPECT_EQ(ReadFile(downloads + QStringLiteral("/SHA256SUMS")), "earlier");

    // A list without one of the release's files: nothing else is fetched.
    other.Put(QLatin1String(update::kChecksumsFile), other.ChecksumsOf(files.mid(0, files.size() - 1)));
    const qsizetype before = other.requests().size();
    EXPECT_EQ(Download(), QStringLiteral("\"Haltquill.dll\" is missing from the update."));
    EXPECT_EQ(other.requests().size(), before + 1);
    EXPECT_EQ(Entries(downloads), QStringList { QStringLiteral("SHA256SUMS") });
}

} // namespace
