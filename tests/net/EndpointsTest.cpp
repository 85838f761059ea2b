// The servers' addresses as the settings give them: the FTP and web servers of a host list.
#include "net/Endpoints.h"

#include "common/Cipher.h"
#include "common/Settings.h"

#include <gtest/gtest.h>

using namespace fd;
using namespace fd::net;

TEST(Endpoints, FtpAndWebServersAreTheHostsOfTheListInOrder)
{
    const struct {
        const char* list;
        QStringList ftp; // "host" of each FTP server (all on port 2121)
        int webPort;
        QStringList web;
    } cases[] = {
        {"db.example.com", {"db.example.com"}, 80, {"http://db.example.com"}},
        // the database ports are the database's; each server machine is asked once
        {"10.0.0.1:3306,10.0.0.2:3307; 10.0.0.3", {"10.0.0.1", "10.0.0.2", "10.0.0.3"}, 8080,
            {"http://10.0.0.1:8080", "http://10.0.0.2:8080", "http://10.0.0.3:8080"}},
        {"127.0.0.1:4031,127.0.0.1:4032 127.0.0.1", {"127.0.0.1"}, 8080, {"http://127.0.0.1:8080"}},
        {"[::1]:4000,[fe80::1],::1,db", {"::1", "fe80::1", "db"}, 8080,
            {"http://[::1]:8080", "http://[fe80::1]:8080", "http://db:8080"}},
        {"数据库.例子.cn", {"数据库.例子.cn"}, 80, {"http://数据库.例子.cn"}},
        {"", {}, 80, {}},
        {" , ", {}, 80, {}},
        // entries the database would not take, and hosts that would change what a URL means
        {"a:0,b:99999,c:x,[::1,d", {"d"}, 80, {"http://d"}},
        {"evil.com/x,user@host,h#1,h?q,[fe80::1%eth0],ok", {"ok"}, 80, {"http://ok"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        QList<HostPort> ftp;
        for (const QString& host : c.ftp)
            ftp.append({host, 2121});
        EXPECT_EQ(serversOf(QString::fromUtf8(c.list), 2121), ftp);
        EXPECT_EQ(webBasesOf(QString::fromUtf8(c.list), c.webPort), c.web);
    }
}

TEST(Endpoints, TheSettingsGiveEveryServerItsAddressAccountAndTimeOuts)
{
    Settings s;
    s.settingKeyA = QStringLiteral("12345678901");
    s.settingKeyB = QStringLiteral("10987654321");
    s.xorMask = 0x5A;
    s.dbHost = encipherSetting(QStringLiteral("10.0.0.1:3306,[2001:db8::7]:3307"), s.settingKeyA, s.xorMask);
    s.dbUser = encipherSetting(QStringLiteral("fleet"), s.settingKeyB, s.xorMask);
    s.ftpPassword = encipherSetting(QStringLiteral("ftp秘密"), s.settingKeyA, s.xorMask);
    s.serverAddress = QStringLiteral("web1,web2:3306");
    s.ftpPort = 2121;
    s.webPort = 8080;
    s.httpConnectTimeoutSeconds = 3;
    s.httpTotalTimeoutSeconds = 17;

    const Endpoints e = endpointsOf(s);
    EXPECT_EQ(e.databaseHosts, QStringLiteral("10.0.0.1:3306,[2001:db8::7]:3307"));
    EXPECT_EQ(e.passwordDatabaseHosts, s.serverAddress);
    EXPECT_EQ(e.databaseUser, QStringLiteral("fleet"));
    EXPECT_EQ(e.ftp.hosts, QList<HostPort>({{"10.0.0.1", 2121}, {"2001:db8::7", 2121}}));
    EXPECT_EQ(e.ftp.user, QStringLiteral("anonymous")); // none set
    EXPECT_EQ(e.ftp.password, QStringLiteral("ftp秘密"));
    EXPECT_EQ(e.webBases, QStringList({QStringLiteral("http://web1:8080"), QStringLiteral("http://web2:8080")}));
    EXPECT_EQ(e.http.connectTimeoutSeconds, 3);
    EXPECT_EQ(e.http.totalTimeoutSeconds, 17);

    // a host setting enciphered with another key reads as empty: no server at all, never a guess
    s.dbHost = encipherSetting(QStringLiteral("10.0.0.1"), s.settingKeyB, s.xorMask);
    EXPECT_TRUE(endpointsOf(s).ftp.hosts.isEmpty());
    EXPECT_EQ(ftpConnect(endpointsOf(s).ftp), nullptr);
}
