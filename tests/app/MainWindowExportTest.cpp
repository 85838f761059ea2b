// The 文件 menu's exports over a real fleet: the entries in their place, and a search result
// written to CSV holding only the found rows.
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

    QMenu* file = nullptr;
    for (QAction* a : window.menuBar()->actions())
        if (a->text() == QStringLiteral("文件"))
            file = a->menu();
    ASSERT_NE(file, nullptr);
    QStringList items;
    for (QAction* a : file->actions())
        items << a->text();
    EXPECT_EQ(items.join(QLatin1Char(' ')), QStringLiteral("打印 导出Excel 导出CSV 退出"));

    QTemporaryDir dir;
    dialogs.fileNames = {dir.filePath(QStringLiteral("found.csv"))};
    file->actions()[2]->trigger();
    QFile csv(dir.filePath(QStringLiteral("found.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll().mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("序号,档案编号,车牌号,")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("豫H1000")));
    EXPECT_TRUE(lines[2].contains(QStringLiteral("豫H1000")));
    EXPECT_EQ(window.fleet().gridRowCount(), 3); // the grid keeps its search result
    db::dbClose(state.dbConnection);
}

} // namespace
