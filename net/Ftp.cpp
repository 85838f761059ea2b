#include "net/Ftp.h"

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
    return "ftp://" + host.toUtf8() + ':' + QByteArray::number(port) + '/' + remoteName.toPercentEncoding();
}

bool FtpConnection::putFile(const QString& localPath, const QByteArray& remoteName, TransferType type, QString* error,
    const std::atomic_bool* cancel)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (remoteName.isEmpty())
        return fail(QStringLiteral("no remote file name"));
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());

    std::lock_guard lock(m_mutex);
    CURL* c = m_handle->curl;
    if (!c)
        return fail(QStringLiteral("no FTP session"));
    curl_easy_reset(c); // keeps the open session, forgets the last transfer's options
    const QByteArray url = ftpUrl(m_options.host, m_options.port, remoteName);
    const QByteArray user = m_options.user.toUtf8();
    const QByteArray password = m_options.password.toUtf8();
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
    if (cancel) {
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, progress);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, const_cast<std::atomic_bool*>(cancel));
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    }
    const CURLcode rc = curl_easy_perform(c);
    curl_easy_setopt(c, CURLOPT_READDATA, nullptr);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, nullptr);
    if (rc != CURLE_OK)
        return fail(QString::fromUtf8(message[0] ? message : curl_easy_strerror(rc)));
    return true;
}

FtpConnectionPtr ftpConnect(const QString& host, const QString& user, const QString& password, int port)
{
    if (host.isEmpty())
        return nullptr;
    FtpConnection::Options options;
    options.host = host;
    if (!user.isEmpty())
        options.user = user;
    options.password = password;
    options.port = port > 0 ? port : 21;
    auto connection = std::make_shared<FtpConnection>(options);
    return connection;
}

bool ftpPutFile(const FtpConnectionPtr& connection, const QString& localPath, const QByteArray& remoteName,
    FtpConnection::TransferType type, QString* error)
{
    if (!connection) {
        if (error)
            *error = QStringLiteral("no FTP session");
        return false;
    }
    return connection->putFile(localPath, remoteName, type, error);
}

void ftpClose(FtpConnectionPtr& connection)
{
    connection.reset();
}

} // namespace fd::net
