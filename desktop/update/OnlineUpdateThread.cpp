#include "desktop/update/OnlineUpdateThread.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/update/UpdateSettings.h"
#include "desktop/update/VersionFile.h"

#include <QDir>
#include <QNetworkInformation>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>

namespace update {
namespace {

const QString kVersionFile = QStringLiteral("Version.txt");

const QString kNoInternet = QStringLiteral("Unable to connect to the internet.");
const QString kNoServer = QStringLiteral("Cannot access internet files:  might be a firewall problem.");
const QString kNotFound = QStringLiteral("Unable to find update information file.");
const QString kReadFailed = QStringLiteral("Unable to read update information file.");

// Files read into memory (the version file, the checksum list) are small;
// a release file is far below the second bound.
constexpr qint64 kMaxMemoryFile = 64 * 1024;
constexpr qint64 kMaxReleaseFile = qint64(1) << 30;

QString StagingFolder()
{
    return DownloadFolder() + QStringLiteral(".partial");
}

// The machine's own view of its network, where the platform offers one.
bool MachineIsOffline()
{
    if (!QNetworkInformation::instance()
        && !QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return false;
    return QNetworkInformation::instance()->reachability() == QNetworkInformation::Reachability::Disconnected;
}

// A transfer that ended without the server answering at all.
bool IsNoServerError(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // the transfer timeout
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::UnknownProxyError:
        return true;
    default:
        return false;
    }
}

} // namespace

OnlineUpdateThread::OnlineUpdateThread(QObject* parent)
    : QObject(parent)
{
    m_network.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

OnlineUpdateThread::~OnlineUpdateThread()
{
    Cancel();
}

bool OnlineUpdateThread::Start(UpdateMode mode)
{
    if (m_record.running)
        return false;
    m_record = {};
    m_record.checkMode = mode == UpdateMode::Check;
    m_record.running = true;
    devlink::DebugOutput(QStringLiteral("OnlineUpdateThread():  Started.\r\n"));

    QString error;
    if (!CheckUpdateLocation(UpdateLocation(), &m_folder, &error)) {
        Fail(error);
        return true;
    }
    if (!IsLoopbackHost(m_folder.host()) && MachineIsOffline()) {
        Fail(kNoInternet);
        return true;
    }
    m_files
        = m_record.checkMode ? QStringList { kVersionFile } : QStringList { QLatin1String(kChecksumsFile) };
    m_next = 0;
    m_sums = {};
    FetchNext();
    return true;
}

void OnlineUpdateThread::Cancel()
{
    if (!m_record.running)
        return;
    EndReply();
    DiscardStaging();
    m_record.running = false;
}

void OnlineUpdateThread::FetchNext()
{
    const QString name = m_files[m_next];
    if (m_next > 0 && !OpenStagedFile(name))
        return;
    m_memory.clear();
    m_tooBig = false;
    QNetworkRequest request(m_folder.resolved(QUrl(QUrl::toPercentEncoding(name))));
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Quorvane"));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(m_transferTimeoutMs);
    m_reply = m_network.get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &OnlineUpdateThread::OnReadyRead);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &OnlineUpdateThread::OnProgress);
    connect(m_reply, &QNetworkReply::finished, this, &OnlineUpdateThread::OnReplyFinished);
}

void OnlineUpdateThread::OnReadyRead()
{
    if (!TakeChunk())
        m_reply->abort();
}

void OnlineUpdateThread::OnProgress(qint64 received, qint64 total)
{
    // The checksum list (the first file) is too small to count.
    const qsizetype releaseFiles = m_files.size() - 1;
    if (m_record.checkMode || m_next == 0 || releaseFiles <= 0)
        return;
    const double part = total > 0 ? double(qMin(received, total)) / double(total) : 0.0;
    m_record.progress = (double(m_next - 1) + part) / double(releaseFiles);
}

bool OnlineUpdateThread::TakeChunk()
{
    // Every chunk is taken as it comes, to the end of the file: a single
    // read would cut a large file short.
    const QByteArray chunk = m_reply->readAll();
    if (m_staged.isOpen()) {
        m_tooBig = m_tooBig || m_staged.pos() + chunk.size() > kMaxReleaseFile
            || m_staged.write(chunk) != chunk.size();
        if (!m_tooBig)
            m_hash.addData(chunk);
    } else {
        m_tooBig = m_tooBig || m_memory.size() + chunk.size() > kMaxMemoryFile;
        if (!m_tooBig)
            m_memory += chunk;
    }
    return !m_tooBig;
}

