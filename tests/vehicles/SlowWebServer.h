#pragma once

// A small HTTP/1.0 server on the test's own event loop that answers each request after a delay
// with a file of a folder, and records the paths asked for in the order they arrived.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace fd::test {

class SlowWebServer {
public:
    SlowWebServer(const QString& folder, int delayMs) : m_folder(folder), m_delayMs(delayMs)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection())
                serve(s);
        });
    }
    int port() const { return m_server.serverPort(); }
    QStringList paths; // decoded, without the leading "/"

private:
    void serve(QTcpSocket* socket)
    {
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            QByteArray& head = m_heads[socket];
            head += socket->readAll();
            if (!head.contains("\r\n\r\n"))
                return;
            const QByteArray target = head.split(' ').value(1);
            const QString path = QUrl::fromPercentEncoding(target.mid(1));
            m_heads.remove(socket);
            paths << path;
            QFile file(QDir(m_folder).filePath(path));
            const bool found = !path.isEmpty() && file.open(QIODevice::ReadOnly);
            const QByteArray body = found ? file.readAll() : QByteArray("<html>not found</html>");
            const QByteArray reply = QByteArray(found ? "HTTP/1.0 200 OK\r\n" : "HTTP/1.0 404 Not Found\r\n")
                + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
            QTimer::singleShot(m_delayMs, socket, [socket, reply] {
                socket->write(reply);
                socket->disconnectFromHost();
            });
        });
    }

    QTcpServer m_server;
    QString m_folder;
    int m_delayMs;
    QHash<QTcpSocket*, QByteArray> m_heads;
};

} // namespace fd::test
