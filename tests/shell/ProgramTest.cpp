// The program `quorvane` as a process: what it prints, what it leaves in the
// desktop hive, and its notices to running instances.
#include "ShellFixture.h"

#include "desktop/database/DatabaseWindow.h"
#include "desktop/editor/CFileWatchWindow.h"
#include "desktop/shell/ActiveSyncRegistration.h"
#include "desktop/shell/CommandLine.h"
#include "desktop/shell/InstanceChannel.h"
#include "desktop/shell/StandaloneStart.h"
#include "tests/support/ScopedEnv.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>

#include <csignal>

using namespace shelltest;
using namespace windowtest;

namespace {

struct Outcome {
    int status = -1;
    QString out, err;
};

class ProgramTest : public ShellTest {
protected:
    // Runs the built program with `arguments` in this test's home; `display`
    // false leaves it without any display.
    Outcome Program(const QStringList& arguments, bool display = false)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUORVANE_HOME"), QString::fromStdString(home().string()));
        for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
            env.remove(QString::fromLatin1(name));
        if (display)
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(QV_QUORVANE), arguments);
        Outcome run;
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        run.err = QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    }

    static QString Registered(const QString& key)
    {
        QString text;
        settings::ReadString(reg::HKEY_LOCAL_MACHINE, key, QStringLiteral("Quorvane"), &text);
        return text;
    }
};

// A window that records the device notices it gets.
class NoticeWindow : public QWidget {
public:
    explicit NoticeWindow(const QString& title) { setWindowTitle(title); }
    QList<QEvent::Type> notices;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == shell::kDeviceConnectedEvent || event->type() == shell::kDeviceDisconnectedEvent)
            notices.append(event->type());
        return QWidget::event(event);
    }
};

TEST_F(ProgramTest, HelpVersionAndAnUpgradeFromOutsideDownloads)
{
    Outcome run = Program({ QStringLiteral("--version") });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, QStringLiteral("quorvane " QUORVANE_VERSION "\n"));
    run = Program({ QStringLiteral("--help") });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, shell::UsageText(QStringLiteral("quorvane")));
    // The build's folder is no "Downloads" folder: nothing is installed over it.
    run = Program({ QStringLiteral("-Upgrade") });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
        QStringLiteral(
            "Error: -upgrade installs an update only when it runs from the \"Downloads\" folder beside "
            "the program, not from:\n\t" QV_BIN_DIR "\n"));
    run = Program({ QStringLiteral("x.sdf"), QStringLiteral("-table") });
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(
        run.err, QStringLiteral("quorvane: -table needs the name of a table\nTry 'quorvane --help'.\n"));
}

