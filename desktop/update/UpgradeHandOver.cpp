#include "desktop/update/UpgradeHandOver.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/link/Prompter.h"
#include "desktop/update/ReleaseChecksums.h"
#include "desktop/update/UpdateSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace update {
namespace {

const QString kSpawning = QStringLiteral("Spawning a new copy of Brackenloft..\r\n");

struct MovedAside {
    QString target;
    QString aside;
};

HandOverOperations WithDefaults(HandOverOperations operations)
{
    if (!operations.copy)
        operations.copy = [](const QString& from, const QString& to) { return QFile::copy(from, to); };
    if (!operations.remove)
        operations.remove = [](const QString& path) { return QFile::remove(path); };
    if (!operations.start)
        operations.start = [](const QString& program, const QStringList& arguments) {
            return QProcess::startDetached(program, arguments);
        };
    return operations;
}

// Moves `target` to the first free "%s.old.%02d"; empty when no number
// took the move.
QString MoveAside(const QString& target)
{
    for (int number = 0; number < 100; ++number) {
        const QString aside = QString::asprintf("%s.old.%02d", qPrintable(target), number);
        if (!QFileInfo::exists(aside) && QFile::rename(target, aside))
            return aside;
    }
    return {};
}

void ShowError(const QString& text)
{
    devlink::ShowMessage(QStringLiteral("Error"), text, devlink::PromptIcon::Error);
}

void RollBack(
    const QStringList& installed, const QList<MovedAside>& moved, const HandOverOperations& operations)
{
    for (qsizetype i = installed.size() - 1; i >= 0; --i)
        operations.remove(installed[i]);
    for (qsizetype i = moved.size() - 1; i >= 0; --i)
        QFile::rename(moved[i].aside, moved[i].target);
}

void StartInstalledProgram(const QString& program, const HandOverOperations& operations)
{
    if (!QFileInfo::exists(program))
        return;
    devlink::DebugOutput(kSpawning);
    operations.start(program, {});
}

} // namespace

QString InstallationFolderOf(const QString& programDir)
{
    const QString suffix = QStringLiteral("/Downloads");
    QString dir = programDir;
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    if (!dir.endsWith(suffix, Qt::CaseInsensitive) || dir.size() == suffix.size())
        return {};
    return dir.left(dir.size() - suffix.size());
}

HandOverResult RunUpgradeHandOver(
    const QString& programDir, const QString& programName, const HandOverOperations& given)
{
    const HandOverOperations operations = WithDefaults(given);
    const QString installation = InstallationFolderOf(programDir);
    if (installation.isEmpty()) {
        ShowError(
            QStringLiteral("-upgrade installs an update only when it runs from the \"Downloads\" folder "
                           "beside the program, not from:\r\n\t%1")
                .arg(programDir));
        return HandOverResult::NotFromDownloads;
    }
    const QString installedProgram = installation + QLatin1Char('/') + programName;

    QStringList names;
    QString error;
    if (!VerifyReleaseSet(programDir, &names, &error)) {
        ShowError(QStringLiteral("The downloaded update cannot be installed, and nothing was changed:\r\n%1")
                      .arg(error));
        StartInstalledProgram(installedProgram, operations);
        return HandOverResult::DamagedSet;
    }

    QStringList installed;
    QList<MovedAside> moved;
    for (const QString& name : names) {
        const QString source = programDir + QLatin1Char('/') + name;
        const QString target = installation + QLatin1Char('/') + name;
        bool ok = true;
        if (QFileInfo::exists(target)) {
            const QString aside = MoveAside(target);
            ok = !aside.isEmpty();
            if (ok)
                moved.append({ target, aside });
        }
        ok = ok && operations.copy(source, target);
        if (!ok) {
            ShowError(QStringLiteral("Unable to copy temporary file from from:\r\n\t") + source
                + QStringLiteral("\r\nto:\r\n\t") + target);
            RollBack(installed, moved, operations);
            StartInstalledProgram(installedProgram, operations);
            return HandOverResult::RolledBack;
        }
        installed.append(target);
    }
    // What still runs (or is otherwise held) keeps its moved-aside copy.
    for (const MovedAside& entry : moved)
        operations.remove(entry.aside);
    StartInstalledProgram(installedProgram, operations);
    return HandOverResult::Installed;
}

QString LaunchDownloadedProgram(const ProgramStarter& start)
{
    const QString program
        = DownloadFolder() + QLatin1Char('/') + QFileInfo(devlink::GetProgramPath()).fileName();
    if (!QFileInfo::exists(program))
        return QStringLiteral("Unable to find new version of application to run:\r\n") + program;
    devlink::DebugOutput(kSpawning);
    const QStringList arguments { QStringLiteral("-upgrade") };
    const bool started = start ? start(program, arguments) : QProcess::startDetached(program, arguments);
    return started ? QString()
                   : QStringLiteral("Unable to launch a new copy of our .exe :\r\n%1\r\n").arg(program);
}

} // namespace update
