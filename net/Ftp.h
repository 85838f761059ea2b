#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

namespace fd::net {

// A libcurl FTP session to one server and account: passive mode, no proxy. The login happens with
// the first transfer, and the session is kept for the next one.
//
// Thread affinity: any thread may transfer, one transfer at a time (a mutex). Shared as
// std::shared_ptr so that a transfer running on a worker keeps the session valid after the
// window that opened it has closed.
class FtpConnection {
public:
    struct Options {
        QString host;
        QString user = QStringLiteral("anonymous");
        QString password;
        int port = 21;
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
    // command) in the login's current folder. False, with the reason, when the whole file was not
    // stored: no such server, a refused login or file, a broken transfer, the cancel flag set.
    bool putFile(const QString& localPath, const QByteArray& remoteName, TransferType type = TransferType::Binary,
        QString* error = nullptr, const std::atomic_bool* cancel = nullptr);

    const Options& options() const { return m_options; }

private:
    struct Handle;
    Options m_options;
    std::mutex m_mutex;
    std::unique_ptr<Handle> m_handle;
};

using FtpConnectionPtr = std::shared_ptr<FtpConnection>;

// Empty texts take the defaults: user "anonymous", empty password, port 21 (for port 0). None when
// no session could be prepared.
FtpConnectionPtr ftpConnect(const QString& host, const QString& user = QString(), const QString& password = QString(),
    int port = 21);
// None fails at once without contacting any server.
bool ftpPutFile(const FtpConnectionPtr& connection, const QString& localPath, const QByteArray& remoteName,
    FtpConnection::TransferType type = FtpConnection::TransferType::Binary, QString* error = nullptr);
// Lets go of the caller's hold on the session: it closes once no running transfer holds it.
void ftpClose(FtpConnectionPtr& connection);

// "ftp://host:port/" followed by the percent-encoded name: the name relative to the login's folder.
QByteArray ftpUrl(const QString& host, int port, const QByteArray& remoteName);

} // namespace fd::net
