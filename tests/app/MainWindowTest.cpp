// The main window frame: controls, resize rule, menu, messages and the hand-offs to the windows
// it opens.
#include "app/MainWindow.h"
#include "app/Texts.h"
#include "common/AppState.h"
#include "db/Database.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace fd;

namespace {

struct Calls {
    int login = 0, vehicle = 0, massSend = 0, print = 0, quit = 0;
    int flagsAtVehicleNew = -1, flagsAtVehicleModify = -1;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.settings.supportContact = QStringLiteral("QQ 800012345");
        window = std::make_unique<MainWindow>(state, dialogs, hooks());
    }

    MainWindowHooks hooks()
    {
        MainWindowHooks h;
        h.openLogin = [this] {
            ++calls.login;
            return loginProceeds;
        };
        h.openVehicleWindow = [this] {
            ++calls.vehicle;
            calls.flagsAtVehicleNew = state.newFlag;
            calls.flagsAtVehicleModify = state.modifyFlag;
        };
        h.openMassSend = [this] { ++calls.massSend; };
        h.printGrid = [this] { ++calls.print; };
        h.quit = [this] { ++calls.quit; };
        return h;
    }

    template <typename T> T* find(const QString& name) { return window->findChild<T*>(name); }

    QAction* menuAction(const QString& menu, const QString& item)
    {
        for (QAction* top : window->menuBar()->actions()) {
            if (top->text() != menu || !top->menu())
                continue;
            for (QAction* a : top->menu()->actions())
                if (a->text() == item)
                    return a;
        }
        return nullptr;
    }

    AppState state;
    test::ScriptedDialogs dialogs;
    Calls calls;
    bool loginProceeds = true;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, ControlsHaveTheirNamesPlacesAndTexts)
{
    struct Expect {
        const char* name;
        QRect geometry;
        const char* text;
    };
    const Expect buttons[] = {
        {"按钮_代码查询", QRect(161, 3, 50, 32), "查询"},
        {"按钮_新增车辆", QRect(212, 3, 73, 32), "新增车辆"},
        {"按钮_修改车辆", QRect(286, 3, 73, 32), "修改车辆"},
        {"按钮_短信群发", QRect(360, 3, 73, 32), "短信群发"},
        {"按钮_打印", QRect(434, 3, 73, 32), "打印"},
        {"按钮_到期总览", QRect(508, 3, 73, 32), "到期总览"},
        {"按钮_收费", QRect(582, 3, 73, 32), "收费"},
        {"按钮_刷新", QRect(656, 3, 50, 32), "刷新"},
    };
    for (const Expect& e : buttons) {
        auto* b = find<QPushButton>(QString::fromUtf8(e.name));
        ASSERT_NE(b, nullptr) << e.name;
        EXPECT_EQ(b->geometry(), e.geometry) << e.name;
        EXPECT_EQ(b->text(), QString::fromUtf8(e.text)) << e.name;
    }
    // No button of the row hides another (收费 was once covered by 刷新).
    const QList<QPushButton*> row = window->centralWidget()->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly);
    for (const QPushButton* a : row)
        for (const QPushButton* b : row)
            EXPECT_TRUE(a == b || !a->geometry().intersects(b->geometry()))
                << a->objectName().toStdString() << " covers " << b->objectName().toStdString();
    auto* field = find<QComboBox>(QStringLiteral("组合框1"));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->geometry(), QRect(7, 11, 88, 20));
    EXPECT_FALSE(field->isEditable());
    ASSERT_EQ(field->count(), 3);
    EXPECT_EQ(field->currentText(), QStringLiteral("车牌号"));
    EXPECT_EQ(field->itemText(1), QStringLiteral("档案编号"));
    EXPECT_EQ(field->itemText(2), QStringLiteral("车主姓名"));
    EXPECT_EQ(field->itemData(0).toInt(), 1);
    EXPECT_EQ(field->itemData(1).toInt(), 2);
    EXPECT_EQ(field->itemData(2).toInt(), 3);
    auto* search = find<QLineEdit>(QStringLiteral("编辑框_车号查询"));
    ASSERT_NE(search, nullptr);
    EXPECT_EQ(search->geometry(), QRect(101, 5, 58, 30));
    EXPECT_TRUE(search->text().isEmpty());
    auto* tree = find<QTreeWidget>(QStringLiteral("树型框1"));
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->pos(), QPoint(9, 39));
    EXPECT_EQ(tree->width(), 151);
    auto* grid = find<QTableView>(QStringLiteral("高级表格_车辆具体信息"));
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->pos(), QPoint(162, 39));
    EXPECT_EQ(window->centralWidget()->palette().color(QPalette::Window), QColor(236, 236, 236));
    EXPECT_EQ(window->pos(), QPoint(50, 50));
}

