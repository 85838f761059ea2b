// The staff accounts against the stack's server, on a database of their own: a plain password
// turned into a hash at its first login, the lock after five wrong passwords, the passwords to be
// changed, and the last administrator who stays.
#include "accounts/PasswordHash.h"
#include "accounts/Staff.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace fd;
using namespace fd::accounts;
using fd::test::mustExecute;
using fd::test::queryValue;

namespace {

const QString kMachine = QStringLiteral("前台电脑");

class StaffTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = fd::test::freshDatabase(QStringLiteral("fd_staff_test"));
        ASSERT_TRUE(db);
    }

    void addPlainUser(const QString& name, const QString& password)
    {
        mustExecute(db, db::Statement("insert into mimabiao (yonghuming, mima) values (?, ?)").bind(name).bind(password));
    }

    LoginOutcome login(const QString& name, const QString& password, bool keepPlain = false)
    {
        return checkPassword(*db, name, password, kMachine, keepPlain);
    }

    QString plainOf(const QString& name)
    {
        return queryValue(db, db::Statement("select mima from mimabiao where yonghuming=?").bind(name));
    }

    QString hashOf(const QString& name)
    {
        return queryValue(db, db::Statement("select mimahash from yonghuzhanghu where yonghuming=?").bind(name));
    }

    QStringList logOf(const QString& name)
    {
        QStringList results;
        for (const LoginRecord& r : loginLog(*db, name, 100))
            results.prepend(r.result);
        return results;
    }

    db::ConnectionPtr db;
};

TEST_F(StaffTest, APlainAccountLogsInOnceTheOldWayAndIsHashedWithItsPlainPasswordGone)
{
    // Quotes and a backslash in the plain password: the old check still finds it, and nothing else.
    const QString password = QStringLiteral("p'w\\老密码1");
    addPlainUser(QStringLiteral("zhang"), password);
    addPlainUser(QStringLiteral("admin"), QStringLiteral("adminpass1"));
    ASSERT_TRUE(fillAccountsFromUsersTable(*db));
    ASSERT_TRUE(fillAccountsFromUsersTable(*db)); // a second fill adds nothing and fails nothing
    EXPECT_EQ(queryValue(db, QStringLiteral("select count(*) from yonghuzhanghu")), QStringLiteral("2"));
    EXPECT_EQ(hashOf(QStringLiteral("zhang")), QString());

    const LoginOutcome first = login(QStringLiteral("zhang"), password);
    ASSERT_EQ(first.kind, LoginOutcome::Passed) << first.error.toStdString();
    EXPECT_EQ(first.role, Role::Clerk);
    EXPECT_EQ(login(QStringLiteral("admin"), QStringLiteral("adminpass1")).role, Role::Admin);

    EXPECT_TRUE(hashOf(QStringLiteral("zhang")).startsWith(QLatin1String("$argon2id$")));
    EXPECT_TRUE(verifyPassword(password, hashOf(QStringLiteral("zhang"))));
    EXPECT_EQ(queryValue(db, db::Statement("select count(*) from mimabiao where mima=? or mima=?")
                                 .bind(password)
                                 .bind(QStringLiteral("adminpass1"))),
        QStringLiteral("0"));
    // What replaces it lets no one in: neither the old password nor an empty one.
    EXPECT_TRUE(plainOf(QStringLiteral("zhang")).startsWith(QLatin1String("$cleared$")));
    EXPECT_EQ(login(QStringLiteral("zhang"), password).kind, LoginOutcome::Passed);
    EXPECT_EQ(login(QStringLiteral("zhang"), QString()).kind, LoginOutcome::WrongPassword);
    // The hash compares exactly, where the old check went by the column's collation.
    EXPECT_EQ(login(QStringLiteral("zhang"), password.toUpper()).kind, LoginOutcome::WrongPassword);
    EXPECT_EQ(login(QStringLiteral("nobody"), password).kind, LoginOutcome::WrongPassword);
    EXPECT_EQ(logOf(QStringLiteral("zhang")),
        (QStringList {QStringLiteral("成功"), QStringLiteral("成功"), QStringLiteral("密码错误"), QStringLiteral("密码错误")}));
    EXPECT_EQ(logOf(QStringLiteral("nobody")), QStringList {QStringLiteral("无此用户")});
}

