#include "desktop/update/UpdateDialogText.h"

#include "desktop/update/VersionFile.h"

namespace update {

UpdateDialogText DescribeUpdate(const UpdateRecord& record, qint64 elapsedSeconds)
{
    UpdateDialogText text;
    if (record.running) {
        if (record.checkMode) {
            text.statusLine = QStringLiteral("Searching for update information..");
            return text;
        }
        text.statusLine = QString::asprintf(
            "%02d:%02d  Downloading latest version..", int(elapsedSeconds / 60), int(elapsedSeconds % 60));
        text.percent = int(record.progress * 100);
        text.timeLeft = TimeLeftText(record.progress, elapsedSeconds);
        return text;
    }
    if (!record.done) {
        text.featuresHeading = QStringLiteral("Error:");
        text.features = record.statusText.isEmpty() ? QStringLiteral("Could not find updates information.")
                                                    : record.statusText;
        return text;
    }
    if (!record.checkMode) {
        text.statusLine
            = QStringLiteral("Have successfully downloaded update.  Click on OK to launch this new version.");
        return text;
    }
    text.releaseLine = QStringLiteral("Quorvane v%1").arg(record.versionText);
    text.features = record.featuresText;
    if (record.newVersionAvailable) {
        text.statusLine = QStringLiteral("New version available !");
        text.featuresHeading = QStringLiteral("New features:");
    } else {
        text.statusLine = QStringLiteral("There are no updates available at this time.");
        text.featuresHeading = QStringLiteral("Features added:");
    }
    return text;
}

QString TimeLeftText(double progress, qint64 elapsedSeconds)
{
    // Below a few percent, or in the first second, the rate says nothing yet.
    if (progress < 0.03 || progress >= 1 || elapsedSeconds < 1)
        return {};
    const qint64 left = qint64(double(elapsedSeconds) * (1 - progress) / progress + 0.5);
    return QString::asprintf("About %02d:%02d left", int(qMin<qint64>(left / 60, 99)), int(left % 60));
}

QString OwnVersionLine()
{
    const ReleaseVersion own = ProgramVersion();
    return QString::asprintf("Quorvane v%d.%d", own.major, own.minor);
}

} // namespace update