TEST_F(MainWindowTest, ResizeKeepsTheMinimumAndStretchesGridAndTree)
{
    window->show();
    auto* grid = find<QTableView>(QStringLiteral("高级表格_车辆具体信息"));
    auto* tree = find<QTreeWidget>(QStringLiteral("树型框1"));
    // the loaded height of 691 is raised to 700 on the first layout
    EXPECT_EQ(window->size(), QSize(1020, 700));
    EXPECT_EQ(grid->size(), QSize(835, 595));
    EXPECT_EQ(tree->size(), QSize(151, 595));

    window->resize(800, 500); // dragged smaller: snaps back
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), QSize(1020, 700));
    EXPECT_EQ(grid->size(), QSize(835, 595));

    window->resize(1300, 900);
    QCoreApplication::processEvents();
    EXPECT_EQ(grid->size(), QSize(1115, 795));
    EXPECT_EQ(tree->size(), QSize(151, 795));
    // no control moves
    EXPECT_EQ(grid->pos(), QPoint(162, 39));
    EXPECT_EQ(tree->pos(), QPoint(9, 39));
    EXPECT_EQ(find<QPushButton>(QStringLiteral("按钮_打印"))->pos(), QPoint(434, 3));

    window->resize(1100, 600); // only the height is too small
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), QSize(1100, 700));
    EXPECT_EQ(grid->size(), QSize(915, 595));
}

TEST_F(MainWindowTest, MenuItemsRunTheirActions)
{
    QAction* print = menuAction(QStringLiteral("文件"), QStringLiteral("打印"));
    QAction* quit = menuAction(QStringLiteral("文件"), QStringLiteral("退出"));
    QAction* add = menuAction(QStringLiteral("车辆管理"), QStringLiteral("新增车辆"));
    QAction* modify = menuAction(QStringLiteral("车辆管理"), QStringLiteral("修改车辆"));
    QAction* mass = menuAction(QStringLiteral("车辆管理"), QStringLiteral("短信群发"));
    QAction* contact = menuAction(QStringLiteral("帮助"), QStringLiteral("联系我们"));
    QAction* about = menuAction(QStringLiteral("帮助"), QStringLiteral("关于软件"));
    for (QAction* a : {print, quit, add, modify, mass, contact, about})
        ASSERT_NE(a, nullptr);

    print->trigger();
    EXPECT_EQ(calls.print, 1);
    find<QPushButton>(QStringLiteral("按钮_打印"))->click();
    EXPECT_EQ(calls.print, 2);
    quit->trigger();
    EXPECT_EQ(calls.quit, 1);

    add->trigger();
    EXPECT_EQ(calls.vehicle, 1);
    EXPECT_EQ(calls.flagsAtVehicleNew, 1);
    EXPECT_EQ(calls.flagsAtVehicleModify, 0);

    about->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown.last().caption, QStringLiteral("关于软件"));
    EXPECT_TRUE(dialogs.shown.last().text.startsWith(QStringLiteral("      路衡通运输公司管理软件是适用于运输企业")));
    EXPECT_TRUE(dialogs.shown.last().text.endsWith(QStringLiteral("而浪费时间和机会的烦恼。")));

    contact->trigger();
    EXPECT_EQ(dialogs.shown.last().caption, QStringLiteral("联系我们"));
    EXPECT_EQ(dialogs.shown.last().text,
        QStringLiteral("如果您想使用本系统请联系我们，我们会给您提供优质的客服服务和技术服务，服务QQ 800012345。"));

    // modify with nothing selected: the message, and the vehicle window does not open
    modify->trigger();
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("请先选择车辆再修改车辆信息！"));
    EXPECT_EQ(dialogs.shown.last().caption, QStringLiteral("信息："));
    EXPECT_EQ(calls.vehicle, 1);

    mass->trigger(); // the grid holds no data rows
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("没有需要群发的手机号哦！"));
    EXPECT_EQ(calls.massSend, 0);
}

