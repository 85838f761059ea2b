// The main window over a real fleet: the full list after the login, the search by Enter and by
// the 查询 button, the category tree, the recorded selection and the mass-send hand-off read
// from the grid.
#include "app/MainWindow.h"
#include "common/AppState.h"
#include "common/DateTime.h"
#include "db/Database.h"
#include "fleet/FleetList.h"
#include "support/ListWait.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace fd;

namespace {

struct Handed {
    int calls = 0;
    QStringList plates, phones, dates;
};

class MainWindowFleetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.dbConnection = test::freshDatabase(QStringLiteral("t_fleet_app"));
        ASSERT_TRUE(state.dbConnection);
        state.appTitle = kProgramTitle;
        state.loginDateTime = datetime::toDayNumber(2016, 5, 31, 8, 15, 0);
        // Driving permits due this month (May 2016) or on the first of June, one without a phone.
        ids << add("DA-01", "豫H10001", "王伟", "13800000001", "2016-05-03");
        ids << add("DA-02", "豫H10002", "李强", "", "2016-05-31");
        ids << add("DA-03", "豫H10003", "王芳", "13800000003", "2016-06-01");
        ids << add("DA-04", "豫H10004", "张军", "13800000004", "2016-07-15");
        ids << add("DA-05", "豫A20005", "赵敏", "13800000005", "2015-01-01");

        MainWindowHooks h;
        h.openLogin = [] { return true; };
        h.openVehicleWindow = [] {};
        h.openMassSend = [this] {
            ++handed.calls;
            handed.plates = state.smsPlates;
            handed.phones = state.smsPhones;
            handed.dates = state.smsExpiryDates;
        };
        h.printGrid = [] {};
        h.quit = [] {};
        window = std::make_unique<MainWindow>(state, dialogs, h);
        window->show();
        ASSERT_TRUE(window->start());
        ASSERT_TRUE(test::waitForList(window->fleet()));
        grid = window->findChild<QTableView*>(QStringLiteral("高级表格_车辆具体信息"));
        tree = window->findChild<QTreeWidget*>(QStringLiteral("树型框1"));
        ASSERT_TRUE(grid && tree);
    }

    void TearDown() override
    {
        window.reset();
        db::dbClose(state.dbConnection);
    }

    QString add(const char* file, const char* plate, const char* owner, const char* phone, const char* permit)
    {
        const db::Reply reply = state.dbConnection->run(
            db::Statement("INSERT INTO celiangzongbiao (danganbianhao,cepaihao,cezuxingming,cezudianhua,zuceyouxiaoriqi,"
                          "yingyunzengyouxiaoqi) VALUES (?,?,?,?,?,'2016-06-20')")
                .bind(file)
                .bind(plate)
                .bind(owner)
                .bind(phone)
                .bind(permit));
        EXPECT_TRUE(reply.ok) << reply.error.toStdString();
        return test::queryValue(state.dbConnection, QStringLiteral("SELECT LAST_INSERT_ID()"));
    }

    // Selects the tree item and waits for its list.
    void pick(QTreeWidgetItem* item)
    {
        tree->setCurrentItem(item);
        ASSERT_TRUE(test::waitForList(window->fleet()));
    }

    QStringList gridColumn(int c) const
    {
        QStringList out;
        for (int r = 1; r < window->fleet().gridRowCount(); ++r)
            out << window->fleet().gridText(r, c);
        return out;
    }

    QTreeWidgetItem* leaf(int group, int index) const { return tree->topLevelItem(0)->child(group)->child(index); }

    void clickGridRow(int modelRow)
    {
        const QRect rect = grid->visualRect(grid->model()->index(modelRow, 3));
        ASSERT_TRUE(rect.isValid());
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    }

    AppState state;
    test::ScriptedDialogs dialogs;
    QStringList ids;
    Handed handed;
    std::unique_ptr<MainWindow> window;
    QTableView* grid = nullptr;
    QTreeWidget* tree = nullptr;
};

TEST_F(MainWindowFleetTest, StartShowsTheColouredFullList)
{
    EXPECT_EQ(window->windowTitle(), state.appTitle);
    EXPECT_EQ(grid->model(), window->fleet().model());
    ASSERT_EQ(window->fleet().gridRowCount(), 6);
    EXPECT_EQ(grid->model()->columnCount(), 12);
    EXPECT_EQ(gridColumn(3).first(), QStringLiteral("豫H10004")); // newest driving permit first
    EXPECT_EQ(grid->model()->index(0, 6).data(Qt::BackgroundRole).value<QColor>(), QColor(0, 255, 0));
    EXPECT_EQ(grid->model()->index(4, 6).data(Qt::BackgroundRole).value<QColor>(), QColor(0, 0, 0));
    EXPECT_EQ(grid->model()->index(4, 6).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 255, 255));
    EXPECT_TRUE(grid->isColumnHidden(0));
    EXPECT_EQ(grid->rowHeight(0), 24);
    EXPECT_TRUE(tree->topLevelItem(0)->isExpanded());
}

