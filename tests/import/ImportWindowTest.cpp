// The 导入车辆 window on the local stack: a file's problems marked in the preview, the import with
// its report and the refused rows saved beside the file, then the undo.
#include "support/AdminState.h"
#include "common/AppState.h"
#include "common/Jobs.h"
#include "import/window/ImportWindow.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace fd;
using test::queryValue;

namespace {

bool waitIdle(const import::ImportWindow& window)
{
    return QTest::qWaitFor([&] { return window.idle(); }, 20000);
}

} // namespace

TEST(ImportWindow, PreviewMarksProblemsThenImportsReportsAndUndoes)
{
    ASSERT_TRUE(test::freshDatabase(QStringLiteral("fd_import_window")));
    const db::ConnectionPtr conn = test::connectStack(QStringLiteral("fd_import_window"));
    ASSERT_TRUE(conn);
    AppState state = fd::test::adminState();
    state.dbConnection = conn;
    state.loginUser = QStringLiteral("导入员");
    test::ScriptedDialogs dialogs;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("车辆.csv"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("车牌,档案号,车主,行车证有效期\n"
                               "豫H30001,B1,甲,2016.5.31\n"
                               "豫H3,B2,乙,2016-05-31\n"
                               "豫H30003,B3,丙,下个月\n"
                               "豫H30004,B4,丁,2016年5月31日\n")
                    .toUtf8());
    }
    {
        import::ImportWindow window(state, dialogs);
        QAbstractItemModelTester tester(window.findChild<QTableView*>(QStringLiteral("preview"))->model(),
            QAbstractItemModelTester::FailureReportingMode::Fatal);
        window.show();
        window.openFile(path);
        ASSERT_TRUE(waitIdle(window));
        EXPECT_TRUE(window.countsText().startsWith(QStringLiteral("新车辆 2，未变 0，修改已有车辆 0，跳过 0，未导入 2")))
            << window.countsText().toStdString();
        const QAbstractItemModel* preview = window.findChild<QTableView*>(QStringLiteral("preview"))->model();
        ASSERT_EQ(preview->rowCount(), 4);
        auto cell = [preview](int row, int column, int role) {
            return preview->data(preview->index(row, column), role).toString();
        };
        // Column 1 is the outcome, 2 the plate, 5 the date: the bad cells are marked with their reason.
        EXPECT_FALSE(cell(1, 2, Qt::ToolTipRole).isEmpty());
        EXPECT_TRUE(cell(0, 2, Qt::ToolTipRole).isEmpty());
        EXPECT_TRUE(cell(2, 5, Qt::ToolTipRole).contains(QStringLiteral("下个月")));
        EXPECT_EQ(cell(2, 5, Qt::DisplayRole), QStringLiteral("下个月"));
        EXPECT_EQ(cell(3, 5, Qt::DisplayRole), QStringLiteral("2016-5-31"));
        EXPECT_TRUE(cell(1, 1, Qt::DisplayRole).startsWith(QStringLiteral("未导入：")));
        EXPECT_EQ(cell(3, 1, Qt::DisplayRole), QStringLiteral("新车辆"));
        auto marked = [preview](int row, int column) {
            return preview->data(preview->index(row, column), Qt::BackgroundRole).isValid();
        };
        EXPECT_TRUE(marked(1, 2));
        EXPECT_FALSE(marked(0, 2));
        EXPECT_TRUE(marked(2, 5));
        EXPECT_FALSE(marked(3, 5));

        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("import")), Qt::LeftButton);
        ASSERT_TRUE(waitIdle(window));
        EXPECT_TRUE(window.reportText().contains(QStringLiteral("新增 2 辆"))) << window.reportText().toStdString();
        EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("车辆-未导入.xlsx"))));
        EXPECT_EQ(queryValue(conn, QStringLiteral("SELECT count(*) FROM celiangzongbiao")), QStringLiteral("2"));
        // The import just made is the one 撤销导入 offers.
        auto* imports = window.findChild<QComboBox*>(QStringLiteral("imports"));
        ASSERT_EQ(imports->count(), 1);
        EXPECT_EQ(imports->currentData().toLongLong(), window.lastBatch());

        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("undo")), Qt::LeftButton);
        ASSERT_TRUE(waitIdle(window));
        EXPECT_EQ(queryValue(conn, QStringLiteral("SELECT count(*) FROM celiangzongbiao")), QStringLiteral("0"));
        EXPECT_TRUE(window.reportText().startsWith(QStringLiteral("已撤销导入"))) << window.reportText().toStdString();
        // An import undone is offered no more.
        EXPECT_EQ(imports->count(), 0);
        EXPECT_FALSE(window.findChild<QPushButton*>(QStringLiteral("undo"))->isEnabled());
    }
    EXPECT_TRUE(waitForAllJobs(20000));
}
