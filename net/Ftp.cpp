#include "net/Ftp.h"

#include "net/CurlFailure.h"

#include <QFile>
#include <curl/curl.h>

namespace fd::net {
namespace {

size_t readFile(char* buffer, size_t size, size_t count, void* user)
{
    const qint64 n = static_cast<QFile*>(user)->read(buffer, static_cast<qint64>(size * count));
    return n < 0 ? CURL_READFUNC_ABORT : static_cast<size_t>(n);
}

int progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* cancel = static_cast<const std::atomic_bool*>(user);
    return cancel && cancel->load() ? 1 : 0;
}

// The commands sent after a transfer; one owner frees them.
struct CurlList {
    curl_slist* list = nullptr;
    CurlList() = default;
    CurlList(const CurlList&) = delete;
    CurlList& operator=(const CurlList&) = delete;
    ~CurlList() { curl_slist_free_all(list); }
    void append(const QByteArray& line) { list = curl_slist_append(list, line.constData()); }
};

} // namespace

struct FtpConnection::Handle {
    CURL* curl = nullptr;
    ~Handle()
    {
        if (curl)
            curl_easy_cleanup(curl);
    }
};

FtpConnection::FtpConnection(const Options& options) : m_options(options), m_handle(std::make_unique<Handle>())
{
    m_handle->curl = curl_easy_init();
}

FtpConnection::~FtpConnection() = default;

QByteArray ftpUrl(const QString& host, int port, const QByteArray& remoteName)
{
    // Every byte outside the unreserved set is escaped, "/" included: a name is never a path, and a
    // raw "#" or "?" would cut it short.
    return "ftp://" + urlHost(host).toUtf8() + ':' + QByteArray::number(port) + '/' + remoteName.toPercentEncoding();
}

HostPort FtpConnection::currentHost() const
{
    std::lock_guard lock(m_mutex);
    return m_options.hosts.value(m_current);
}

bool FtpConnection::putFile(const QString& localPath, const QByteArray& remoteName, TransferType type, Failure* failure,
    const std::atomic_bool* cancel)
{
    Failure tried;
    auto fail = [&](Failure::Kind kind, const QString& why) {
        tried.add(Failure { kind, why });
        if (failure)
            *failure = tried;
        return false;
    };
    if (remoteName.isEmpty())
        return fail(Failure::Other, QStringLiteral("no remote file name"));
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(Failure::Other, localPath + QStringLiteral(": ") + file.errorString());

    std::lock_guard lock(m_mutex);
    CURL* c = m_handle->curl;
    if (!c || m_options.hosts.isEmpty())
        return fail(Failure::CannotConnect, QStringLiteral("no FTP server"));
    const QByteArray user = m_options.user.toUtf8();
    const QByteArray password = m_options.password.toUtf8();
    const qsizetype count = m_options.hosts.size();
    for (qsizetype step = 0; step < count; ++step) {
        const qsizetype index = (m_current + step) % count;
        const HostPort& server = m_options.hosts.at(index);
        const int port = server.port > 0 ? server.port : 21;
        if (!file.seek(0))
            return fail(Failure::Other, localPath + QStringLiteral(": ") + file.errorString());
        curl_easy_reset(c); // keeps the open session, forgets the last transfer's options
        // The file goes up under a name of its own and takes the real name only once it is whole:
        // a transfer that breaks or is stopped never leaves part of a file where the earlier
        // picture of that name was. Some servers refuse to rename onto an existing name, so the
        // old file is deleted first (a missing one is no error: the leading '*').
        const QByteArray partName = remoteName + ".part";
        const QByteArray url = ftpUrl(server.host, port, partName);
        CurlList finish;
        finish.append("*DELE " + remoteName);
        finish.append("RNFR " + partName);
        finish.append("RNTO " + remoteName);
        char message[CURL_ERROR_SIZE] = {};
        curl_easy_setopt(c, CURLOPT_URL, url.constData());
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
        curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, message);
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(m_options.connectTimeoutSeconds));
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>(m_options.stallTimeoutSeconds));
        curl_easy_setopt(c, CURLOPT_FTPPORT, nullptr); // passive
        curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, type == TransferType::Ascii ? 1L : 0L);
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, readFile);
        curl_easy_setopt(c, CURLOPT_READDATA, &file);
        curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(file.size()));
        curl_easy_setopt(c, CURLOPT_POSTQUOTE, finish.list);
        if (cancel) {
            curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, progress);
            curl_easy_setopt(c, CURLOPT_XFERINFODATA, const_cast<std::atomic_bool*>(cancel));
            curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
        }
        const CURLcode rc = curl_easy_perform(c);
        long reply = 0;
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply);
        curl_easy_setopt(c, CURLOPT_READDATA, nullptr);
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, nullptr);
        curl_easy_setopt(c, CURLOPT_POSTQUOTE, nullptr);
        if (rc == CURLE_OK) {
            m_current = index;
            return true;
        }
        const QString where = QStringLiteral("FTP ") + urlHost(server.host) + QLatin1Char(':') + QString::number(port)
            + QLatin1Char(' ') + QString::fromUtf8(remoteName);
        tried.add(ftpFailure(rc, reply, QString::fromUtf8(message), where));
        // Only a server that never sent a single reply is passed over. Once one has answered, its
        // verdict stands: a refused login would be refused by the others too (one account for
        // all) and only lock it sooner; a refused or broken STOR may have left part of the file
        // in the folder the servers share, and a second server writing the same name at once
        // could leave a mix of both.
        const bool silent = reply == 0
            && (serverUnreachable(c, rc) || rc == CURLE_OPERATION_TIMEDOUT || rc == CURLE_GOT_NOTHING
                || rc == CURLE_RECV_ERROR || rc == CURLE_WEIRD_SERVER_REPLY);
        if (!silent) {
            m_current = index;
            break;
        }
    }
    if (failure)
        *failure = tried;
    return false;
}

FtpConnectionPtr ftpConnect(const FtpConnection::Options& options)
{
    if (options.hosts.isEmpty())
        return nullptr;
    FtpConnection::Options o = options;
    if (o.user.isEmpty())
        o.user = QStringLiteral("anonymous");
    return std::make_shared<FtpConnection>(o);
}

bool ftpPutFile(const FtpConnectionPtr& connection, const QString& localPath, const QByteArray& remoteName,
    FtpConnection::TransferType type, Failure* failure)
{
    if (!connection) {
        if (failure)
            *failure = Failure { Failure::CannotConnect, QStringLiteral("no FTP server") };
        return false;
    }
    return connection->putFile(localPath, remoteName, type, failure);
}

void ftpClose(FtpConnectionPtr& connection)
{
    connection.reset();
}

} // namespace fd::net
