// What the online-update dialog says, from the update record and the time
// the work has run. The dialog shows it again once a second.
//
//   check running      "Searching for update information.."
//   download running   "%02d:%02d  Downloading latest version.." (elapsed),
//                      the share that has arrived and, once it can be told,
//                      the time left ("About %02d:%02d left")
//   check done         "Quorvane v%s" with the release's version, then "New
//                      version available !" under "New features:", or "There
//                      are no updates available at this time." under
//                      "Features added:", with the release's features
//   download done      "Have successfully downloaded update.  Click on OK to
//                      launch this new version."
//   failed             "Error:" and the status text, or "Could not find
//                      updates information." when there is none
//
// Pure functions, safe from any thread.
#pragma once

#include "desktop/update/OnlineUpdateThread.h"

namespace update {

struct UpdateDialogText {
    QString releaseLine; // "Quorvane v2.3999", or empty
    QString statusLine;
    QString featuresHeading; // "New features:", "Features added:", "Error:" or empty
    QString features; // the release's features, or the error
    int percent = -1; // of a running download; -1 otherwise
    QString timeLeft; // of a running download, or empty
};

UpdateDialogText DescribeUpdate(const UpdateRecord& record, qint64 elapsedSeconds);

// "About %02d:%02d left" for a download that has brought `progress` (0 to
// 1) in `elapsedSeconds`; empty while too little has arrived to tell.
QString TimeLeftText(double progress, qint64 elapsedSeconds);

// The dialog's own line: "Quorvane v%d.%d" with the program's version.
QString OwnVersionLine();

} // namespace update
