// 文件 → 备份数据库 and 恢复数据库: an administrator's only, and a restore from the program on
// the stack brings back what was deleted after the backup and sends the session to log in again.
#include "app/MainWindow.h"
#include "backup/BackupRun.h"
#include "backup/window/BackupCommands.h"
#include "common/AppState.h"
#include "support/AdminState.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "ui/RoleGuard.h"

#include <QAction>
#include <QDir>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace fd;
using fd::test::mustExecute;
using fd::test::queryValue;

namespace {

const QString kFleet = QStringLiteral("t_backup_menu");

// The shown boxes of a kind ("message" and "error" together as "message").
QList<test::ScriptedDialogs::Shown> shownOf(const test::ScriptedDialogs& dialogs, const QString& kind)
{
    QList<test::ScriptedDialogs::Shown> boxes;
    for (const auto& box : dialogs.shown)
        if (box.kind == kind || (kind == QStringLiteral("message") && box.kind == QStringLiteral("error")))
            boxes.append(box);
    return boxes;
}

QAction* fileAction(MainWindow& window, const QString& name)
{
    for (QAction* top : window.menuBar()->actions())
        if (top->text() == QStringLiteral("文件") && top->menu())
            for (QAction* a : top->menu()->actions())
                if (a->text() == name)
                    return a;
    return nullptr;
}

TEST(BackupMenu, OnlyTheAdministratorMayBackUpOrRestore)
{
    AppState state = test::adminState();
    test::ScriptedDialogs dialogs;
    MainWindow window(state, dialogs, {});
    // Each item with the command behind it, reached as a forged click would.
    const std::pair<QString, std::function<void()>> items[] = {
        { QStringLiteral("备份数据库"), [&] { backup::backupFromProgram(state, dialogs, &window); } },
        { QStringLiteral("恢复数据库"), [&] { backup::restoreFromProgram(state, dialogs, &window, {}); } },
    };
    for (const Role role : { Role::Admin, Role::Reader }) {
        state.loginRole = role;
        window.afterLogin();
        for (const auto& [name, command] : items) {
            QAction* action = fileAction(window, name);
            ASSERT_NE(action, nullptr) << name.toStdString();
            EXPECT_EQ(action->isEnabled(), role == Role::Admin) << name.toStdString();
            if (role == Role::Admin)
                continue;
            EXPECT_EQ(action->toolTip(), refusalText(role, Permission::Backups));
            // Refused before any file is asked for.
            dialogs.clear();
            dialogs.fileNames = { QStringLiteral("/nonexistent/fleetdesk-20200101-000000.tar.zst") };
            command();
            EXPECT_EQ(dialogs.messages(), QStringList { refusalText(role, Permission::Backups) }) << name.toStdString();
            EXPECT_EQ(dialogs.fileNames.size(), 1) << name.toStdString();
        }
    }
}

TEST(BackupMenu, BackupAndRestoreFromTheProgramBringDeletedVehiclesBack)
{
    const db::ConnectionPtr admin = test::freshDatabase(kFleet);
    ASSERT_TRUE(admin);
    for (int i = 0; i < 12; ++i)
        mustExecute(admin, QStringLiteral("insert into %1.celiangzongbiao set cepaihao='豫H%2',cezuxingming='车主%2'")
                               .arg(kFleet)
                               .arg(70000 + i));
    mustExecute(admin, QStringLiteral("replace into %1.tixingshezhi set mingcheng='houzhui',zhi='【菜单恢复运输】'").arg(kFleet));
    const QString vehicles = QStringLiteral("select count(*) from %1.celiangzongbiao").arg(kFleet);
    const QString before = queryValue(admin, vehicles);

    AppState state = test::adminState();
    state.settings = test::stackSettings();
    state.dbConnection = test::connectStack(kFleet);
    test::ScriptedDialogs dialogs;
    MainWindow window(state, dialogs, {});
    window.afterLogin();
    window.show();
    dialogs.clear();

    // The backup: the folder of the chosen name, the archive under its dated name, the window
    // answering meanwhile.
    QTemporaryDir work;
    const QString folder = work.filePath(QStringLiteral("out"));
    QDir().mkpath(folder);
    dialogs.fileNames = { QDir(folder).filePath(QStringLiteral("whatever.tar.zst")) };
    fileAction(window, QStringLiteral("备份数据库"))->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shownOf(dialogs, QStringLiteral("message")).isEmpty(); }, 300000));
    ASSERT_TRUE(dialogs.lastMessage().startsWith(QStringLiteral("备份完成"))) << dialogs.lastMessage().toStdString();
    const QStringList archives = QDir(folder).entryList({ QStringLiteral("fleetdesk-*.tar.zst") }, QDir::Files);
    ASSERT_EQ(archives.size(), 1);
    const QString archive = QDir(folder).filePath(archives.first());

    mustExecute(admin, QStringLiteral("delete from %1.celiangzongbiao order by ID limit 4").arg(kFleet));
    ASSERT_NE(queryValue(admin, vehicles), before);

    // A wrong company name restores nothing; the right one restores and closes the session.
    const struct {
        const char* typed;
        bool restored;
    } cases[] = { { "菜单恢复", false }, { "菜单恢复运输", true } };
    for (const auto& c : cases) {
        dialogs.clear();
        dialogs.fileNames = { archive };
        dialogs.inputs = { QString::fromUtf8(c.typed) };
        fileAction(window, QStringLiteral("恢复数据库"))->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !shownOf(dialogs, QStringLiteral("message")).isEmpty(); }, 300000)) << c.typed;
        ASSERT_EQ(shownOf(dialogs, QStringLiteral("input")).size(), 1) << dialogs.lastMessage().toStdString();
        const QString prompt = shownOf(dialogs, QStringLiteral("input")).first().text;
        EXPECT_TRUE(prompt.contains(QStringLiteral("表 celiangzongbiao：%1 行").arg(before))) << prompt.toStdString();
        EXPECT_TRUE(prompt.contains(QStringLiteral("菜单恢复运输"))) << prompt.toStdString();
        EXPECT_EQ(dialogs.lastMessage().contains(QStringLiteral("请重新登录")), c.restored) << dialogs.lastMessage().toStdString();
        EXPECT_EQ(queryValue(admin, vehicles) == before, c.restored) << c.typed;
    }
    EXPECT_FALSE(window.isVisible());
}

} // namespace