TEST_F(MainWindowTest, ModifyOpensTheVehicleWindowOnlyWithASelection)
{
    auto* modify = find<QPushButton>(QStringLiteral("按钮_修改车辆"));
    modify->click();
    EXPECT_EQ(calls.vehicle, 0);
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("请先选择车辆再修改车辆信息！")});

    state.currentVehicleId = QStringLiteral("0"); // reads as 0: still no selection
    modify->click();
    EXPECT_EQ(calls.vehicle, 0);

    state.currentVehicleId = QStringLiteral("17");
    state.editVehicleId = QStringLiteral("17");
    state.newFlag = 1;
    modify->click();
    EXPECT_EQ(calls.vehicle, 1);
    EXPECT_EQ(calls.flagsAtVehicleModify, 1);
    EXPECT_EQ(calls.flagsAtVehicleNew, 0);

    // a double-click opens the modify mode without the check
    state.currentVehicleId.clear();
    state.editVehicleId.clear();
    window->openSelectedVehicle();
    EXPECT_EQ(calls.vehicle, 2);
    EXPECT_EQ(calls.flagsAtVehicleModify, 1);
    EXPECT_EQ(dialogs.messages().size(), 2);

    find<QPushButton>(QStringLiteral("按钮_新增车辆"))->click();
    EXPECT_EQ(calls.vehicle, 3);
    EXPECT_EQ(calls.flagsAtVehicleNew, 1);
    EXPECT_EQ(calls.flagsAtVehicleModify, 0);
}

TEST_F(MainWindowTest, MassSendWithOnlyTheHeaderEmptiesTheListsAndStays)
{
    state.smsPlates = {QStringLiteral("豫H00001")};
    state.smsPhones = {QStringLiteral("13800000000")};
    state.smsExpiryDates = {QStringLiteral("2016-5-1")};
    find<QPushButton>(QStringLiteral("按钮_短信群发"))->click();
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("没有需要群发的手机号哦！"));
    EXPECT_TRUE(state.smsPlates.isEmpty());
    EXPECT_TRUE(state.smsPhones.isEmpty());
    EXPECT_TRUE(state.smsExpiryDates.isEmpty());
    EXPECT_EQ(calls.massSend, 0);
}

TEST_F(MainWindowTest, StartRunsTheLoginThenStopsWhenItIsCancelled)
{
    state.appTitle.clear();
    loginProceeds = false;
    window->setHooks(hooks());
    EXPECT_FALSE(window->start());
    EXPECT_EQ(calls.login, 1);
    EXPECT_TRUE(window->windowTitle().isEmpty()); // no login yet: the caption is empty
    auto* tree = find<QTreeWidget>(QStringLiteral("树型框1"));
    ASSERT_GT(tree->topLevelItemCount(), 0);
    for (int i = 0; i < tree->topLevelItem(0)->childCount(); ++i)
        EXPECT_FALSE(tree->topLevelItem(0)->child(i)->isExpanded()) << "group " << i << " is collapsed at start";
}

TEST_F(MainWindowTest, ClosingTheWindowClosesTheConnection)
{
    state.dbConnection = test::connectStack();
    ASSERT_TRUE(state.dbConnection);
    std::weak_ptr<db::Connection> held = state.dbConnection;
    auto probe = test::connectStack();
    const QString id = QString::number(state.dbConnection->threadId());
    const QString query = QStringLiteral("select count(*) from information_schema.processlist where ID=") + id;
    EXPECT_EQ(test::queryValue(probe, query), QStringLiteral("1"));
    window->show();
    window->close();
    EXPECT_FALSE(state.dbConnection);
    EXPECT_TRUE(held.expired());
    // the server lets go of the session once the client has closed it
    QString count;
    for (int i = 0; i < 50 && (count = test::queryValue(probe, query)) != QLatin1String("0"); ++i)
        QTest::qWait(20);
    EXPECT_EQ(count, QStringLiteral("0"));
}

TEST_F(MainWindowTest, DestroyingTheWindowClosesTheConnection)
{
    state.dbConnection = test::connectStack();
    ASSERT_TRUE(state.dbConnection);
    window.reset();
    EXPECT_FALSE(state.dbConnection);
}

} // namespace
