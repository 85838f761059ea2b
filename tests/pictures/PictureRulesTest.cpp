// The addresses a picture is fetched from and stored under: no server needed.
#include "net/Ftp.h"
#include "pictures/PictureFiles.h"

#include <gtest/gtest.h>

using namespace fd;
using namespace fd::vehicles;
using namespace fd::pictures;

namespace {

TEST(PictureRules, AddressesEscapeEveryReservedByte)
{
    // UTF-8 by default, GBK on request (a name GBK cannot hold is not sent); one URL per server.
    const QStringList bases {QStringLiteral("http://10.0.0.5"), QStringLiteral("http://[::1]:8080")};
    EXPECT_EQ(thumbnailUrls(bases, QStringLiteral("豫 #?.jpg"), false),
        QStringList({QStringLiteral("http://10.0.0.5/%E8%B1%AB%20%23%3F.jpg"), QStringLiteral("http://[::1]:8080/%E8%B1%AB%20%23%3F.jpg")}));
    EXPECT_EQ(thumbnailUrls(bases.mid(0, 1), QStringLiteral("豫"), true), QStringList {QStringLiteral("http://10.0.0.5/%D4%A5")});
    EXPECT_TRUE(serverNameBytes(QString::fromUtf8("\xF0\x9F\x98\x80.jpg"), true).isEmpty());
    EXPECT_EQ(net::ftpUrl(QStringLiteral("h"), 21, "a b/c"), QByteArray("ftp://h:21/a%20b%2Fc"));
}

} // namespace
