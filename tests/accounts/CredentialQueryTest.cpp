// The count query of the login and the password window, run on the stack's database.
#include "AccountsFixture.h"

#include "accounts/Accounts.h"

using namespace fd;
using namespace fd::test;

namespace {

class CredentialQueryTest : public AccountsFixture { };

TEST_F(CredentialQueryTest, TheStatementKeepsQuotesAndBackslashesInsideTheLiterals)
{
    // No space between the closing quote and "and"; the values stand where the quotes were.
    EXPECT_EQ(accounts::credentialCountStatement(QStringLiteral("a'b"), QStringLiteral("c\\d")).renderOffline(),
        QStringLiteral("select count(*) as suliang from mimabiao where yonghuming='a''b'and mima='c\\\\d'"));

    const QString user = kTestUserPrefix + QStringLiteral("q'\\\"");
    addUser(user, QStringLiteral("p'w\\"));
    const auto found = accounts::countCredentials(admin, user, QStringLiteral("p'w\\"));
    EXPECT_EQ(found.outcome, accounts::CredentialCount::Counted);
    EXPECT_EQ(found.count, 1);
}

TEST_F(CredentialQueryTest, CountsEveryMatchingRowAndReportsAQueryThatDidNotRun)
{
    const QString user = kTestUserPrefix + QStringLiteral("dup");
    for (int i = 0; i < 3; ++i)
        addUser(user, QStringLiteral("same"));
    addUser(user, QStringLiteral("other"));
    EXPECT_EQ(accounts::countCredentials(admin, user, QStringLiteral("same")).count, 3);
    // The column's collation decides: gbk_chinese_ci does not tell letter case apart.
    EXPECT_EQ(accounts::countCredentials(admin, user.toUpper(), QStringLiteral("SAME")).count, 3);
    const auto none = accounts::countCredentials(admin, user, QStringLiteral("nothing"));
    EXPECT_EQ(none.outcome, accounts::CredentialCount::Counted);
    EXPECT_EQ(none.count, 0);

    EXPECT_EQ(accounts::countCredentials(nullptr, user, QStringLiteral("same")).outcome,
        accounts::CredentialCount::QueryFailed);
    // A character GBK cannot hold stops the statement before it is sent.
    EXPECT_EQ(accounts::countCredentials(admin, QStringLiteral("\U0001F600"), QStringLiteral("same")).outcome,
        accounts::CredentialCount::QueryFailed);
}

} // namespace