TEST_F(MainWindowFleetTest, MassSendFromACategoryListHandsOverTheListedRows)
{
    pick(leaf(1, 3)); // 行车证 本月需办: 2016-05-01 .. 2016-06-01
    ASSERT_EQ(grid->model()->columnCount(), 7);
    EXPECT_EQ(window->fleet().gridText(0, 6), QStringLiteral("行车证有效日期"));
    window->findChild<QPushButton*>(QStringLiteral("按钮_短信群发"))->click();
    ASSERT_EQ(handed.calls, 1);
    EXPECT_EQ(handed.plates, (QStringList {QStringLiteral("豫H10003"), QStringLiteral("豫H10002"), QStringLiteral("豫H10001")}));
    EXPECT_EQ(handed.phones, (QStringList {QStringLiteral("13800000003"), QString(), QStringLiteral("13800000001")}));
    EXPECT_EQ(handed.dates, (QStringList {QStringLiteral("2016-06-01"), QStringLiteral("2016-05-31"), QStringLiteral("2016-05-03")}));

    // Another category: only its rows, and column 6 is now that category's date.
    pick(leaf(0, 2)); // 营运证 预警
    window->findChild<QPushButton*>(QStringLiteral("按钮_短信群发"))->click();
    ASSERT_EQ(handed.calls, 2);
    EXPECT_EQ(handed.plates.size(), 5);
    EXPECT_EQ(handed.dates, QStringList(5, QStringLiteral("2016-06-20")));
    EXPECT_EQ(handed.phones.size(), 5);

    // An empty category: nothing to send.
    pick(leaf(5, 0)); // 管理费 正常: no vehicle has a date there
    window->findChild<QPushButton*>(QStringLiteral("按钮_短信群发"))->click();
    EXPECT_EQ(handed.calls, 2);
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("没有需要群发的手机号哦！"));
}

TEST_F(MainWindowFleetTest, EnterAndTheSearchButtonBothSearch)
{
    auto* field = window->findChild<QComboBox*>(QStringLiteral("组合框1"));
    auto* text = window->findChild<QLineEdit*>(QStringLiteral("编辑框_车号查询"));
    field->setCurrentIndex(2); // 车主姓名
    text->setText(QStringLiteral("王"));
    QTest::keyClick(text, Qt::Key_Return);
    ASSERT_TRUE(test::waitForList(window->fleet()));
    EXPECT_EQ(window->fleet().gridRowCount(), 3);
    QStringList owners = gridColumn(4);
    owners.sort();
    EXPECT_EQ(owners, (QStringList {QStringLiteral("王伟"), QStringLiteral("王芳")}));
    // The warning colour of search results.
    const int june = static_cast<int>(gridColumn(3).indexOf(QStringLiteral("豫H10003")));
    EXPECT_EQ(grid->model()->index(june, 6).data(Qt::BackgroundRole).value<QColor>(), QColor(192, 96, 0));

    field->setCurrentIndex(0); // 车牌号
    text->setText(QStringLiteral("A2"));
    QTest::keyClick(text, Qt::Key_End); // other keys do not search
    EXPECT_FALSE(window->fleet().filling());
    EXPECT_EQ(window->fleet().gridRowCount(), 3);
    window->findChild<QPushButton*>(QStringLiteral("按钮_代码查询"))->click();
    ASSERT_TRUE(test::waitForList(window->fleet()));
    EXPECT_EQ(gridColumn(3), QStringList {QStringLiteral("豫A20005")});
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(MainWindowFleetTest, SelectionSurvivesRefillsAndAFailedSearch)
{
    clickGridRow(1);
    const QString clicked = window->fleet().gridText(2, 0);
    EXPECT_TRUE(ids.contains(clicked));
    EXPECT_EQ(state.currentVehicleId, clicked);
    EXPECT_EQ(state.editVehicleId, clicked);

    auto* text = window->findChild<QLineEdit*>(QStringLiteral("编辑框_车号查询"));
    text->setText(QStringLiteral("豫Z"));
    QTest::keyClick(text, Qt::Key_Enter);
    ASSERT_TRUE(test::waitForList(window->fleet()));
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("很遗憾！没有查找到此车辆有关信息！"));
    EXPECT_EQ(window->fleet().gridRowCount(), 6);
    EXPECT_EQ(grid->currentIndex().row(), 1);
    EXPECT_EQ(state.currentVehicleId, clicked);

    // A group item leaves the list; the root brings the twelve columns back after a category.
    tree->setCurrentItem(tree->topLevelItem(0)->child(2)); // 保险
    EXPECT_FALSE(window->fleet().filling());
    EXPECT_EQ(window->fleet().gridRowCount(), 6);
    EXPECT_EQ(grid->currentIndex().row(), 1);
    pick(leaf(1, 1)); // 行车证 过期
    EXPECT_EQ(grid->model()->columnCount(), 7);
    EXPECT_EQ(gridColumn(3), (QStringList {QStringLiteral("豫H10002"), QStringLiteral("豫H10001"), QStringLiteral("豫A20005")}));
    pick(tree->topLevelItem(0));
    EXPECT_EQ(grid->model()->columnCount(), 12);
    EXPECT_EQ(window->fleet().gridRowCount(), 6);
    EXPECT_EQ(grid->columnWidth(1), 30);
    EXPECT_EQ(state.currentVehicleId, clicked);
}

} // namespace

