// A statement refused for want of a privilege is told in Chinese, naming the privilege and what it
// was refused on, from the server's English message as MariaDB and MySQL write it.
#include "db/ServerErrors.h"

#include <gtest/gtest.h>

using namespace fd::db;

namespace {

const QString kAsk = QStringLiteral("，请管理员按说明书为本程序的账户授权。");

TEST(PrivilegeText, NamesThePrivilegeAndWhatItWasRefusedOn)
{
    struct Case {
        const char* name;
        unsigned code;
        const char* message;
        QString expected; // empty: not a refusal for want of a privilege
    };
    const Case cases[] = {
        {"MariaDB, a table with its database", errors::kTableAccessDenied,
            "INSERT command denied to user 'fleetdesk'@'localhost' for table `yunsugongsi`.`xiugaijilu`",
            QStringLiteral("数据库账户缺少 INSERT 权限（表 xiugaijilu）") + kAsk},
        {"MySQL, a table alone in quotes", errors::kTableAccessDenied,
            "UPDATE command denied to user 'fleetdesk'@'192.168.1.20' for table 'celiangzongbiao'",
            QStringLiteral("数据库账户缺少 UPDATE 权限（表 celiangzongbiao）") + kAsk},
        {"a user name holding a quote-like word", errors::kTableAccessDenied,
            "DELETE command denied to user 'for table'@'%' for table `db`.`shoufeijilu`",
            QStringLiteral("数据库账户缺少 DELETE 权限（表 shoufeijilu）") + kAsk},
        {"a column of a table", errors::kColumnAccessDenied,
            "SELECT command denied to user 'fleetdesk'@'localhost' for column 'mima' in table 'mimabiao'",
            QStringLiteral("数据库账户缺少 SELECT 权限（表 mimabiao 的列 mima）") + kAsk},
        {"a routine, the command in lower case", errors::kRoutineAccessDenied,
            "execute command denied to user 'fleetdesk'@'localhost' for routine 'yunsugongsi.p'",
            QStringLiteral("数据库账户缺少 EXECUTE 权限（过程 yunsugongsi.p）") + kAsk},
        {"a database", errors::kDatabaseAccessDenied, "Access denied for user 'fleetdesk'@'localhost' to database 'yunsugongsi'",
            QStringLiteral("数据库账户缺少使用数据库的权限（数据库 yunsugongsi）") + kAsk},
        {"a global privilege", errors::kSpecificAccessDenied,
            "Access denied; you need (at least one of) the RELOAD privilege(s) for this operation",
            QStringLiteral("数据库账户缺少 RELOAD 权限") + kAsk},
        {"one of several global privileges", errors::kSpecificAccessDenied,
            "Access denied; you need (at least one of) the SUPER, READ_ONLY ADMIN privilege(s) for this operation",
            QStringLiteral("数据库账户缺少 SUPER, READ_ONLY ADMIN 权限") + kAsk},
        {"a message of another wording", errors::kTableAccessDenied, "permission denied",
            QStringLiteral("数据库账户缺少所需的权限") + kAsk},
        {"a wrong password is not a privilege", 1045, "Access denied for user 'fleetdesk'@'localhost' (using password: YES)",
            QString()},
        {"a duplicate is not a privilege", errors::kDuplicateKey, "Duplicate entry 'x' for key 'PRIMARY'", QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isPrivilegeError(c.code), !c.expected.isEmpty());
        EXPECT_EQ(privilegeText(c.code, QString::fromUtf8(c.message)), c.expected);
    }
}

} // namespace
