// From the main window to the vehicle window and back: a save makes the tree's root current and
// reloads the full list; a save that fails leaves the list as it was.
#include "app/MainWindow.h"
#include "common/AppState.h"
#include "common/DateTime.h"
#include "support/ListWait.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "fleet/FleetList.h"
#include "app/VehicleWindow.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace fd;

namespace {

class VehicleSaveFlowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        conn = test::freshDatabase(QStringLiteral("t_vehicle_app"));
        ASSERT_TRUE(conn);
        for (const char* plate : {"豫H00001", "豫H00002"}) {
            const QString p = QString::fromUtf8(plate);
            test::mustExecute(conn, QStringLiteral("insert into celiangzongbiao set cepaihao='%1', danganbianhao='F%1', "
                                                   "cezuxingming='车主%1', yingyunzengyouxiaoqi='2099-1-1', "
                                                   "zuceyouxiaoriqi='2099-1-1'").arg(p));
        }
        state.dbConnection = conn;
        state.appTitle = kProgramTitle;
        state.loginDateTime = datetime::nowInSeconds();

        MainWindowHooks hooks;
        hooks.openVehicleWindow = [this] {
            ++opened;
            form = std::make_unique<app::VehicleWindow>(state, dialogs, [this] {
                if (window)
                    window->showFullListAfterSave();
            });
            form->show();
        };
        window = std::make_unique<MainWindow>(state, dialogs, hooks);
        window->show();
        window->fleet().loadAllVehicles();
        ASSERT_TRUE(test::waitForList(window->fleet()));
        tree = window->findChild<QTreeWidget*>(QStringLiteral("树型框1"));
        grid = window->findChild<QTableView*>(QStringLiteral("高级表格_车辆具体信息"));
        ASSERT_TRUE(tree && grid);
        ASSERT_EQ(window->fleet().gridRowCount(), 3);

        // Show the expired operating permits: none of the two vehicles, but a new one with the
        // default dates would be listed there.
        ASSERT_GT(tree->topLevelItemCount(), 0);
        expiredPermits = tree->topLevelItem(0)->child(0)->child(1);
        ASSERT_TRUE(expiredPermits);
        tree->setCurrentItem(expiredPermits);
        ASSERT_TRUE(test::waitForList(window->fleet()));
        ASSERT_EQ(window->fleet().gridRowCount(), 1);
    }

    void TearDown() override
    {
        form.reset();
        window.reset();
    }

    void click(const QString& name, QWidget* parent)
    {
        auto* button = parent->findChild<QPushButton*>(name);
        ASSERT_TRUE(button) << name.toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void type(const QString& name, const QString& text)
    {
        auto* edit = form->findChild<QLineEdit*>(name);
        ASSERT_TRUE(edit) << name.toStdString();
        edit->setText(text);
    }

    QStringList gridColumn(int column)
    {
        QStringList texts;
        for (int r = 1; r < window->fleet().gridRowCount(); ++r)
            texts.append(window->fleet().gridText(r, column));
        return texts;
    }

    db::ConnectionPtr conn;
    AppState state;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<app::VehicleWindow> form;
    QTreeWidget* tree = nullptr;
    QTableView* grid = nullptr;
    QTreeWidgetItem* expiredPermits = nullptr;
    int opened = 0;
};

TEST_F(VehicleSaveFlowTest, AddedVehicleShowsInTheFullListWithTheRootSelected)
{
    click(QStringLiteral("按钮_新增车辆"), window.get());
    ASSERT_EQ(opened, 1);
    ASSERT_TRUE(form);
    type(QStringLiteral("编辑框_档案编号"), QStringLiteral("F3"));
    type(QStringLiteral("编辑框_主车牌号"), QStringLiteral("豫H00003"));
    click(QStringLiteral("按钮_保存"), form.get());
    ASSERT_TRUE(test::waitForList(window->fleet()));

    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("新增车辆信息成功！")});
    EXPECT_FALSE(form->isVisible());
    ASSERT_TRUE(tree->currentItem());
    EXPECT_EQ(tree->currentItem()->text(0), QStringLiteral("公司车辆"));
    // The full list (all three), not the expired-permit list the tree showed before.
    EXPECT_EQ(window->fleet().gridRowCount(), 4);
    EXPECT_TRUE(gridColumn(3).contains(QStringLiteral("豫H00003")));
}

TEST_F(VehicleSaveFlowTest, ModifiedVehicleIsReloadedFromTheGrid)
{
    tree->setCurrentItem(tree->topLevelItem(0));
    ASSERT_TRUE(test::waitForList(window->fleet()));
    ASSERT_EQ(window->fleet().gridRowCount(), 3);
    const int row = static_cast<int>(gridColumn(3).indexOf(QStringLiteral("豫H00002")));
    ASSERT_GE(row, 0);
    const QRect cell = grid->visualRect(grid->model()->index(row, 3));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    ASSERT_EQ(state.editVehicleId, window->fleet().gridText(row + 1, 0));
    tree->setCurrentItem(expiredPermits);

    click(QStringLiteral("按钮_修改车辆"), window.get());
    ASSERT_TRUE(form);
    EXPECT_EQ(form->findChild<QLineEdit*>(QStringLiteral("编辑框_主车牌号"))->text(), QStringLiteral("豫H00002"));
    type(QStringLiteral("编辑框_车主姓名"), QStringLiteral("新车主"));
    click(QStringLiteral("按钮_保存"), form.get());
    ASSERT_TRUE(test::waitForList(window->fleet()));

    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("保存车辆信息成功！"));
    EXPECT_EQ(tree->currentItem()->text(0), QStringLiteral("公司车辆"));
    EXPECT_EQ(window->fleet().gridRowCount(), 3);
    const int after = static_cast<int>(gridColumn(3).indexOf(QStringLiteral("豫H00002")));
    ASSERT_GE(after, 0);
    EXPECT_EQ(window->fleet().gridText(after + 1, 4), QStringLiteral("新车主"));
}

TEST_F(VehicleSaveFlowTest, FailedSaveLeavesTheListAsItWas)
{
    test::mustExecute(conn, QStringLiteral("create trigger refuse_insert before insert on celiangzongbiao for each row "
                                           "signal sqlstate '45000' set message_text = 'read only'"));
    click(QStringLiteral("按钮_新增车辆"), window.get());
    ASSERT_TRUE(form);
    type(QStringLiteral("编辑框_档案编号"), QStringLiteral("F4"));
    type(QStringLiteral("编辑框_主车牌号"), QStringLiteral("豫H00004"));
    click(QStringLiteral("按钮_保存"), form.get());
    EXPECT_TRUE(dialogs.lastMessage().startsWith(QStringLiteral("新增车辆信息失败！")));
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(tree->currentItem(), expiredPermits);
    EXPECT_EQ(window->fleet().gridRowCount(), 1);

    // A refused check leaves it as well.
    test::mustExecute(conn, QStringLiteral("drop trigger refuse_insert"));
    type(QStringLiteral("编辑框_主车牌号"), QStringLiteral("豫H00001"));
    click(QStringLiteral("按钮_保存"), form.get());
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("对不起此车牌号已经存在！"));
    EXPECT_EQ(tree->currentItem(), expiredPermits);
    EXPECT_EQ(window->fleet().gridRowCount(), 1);
}

} // namespace
