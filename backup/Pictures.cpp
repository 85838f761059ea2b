#include "backup/Pictures.h"

#include "backup/Tools.h"
#include "net/CurlSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace fd::backup {
namespace {

    // The FTP sessions that fetch the pictures side by side.
    constexpr qsizetype kSessions = 4;

    size_t toBytes(char* data, size_t size, size_t count, void* user)
    {
        static_cast<QByteArray*>(user)->append(data, static_cast<qsizetype>(size * count));
        return size * count;
    }

    size_t toFile(char* data, size_t size, size_t count, void* user)
    {
        const qint64 n = static_cast<QFile*>(user)->write(data, static_cast<qint64>(size * count));
        return n < 0 ? 0 : static_cast<size_t>(n);
    }

    // One transfer of the session: the URL, the account, passive mode, no proxy.
    CURLcode transfer(net::CurlSession& session, const net::FtpConnection::Options& ftp, const QByteArray& url, bool listOnly,
        curl_write_callback write, void* sink, QString* message)
    {
        const QByteArray user = ftp.user.toUtf8();
        const QByteArray password = ftp.password.toUtf8();
        char buffer[CURL_ERROR_SIZE] = {};
        CURL* c = session.handle();
        curl_easy_reset(c); // keeps the session open
        curl_easy_setopt(c, CURLOPT_URL, url.constData());
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
        curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, buffer);
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(ftp.connectTimeoutSeconds));
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>(ftp.stallTimeoutSeconds));
        curl_easy_setopt(c, CURLOPT_DIRLISTONLY, listOnly ? 1L : 0L);
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, write);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, sink);
        const CURLcode rc = session.perform();
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, nullptr);
        *message = QString::fromUtf8(buffer[0] ? buffer : curl_easy_strerror(rc));
        return rc;
    }

} // namespace

bool listPictures(const net::FtpConnection::Options& ftp, QList<QByteArray>* names, HostPort* answered, QString* error)
{
    names->clear();
    net::CurlSession curl;
    if (!curl.handle()) {
        *error = QStringLiteral("libcurl 无法初始化");
        return false;
    }
    QByteArray listing;
    QString message;
    QStringList tried;
    for (const HostPort& server : ftp.hosts) {
        *answered = server;
        if (answered->port <= 0)
            answered->port = 21;
        listing.clear();
        const CURLcode rc = transfer(curl, ftp, net::ftpUrl(answered->host, answered->port, QByteArray()), true, toBytes,
            &listing, &message);
        if (rc == CURLE_OK) {
            tried.clear();
            break;
        }
        tried.append(QStringLiteral("%1:%2 %3").arg(answered->host).arg(answered->port).arg(message));
    }
    if (ftp.hosts.isEmpty() || !tried.isEmpty()) {
        *error = QStringLiteral("读不到 FTP 服务器上的图片目录：%1").arg(tried.isEmpty() ? QStringLiteral("设置里没有服务器") : tried.join(QStringLiteral("；")));
        return false;
    }
    for (QByteArray name : listing.split('\n')) {
        name = name.trimmed();
        if (!name.isEmpty() && !name.startsWith('.') && !name.contains('/') && !name.endsWith(".part"))
            names->append(name);
    }
    return true;
}

bool uploadPictures(const net::FtpConnection::Options& ftp, const QString& folder, const QStringList& pictures,
    PresentPictures present, int* sent, QString* error)
{
    *sent = 0;
    QList<QByteArray> there;
    HostPort server;
    if (present == PresentPictures::Kept && !listPictures(ftp, &there, &server, error))
        return false;
    net::FtpConnectionPtr connection = net::ftpConnect(ftp);
    for (const QString& name : pictures) {
        if (there.contains(QFile::encodeName(name)))
            continue;
        net::Failure failure;
        if (!net::ftpPutFile(connection, QDir(folder).filePath(name), QFile::encodeName(name),
                net::FtpConnection::TransferType::Binary, &failure)) {
            *error = QStringLiteral("图片 %1 传不上 FTP 服务器").arg(name);
            return false;
        }
        ++*sent;
    }
    return true;
}

bool downloadPictures(const net::FtpConnection::Options& ftp, const QString& folder, QList<PictureFile>* files,
    QString* error)
{
    files->clear();
    QList<QByteArray> names;
    HostPort server;
    if (!listPictures(ftp, &names, &server, error))
        return false;
    const QString host = server.host;
    const int port = server.port;

    // A few sessions side by side, each taking every n-th name: one transfer waiting on a slow
    // server holds up only its own session.
    const int sessions = static_cast<int>(std::clamp<qsizetype>(names.size() / 8, 1, kSessions));
    std::vector<QList<PictureFile>> taken(static_cast<std::size_t>(sessions));
    std::vector<QString> failures(static_cast<std::size_t>(sessions));
    std::atomic<bool> failed {false};
    auto fetch = [&](int session) {
        net::CurlSession own;
        QString& failure = failures[static_cast<std::size_t>(session)];
        if (!own.handle()) {
            failure = QStringLiteral("libcurl 无法初始化");
            failed = true;
            return;
        }
        QString said;
        for (qsizetype i = session; i < names.size() && !failed; i += sessions) {
            const QByteArray& name = names[i];
            PictureFile picture;
            picture.name = QFile::decodeName(name);
            const QString path = QDir(folder).filePath(picture.name);
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                failure = QStringLiteral("写不了 %1：%2").arg(path, file.errorString());
                failed = true;
                return;
            }
            const CURLcode rc = transfer(own, ftp, net::ftpUrl(host, port, name), false, toFile, &file, &said);
            file.close();
            if (rc == CURLE_REMOTE_FILE_NOT_FOUND) { // deleted meanwhile, or a folder
                QFile::remove(path);
                continue;
            }
            if (rc != CURLE_OK) {
                failure = QStringLiteral("从 FTP 服务器取不到图片 %1：%2").arg(picture.name, said);
                failed = true;
                return;
            }
            picture.bytes = QFileInfo(path).size();
            picture.sha256 = fileSha256(path);
            taken[static_cast<std::size_t>(session)].append(picture);
        }
    };
    std::vector<std::thread> workers;
    for (int session = 1; session < sessions; ++session)
        workers.emplace_back(fetch, session);
    fetch(0);
    for (std::thread& worker : workers)
        worker.join();
    for (const QString& failure : failures) {
        if (!failure.isEmpty()) {
            *error = failure;
            return false;
        }
    }
    // In the order of the server's listing, as one session would have taken them.
    for (qsizetype i = 0; i < names.size(); ++i) {
        QList<PictureFile>& list = taken[static_cast<std::size_t>(i % sessions)];
        const QString name = QFile::decodeName(names[i]);
        if (!list.isEmpty() && list.constFirst().name == name)
            files->append(list.takeFirst());
    }
    return true;
}

} // namespace fd::backup
