// The main window's lists on a fleet large enough to arrive in many parts: a new selection or
// search cancels the list still arriving, and the grid shows the new list only; 刷新 and F5 read
// the shown list again, also after it failed and every session of the window was killed; print
// and mass send wait for the list being read and then take it whole.
#include "app/MainWindow.h"
#include "common/AppState.h"
#include "common/DateTime.h"
#include "fleet/FleetList.h"
#include "fleet/FleetStatements.h"
#include "support/ListWait.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

using namespace fd;

namespace {

constexpr int kVehicles = 40000;
const QString kDatabase = QStringLiteral("t_lists_app");

class MainWindowListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.dbConnection = test::freshDatabase(kDatabase);
        ASSERT_TRUE(state.dbConnection);
        state.appTitle = kProgramTitle;
        state.loginDateTime = datetime::toDayNumber(2016, 5, 31, 8, 15, 0);
        test::mustExecute(state.dbConnection,
            QStringLiteral("INSERT INTO celiangzongbiao (danganbianhao,cepaihao,cezuxingming,cezudianhua,zuceyouxiaoriqi) "
                           "SELECT CONCAT('D', seq), CONCAT('豫L', seq), CONCAT('车主', seq % 100), "
                           "CONCAT('139', LPAD(seq, 8, '0')), DATE_ADD('2015-01-01', INTERVAL seq % 900 DAY) "
                           "FROM seq_1_to_%1")
                .arg(kVehicles));

        MainWindowHooks h;
        h.openLogin = [] { return true; };
        h.openMassSend = [this] {
            ++massSends;
            handedPhones = static_cast<int>(state.smsPhones.size());
        };
        h.printGrid = [this] {
            ++prints;
            printedRows = window->fleet().gridRowCount() - 1;
        };
        window = std::make_unique<MainWindow>(state, dialogs, h);
        window->show();
        ASSERT_TRUE(window->start());
        ASSERT_TRUE(test::waitForList(window->fleet()));
        ASSERT_EQ(window->fleet().gridRowCount(), kVehicles + 1);
        tree = window->findChild<QTreeWidget*>(QStringLiteral("树型框1"));
        ASSERT_TRUE(tree);
    }

    void TearDown() override
    {
        window.reset();
        db::dbClose(state.dbConnection);
    }

    QTreeWidgetItem* root() const { return tree->topLevelItem(0); }
    QTreeWidgetItem* leaf(int group, int index) const { return root()->child(group)->child(index); }
    QAbstractItemModel& model() const { return *window->fleet().model(); }

    // Runs the action once, when the first rows of the list being read have reached the grid.
    void onFirstRows(std::function<void()> action)
    {
        auto done = std::make_shared<bool>(false);
        QObject::connect(&model(), &QAbstractItemModel::rowsInserted, window.get(), [this, done, action] {
            if (*done)
                return;
            *done = true;
            rowsWhenActed = model().rowCount();
            fillingWhenActed = window->fleet().filling();
            action();
        });
    }

    // The IDs the statement lists, in its order, read at once on the window's session.
    QStringList idsOf(const db::Statement& statement)
    {
        QStringList ids;
        db::Reply reply = state.dbConnection->run(statement);
        EXPECT_TRUE(reply.ok) << reply.error.toStdString();
        while (reply.rows && reply.rows->next())
            ids << reply.rows->text("ID");
        return ids;
    }
    // The first row where the grid's IDs differ from the expected ones; -1 when none does.
    int firstDifference(const QStringList& expected) const
    {
        const QStringList shown = gridIds();
        for (int r = 0; r < std::max(shown.size(), expected.size()); ++r)
            if (shown.value(r) != expected.value(r))
                return r;
        return -1;
    }
    QStringList gridIds() const
    {
        QStringList ids;
        for (int r = 1; r < window->fleet().gridRowCount(); ++r)
            ids << window->fleet().gridText(r, 0);
        return ids;
    }

    AppState state;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
    QTreeWidget* tree = nullptr;
    int massSends = 0, handedPhones = -1, prints = 0, printedRows = -1;
    int rowsWhenActed = -1;
    bool fillingWhenActed = false;
};

TEST_F(MainWindowListTest, ANewSelectionOrSearchCancelsTheListStillArrivingAndShowsOnlyItsOwn)
{
    const QString permit = QStringLiteral("zuceyouxiaoriqi");
    // 行车证 正常, and while its first rows are in: 行车证 过期, a list of the same columns.
    QString windowSessionAnswer;
    onFirstRows([&] {
        // The list is read on a session of its own: the window's answers meanwhile.
        windowSessionAnswer = test::queryValue(state.dbConnection, QStringLiteral("SELECT 1"));
        tree->setCurrentItem(leaf(1, 1));
    });
    tree->setCurrentItem(leaf(1, 0));
    ASSERT_TRUE(test::waitForList(window->fleet()));
    ASSERT_TRUE(fillingWhenActed);
    ASSERT_LT(rowsWhenActed, 10000) << "the first list had not arrived whole";
    EXPECT_EQ(windowSessionAnswer, QStringLiteral("1"));
    const QStringList expired = idsOf(fleet::categoryStatement(permit, 2, state.loginDateTime));
    ASSERT_GT(expired.size(), 10000);
    EXPECT_EQ(model().columnCount(), 7);
    EXPECT_EQ(window->fleet().gridText(0, 6), QStringLiteral("行车证有效日期"));
    EXPECT_EQ(model().rowCount(), expired.size());
    EXPECT_EQ(firstDifference(expired), -1);
    EXPECT_EQ(window->fleet().gridText(static_cast<int>(expired.size()), 1), QString::number(expired.size()));

    // The full list, and while its first rows are in: a search typed and entered.
    auto* text = window->findChild<QLineEdit*>(QStringLiteral("编辑框_车号查询"));
    onFirstRows([&] {
        text->setText(QStringLiteral("豫L12"));
        QTest::keyClick(text, Qt::Key_Return);
    });
    tree->setCurrentItem(root());
    ASSERT_TRUE(test::waitForList(window->fleet()));
    ASSERT_TRUE(fillingWhenActed);
    ASSERT_LT(rowsWhenActed, kVehicles);
    const QStringList found = idsOf(fleet::searchStatement(1, QStringLiteral("豫L12")));
    ASSERT_GT(found.size(), 100);
    EXPECT_EQ(model().columnCount(), 12);
    EXPECT_EQ(model().rowCount(), found.size());
    EXPECT_EQ(firstDifference(found), -1);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.lastMessage().toStdString();
}