TEST_F(ProgramTest, UpgradeFromDownloadsInstallsTheSetAndStartsTheInstalledProgram)
{
    const QString installation = QString::fromStdString((home() / "inst").string());
    const QString downloads = installation + QStringLiteral("/Downloads");
    ASSERT_TRUE(QDir().mkpath(downloads));
    // The "program" of the release says where it was started.
    const QByteArray program = "#!/bin/sh\necho started > \"$(dirname \"$0\")/started\"\n";
    const QList<QPair<QString, QByteArray>> set
        = { { QStringLiteral("quorvane"), program }, { QStringLiteral("Haltquill.dll"), "new stopper" } };
    QByteArray sums;
    for (const auto& [name, bytes] : set) {
        QFile file(downloads + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.setPermissions(file.permissions() | QFile::ExeOwner);
        QFile old(installation + QLatin1Char('/') + name);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
        sums += QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() + "  " + name.toUtf8()
            + '\n';
    }
    QFile list(downloads + QStringLiteral("/SHA256SUMS"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write(sums);
    list.close();

    Outcome run;
    {
        // The program runs as if it were the one in "Downloads".
        const testsupport::ScopedEnv programDir("QUORVANE_PROGRAM_DIR", downloads.toStdString());
        run = Program({ QStringLiteral("-upgrade") });
    }
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(WaitFor([&] { return QFile::exists(installation + QStringLiteral("/started")); }, 10000));
    QFile stopper(installation + QStringLiteral("/Haltquill.dll"));
    ASSERT_TRUE(stopper.open(QIODevice::ReadOnly));
    EXPECT_EQ(stopper.readAll(), "new stopper");
    EXPECT_FALSE(QFile::exists(installation + QStringLiteral("/quorvane.old.00")));
}

TEST_F(ProgramTest, WindowsThatComeLaterSaySoAndTheStartRegistersWithActiveSync)
{
    Outcome run = Program({ QStringLiteral("-registry") });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(
        run.err, QStringLiteral("quorvane: the registry editor is a window, and there is no display.\n"));
    const QString program = QLatin1Char('"') + QStringLiteral(QV_QUORVANE) + QLatin1Char('"');
    EXPECT_EQ(Registered(shell::kAutoStartOnConnectKey), program + QStringLiteral(" -connected"));
    EXPECT_EQ(Registered(shell::kAutoStartOnDisconnectKey), program + QStringLiteral(" -disconnected"));

    run = Program({ QStringLiteral("\\My"), QStringLiteral("Documents\\Orders.sdf"), QStringLiteral("-pass"),
        QStringLiteral("demo") });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
        QStringLiteral("quorvane: \"\\My Documents\\Orders.sdf\" opens in a database window, and there is no "
                       "display.\n"));
}

TEST_F(ProgramTest, ANoticeWithoutARunningInstanceEndsQuietly)
{
    Outcome run = Program({ QStringLiteral("-connected") });
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    EXPECT_TRUE(QDir(shell::InstanceFolder())
                    .entryList({ QStringLiteral("quorvane-desktop-*") }, QDir::System)
                    .isEmpty())
        << "a notice must not leave an instance behind";
}

TEST_F(ProgramTest, ANoticeReachesTheEnabledWindowsNamedForIt)
{
    shell::InstanceChannel channel;
    QString why;
    ASSERT_TRUE(channel.Listen(&why)) << why.toStdString();
    NoticeWindow main(QStringLiteral("Quorvane")), registry(QStringLiteral("Registry editor")),
        disabled(QStringLiteral("Quorvane - busy")), other(QStringLiteral("Preferences"));
    disabled.setEnabled(false);
    for (NoticeWindow* window : { &main, &registry, &disabled, &other })
        window->show();
    // A socket left by an instance that died is cleared away on the way.
    const QString stale = shell::InstanceFolder() + QStringLiteral("/quorvane-desktop-999999999.sock");
    QFile(stale).open(QIODevice::WriteOnly);

    Outcome run = Program({ QStringLiteral("-disconnected") });
    EXPECT_EQ(run.status, 0);
    ASSERT_TRUE(WaitFor([&] { return main.notices.size() == 1 && registry.notices.size() == 1; }));
    EXPECT_EQ(main.notices.first(), shell::kDeviceDisconnectedEvent);
    run = Program({ QStringLiteral("-connected") });
    ASSERT_TRUE(WaitFor([&] { return main.notices.size() == 2; }));
    EXPECT_EQ(main.notices.last(), shell::kDeviceConnectedEvent);
    EXPECT_TRUE(disabled.notices.isEmpty());
    EXPECT_TRUE(other.notices.isEmpty());
    EXPECT_FALSE(QFile::exists(stale));
}

TEST_F(ProgramTest, ASecondInstanceLeavesTheFirstOnesSettingsWhole)
{
    shell::CMainWindow* window = OpenMainWindow();
    window->setGeometry(30, 40, 640, 420);
    settings::WriteString(QStringLiteral("DefaultDir"), QStringLiteral("\\My Documents"));

    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUORVANE_HOME"), QString::fromStdString(home().string()));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(QV_QUORVANE), {});
    const QString socket
        = shell::InstanceFolder() + QStringLiteral("/quorvane-desktop-%1.sock").arg(second.processId());
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(socket); })) << "the second instance did not come up";
    // It dies in the middle of its work, as a crash would end it.
    ::kill(pid_t(second.processId()), SIGKILL);
    second.waitForFinished();

    QString defaultDir;
    ASSERT_TRUE(settings::ReadString(QStringLiteral("DefaultDir"), &defaultDir));
    EXPECT_EQ(defaultDir, QStringLiteral("\\My Documents"));
    EXPECT_TRUE(settings::WriteDword(QStringLiteral("CopyFilesWhen"), 2));
    quint32 copy = 0;
    EXPECT_TRUE(settings::ReadDword(QStringLiteral("CopyFilesWhen"), &copy));
    EXPECT_EQ(copy, 2u);
    EXPECT_EQ(Registered(shell::kAutoStartOnConnectKey),
        QLatin1Char('"') + QStringLiteral(QV_QUORVANE) + QStringLiteral("\" -connected"));
}

