// The remembered login store: what it writes, and that values of another type read as nothing.
#include "accounts/RememberedLogin.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using fd::accounts::RememberedLogin;

namespace {

TEST(RememberedLoginTest, WritesTheThreeValuesAndReadsThemBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Network.ini"));
    RememberedLogin(path).remember(QStringLiteral("张三, 李四"), QStringLiteral("p=w;\"x\""));

    RememberedLogin store(path);
    EXPECT_EQ(store.userName(), QStringLiteral("张三, 李四"));
    EXPECT_EQ(store.password(), QStringLiteral("p=w;\"x\""));
    EXPECT_EQ(store.ticked(), 1);
    // Other values under the same key are none of its business.
    QSettings(path, QSettings::IniFormat).setValue(QStringLiteral("yhm"), QStringLiteral("sms"));
    EXPECT_EQ(RememberedLogin(path).userName(), QStringLiteral("张三, 李四"));
}

TEST(RememberedLoginTest, MissingOrOtherTypedValuesReadAsEmpty)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Network.ini"));
    {
        RememberedLogin empty(path);
        EXPECT_TRUE(empty.userName().isEmpty());
        EXPECT_TRUE(empty.password().isEmpty());
        EXPECT_EQ(empty.ticked(), 0);
    }
    {
        QSettings ini(path, QSettings::IniFormat);
        ini.setValue(QStringLiteral("dlyhm"), QStringList { QStringLiteral("a"), QStringLiteral("b") });
        ini.setValue(QStringLiteral("dlmm"), QByteArray("\x01\x02", 2));
        ini.setValue(QStringLiteral("dlxz"), QStringLiteral("one"));
    }
    RememberedLogin store(path);
    EXPECT_TRUE(store.userName().isEmpty());
    EXPECT_TRUE(store.password().isEmpty());
    EXPECT_EQ(store.ticked(), 0);
}

TEST(RememberedLoginTest, TheDefaultStoreIsTheUsersNetworkSettings)
{
    const QString location = RememberedLogin().location();
#ifdef Q_OS_WIN
    EXPECT_EQ(location, QStringLiteral("\\HKEY_CURRENT_USER\\Network"));
#else
    EXPECT_TRUE(location.endsWith(QStringLiteral("/fleetdesk/Network.ini"))) << location.toStdString();
#endif
}

} // namespace