TEST_F(StaffTest, AnOfficeThatKeepsPlainPasswordsKeepsThemBesideTheHash)
{
    addPlainUser(QStringLiteral("li"), QStringLiteral("oldpassword"));
    ASSERT_TRUE(fillAccountsFromUsersTable(*db));
    ASSERT_EQ(login(QStringLiteral("li"), QStringLiteral("oldpassword"), true).kind, LoginOutcome::Passed);
    EXPECT_FALSE(hashOf(QStringLiteral("li")).isEmpty());
    EXPECT_EQ(plainOf(QStringLiteral("li")), QStringLiteral("oldpassword"));
    ASSERT_TRUE(setPassword(*db, QStringLiteral("li"), QStringLiteral("newpassword"), true));
    EXPECT_EQ(plainOf(QStringLiteral("li")), QStringLiteral("newpassword"));
    ASSERT_TRUE(setPassword(*db, QStringLiteral("li"), QStringLiteral("thirdpassword"), false));
    EXPECT_TRUE(plainOf(QStringLiteral("li")).startsWith(QLatin1String("$cleared$")));
    EXPECT_EQ(login(QStringLiteral("li"), QStringLiteral("thirdpassword")).kind, LoginOutcome::Passed);
}

TEST_F(StaffTest, FiveWrongPasswordsLockTheUserUntilAnAdministratorUnlocks)
{
    ASSERT_EQ(addAccount(*db, QStringLiteral("wang"), Role::Cashier, QStringLiteral("rightpass"), false), QString());
    for (int i = 1; i <= 4; ++i) {
        const LoginOutcome wrong = login(QStringLiteral("wang"), QStringLiteral("guess%1").arg(i));
        ASSERT_EQ(wrong.kind, LoginOutcome::WrongPassword);
        EXPECT_FALSE(wrong.lockedUntil.isValid()) << i;
    }
    const LoginOutcome fifth = login(QStringLiteral("wang"), QStringLiteral("guess5"));
    ASSERT_EQ(fifth.kind, LoginOutcome::WrongPassword);
    ASSERT_TRUE(fifth.lockedUntil.isValid());
    const QDateTime serverNow = QDateTime::fromString(queryValue(db, QStringLiteral("select now()")), Qt::ISODate);
    EXPECT_NEAR(serverNow.secsTo(fifth.lockedUntil), kLockoutMinutes * 60, 5);
    EXPECT_TRUE(refusalMessage(fifth).contains(fifth.lockedUntil.toString(QStringLiteral("HH:mm"))));

    // Even the right password is refused while the lock lasts, and the attempt is logged.
    const LoginOutcome locked = login(QStringLiteral("wang"), QStringLiteral("rightpass"));
    EXPECT_EQ(locked.kind, LoginOutcome::Locked);
    EXPECT_EQ(locked.lockedUntil, fifth.lockedUntil);
    EXPECT_EQ(logOf(QStringLiteral("wang")).count(QStringLiteral("密码错误")), 5);
    EXPECT_EQ(logOf(QStringLiteral("wang")).last(), QStringLiteral("已锁定"));

    ASSERT_EQ(unlockAccount(*db, QStringLiteral("wang")), QString());
    // The failures before the unlock count no more: one more wrong password does not lock again.
    EXPECT_FALSE(login(QStringLiteral("wang"), QStringLiteral("guess6")).lockedUntil.isValid());
    EXPECT_EQ(login(QStringLiteral("wang"), QStringLiteral("rightpass")).kind, LoginOutcome::Passed);

    // Failures older than the window do not count either.
    mustExecute(db, QStringLiteral("update denglujilu set shijian=now() - interval 16 minute"));
    mustExecute(db, QStringLiteral("update yonghuzhanghu set zuihoudenglu=null, jiesuoshijian=null"));
    for (int i = 0; i < kLockoutFailures - 1; ++i)
        login(QStringLiteral("wang"), QStringLiteral("again"));
    EXPECT_EQ(login(QStringLiteral("wang"), QStringLiteral("rightpass")).kind, LoginOutcome::Passed);
}

TEST_F(StaffTest, ADisabledUserIsRefusedWhateverThePassword)
{
    ASSERT_EQ(addAccount(*db, QStringLiteral("zhao"), Role::Reader, QStringLiteral("readonly1"), false), QString());
    ASSERT_EQ(addAccount(*db, QStringLiteral("boss"), Role::Admin, QStringLiteral("bosspass1"), false), QString());
    ASSERT_EQ(setDisabled(*db, QStringLiteral("zhao"), true), QString());
    EXPECT_EQ(login(QStringLiteral("zhao"), QStringLiteral("readonly1")).kind, LoginOutcome::Disabled);
    ASSERT_EQ(setDisabled(*db, QStringLiteral("zhao"), false), QString());
    const LoginOutcome back = login(QStringLiteral("zhao"), QStringLiteral("readonly1"));
    EXPECT_EQ(back.kind, LoginOutcome::Passed);
    EXPECT_EQ(back.role, Role::Reader);
}