TEST_F(ProgramTest, AnyOtherFileOpensTheEditorAloneAndTheStartEndsWhenItCloses)
{
    // Without a display the program says so and ends.
    Outcome run = Program({ QStringLiteral("\\My"), QStringLiteral("Documents\\notes.txt") });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
        QStringLiteral("quorvane: \"\\My Documents\\notes.txt\" opens in the built-in text editor, and there "
                       "is no display.\n"));

    // Without a device: the connection dialog is cancelled and no window opens.
    {
        shell::StandaloneEditor editor;
        QList<int> ended;
        QObject::connect(
            &editor, &shell::StandaloneEditor::finished, [&ended](int status) { ended << status; });
        editor.Start(QStringLiteral("\\notes.txt"));
        ASSERT_TRUE(WaitFor([&] { return !ended.isEmpty(); }, 60000));
        EXPECT_EQ(ended, QList<int>({ 1 }));
        EXPECT_EQ(editor.window(), nullptr);
        ASSERT_GE(m_prompter.Count(), 1);
        EXPECT_EQ(m_prompter.Records().last().kind, devlink::ScriptedPrompter::Kind::ConnectionError);
    }

    StartDevice();
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\My Documents\\notes.txt"), "hello"));
    shell::StandaloneEditor editor;
    QList<int> ended;
    QObject::connect(&editor, &shell::StandaloneEditor::finished, [&ended](int status) { ended << status; });
    editor.Start(QStringLiteral("\\My Documents\\notes.txt"));
    ASSERT_TRUE(WaitFor([&] { return editor.window() && editor.window()->isVisible(); }, 60000));
    ASSERT_TRUE(
        WaitFor([&] { return editor.window()->textField()->toPlainText() == QStringLiteral("hello"); }));
    EXPECT_TRUE(ended.isEmpty());
    editor.window()->close();
    ASSERT_TRUE(WaitFor([&] { return !ended.isEmpty(); }));
    EXPECT_EQ(ended, QList<int>({ 0 }));
}

database::DatabaseWindow* ShownDatabaseWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<database::DatabaseWindow*>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

TEST_F(ProgramTest, ADatabaseNamedAloneConnectsFirstAndTheStartEndsWithItsWindow)
{
    const shell::StartRequest request = shell::ParseCommandLine({ QStringLiteral("\\My"),
        QStringLiteral("Documents\\a.sdf"), QStringLiteral("-table"), QStringLiteral("Orders") });
    ASSERT_EQ(request.mode, shell::StartRequest::Mode::Database);
    QObject context;
    QList<int> ended;
    const auto record = [&ended](int status) { ended << status; };

    // Without a device the connection dialog is cancelled and no window opens.
    shell::OpenDatabaseAlone(request, &context, record);
    ASSERT_TRUE(WaitFor([&] { return !ended.isEmpty(); }, 60000));
    EXPECT_EQ(ended, QList<int>({ 1 }));
    EXPECT_EQ(ShownDatabaseWindow(), nullptr);
    ASSERT_GE(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records().last().kind, devlink::ScriptedPrompter::Kind::ConnectionError);

    StartDevice();
    ended.clear();
    shell::OpenDatabaseAlone(request, &context, record);
    ASSERT_TRUE(WaitFor([&] { return ShownDatabaseWindow() != nullptr; }, 60000));
    database::DatabaseWindow* window = ShownDatabaseWindow();
    EXPECT_EQ(window->databasePath(), QStringLiteral("\\My Documents\\a.sdf"));
    EXPECT_EQ(window->controller()->sqlToRun(), QStringLiteral("SELECT * FROM Orders"));
    EXPECT_TRUE(ended.isEmpty());
    window->close();
    ASSERT_TRUE(WaitFor([&] { return !ended.isEmpty(); }));
    EXPECT_EQ(ended, QList<int>({ 0 }));
}

} // namespace
