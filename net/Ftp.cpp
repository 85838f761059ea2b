#include "net/Ftp.h"

#include "net/CurlFailure.h"
#include "net/CurlSession.h"

#include <QFile>
#include <QRandomGenerator>
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
    CurlSession session;
    CURL* curl = session.handle();
};

FtpConnection::FtpConnection(const Options& options)
    : m_options(options), m_user(options.user.toUtf8()), m_password(options.password.toUtf8()),
      m_handle(std::make_unique<Handle>())
{
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

namespace {

// A name no other upload uses: the part file of one upload, or the earlier file set aside while
// the new one takes its name. Two offices storing the same picture at once never share one.
QByteArray uniqueName(const QByteArray& remoteName, const char* what)
{
    static std::atomic<quint32> counter {0};
    const quint64 random = QRandomGenerator::system()->generate64();
    return remoteName + '.' + what + '-' + QByteArray::number(random & 0xFFFFFFFFFFFFull, 16) + '-'
        + QByteArray::number(++counter, 16);
}

} // namespace

void FtpConnection::prepare(const QByteArray& url, char* message) const
{
    CURL* c = m_handle->curl;
    curl_easy_reset(c); // keeps the open session, forgets the last transfer's options
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(c, CURLOPT_USERNAME, m_user.constData());
    curl_easy_setopt(c, CURLOPT_PASSWORD, m_password.constData());
    curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, message);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(m_options.connectTimeoutSeconds));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>(m_options.stallTimeoutSeconds));
    curl_easy_setopt(c, CURLOPT_FTPPORT, nullptr); // passive
}

FtpConnection::Reply FtpConnection::commands(const HostPort& server, const QList<QByteArray>& lines, int timeoutSeconds)
{
    // No transfer: the commands alone, in order, on the login's folder; the first refused one
    // ends the list.
    CURL* c = m_handle->curl;
    const int port = server.port > 0 ? server.port : 21;
    char message[CURL_ERROR_SIZE] = {};
    prepare(ftpUrl(server.host, port, QByteArray()), message);
    CurlList list;
    for (const QByteArray& line : lines)
        list.append(line);
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(c, CURLOPT_QUOTE, list.list);
    if (timeoutSeconds > 0)
        curl_easy_setopt(c, CURLOPT_TIMEOUT, static_cast<long>(timeoutSeconds));
    Reply r;
    r.code = m_handle->session.perform();
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &r.reply);
    r.message = QString::fromUtf8(message);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(c, CURLOPT_QUOTE, nullptr);
    return r;
}

FtpConnection::Reply FtpConnection::giveName(const HostPort& server, const QByteArray& partName, const QByteArray& remoteName)
{
    // The whole new file takes the name in one step; the earlier file is never deleted before
    // it. A server that renames onto an existing name (most, this program's own among them)
    // replaces it at once.
    Reply r = commands(server, {"RNFR " + partName, "RNTO " + remoteName});
    if (r.code != CURLE_QUOTE_ERROR || r.reply < 500)
        return r;
    // Some servers refuse to rename onto an existing name: the earlier file steps aside under a
    // name of its own, the new one takes its place, and only then is the earlier one deleted. Should
    // the new one still not take the name, the earlier one gets it back.
    // Only a file steps aside (MDTM answers for files alone): a folder of that name is no earlier
    // picture, and the refusal stands.
    const QByteArray aside = uniqueName(remoteName, "old");
    if (commands(server, {"MDTM " + remoteName, "RNFR " + remoteName, "RNTO " + aside}).code != CURLE_OK)
        return r; // nothing stood in the way, or it cannot be moved: the first refusal says why
    r = commands(server, {"RNFR " + partName, "RNTO " + remoteName});
    if (r.code == CURLE_OK)
        commands(server, {"*DELE " + aside});
    else
        commands(server, {"RNFR " + aside, "RNTO " + remoteName});
    return r;
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
    const qsizetype count = m_options.hosts.size();
    // The file goes up under a name of its own and takes the real name only once it is whole: a
    // transfer that breaks or is stopped never leaves part of a file where the earlier picture of
    // that name was, and two uploads of one name at once never write into one file.
    const QByteArray partName = uniqueName(remoteName, "part");
    for (qsizetype step = 0; step < count; ++step) {
        const qsizetype index = (m_current + step) % count;
        const HostPort& server = m_options.hosts.at(index);
        const int port = server.port > 0 ? server.port : 21;
        if (!file.seek(0))
            return fail(Failure::Other, localPath + QStringLiteral(": ") + file.errorString());
        char message[CURL_ERROR_SIZE] = {};
        prepare(ftpUrl(server.host, port, partName), message);
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
        Reply r;
        r.code = m_handle->session.perform();
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &r.reply);
        r.message = QString::fromUtf8(message);
        curl_easy_setopt(c, CURLOPT_READDATA, nullptr);
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, nullptr);
        const bool stored = r.code == CURLE_OK;
        if (stored && cancel && cancel->load())
            r = Reply {CURLE_ABORTED_BY_CALLBACK, 0, QStringLiteral("stopped before the file took its name")};
        else if (stored)
            r = giveName(server, partName, remoteName);
        if (r.code == CURLE_OK) {
            m_current = index;
            return true;
        }
        const QString where = QStringLiteral("FTP ") + urlHost(server.host) + QLatin1Char(':') + QString::number(port)
            + QLatin1Char(' ') + QString::fromUtf8(remoteName);
        tried.add(ftpFailure(r.code, r.reply, r.message, where));
        // Only a server that never sent a single reply is passed over. Once one has answered, its
        // verdict stands: a refused login would be refused by the others too (one account for
        // all) and only lock it sooner; a refused or broken STOR may have left part of the file
        // in the folder the servers share.
        const bool silent = !stored && r.reply == 0
            && (serverUnreachable(c, static_cast<CURLcode>(r.code)) || r.code == CURLE_OPERATION_TIMEDOUT || r.code == CURLE_GOT_NOTHING
                || r.code == CURLE_RECV_ERROR || r.code == CURLE_WEIRD_SERVER_REPLY);
        if (!silent) {
            m_current = index;
            // What this upload left behind goes, where the server still takes a command (a
            // missing part file is no error: the leading '*').
            commands(server, {"*DELE " + partName}, m_options.connectTimeoutSeconds);
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
