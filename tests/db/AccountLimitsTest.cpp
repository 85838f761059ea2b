// The program's database account, as the stack makes it from db/grants.sql, can work on its
// database and nothing beyond: the settings file every office PC deciphers hands out no superuser.
#include "db/Database.h"
#include "db/ProgramTables.h"
#include "db/ServerErrors.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace fd::db;
using fd::test::mustExecute;
using fd::test::queryValue;

namespace {

const QString kDatabase = QStringLiteral("fd_db_limits");
const QString kOther = QStringLiteral("fd_db_limits_other");

TEST(AccountLimits, TheProgramsAccountIsRefusedEverythingBeyondItsDatabase)
{
    ASSERT_TRUE(fd::test::freshDatabase(kDatabase));
    const ConnectionPtr admin = fd::test::connectAdmin();
    ASSERT_TRUE(admin);
    mustExecute(admin, QStringLiteral("DROP DATABASE IF EXISTS ") + kOther);
    mustExecute(admin, QStringLiteral("CREATE DATABASE ") + kOther);
    const ConnectionPtr program = fd::test::connectStack(kDatabase);
    ASSERT_TRUE(program);

    struct Case {
        const char* name;
        QString sql;
    };
    const Case cases[] = {
        {"drop its own database", QStringLiteral("DROP DATABASE ") + kDatabase},
        {"drop one of its tables", QStringLiteral("DROP TABLE mimabiao")},
        {"create another database", QStringLiteral("CREATE DATABASE fd_db_limits_new")},
        {"create a table in another database", QStringLiteral("CREATE TABLE %1.t (a INT)").arg(kOther)},
        {"read the accounts", QStringLiteral("SELECT COUNT(*) FROM mysql.user")},
        {"give its rights on", QStringLiteral("GRANT SELECT ON %1.* TO 'fd_nobody'@'%'").arg(kDatabase)},
        {"make an account", QStringLiteral("CREATE USER 'fd_nobody'@'%'")},
        {"change the server", QStringLiteral("SET GLOBAL max_connections = 10")},
        {"lock every table", QStringLiteral("FLUSH TABLES WITH READ LOCK")},
        {"read files of the server", QStringLiteral("SELECT LOAD_FILE('/etc/passwd') INTO @x")},
        {"see the other sessions' transactions", QStringLiteral("SELECT COUNT(*) FROM information_schema.INNODB_TRX")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Reply reply = program->run(Statement::verbatim(c.sql));
        // LOAD_FILE without FILE gives NULL rather than an error: that is refused as well.
        if (c.sql.contains(QLatin1String("LOAD_FILE"))) {
            EXPECT_EQ(queryValue(program, QStringLiteral("SELECT @x IS NULL")), QStringLiteral("1"));
            continue;
        }
        EXPECT_FALSE(reply.ok);
        EXPECT_TRUE(isPrivilegeError(reply.errorCode)) << reply.errorCode << " " << reply.error.toStdString();
        EXPECT_TRUE(reply.error.startsWith(QStringLiteral("数据库账户缺少"))) << reply.error.toStdString();
    }
    EXPECT_EQ(queryValue(admin, QStringLiteral("SELECT COUNT(*) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = '%1'")
                                    .arg(kDatabase)),
        QStringLiteral("1"));
    EXPECT_EQ(queryValue(admin, QStringLiteral("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '%1'")
                                    .arg(kOther)),
        QStringLiteral("0"));
    // What the account holds, as the server lists it: no global right beyond logging in.
    const Reply grants = program->run(Statement::verbatim(QStringLiteral("SHOW GRANTS")));
    ASSERT_TRUE(grants.ok && grants.rows) << grants.error.toStdString();
    while (grants.rows->next()) {
        const QString grant = grants.rows->text(0);
        SCOPED_TRACE(grant.toStdString());
        EXPECT_FALSE(grant.contains(QLatin1String("WITH GRANT OPTION")));
        if (grant.contains(QLatin1String(" ON *.* "))) {
            EXPECT_TRUE(grant.startsWith(QLatin1String("GRANT USAGE ON *.*")));
        }
    }
    mustExecute(admin, QStringLiteral("DROP DATABASE ") + kOther);
}

TEST(AccountLimits, TheProgramsAccountMakesItsOwnTablesOnAnEmptyDatabase)
{
    // An office's database with the register's tables only, as an older program left it.
    const ConnectionPtr admin = fd::test::connectAdmin();
    ASSERT_TRUE(admin);
    mustExecute(admin, QStringLiteral("DROP DATABASE IF EXISTS ") + kDatabase);
    mustExecute(admin, QStringLiteral("CREATE DATABASE %1 DEFAULT CHARACTER SET gbk").arg(kDatabase));
    fd::test::grantProgramAccount(admin, kDatabase);
    const ConnectionPtr program = fd::test::connectStack(kDatabase);
    ASSERT_TRUE(program);
    QString error;
    ASSERT_TRUE(ensureProgramTables(*program, &error)) << error.toStdString();
    EXPECT_EQ(queryValue(admin, QStringLiteral("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '%1'")
                                    .arg(kDatabase)),
        QString::number(programTableStatements().size()));
    // Made once, they are kept: a second run changes nothing and needs no more.
    ASSERT_TRUE(ensureProgramTables(*program, &error)) << error.toStdString();
}

} // namespace
