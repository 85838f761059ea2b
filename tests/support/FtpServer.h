#pragma once

// Another instance of the stack's FTP server (tools/ftpserver.py) over the stack's folder and
// account, started with the options a test needs (a slow upload, refused renames). Stopped when
// the object goes.
#include "support/TestSupport.h"

#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>

namespace fd::test {

class FtpServer {
public:
    // Listens on port and takes passive connections on the nine ports after it.
    FtpServer(int port, const QStringList& options)
    {
        m_process.start(QStringLiteral("/usr/bin/python3"),
            QStringList {qEnvironmentVariable("FD_SOURCE_DIR") + QStringLiteral("/tools/ftpserver.py"),
                QStringLiteral("--port"), QString::number(port), QStringLiteral("--passive"),
                QStringLiteral("%1-%2").arg(port + 1).arg(port + 9), QStringLiteral("--user"), QStringLiteral("ftpuser"),
                QStringLiteral("--password-file"), stackDir() + QStringLiteral("/ftp.secret"),
                QStringLiteral("--directory"), stackDir() + QStringLiteral("/pic")}
            + options);
        m_started = m_process.waitForStarted()
            && QTest::qWaitFor([port] {
                   QTcpSocket probe;
                   probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
                   return probe.waitForConnected(100);
               }, 10000);
    }
    ~FtpServer()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;
    bool started() const { return m_started; }

private:
    QProcess m_process;
    bool m_started = false;
};

} // namespace fd::test
