// The database host setting read as a list of servers in order of preference.
#include "db/HostList.h"

#include <gtest/gtest.h>

using fd::HostPort;
using fd::parseHostList;

TEST(HostList, EntriesInOrderWithTheirPortsOrTheDefault)
{
    const struct {
        const char* setting;
        QList<HostPort> hosts;
    } cases[] = {
        { "db.example.com", { { "db.example.com", 3310 } } },
        { "", { { "", 3310 } } },
        { "  ", { { "", 3310 } } },
        { "10.0.0.1:3306,10.0.0.2:3307; 10.0.0.3",
            { { "10.0.0.1", 3306 }, { "10.0.0.2", 3307 }, { "10.0.0.3", 3310 } } },
        { "a b\tc", { { "a", 3310 }, { "b", 3310 }, { "c", 3310 } } },
        { "[::1]:4000,[fe80::1],::1", { { "::1", 4000 }, { "fe80::1", 3310 }, { "::1", 3310 } } },
        // a port that cannot be reached leaves its entry out, never a guess in its place
        { "a:0,b:65536,c:x,d:,:3306,[::1]x,e:+5,f:3307", { { "f", 3307 } } },
        { "a:99999", {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        const QList<HostPort> got = parseHostList(QString::fromUtf8(c.setting), 3310);
        ASSERT_EQ(got.size(), c.hosts.size());
        for (qsizetype i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].host.toStdString(), c.hosts[i].host.toStdString());
            EXPECT_EQ(got[i].port, c.hosts[i].port);
        }
    }
}

TEST(HostList, AddressesForMessages)
{
    EXPECT_EQ(fd::db::hostPortText({ "db1", 0 }).toStdString(), "db1:3306");
    EXPECT_EQ(fd::db::hostPortText({ "::1", 4000 }).toStdString(), "[::1]:4000");
}
