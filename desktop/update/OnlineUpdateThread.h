// The online update's fetching: the update record and the worker that fills
// it. The worker is asynchronous on the event loop of the thread that makes
// it (Qt Network reads and writes as data arrives), so the window thread
// never waits on the network and the record needs no lock.
//
//   check      fetches "Version.txt" from the update location and compares
//              its version with the program's own: `done`, and
//              `newVersionAvailable` when it is newer. Nothing is written
//              beside the program.
//   download   fetches "SHA256SUMS" first, then every file of ReleaseFiles()
//              into the staging folder "Downloads.partial" beside the
//              program, each checked against its digest as it arrives. Only
//              when every file matches does the set (with its own
//              "SHA256SUMS") replace "Downloads"; `done` is set after the last
//              file. A file missing from the list, a mismatch or a transfer
//              that fails discards the whole set.
//
// Every failure ends the work with one status text; nothing is retried:
//   "Unable to connect to the internet."          the machine reports no network
//   "Cannot access internet files:  might be a firewall problem."
//                                                 no server answered (name not
//                                                 found, refused, timed out)
//   "Unable to find update information file."    the server answered with an error
//   "Unable to read update information file."    the transfer broke off, or the
//                                                 version file holds no version
// and the texts of ReleaseChecksums.h for a damaged set.
//
// Threads: make, use and destroy it on one thread that runs an event loop.
#pragma once

#include "desktop/update/ReleaseChecksums.h"

#include <QCryptographicHash>
#include <QFile>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

class QNetworkReply;

namespace update {

enum class UpdateMode { Check, Download };

// What the dialog and the main window read.
struct UpdateRecord {
    bool checkMode = true;
    bool running = false;
    bool done = false;
    bool newVersionAvailable = false;
    QString statusText; // empty, or why the work ended without `done`
    QString versionText; // "2.3999"
    QString featuresText;
    // How much of a download has arrived, from 0 to 1, counting each file
    // of the release alike.
    double progress = 0;
};

class OnlineUpdateThread : public QObject {
    Q_OBJECT
public:
    explicit OnlineUpdateThread(QObject* parent = nullptr);
    // Ends a running transfer and discards a partial download.
    ~OnlineUpdateThread() override;

    const UpdateRecord& record() const { return m_record; }
    bool isRunning() const { return m_record.running; }

    // Starts the work of `mode` with a fresh record; false when work is
    // already running.
    bool Start(UpdateMode mode);
    // Ends running work without a status text; a partial download is
    // discarded. `finished` is not emitted.
    void Cancel();

    // A transfer that receives nothing for this long fails (30 s).
    void SetTransferTimeoutMs(int milliseconds) { m_transferTimeoutMs = milliseconds; }

signals:
    // The work has ended: `done` or a status text says how.
    void finished();

private:
    void FetchNext();
    void OnReadyRead();
    void OnProgress(qint64 received, qint64 total);
    // Stores what has arrived; false when the file grew too big or could
    // not be written (m_tooBig).
    bool TakeChunk();
    void OnReplyFinished();
    bool TakeVersionFile(const QByteArray& bytes);
    bool TakeChecksums(const QByteArray& bytes);
    bool OpenStagedFile(const QString& name);
    bool CloseStagedFile(const QString& name);
    bool InstallStagedSet();
    void DiscardStaging();
    void Fail(const QString& statusText);
    void Finish();
    void EndReply();

    UpdateRecord m_record;
    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    QUrl m_folder;
    QStringList m_files; // what is fetched, in order
    int m_next = 0; // index into m_files of the file being fetched
    QByteArray m_memory; // a small file read into memory
    bool m_tooBig = false; // or not writable
    Checksums m_sums;
    QString m_staging;
    QFile m_staged;
    QCryptographicHash m_hash { QCryptographicHash::Sha256 };
    int m_transferTimeoutMs = 30000;
};

// Starts a check with `update` unless `force` is false and the setting
// "CheckForUpdates" is 0; true when a check started.
bool StartUpdateCheck(OnlineUpdateThread* update, bool force);

} // namespace update
