// A small HTTP/1.1 server on 127.0.0.1 for the online update's tests: it
// serves files from memory, one request a connection, and can break a file
// off half-way (Content-Length says the whole size, the connection closes
// after half of it) or leave a request unanswered. Anything it does not hold
// gets 404. The screenshots use it too.
//
// Threads: the test's thread; it answers from that thread's event loop.
#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

namespace updatetest {

class LocalHttpServer : public QObject {
public:
    LocalHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                Serve(socket);
        });
    }

    bool ok() const { return m_server.isListening(); }
    // The folder URL under which Put's files are served.
    QString Location() const
    {
        return QStringLiteral("http://127.0.0.1:%1/release/").arg(m_server.serverPort());
    }

    void Put(const QString& name, const QByteArray& bytes)
    {
        m_files.insert(QStringLiteral("/release/") + name, bytes);
    }
    // The next requests of `name` send only the first half of it.
    void BreakOff(const QString& name) { m_brokenOff.insert(QStringLiteral("/release/") + name); }
    // The next requests of `name` get no answer at all.
    void Stall(const QString& name) { m_stalled.insert(QStringLiteral("/release/") + name); }
    // The paths requested so far, in order.
    QStringList requests() const { return m_requests; }

    // "SHA256SUMS" for the files named, as sha256sum writes it.
    QByteArray ChecksumsOf(const QStringList& names) const
    {
        QByteArray text;
        for (const QString& name : names)
            text += QCryptographicHash::hash(
                        m_files.value(QStringLiteral("/release/") + name), QCryptographicHash::Sha256)
                        .toHex()
                + "  " + name.toUtf8() + '\n';
        return text;
    }

private:
    void Serve(QTcpSocket* socket)
    {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            m_pending[socket] += socket->readAll();
            const QByteArray& request = m_pending[socket];
            if (!request.contains("\r\n\r\n"))
                return;
            const QByteArray path = request.split(' ').value(1);
            m_pending.remove(socket);
            m_requests.append(QString::fromUtf8(path));
            const QString key = QString::fromUtf8(QByteArray::fromPercentEncoding(path));
            if (m_stalled.contains(key))
                return;
            if (!m_files.contains(key)) {
                socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                socket->disconnectFromHost();
                return;
            }
            const QByteArray body = m_files.value(key);
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n"
                          "Content-Length: "
                + QByteArray::number(body.size()) + "\r\n\r\n");
            socket->write(m_brokenOff.contains(key) ? body.left(body.size() / 2) : body);
            socket->disconnectFromHost();
        });
    }

    QTcpServer m_server;
    QMap<QString, QByteArray> m_files;
    QSet<QString> m_brokenOff;
    QSet<QString> m_stalled;
    QMap<QTcpSocket*, QByteArray> m_pending;
    QStringList m_requests;
};

} // namespace updatetest
