#pragma once

#include "net/Failure.h"
#include "common/HostList.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

namespace fd::net {

// A libcurl FTP session to one of a list of servers that serve the same folder, with one account:
// passive mode, no proxy. A transfer goes to the server that answered last (at first, the first of
// the list) and moves on through the list while a server does not answer at all. The login happens
// with the first transfer, and the session is kept for the next one.
//
// Thread affinity: any thread may transfer, one transfer at a time (a mutex). Shared as
// std::shared_ptr so that a transfer running on a worker keeps the session valid after the
// window that opened it has closed.
class FtpConnection {
public:
    struct Options {
        QList<HostPort> hosts; // in order of preference; a port of 0 is 21
        QString user = QStringLiteral("anonymous");
        QString password;
        int connectTimeoutSeconds = 10;
        // A server that stops answering fails the transfer after this long without a byte moving.
        int stallTimeoutSeconds = 60;
    };
    enum class TransferType { Ascii, Binary };

    explicit FtpConnection(const Options& options);
    ~FtpConnection();
    FtpConnection(const FtpConnection&) = delete;
    FtpConnection& operator=(const FtpConnection&) = delete;

    // Stores the local file under the remote name (the bytes the server expects in its STOR
    // command) in the login's current folder. The file goes up under a part name of its own and is
    // then renamed over the earlier file, which stays readable until then and stays in place when
    // anything fails. False, with the reason, when the whole file did not take the name: no server
    // answered, a refused login, file or rename, a full disk, a broken transfer, the cancel flag
    // set; the part file is then deleted where the server still answers.
    bool putFile(const QString& localPath, const QByteArray& remoteName, TransferType type = TransferType::Binary,
        Failure* failure = nullptr, const std::atomic_bool* cancel = nullptr);

    const Options& options() const { return m_options; }
    // The server the next transfer goes to first: the one that answered last.
    HostPort currentHost() const;

private:
    struct Reply {
        int code = 0;   // CURLcode
        long reply = 0; // the server's last reply code, 0 when none came
        QString message;
    };
    // Sets the options every request of the session shares; the caller holds the mutex.
    void prepare(const QByteArray& url, char* message) const;
    // Sends FTP commands without a transfer; a limit of 0 seconds is none beyond the stall time.
    Reply commands(const HostPort& server, const QList<QByteArray>& lines, int timeoutSeconds = 0);
    // Renames the uploaded part file to the remote name, over the earlier file of that name.
    Reply giveName(const HostPort& server, const QByteArray& partName, const QByteArray& remoteName);

    struct Handle;
    Options m_options;
    QByteArray m_user, m_password;
    mutable std::mutex m_mutex;
    std::unique_ptr<Handle> m_handle;
    qsizetype m_current = 0; // index into m_options.hosts
};

using FtpConnectionPtr = std::shared_ptr<FtpConnection>;

// An empty user is "anonymous". None when the options name no server.
FtpConnectionPtr ftpConnect(const FtpConnection::Options& options);
// None fails at once without contacting any server.
bool ftpPutFile(const FtpConnectionPtr& connection, const QString& localPath, const QByteArray& remoteName,
    FtpConnection::TransferType type = FtpConnection::TransferType::Binary, Failure* failure = nullptr);
// Lets go of the caller's hold on the session: it closes once no running transfer holds it.
void ftpClose(FtpConnectionPtr& connection);

// "ftp://host:port/" (an IPv6 host in brackets) followed by the percent-encoded name: the name
// relative to the login's folder.
QByteArray ftpUrl(const QString& host, int port, const QByteArray& remoteName);

} // namespace fd::net
