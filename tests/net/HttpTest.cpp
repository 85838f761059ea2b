// httpGet and the connectivity test against the stack's web server and a raw socket peer that
// records the request or never answers.
#include "net/Http.h"

#include "../support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <arpa/inet.h>
#include <atomic>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace fd::net;

namespace {

// A one-connection HTTP peer on 127.0.0.1: records the request head, then sends the reply, or
// (with no reply) holds the connection open until it is destroyed.
class RawPeer {
public:
    explicit RawPeer(QByteArray reply = QByteArray()) : m_reply(std::move(reply))
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listen, 4);
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~RawPeer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listen);
    }
    int port() const { return m_port; }
    QString url(const QString& path = QStringLiteral("/")) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }
    // Waits for the serving thread to have read the request head.
    QByteArray request()
    {
        for (int i = 0; i < 200 && !m_done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return m_request;
    }

private:
    bool waitReadable(int fd)
    {
        while (!m_stop) {
            pollfd p {fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0)
                return true;
        }
        return false;
    }

    void serve()
    {
        if (!waitReadable(m_listen))
            return;
        const int fd = ::accept(m_listen, nullptr, nullptr);
        if (fd < 0)
            return;
        QByteArray head;
        char buffer[4096];
        while (!head.contains("\r\n\r\n") && waitReadable(fd)) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            head.append(buffer, n);
        }
        m_request = head;
        m_done = true;
        if (!m_reply.isNull())
            ::send(fd, m_reply.constData(), static_cast<size_t>(m_reply.size()), MSG_NOSIGNAL);
        else
            while (!m_stop) // a hung server: accepts, reads, never answers
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ::close(fd);
    }

    QByteArray m_reply;
    int m_listen = -1;
    int m_port = 0;
    std::thread m_thread;
    std::atomic_bool m_stop {false};
    std::atomic_bool m_done {false};
    QByteArray m_request;
};

QString webUrl(const QString& path)
{
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(fd::test::stackSettings().webPort).arg(path);
}

HttpOptions quick(int totalSeconds = 5)
{
    HttpOptions o;
    o.connectTimeoutSeconds = 2;
    o.totalTimeoutSeconds = totalSeconds;
    return o;
}

} // namespace

using fd::test::closedPort;

TEST(HttpGet, WholeBodyByteExactFromTheWebServer)
{
    QByteArray body;
    for (int i = 0; i < 300000; ++i)
        body.append(static_cast<char>((i * 7) & 0xFF)); // NUL and 0xFF bytes included
    const QString path = QDir(fd::test::stackDir()).filePath(QStringLiteral("pic/fd_net_body.bin"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(body);
    file.close();
    EXPECT_EQ(httpGet(webUrl(QStringLiteral("fd_net_body.bin")), quick()), body);
    QFile::remove(path);

    // a missing page still returns the server's body
    const QByteArray notFound = httpGet(webUrl(QStringLiteral("fd_no_such_file.jpg")), quick());
    EXPECT_TRUE(notFound.contains("404")) << notFound.left(200).toStdString();
}

TEST(HttpGet, RequestIsHttp10WithTheOldBrowserHeadersAndNoCache)
{
    RawPeer peer("HTTP/1.0 500 Internal Server Error\r\nContent-Type: text/plain\r\n\r\n失败 body");
    qputenv("http_proxy", "http://127.0.0.1:1"); // must be ignored: no proxy
    const QByteArray got = httpGet(peer.url(QStringLiteral("/sms/send?u=a&t=%E8%BD%A6")), quick());
    qunsetenv("http_proxy");
    EXPECT_EQ(got, QByteArray("失败 body")) << "the body whatever the status";
    const QByteArray request = peer.request();
    EXPECT_TRUE(request.startsWith("GET /sms/send?u=a&t=%E8%BD%A6 HTTP/1.0\r\n")) << request.toStdString();
    EXPECT_TRUE(request.contains("\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n")) << request.toStdString();
    EXPECT_TRUE(request.contains("\r\nAccept: */*\r\n")) << request.toStdString();
    EXPECT_TRUE(request.contains("\r\nPragma: no-cache\r\n")) << request.toStdString();
}

TEST(HttpGet, FailuresGiveNoBytes)
{
    EXPECT_TRUE(httpGet(QStringLiteral("http://127.0.0.1:%1/").arg(closedPort()), quick()).isEmpty());
    EXPECT_TRUE(httpGet(QString(), quick()).isEmpty());
    EXPECT_TRUE(httpGet(QStringLiteral("not a url"), quick()).isEmpty());
    // only http and https: a URL from a setting can never read local files
    EXPECT_TRUE(httpGet(QStringLiteral("file:///etc/hostname"), quick()).isEmpty());
    EXPECT_TRUE(httpGet(QStringLiteral("ftp://127.0.0.1:%1/").arg(fd::test::stackSettings().ftpPort), quick()).isEmpty());
    // a reply that stops half-way is a failure, not a short body
    RawPeer truncated("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly part");
    EXPECT_TRUE(httpGet(truncated.url(), quick()).isEmpty());
}

TEST(HttpGet, HungServerIsGivenUpAfterTheTotalTimeOut)
{
    RawPeer hung;
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(httpGet(hung.url(), quick(1)).isEmpty());
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_GE(timer.elapsed(), 900);
    EXPECT_TRUE(hung.request().startsWith("GET / HTTP/1.0"));
}

TEST(HttpGet, CancelFlagEndsTheTransferEarly)
{
    RawPeer hung;
    std::atomic_bool cancel {false};
    HttpOptions options = quick(20);
    options.cancel = &cancel;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel = true;
    });
    QElapsedTimer timer;
    timer.start();
    const QByteArray got = httpGet(hung.url(), options);
    canceller.join();
    EXPECT_TRUE(got.isEmpty());
    EXPECT_LT(timer.elapsed(), 3000);
}

TEST(Connectivity, OpensTheConfiguredPage)
{
    const fd::Settings s = fd::test::stackSettings();
    EXPECT_TRUE(isOnline(s.connectivityUrl, quick()));
    EXPECT_FALSE(isOnline(QStringLiteral("http://127.0.0.1:%1/").arg(closedPort()), quick()));
    EXPECT_FALSE(isOnline(QString(), quick()));

    RawPeer peer("HTTP/1.0 200 OK\r\n\r\nok");
    EXPECT_TRUE(isOnline(peer.url(), quick()));
    const QByteArray request = peer.request();
    EXPECT_TRUE(request.contains("\r\nUser-Agent: test\r\n")) << request.toStdString();
    EXPECT_TRUE(request.contains("\r\nPragma: no-cache\r\n")) << request.toStdString();

    RawPeer hung;
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(isOnline(hung.url(), quick(1)));
    EXPECT_LT(timer.elapsed(), 3000);
}
