// The window 自动提醒: rules edited and stored, today's plan, a run started from the window.
#include "support/AdminState.h"
#include "ReminderFixture.h"
#include "common/AppState.h"
#include "reminders/window/ReminderWindow.h"
#include "reminders/window/TextTableModel.h"
#include "support/ScriptedDialogs.h"
#include "support/Wait.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

namespace fd::test {
namespace {

class ReminderWindowTest : public ReminderFixture {
protected:
    void open()
    {
        state.settings = settings;
        state.dbConnection = db;
        watch = connectStack(kReminderDb);
        w = std::make_unique<reminders::ReminderWindow>(state, dialogs);
        w->setPaceMs(0);
        w->setToday(datetime::daysFromCivil(2016, 12, 20));
        w->show();
        FD_WAIT_TRUE(!w->planning(), 5000);
    }
    template <typename T> T* find(const QString& name) { return w->findChild<T*>(name); }
    void click(const QString& button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }

    // Starts today's run with every send answered a second late, and waits until the first
    // stage is claimed and its message on its way.
    void startSlowRun()
    {
        sim->fault(u"slow=1000"_s);
        dialogs.answers.prepend(ui::Dialogs::Ok);
        click(u"按钮_立即发送"_s);
        ASSERT_TRUE(w->sending());
        FD_WAIT_EQ(queryValue(watch, u"select count(*) from tixingjilu where jieguo is null"_s), u"1"_s, 10000);
    }
    QString stages() { return queryValue(watch, u"select group_concat(cepaihao,jieguo) from tixingjilu"_s); }

