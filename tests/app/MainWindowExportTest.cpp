// The 文件 menu's CSV export over a real fleet: a search result written holding only the found rows.
#include "app/MainWindow.h"
#include "common/AppState.h"
#include "common/DateTime.h"
#include "db/Database.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "vehicles/FleetList.h"

#include <QAction>
#include <QFile>
#include <QMenuBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace fd;

namespace {

TEST(MainWindowExportTest, FileMenuExportsTheShownList)
{
    AppState state;
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
    ASSERT_TRUE(window.fleet().searchVehicles(1, QStringLiteral("豫H")));

    QAction* exportCsv = nullptr;
    for (QAction* menu : window.menuBar()->actions())
        for (QAction* a : menu->text() == QStringLiteral("文件") ? menu->menu()->actions() : QList<QAction*>())
            exportCsv = a->text() == QStringLiteral("导出CSV") ? a : exportCsv;
    ASSERT_NE(exportCsv, nullptr);
    QTemporaryDir dir;
    dialogs.fileNames = {dir.filePath(QStringLiteral("found.csv"))};
    exportCsv->trigger();
    QFile csv(dir.filePath(QStringLiteral("found.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll().mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("序号,档案编号,车牌号,")));
    for (int i : {1, 2})
        EXPECT_TRUE(lines[i].contains(QStringLiteral("豫H1000")));
    EXPECT_EQ(window.fleet().gridRowCount(), 3); // the grid keeps its search result
    db::dbClose(state.dbConnection);
}

} // namespace