void OnlineUpdateThread::OnReplyFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply || sender() != reply)
        return;
    if (reply->error() == QNetworkReply::NoError)
        TakeChunk();
    const QNetworkReply::NetworkError error = reply->error();
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    EndReply();

    if (m_tooBig || (error != QNetworkReply::NoError && answered && status == 200)) {
        Fail(kReadFailed);
        return;
    }
    if (error != QNetworkReply::NoError || status != 200) {
        Fail(!answered && IsNoServerError(error) ? kNoServer : (answered ? kNotFound : kReadFailed));
        return;
    }

    const QString name = m_files[m_next];
    if (m_record.checkMode) {
        if (TakeVersionFile(m_memory))
            Finish();
        return;
    }
    if (m_next == 0) {
        if (!TakeChecksums(m_memory))
            return;
    } else if (!CloseStagedFile(name)) {
        return;
    }
    if (++m_next < m_files.size()) {
        FetchNext();
        return;
    }
    if (InstallStagedSet())
        Finish();
}

bool OnlineUpdateThread::TakeVersionFile(const QByteArray& bytes)
{
    const VersionFile file = ParseVersionFile(bytes);
    if (!file.valid) {
        Fail(kReadFailed);
        return false;
    }
    m_record.versionText = file.versionText;
    m_record.featuresText = file.featuresText;
    m_record.newVersionAvailable = IsNewerRelease(file.version, ProgramVersion());
    return true;
}

bool OnlineUpdateThread::TakeChecksums(const QByteArray& bytes)
{
    QString error;
    Checksums all;
    if (!ParseChecksums(bytes, &all, &error)) {
        Fail(error);
        return false;
    }
    // Only the files of a release are fetched and installed, whatever else
    // the list names.
    const QStringList release = ReleaseFiles();
    for (const QString& name : release) {
        if (!all.digests.contains(name)) {
            Fail(MissingFileText(name));
            return false;
        }
        m_sums.names.append(name);
        m_sums.digests.insert(name, all.digests.value(name));
    }
    m_files.append(release);

    m_staging = StagingFolder();
    QDir(m_staging).removeRecursively();
    if (!QDir().mkpath(m_staging)) {
        Fail(QStringLiteral("Unable to create the folder \"%1\".").arg(m_staging));
        return false;
    }
    return true;
}

bool OnlineUpdateThread::OpenStagedFile(const QString& name)
{
    m_staged.setFileName(m_staging + QLatin1Char('/') + name);
    m_hash.reset();
    if (!m_staged.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        Fail(QStringLiteral("Unable to write \"%1\".").arg(m_staged.fileName()));
        return false;
    }
    return true;
}

bool OnlineUpdateThread::CloseStagedFile(const QString& name)
{
    const bool flushed = m_staged.flush();
    m_staged.close();
    if (!flushed) {
        Fail(QStringLiteral("Unable to write \"%1\".").arg(m_staged.fileName()));
        return false;
    }
    if (m_hash.result() != m_sums.digests.value(name)) {
        Fail(MismatchText(name));
        return false;
    }
    // The program and the agents must run once installed.
    m_staged.setPermissions(m_staged.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    return true;
}

bool OnlineUpdateThread::InstallStagedSet()
{
    QSaveFile list(m_staging + QLatin1Char('/') + QLatin1String(kChecksumsFile));
    const QByteArray text = FormatChecksums(m_sums);
    if (!list.open(QIODevice::WriteOnly) || list.write(text) != text.size() || !list.commit()) {
        Fail(QStringLiteral("Unable to write \"%1\".").arg(list.fileName()));
        return false;
    }
    // The whole set replaces the last download at once: an older set moves
    // away first and comes back when the new one cannot take its place.
    const QString downloads = DownloadFolder();
    const QString previous = downloads + QStringLiteral(".previous");
    QDir(previous).removeRecursively();
    const bool hadPrevious = QFileInfo::exists(downloads);
    if (hadPrevious && !QDir().rename(downloads, previous)) {
        Fail(QStringLiteral("Unable to replace the folder \"%1\".").arg(downloads));
        return false;
    }
    if (!QDir().rename(m_staging, downloads)) {
        if (hadPrevious)
            QDir().rename(previous, downloads);
        Fail(QStringLiteral("Unable to replace the folder \"%1\".").arg(downloads));
        return false;
    }
    m_staging.clear();
    QDir(previous).removeRecursively();
    return true;
}

void OnlineUpdateThread::DiscardStaging()
{
    if (m_staged.isOpen())
        m_staged.close();
    if (!m_staging.isEmpty())
        QDir(m_staging).removeRecursively();
    m_staging.clear();
}

void OnlineUpdateThread::EndReply()
{
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void OnlineUpdateThread::Fail(const QString& statusText)
{
    EndReply();
    DiscardStaging();
    m_record.statusText = statusText;
    m_record.running = false;
    devlink::DebugOutput(QStringLiteral("OnlineUpdateThread():   Finished.\r\n"));
    emit finished();
}

void OnlineUpdateThread::Finish()
{
    m_record.done = true;
    if (!m_record.checkMode)
        m_record.progress = 1;
    m_record.running = false;
    devlink::DebugOutput(QStringLiteral("OnlineUpdateThread():   Finished.\r\n"));
    emit finished();
}

bool StartUpdateCheck(OnlineUpdateThread* update, bool force)
{
    if (!force && !UpdateCheckWanted())
        return false;
    return update->Start(UpdateMode::Check);
}

} // namespace update