namespace {

// What a window system sends for a double-click: press, release, press, double-click, release.
void doubleClick(QWidget* w, QPoint at)
{
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(w, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, at);
}

TEST_F(MainWindowFleetTest, HeaderClicksKeepTheSelectionAndDoubleClicksOpenTheClickedVehicle)
{
    int opened = 0;
    QString openedId;
    MainWindowHooks h;
    h.openLogin = [] { return true; };
    h.openVehicleWindow = [&] {
        ++opened;
        openedId = state.editVehicleId;
        EXPECT_EQ(state.modifyFlag, 1);
        EXPECT_EQ(state.newFlag, 0);
    };
    window->setHooks(h);

    // without any click before, the double-click's own first click records the row
    const QRect third = grid->visualRect(grid->model()->index(2, 3));
    doubleClick(grid->viewport(), third.center());
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(openedId, window->fleet().gridText(3, 0));

    clickGridRow(1);
    const QString clicked = window->fleet().gridText(2, 0);
    ASSERT_EQ(state.currentVehicleId, clicked);

    // the header row: the current row does not move and the selection stays
    QHeaderView* header = grid->horizontalHeader();
    const QPoint onHeader(header->sectionViewportPosition(3) + 10, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, onHeader);
    EXPECT_EQ(grid->currentIndex().row(), 1);
    EXPECT_EQ(state.currentVehicleId, clicked);
    EXPECT_EQ(state.editVehicleId, clicked);

    // a double-click on another row records that row first, then opens it
    const QRect first = grid->visualRect(grid->model()->index(0, 3));
    doubleClick(grid->viewport(), first.center());
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(openedId, window->fleet().gridText(1, 0));
    EXPECT_NE(openedId, clicked);
}

TEST_F(MainWindowFleetTest, TheRowChosenWithTheKeyboardOrUnderADoubleClickIsTheOneThatOpens)
{
    QString openedId;
    MainWindowHooks h;
    h.openLogin = [] { return true; };
    h.openVehicleWindow = [&] { openedId = state.editVehicleId; };
    window->setHooks(h);
    auto* modify = window->findChild<QPushButton*>(QStringLiteral("按钮_修改车辆"));
    ASSERT_TRUE(modify);

    clickGridRow(0);
    // key -> the model row that must then be current, recorded and opened by 修改车辆 (in a table
    // Home and End alone move along the row; with Ctrl they go to the first and last row)
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int row;
    } steps[] = {{Qt::Key_Down, {}, 1}, {Qt::Key_Down, {}, 2}, {Qt::Key_End, Qt::ControlModifier, 4},
        {Qt::Key_Up, {}, 3}, {Qt::Key_Home, Qt::ControlModifier, 0}, {Qt::Key_PageDown, {}, 4},
        {Qt::Key_PageUp, {}, 0}};
    for (const auto& step : steps) {
        QTest::keyClick(grid, step.key, step.modifiers);
        ASSERT_EQ(grid->currentIndex().row(), step.row) << "key " << step.key;
        const QString id = window->fleet().gridText(step.row + 1, 0);
        EXPECT_EQ(state.currentVehicleId, id) << "key " << step.key;
        EXPECT_EQ(state.editVehicleId, id) << "key " << step.key;
        QTest::mouseClick(modify, Qt::LeftButton);
        EXPECT_EQ(openedId, id) << "key " << step.key;
    }

    // A double-click whose first release never reached the grid still opens the row under it.
    const QRect third = grid->visualRect(grid->model()->index(2, 3));
    QTest::mousePress(grid->viewport(), Qt::LeftButton, Qt::NoModifier, third.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, third.center());
    EXPECT_EQ(openedId, window->fleet().gridText(3, 0));
    EXPECT_EQ(state.currentVehicleId, window->fleet().gridText(3, 0));
}

} // namespace
