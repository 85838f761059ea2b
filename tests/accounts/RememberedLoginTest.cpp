// The remembered login store: what it writes, and that values of another type read as nothing.
#include "accounts/RememberedLogin.h"

#include <QFile>
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

namespace {

// The remembered password is plain text: a new file, and one that another program left readable
// by others, are the owner's alone after a write.
TEST(RememberedLoginTest, TheFileIsReadableByItsOwnerOnly)
{
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const QFileDevice::Permissions everyone = ownerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    for (const bool existed : {false, true}) {
        SCOPED_TRACE(existed ? "existing file readable by all" : "new file");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Network.ini"));
        if (existed) {
            QSettings(path, QSettings::IniFormat).setValue(QStringLiteral("yhm"), QStringLiteral("sms"));
            ASSERT_TRUE(QFile::setPermissions(path, everyone));
        }
        RememberedLogin(path).remember(QStringLiteral("admin"), QStringLiteral("123456"));
        EXPECT_EQ(QFile::permissions(path) & (everyone | QFileDevice::WriteGroup | QFileDevice::WriteOther), ownerOnly);
        EXPECT_EQ(RememberedLogin(path).password(), QStringLiteral("123456"));
        // Another writer of the same store (the SMS account) keeps it private.
        QSettings(path, QSettings::IniFormat).setValue(QStringLiteral("mm"), QStringLiteral("secret"));
        EXPECT_EQ(QFile::permissions(path) & (everyone | QFileDevice::WriteGroup | QFileDevice::WriteOther), ownerOnly);
    }
}

} // namespace
