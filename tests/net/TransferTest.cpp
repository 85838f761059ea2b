// Transfers to a list of servers against the stack's FTP and web servers: the first server that
// answers takes the request and is remembered, a server that answers with a refusal is not passed
// over, and the common failures read in Chinese with libcurl's own text kept for support.
#include "net/Endpoints.h"

#include "../support/FtpServer.h"
#include "../support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace fd;
using namespace fd::net;
using fd::test::closedPort;

namespace {

// Loopback too, but the stack's servers listen on 127.0.0.1 only: connecting here is refused.
const QString kDown = QStringLiteral("127.0.0.2");
const QString kUp = QStringLiteral("127.0.0.1");

FtpConnection::Options stackFtp(const QList<HostPort>& hosts)
{
    FtpConnection::Options o = endpointsOf(test::stackSettings()).ftp;
    o.hosts = hosts;
    o.connectTimeoutSeconds = 5; // the stack's server answers a wrong password after 3 s
    return o;
}

HttpOptions quick(int totalSeconds = 5)
{
    HttpOptions o;
    o.connectTimeoutSeconds = 2;
    o.totalTimeoutSeconds = totalSeconds;
    return o;
}

QString web(const QString& host, const QString& name)
{
    return QStringLiteral("http://%1:%2/%3").arg(host).arg(test::stackSettings().webPort).arg(name);
}

QString served(const QString& name)
{
    return QDir(test::stackDir() + QStringLiteral("/pic")).filePath(name);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A server that takes connections into its backlog and never says a word.
struct SilentServer {
    SilentServer()
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fd, 4);
        socklen_t len = sizeof addr;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
        port = ntohs(addr.sin_port);
    }
    ~SilentServer() { ::close(fd); }
    int fd = -1;
    int port = 0;
};

class Transfers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        local = temp.filePath(QStringLiteral("local.bin"));
        QFile f(local);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 70000; ++i)
            bytes.append(static_cast<char>((i * 13) & 0xFF));
        f.write(bytes);
    }
    QTemporaryDir temp;
    QString local;
    QByteArray bytes;
};

} // namespace

TEST_F(Transfers, TheFirstServerThatAnswersTakesTheFileAndIsAskedFirstNextTime)
{
    const int ftpPort = test::stackSettings().ftpPort;
    const QByteArray name = "fd_failover_豫.bin";
    QFile::remove(served(QString::fromUtf8(name)));
    auto ftp = ftpConnect(stackFtp({{kDown, ftpPort}, {kUp, ftpPort}}));
    ASSERT_TRUE(ftp);
    Failure failure;
    ASSERT_TRUE(ftp->putFile(local, name, FtpConnection::TransferType::Binary, &failure)) << failure.technical.toStdString();
    EXPECT_EQ(readFile(served(QString::fromUtf8(name))), bytes);
    EXPECT_EQ(ftp->currentHost(), HostPort({kUp, ftpPort}));
    ASSERT_TRUE(ftp->putFile(local, "fd_failover_2.bin", FtpConnection::TransferType::Binary, &failure));
    EXPECT_EQ(readFile(served(QStringLiteral("fd_failover_2.bin"))), bytes);

    // back over HTTP, from the first web server that answers
    const QStringList urls = webUrls({web(kDown, {}).chopped(1), web(kUp, {}).chopped(1)}, name);
    EXPECT_EQ(httpGetFirst(urls, quick(), &failure), bytes) << failure.technical.toStdString();
}

// Two offices store the same name at once, each its own file, on a server slow enough that the
// transfers overlap: each reports that it stored its file, the name ends with one of the two whole
// files, and no part file is left.
TEST_F(Transfers, TwoUploadsOfOneNameAtOnceEndWithOneWholeFile)
{
    const int port = test::stackSettings().dbPort + 80;
    test::FtpServer server(port, {QStringLiteral("--upload-rate"), QStringLiteral("50000")});
    ASSERT_TRUE(server.started());
    const QByteArray name = "fd_both.bin";
    QFile::remove(served(QString::fromUtf8(name)));
    const QString otherLocal = temp.filePath(QStringLiteral("other.bin"));
    const QByteArray other = QByteArray(bytes.size(), 'x');
    QFile f(otherLocal);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(other) == other.size());
    f.close();
    bool stored[2] = {false, false};
    Failure failures[2];
    auto put = [&](int i, const QString& path) {
        stored[i] = ftpConnect(stackFtp({{kUp, port}}))->putFile(path, name, FtpConnection::TransferType::Binary, &failures[i]);
    };
    std::thread first(put, 0, local), second(put, 1, otherLocal);
    first.join();
    second.join();
    EXPECT_TRUE(stored[0]) << failures[0].technical.toStdString();
    EXPECT_TRUE(stored[1]) << failures[1].technical.toStdString();
    const QByteArray kept = readFile(served(QString::fromUtf8(name)));
    EXPECT_TRUE(kept == bytes || kept == other) << kept.size() << " bytes";
    EXPECT_EQ(QDir(served({})).entryList({QStringLiteral("fd_both.bin.*")}, QDir::Files), QStringList());
}