TEST_F(MainWindowListTest, RefreshReadsTheShownListAgainAfterItFailedAndTheSessionsWereKilled)
{
    auto probe = test::connectStack(kDatabase);
    ASSERT_TRUE(probe);
    // A list that fails: the table is away while 刷新 reads it.
    test::mustExecute(probe, QStringLiteral("RENAME TABLE celiangzongbiao TO vehicles_away"));
    window->findChild<QPushButton*>(QStringLiteral("按钮_刷新"))->click();
    ASSERT_TRUE(test::waitForList(window->fleet()));
    test::mustExecute(probe, QStringLiteral("RENAME TABLE vehicles_away TO celiangzongbiao"));
    EXPECT_EQ(window->fleet().gridRowCount(), 1);
    EXPECT_TRUE(dialogs.lastMessage().startsWith(QStringLiteral("读取车辆列表失败！\n"))) << dialogs.lastMessage().toStdString();

    // Every session of the window killed from another connection: its own and its lists'.
    const unsigned long windowSession = state.dbConnection->threadId();
    db::Reply sessions = probe->run(db::Statement(
        "SELECT ID FROM information_schema.processlist WHERE DB=? AND ID<>CONNECTION_ID()").bind(kDatabase));
    ASSERT_TRUE(sessions.ok && sessions.rows);
    int killed = 0;
    while (sessions.rows->next()) {
        test::mustExecute(probe, QStringLiteral("KILL ") + sessions.rows->text(0));
        ++killed;
    }
    EXPECT_GE(killed, 2);
    dialogs.clear();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_F5);
    EXPECT_TRUE(window->fleet().filling());
    ASSERT_TRUE(test::waitForList(window->fleet()));
    EXPECT_EQ(window->fleet().gridRowCount(), kVehicles + 1);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.lastMessage().toStdString();
    EXPECT_NE(state.dbConnection->threadId(), windowSession);

    // F5 repeats a category and a search, and shows what changed since.
    const struct {
        const char* what;
        std::function<void()> show;
        const char* plate;
        int columns;
    } lists[] = {
        {"category 行车证 预警", [&] { tree->setCurrentItem(leaf(1, 2)); }, "豫新1", 7},
        {"search", [&] {
             window->findChild<QLineEdit*>(QStringLiteral("编辑框_车号查询"))->setText(QStringLiteral("豫L399"));
             window->runSearch();
         }, "豫L399新", 12},
    };
    for (const auto& list : lists) {
        SCOPED_TRACE(list.what);
        list.show();
        ASSERT_TRUE(test::waitForList(window->fleet()));
        const int before = window->fleet().gridRowCount();
        ASSERT_GT(before, 2);
        test::mustExecute(probe, QStringLiteral("INSERT INTO celiangzongbiao (cepaihao,zuceyouxiaoriqi) VALUES ('%1','2016-06-15')")
                                     .arg(QString::fromUtf8(list.plate)));
        QTest::keyClick(window.get(), Qt::Key_F5);
        ASSERT_TRUE(test::waitForList(window->fleet()));
        EXPECT_EQ(window->fleet().gridRowCount(), before + 1);
        EXPECT_EQ(model().columnCount(), list.columns);
        bool listed = false;
        for (int r = 1; r < window->fleet().gridRowCount(); ++r)
            listed = listed || window->fleet().gridText(r, 3) == QString::fromUtf8(list.plate);
        EXPECT_TRUE(listed);
    }
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.lastMessage().toStdString();

    // Selecting again the item already selected reads nothing.
    tree->setCurrentItem(tree->currentItem());
    EXPECT_FALSE(window->fleet().filling());
}

TEST_F(MainWindowListTest, PrintAndMassSendWaitForTheListBeingReadAndTakeItWhole)
{
    auto* massSend = window->findChild<QPushButton*>(QStringLiteral("按钮_短信群发"));
    auto* print = window->findChild<QPushButton*>(QStringLiteral("按钮_打印"));
    int massSendsMeanwhile = -1, printsMeanwhile = -1;
    onFirstRows([&] {
        massSend->click();
        massSend->click();
        print->click();
        massSendsMeanwhile = massSends;
        printsMeanwhile = prints;
    });
    tree->setCurrentItem(root());
    ASSERT_TRUE(test::waitForList(window->fleet()));
    ASSERT_TRUE(fillingWhenActed);
    EXPECT_EQ(massSendsMeanwhile, 0);
    EXPECT_EQ(printsMeanwhile, 0);
    EXPECT_EQ(massSends, 1);
    EXPECT_EQ(handedPhones, kVehicles);
    EXPECT_EQ(prints, 1);
    EXPECT_EQ(printedRows, kVehicles);
    // With no list being read they act at once.
    print->click();
    EXPECT_EQ(prints, 2);
}

} // namespace
