// The 文件 menu's exports over a real fleet: a search result written holding only the found rows;
// closing the window during a long export stops it without a file.
#include "support/AdminState.h"
#include "app/MainWindow.h"
#include "common/AppState.h"
#include "common/Jobs.h"
#include "common/DateTime.h"
#include "db/Database.h"
#include "support/ListWait.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "ui/JobProgress.h"
#include "fleet/FleetList.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace fd;

namespace {

TEST(MainWindowExportTest, FileMenuExportsTheShownList)
{
    AppState state = fd::test::adminState();
    test::ScriptedDialogs dialogs;
    state.dbConnection = test::freshDatabase(QStringLiteral("t_export_app"));
    ASSERT_TRUE(state.dbConnection);
    state.loginDateTime = datetime::toDayNumber(2016, 5, 31, 8, 0, 0);
    for (const char* plate : {"豫H10001", "豫H10002", "豫A20003"})
        test::mustExecute(state.dbConnection,
            QStringLiteral("INSERT INTO celiangzongbiao (danganbianhao,cepaihao,zuceyouxiaoriqi) VALUES ('D','%1','2016-06-02')")
                .arg(QString::fromUtf8(plate)));
    MainWindowHooks hooks;
    hooks.openLogin = [] { return true; };
    MainWindow window(state, dialogs, hooks);
    ASSERT_TRUE(window.start());
    ASSERT_TRUE(test::waitForList(window.fleet()));
    ASSERT_TRUE(window.fleet().searchVehicles(1, QStringLiteral("豫H")));
    ASSERT_TRUE(test::waitForList(window.fleet()));

    auto fileCommand = [&](const QString& text) {
        QAction* found = nullptr;
        for (QAction* menu : window.menuBar()->actions())
            for (QAction* a : menu->text() == QStringLiteral("文件") ? menu->menu()->actions() : QList<QAction*>())
                found = a->text() == text ? a : found;
        return found;
    };
    QAction* exportCsv = fileCommand(QStringLiteral("导出CSV"));
    ASSERT_NE(exportCsv, nullptr);
    QTemporaryDir dir;
    dialogs.fileNames = {dir.filePath(QStringLiteral("found.csv"))};
    exportCsv->trigger();
    QFile csv(dir.filePath(QStringLiteral("found.csv")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return csv.exists(); }, 60000));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll().mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("序号,档案编号,车牌号,")));
    for (int i : {1, 2})
        EXPECT_TRUE(lines[i].contains(QStringLiteral("豫H1000")));
    EXPECT_EQ(window.fleet().gridRowCount(), 3); // the grid keeps its search result

    // A long workbook, and the window closed while it is written: no file is made.
    test::mustExecute(state.dbConnection,
        QStringLiteral("INSERT INTO celiangzongbiao (danganbianhao,cepaihao,zuceyouxiaoriqi) "
                       "SELECT CONCAT('D',seq),CONCAT('豫K',seq),'2016-06-02' FROM seq_10000_to_39999"));
    window.fleet().loadAllVehicles();
    ASSERT_TRUE(test::waitForList(window.fleet()));
    // The CSV's progress dialog has gone, so the one found next is the workbook's.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.findChildren<ui::JobProgress*>().isEmpty(); }, 10000));
    dialogs.fileNames = {dir.filePath(QStringLiteral("all.xlsx"))};
    fileCommand(QStringLiteral("导出Excel"))->trigger();
    QPointer<ui::JobProgress> progress = window.findChild<ui::JobProgress*>();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !progress || progress->value() > 0; }, 60000) && progress);
    window.close();
    ASSERT_TRUE(JobLane::files().waitForDone(60000));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList {QStringLiteral("found.csv")});
    EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.lastMessage().toStdString();
    db::dbClose(state.dbConnection);
}

} // namespace