TEST_F(StaffTest, AWeakPasswordIsAskedToChangeAResetOneMustBeChangedNow)
{
    addPlainUser(QStringLiteral("sun"), QStringLiteral("123456"));
    ASSERT_TRUE(fillAccountsFromUsersTable(*db));
    for (int login = 0; login < 2; ++login) {
        const LoginOutcome weak = this->login(QStringLiteral("sun"), QStringLiteral("123456"));
        ASSERT_EQ(weak.kind, LoginOutcome::Passed);
        EXPECT_TRUE(weak.mustChange);
        EXPECT_FALSE(weak.changeRequired);
    }

    ASSERT_TRUE(setPassword(*db, QStringLiteral("sun"), QStringLiteral("goodpassword"), false));
    const LoginOutcome changed = login(QStringLiteral("sun"), QStringLiteral("goodpassword"));
    EXPECT_FALSE(changed.mustChange);

    ASSERT_TRUE(setPassword(*db, QStringLiteral("sun"), QStringLiteral("resetbyadmin"), false, true));
    EXPECT_TRUE(login(QStringLiteral("sun"), QStringLiteral("resetbyadmin")).changeRequired);

    // New passwords: at least 8 characters, never the user name.
    EXPECT_FALSE(newPasswordProblem(QStringLiteral("sun"), QStringLiteral("1234567")).isEmpty());
    EXPECT_FALSE(newPasswordProblem(QStringLiteral("Sunshine1"), QStringLiteral("sunshine1")).isEmpty());
    EXPECT_TRUE(newPasswordProblem(QStringLiteral("sun"), QStringLiteral("十二个汉字的长密码好")).isEmpty());
    EXPECT_NE(addAccount(*db, QStringLiteral("short"), Role::Clerk, QStringLiteral("abc"), false), QString());
}

TEST_F(StaffTest, TheLastActiveAdministratorCanBeNeitherRemovedDisabledNorDemoted)
{
    ASSERT_EQ(addAccount(*db, QStringLiteral("boss"), Role::Admin, QStringLiteral("bosspass1"), false), QString());
    ASSERT_EQ(addAccount(*db, QStringLiteral("deputy"), Role::Admin, QStringLiteral("deputypass1"), false), QString());
    ASSERT_EQ(setDisabled(*db, QStringLiteral("deputy"), true), QString());

    const struct {
        const char* what;
        std::function<QString()> run;
    } refused[] = {
        {"remove", [&] { return removeAccount(*db, QStringLiteral("boss")); }},
        {"disable", [&] { return setDisabled(*db, QStringLiteral("boss"), true); }},
        {"demote", [&] { return setRole(*db, QStringLiteral("boss"), Role::Cashier); }},
    };
    for (const auto& r : refused) {
        EXPECT_TRUE(r.run().contains(QStringLiteral("最后一个"))) << r.what;
        EXPECT_EQ(queryValue(db, QStringLiteral("select concat(juese, tingyong) from yonghuzhanghu where "
                                                "yonghuming='boss'")),
            QStringLiteral("管理员0"))
            << r.what;
    }
    // With a second active administrator each of them is allowed.
    ASSERT_EQ(setDisabled(*db, QStringLiteral("deputy"), false), QString());
    EXPECT_EQ(setRole(*db, QStringLiteral("boss"), Role::Cashier), QString());
    EXPECT_NE(removeAccount(*db, QStringLiteral("deputy")), QString());
    EXPECT_EQ(setRole(*db, QStringLiteral("boss"), Role::Admin), QString());
    EXPECT_EQ(removeAccount(*db, QStringLiteral("deputy")), QString());
    EXPECT_EQ(queryValue(db, QStringLiteral("select count(*) from yonghuzhanghu where yonghuming='deputy'")),
        QStringLiteral("0"));
    EXPECT_EQ(addAccount(*db, QStringLiteral("BOSS"), Role::Clerk, QStringLiteral("anotherpass"), false),
        QStringLiteral("用户“BOSS”已存在。"));
}

} // namespace