    AppState state = fd::test::adminState();
    ScriptedDialogs dialogs;
    std::unique_ptr<reminders::ReminderWindow> w;
    // A connection of the test's own, read while the window's run uses the window's.
    db::ConnectionPtr watch;
};

TEST_F(ReminderWindowTest, EditedRulesAreStored)
{
    open();
    auto* table = find<QTableWidget>(u"表格_提醒规则"_s);
    ASSERT_EQ(table->rowCount(), 7);
    EXPECT_EQ(table->item(0, 3)->text(), u"30,7"_s);

    // Days that do not read are refused and nothing is stored.
    table->item(0, 3)->setText(u"15天"_s);
    click(u"按钮_保存规则"_s);
    EXPECT_TRUE(dialogs.messages().last().contains(u"提前天数"_s));
    reminders::ReminderRules stored;
    ASSERT_TRUE(reminders::loadRules(db, stored));
    EXPECT_EQ(stored.rules[0].daysBefore, (QList<int> {30, 7}));

    table->item(0, 3)->setText(u"3, 15"_s);
    table->item(0, 4)->setCheckState(Qt::Unchecked);
    table->item(1, 5)->setCheckState(Qt::Unchecked); // 营运证 off
    table->item(2, 2)->setText(u"续保。"_s);
    find<QLineEdit>(u"编辑框_短信后缀"_s)->setText(u"【某某运输】"_s);
    click(u"按钮_保存规则"_s);
    ASSERT_TRUE(reminders::loadRules(db, stored));
    EXPECT_EQ(stored.rules[0].daysBefore, (QList<int> {15, 3}));
    EXPECT_FALSE(stored.rules[0].afterExpiry);
    EXPECT_FALSE(stored.rules[1].enabled);
    EXPECT_EQ(stored.rules[2].action, u"续保。"_s);
    EXPECT_EQ(stored.signature, u"【某某运输】"_s);
    EXPECT_EQ(table->item(0, 3)->text(), u"15,3"_s);

    // The plan follows the stored rules: 豫A00001's 营运证 is off, its 行车证 is 30 days out (no stage).
    FD_WAIT_TRUE(!w->planning(), 5000);
    EXPECT_EQ(w->plan().count(reminders::PlanEntry::Status::Send), 3);
}

TEST_F(ReminderWindowTest, RunsTodaysPlanAndShowsTheHistory)
{
    open();
    auto* planModel = qobject_cast<reminders::TextTableModel*>(find<QTableView>(u"表格_今日计划"_s)->model());
    EXPECT_EQ(planModel->rowCount(), 8); // 5 to send, 3 skipped
    dialogs.answers = {ui::Dialogs::Ok};
    click(u"按钮_立即发送"_s);
    EXPECT_TRUE(w->sending());
    FD_WAIT_TRUE(!w->sending(), 20000);
    EXPECT_TRUE(dialogs.messages().last().startsWith(u"发送成功5条，失败0条"_s)) << dialogs.messages().last().toStdString();
    EXPECT_EQ(Simulator::received().size(), 5);
    FD_WAIT_TRUE(!w->planning(), 5000);
    EXPECT_EQ(w->plan().count(reminders::PlanEntry::Status::Send), 0);

    auto* history = qobject_cast<reminders::TextTableModel*>(find<QTableView>(u"表格_发送记录"_s)->model());
    EXPECT_EQ(history->rowCount(), 5);
    find<QLineEdit>(u"编辑框_车牌过滤"_s)->setText(u"A00005"_s);
    click(u"按钮_查询记录"_s);
    ASSERT_EQ(history->rowCount(), 1);
    EXPECT_EQ(history->rows()[0].value(1), u"豫A00005"_s);
    EXPECT_EQ(history->rows()[0].value(6), u"成功"_s);
}

TEST_F(ReminderWindowTest, RefreshAndSendUseTheDayTheyArePressedOn)
{
    open();
    qint64 day = datetime::daysFromCivil(2016, 12, 20);
    w->setTodaySource([&day] { return day; });
    FD_WAIT_TRUE(!w->planning(), 5000);
    // Left open past midnight.
    day = datetime::daysFromCivil(2016, 12, 21);
    click(u"按钮_刷新计划"_s);
    FD_WAIT_TRUE(!w->planning(), 5000);
    EXPECT_EQ(w->plan().today, day);

    day = datetime::daysFromCivil(2016, 12, 22);
    dialogs.answers = {ui::Dialogs::Ok};
    click(u"按钮_立即发送"_s); // plans the new day first, then asks and sends it
    FD_WAIT_TRUE(!w->planning() && !w->sending(), 20000);
    EXPECT_TRUE(dialogs.messages().last().startsWith(u"发送成功5条"_s)) << dialogs.messages().last().toStdString();
    EXPECT_EQ(queryValue(watch, u"select count(*) from duanxinbiao where sijian='2016-12-22'"_s), u"5"_s);
    FD_WAIT_TRUE(!w->planning(), 5000);
    EXPECT_EQ(w->plan().today, day);
}

TEST_F(ReminderWindowTest, StopEndsTheRunAfterTheMessageOnItsWay)
{
    open();
    startSlowRun();
    click(u"按钮_停止"_s);
    FD_WAIT_TRUE(!w->sending(), 10000);
    // The message on its way went out and its stage has its result; no other was sent.
    EXPECT_EQ(Simulator::received().size(), 1);
    EXPECT_TRUE(stages().endsWith(u"成功"_s)) << stages().toStdString();
    EXPECT_EQ(queryValue(watch, u"select count(*) from tixingjilu"_s), u"1"_s);
    EXPECT_EQ(queryValue(watch, u"select count(*) from duanxinbiao"_s), u"1"_s);
    EXPECT_TRUE(dialogs.lastMessage().contains(u"发送成功1条"_s) && dialogs.lastMessage().contains(u"4条未发送"_s))
        << dialogs.lastMessage().toStdString();
    auto* history = qobject_cast<reminders::TextTableModel*>(find<QTableView>(u"表格_发送记录"_s)->model());
    EXPECT_EQ(history->rowCount(), 1);
    FD_WAIT_TRUE(!w->planning(), 5000);
    EXPECT_EQ(w->plan().count(reminders::PlanEntry::Status::Send), 4);
}

TEST_F(ReminderWindowTest, ClosingDuringARunAsksAndNothingReachesTheClosedWindow)
{
    open();
    dialogs.answers = {ui::Dialogs::No, ui::Dialogs::Yes};
    startSlowRun();
    w->close();
    EXPECT_TRUE(dialogs.lastMessage().contains(u"尚未发送完"_s));
    EXPECT_TRUE(w->isVisible()); // answered No: the run goes on
    w->close();
    ASSERT_FALSE(w->isVisible());
    const qsizetype shown = dialogs.shown.size();

    // The message on its way is still sent and recorded; nothing is sent after it.
    FD_WAIT_EQ(queryValue(watch, u"select count(*) from tixingjilu where jieguo is not null"_s), u"1"_s, 10000);
    ASSERT_TRUE(waitForAllJobs(10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(Simulator::received().size(), 1);
    EXPECT_EQ(queryValue(watch, u"select count(*) from tixingjilu"_s), u"1"_s);
    // No summary, no replanning, no history read for a window that is gone.
    EXPECT_EQ(dialogs.shown.size(), shown) << dialogs.lastMessage().toStdString();
    auto* history = qobject_cast<reminders::TextTableModel*>(find<QTableView>(u"表格_发送记录"_s)->model());
    EXPECT_EQ(history->rowCount(), 0);
}

} // namespace
} // namespace fd::test
