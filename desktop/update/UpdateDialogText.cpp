#include "desktop/update/UpdateDialogText.h"

#include "desktop/update/VersionFile.h"

namespace update {

UpdateDialogText DescribeUpdate(const UpdateRecord& record, qint64 elapsedSeconds)
{
    UpdateDialogText text;
    if (record.running) {
        text.statusLine = record.checkMode ? QStringLiteral("Searching for update information..")
                                           : QString::asprintf("%02d:%02d  Downloading latest version..",
                                               int(elapsedSeconds / 60), int(elapsedSeconds % 60));
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

QString OwnVersionLine()
{
    const ReleaseVersion own = ProgramVersion();
    return QString::asprintf("Quorvane v%d.%d", own.major, own.minor);
}

} // namespace update
