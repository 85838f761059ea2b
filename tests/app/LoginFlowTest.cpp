// The hand-off between the login and the main window: the main window's creation runs the login,
// and only after a successful one does the full list load, on the connection the login opened.
#include "accounts/LoginWindow.h"
#include "accounts/RememberedLogin.h"
#include "app/MainWindow.h"
#include "app/VehicleWindow.h"
#include "vehicles/VehicleColumns.h"
#include "backup/BackupRun.h"
#include "BoundStatements.h"
#include "common/AppState.h"
#include "support/ListWait.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "fleet/FleetList.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace fd;
using namespace fd::test;

namespace {

const QString kPlate = QStringLiteral("豫A登录01");

class LoginFlowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.settings = stackSettings();
        admin = connectStack(QStringLiteral("yunsugongsi"));
        ASSERT_TRUE(admin);
        mustRun(admin, db::Statement("delete from celiangzongbiao where cepaihao=?").bind(kPlate));
        recordBackup(true, QString());
        mustRun(admin,
            db::Statement("insert into celiangzongbiao (danganbianhao, cepaihao, cezuxingming) values ('DL-01', ?, '王五')")
                .bind(kPlate));
    }

    void TearDown() override
    {
        mustRun(admin, db::Statement("delete from celiangzongbiao where cepaihao=?").bind(kPlate));
    }

    // A backup result as the last one of the program's table of backup results.
    void recordBackup(bool ok, const QString& reason)
    {
        backup::Outcome outcome;
        outcome.ok = ok;
        outcome.reason = reason;
        outcome.started = QDateTime::fromString(QStringLiteral("2026-03-04 02:30:00"), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        ASSERT_TRUE(backup::recordOutcome(admin, outcome, QStringLiteral("test")));
    }

    // Runs the login window with its initial contents (the sample login), presses a button and
    // reports what the window ended with.
    MainWindowHooks hooks(const char* button)
    {
        MainWindowHooks h;
        h.openLogin = [this, button] {
            accounts::LoginWindow login(
                state, dialogs, accounts::RememberedLogin(dir.filePath(QStringLiteral("n.ini"))));
            login.show();
            listedDuringLogin = window ? window->fleet().gridRowCount() : -1;
            QTest::mouseClick(login.findChild<QPushButton*>(QString::fromUtf8(button)), Qt::LeftButton);
            loginClosed = !login.isVisible();
            return !login.cancelled();
        };
        return h;
    }

    bool listed(const QString& text)
    {
        const fleet::FleetList& fleet = window->fleet();
        EXPECT_TRUE(waitForList(fleet));
        for (int row = 1; row < fleet.gridRowCount(); ++row)
            for (int column = 0; column < 12; ++column)
                if (fleet.gridText(row, column) == text)
                    return true;
        return false;
    }

    AppState state;
    ScriptedDialogs dialogs;
    db::ConnectionPtr admin;
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
    int listedDuringLogin = -1;
    bool loginClosed = false;
};

TEST_F(LoginFlowTest, ASuccessfulLoginClosesTheWindowAndTheFullListLoads)
{
    window = std::make_unique<MainWindow>(state, dialogs, hooks("按钮_登录"));
    ASSERT_TRUE(window->start());
    EXPECT_TRUE(loginClosed);
    EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.lastMessage().toStdString();
    EXPECT_EQ(listedDuringLogin, 1); // nothing but the header before the login
    ASSERT_TRUE(state.dbConnection);
    EXPECT_GT(state.loginDateTime, 0.0);
    EXPECT_EQ(window->windowTitle(), kProgramTitle);
    EXPECT_TRUE(listed(kPlate));
    EXPECT_TRUE(listed(QStringLiteral("王五")));
}

TEST_F(LoginFlowTest, AFailedLastBackupIsToldOnceAtLogin)
{
    recordBackup(false, QStringLiteral("图片备份失败：连不上 FTP 服务器"));
    window = std::make_unique<MainWindow>(state, dialogs, hooks("按钮_登录"));
    ASSERT_TRUE(window->start());
    recordBackup(true, QString());
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.lastMessage(),
        QStringLiteral("最近一次备份失败\n时间：2026-03-04 02:30:00\n原因：图片备份失败：连不上 FTP 服务器"));
    EXPECT_TRUE(listed(kPlate));
}

TEST_F(LoginFlowTest, ARestoreAfterTheLoginEndsTheSessionBeforeTheNextList)
{
    window = std::make_unique<MainWindow>(state, dialogs, hooks("按钮_登录"));
    ASSERT_TRUE(window->start());
    window->show();
    const QDateTime backedUp = QDateTime::fromString(QStringLiteral("2026-03-04 02:30:00"), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    ASSERT_TRUE(backup::recordRestore(admin, QStringLiteral("yunsugongsi"), QStringLiteral("/tmp/a.tar.zst"), backedUp));
    QTest::keyClick(window->findChild<QLineEdit*>(QStringLiteral("编辑框_车号查询")), Qt::Key_Return);
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("数据库已恢复为 2026-03-04 02:30:00 的备份，请重新登录"));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(LoginFlowTest, CancelEndsTheProgramBeforeAnyList)
{
    window = std::make_unique<MainWindow>(state, dialogs, hooks("按钮_取消"));
    EXPECT_FALSE(window->start());
    EXPECT_TRUE(loginClosed);
    EXPECT_FALSE(state.dbConnection);
    EXPECT_EQ(window->fleet().gridRowCount(), 1);
}

TEST_F(LoginFlowTest, AVehicleWindowOpenBeforeARestoreSavesNothingIntoTheRestoredData)
{
    window = std::make_unique<MainWindow>(state, dialogs, hooks("按钮_登录"));
    ASSERT_TRUE(window->start());
    ASSERT_GE(state.restoreAtLogin, 0);
    state.editVehicleId = queryValue(admin, db::Statement("select ID from celiangzongbiao where cepaihao=?").bind(kPlate));
    state.modifyFlag = 1;
    state.newFlag = 0;
    app::VehicleWindow form(state, dialogs, [] {});
    form.show();
    auto* owner = form.findChild<QLineEdit*>(vehicles::findColumn(QStringLiteral("cezuxingming"))->control);
    ASSERT_TRUE(owner);
    owner->setText(QStringLiteral("恢复前打开的窗口"));

    const QDateTime backedUp = QDateTime::fromString(QStringLiteral("2026-03-04 02:30:00"), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    ASSERT_TRUE(backup::recordRestore(admin, QStringLiteral("yunsugongsi"), QStringLiteral("/tmp/a.tar.zst"), backedUp));
    dialogs.clear();
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("按钮_保存")), Qt::LeftButton);
    EXPECT_EQ(dialogs.messages(), QStringList {QStringLiteral("数据库已恢复为 2026-03-04 02:30:00 的备份，请重新登录")});
    EXPECT_EQ(queryValue(admin, db::Statement("select cezuxingming from celiangzongbiao where cepaihao=?").bind(kPlate)),
        QStringLiteral("王五"));
    EXPECT_EQ(owner->text(), QStringLiteral("恢复前打开的窗口")) << "what was typed stays on screen";
}

} // namespace