// Every request names a second server that does not answer: it is tried only after a first
// server that did not answer either, never after one that answered with a refusal.
TEST_F(Transfers, CommonFailuresReadInChineseWithTheTechnicalTextKeptAndAnAnswerIsFinal)
{
    const Settings s = test::stackSettings();
    const int closed = closedPort();
    const HostPort second {kDown, s.ftpPort};
    const QString secondWeb = web(kDown, QStringLiteral("a.jpg"));
    SilentServer silent;
    QDir(served({})).mkpath(QStringLiteral("fd_a_folder.jpg"));
    auto put = [&](FtpConnection::Options o, const QByteArray& name) {
        Failure f;
        EXPECT_FALSE(ftpConnect(o)->putFile(local, name, FtpConnection::TransferType::Binary, &f));
        return f;
    };
    auto get = [&](const QString& url, int totalSeconds = 5) {
        Failure f;
        EXPECT_TRUE(httpGetFirst({url, secondWeb}, quick(totalSeconds), &f).isEmpty());
        return f;
    };
    FtpConnection::Options wrongPassword = stackFtp({{kUp, s.ftpPort}, second});
    wrongPassword.password = QStringLiteral("wrong");

    const QList<std::tuple<const char*, std::function<Failure()>, Failure::Kind, QString, QStringList, int>> cases = {
        {"FTP server down", [&] { return put(stackFtp({{kUp, closed}, second}), "x.bin"); }, Failure::CannotConnect,
            QStringLiteral("无法连接"), {QStringLiteral("127.0.0.1:%1").arg(closed), QStringLiteral("connect")}, 2},
        {"FTP password refused", [&] { return put(wrongPassword, "x.bin"); }, Failure::LoginRefused,
            QStringLiteral("拒绝登录"), {QStringLiteral("530"), QStringLiteral("Access denied")}, 1},
        {"FTP file refused", [&] { return put(stackFtp({{kUp, s.ftpPort}, second}), "fd_a_folder.jpg"); },
            Failure::FileRefused, QStringLiteral("拒绝保存"), {QStringLiteral("550"), QStringLiteral("fd_a_folder.jpg")}, 1},
        {"web server down", [&] { return get(QStringLiteral("http://127.0.0.1:%1/a.jpg").arg(closed)); },
            Failure::CannotConnect, QStringLiteral("无法连接"), {QStringLiteral("http://127.0.0.1:%1/a.jpg").arg(closed)}, 2},
        {"web server silent", [&] { return get(QStringLiteral("http://127.0.0.1:%1/a.jpg").arg(silent.port), 1); },
            Failure::TimedOut, QStringLiteral("超时"), {QStringLiteral("timed out")}, 1},
        {"web page missing", [&] { return get(web(kUp, QStringLiteral("fd_missing.jpg"))); }, Failure::NotFound,
            QStringLiteral("没有找到"), {QStringLiteral("HTTP 404"), web(kUp, QStringLiteral("fd_missing.jpg"))}, 1},
    };
    for (const auto& [what, run, kind, reason, technical, tried] : cases) {
        SCOPED_TRACE(what);
        const Failure f = run();
        EXPECT_EQ(f.kind, kind) << f.technical.toStdString();
        EXPECT_TRUE(f.text().contains(reason)) << f.text().toStdString();
        // the user's text is Chinese only: no English word of libcurl's, no address
        EXPECT_FALSE(f.text().contains(QRegularExpression(QStringLiteral("[A-Za-z0-9]")))) << f.text().toStdString();
        for (const QString& part : technical)
            EXPECT_TRUE(f.technical.contains(part)) << f.technical.toStdString() << " lacks " << part.toStdString();
        EXPECT_EQ(f.technical.count(QLatin1Char('\n')) + 1, tried) << f.technical.toStdString();
        EXPECT_FALSE(f.technical.contains(QStringLiteral("ftppass")));
    }
}
