#include "desktop/shell/InstanceChannel.h"

#include "desktop/link/DeviceLink.h"
#include "exchange/Home.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLocalSocket>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>

namespace shell {
namespace {

const QString kPrefix = QStringLiteral("quorvane-desktop-");
const QString kSuffix = QStringLiteral(".sock");
constexpr qint64 kMaxLine = 64;

QByteArray LineOf(DeviceNotice notice)
{
    return notice == DeviceNotice::Connected ? QByteArrayLiteral("connected\n")
                                             : QByteArrayLiteral("disconnected\n");
}

// The instance a socket name belongs to, when it is alive (or cannot be told).
bool OwnerMayLive(const QString& fileName)
{
    bool ok = false;
    const qint64 pid
        = fileName.mid(kPrefix.size(), fileName.size() - kPrefix.size() - kSuffix.size()).toLongLong(&ok);
    if (!ok || pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

} // namespace

QString InstanceFolder()
{
    return QString::fromStdString(home::DeviceSocketPath().parent_path().string());
}

InstanceChannel::InstanceChannel(QObject* parent)
    : QObject(parent)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &InstanceChannel::OnConnection);
}

InstanceChannel::~InstanceChannel()
{
    m_server.close();
}

QString InstanceChannel::socketPath() const
{
    return InstanceFolder() + QLatin1Char('/') + kPrefix + QString::number(QCoreApplication::applicationPid())
        + kSuffix;
}

bool InstanceChannel::Listen(QString* error)
{
    const QString folder = InstanceFolder();
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    const QString path = socketPath();
    const std::string tooLong = home::CheckSocketPath(path.toStdString());
    if (!tooLong.empty()) {
        *error = QString::fromStdString(tooLong);
        return false;
    }
    QLocalServer::removeServer(path); // a socket of an earlier process with our number
    if (!m_server.listen(path)) {
        *error = m_server.errorString();
        return false;
    }
    return true;
}

int InstanceChannel::DeliverToWindows(DeviceNotice notice)
{
    const QEvent::Type type
        = notice == DeviceNotice::Connected ? kDeviceConnectedEvent : kDeviceDisconnectedEvent;
    int delivered = 0;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        const QString title = window->windowTitle();
        if ((title.contains(QLatin1String("Quorvane")) || title.contains(QLatin1String("Registry editor")))
            && window->isEnabled()) {
            QCoreApplication::postEvent(window, new QEvent(type));
            ++delivered;
        }
    }
    return delivered;
}

void InstanceChannel::OnConnection()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                // Nothing but a short line is ever sent: more is not ours.
                if (socket->bytesAvailable() > kMaxLine)
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(kMaxLine);
            DeviceNotice notice;
            if (line == LineOf(DeviceNotice::Connected))
                notice = DeviceNotice::Connected;
            else if (line == LineOf(DeviceNotice::Disconnected))
                notice = DeviceNotice::Disconnected;
            else
                return;
            DeliverToWindows(notice);
            emit noticeReceived(notice);
        });
    }
}

int NotifyRunningInstances(DeviceNotice notice)
{
    const QDir folder(InstanceFolder());
    const QStringList names
        = folder.entryList({ kPrefix + QLatin1Char('*') + kSuffix }, QDir::System | QDir::Files);
    int reached = 0;
    for (const QString& name : names) {
        const QString path = folder.filePath(name);
        QLocalSocket socket;
        socket.connectToServer(path);
        if (!socket.waitForConnected(2000)) {
            if (!OwnerMayLive(name))
                QLocalServer::removeServer(path);
            continue;
        }
        socket.write(LineOf(notice));
        if (socket.waitForBytesWritten(2000))
            ++reached;
        socket.disconnectFromServer();
        if (socket.state() != QLocalSocket::UnconnectedState)
            socket.waitForDisconnected(2000);
    }
    devlink::TraceLine(QStringLiteral("Told %1 running instance(s).\r\n").arg(reached));
    return reached;
}

} // namespace shell
