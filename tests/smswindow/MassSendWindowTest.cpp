// The mass-send window driven through its controls, against the simulator and the real database:
// the opening, the test send, the start with its checks, runs stepped tick by tick, the log rows,
// runs on the real timer, stopping and closing while the platform is slow, the status grid's fit.
#include "support/AdminState.h"
#include "../sms/Simulator.h"
#include "common/AppState.h"
#include "common/DateTime.h"
#include "common/Jobs.h"
#include "smswindow/ListComboBox.h"
#include "smswindow/MassSendWindow.h"
#include "sms/SendStatusModel.h"
#include "support/ScriptedDialogs.h"
#include "ui/CutTextTips.h"
#include "ui/ScreenFit.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace fd::test {
namespace {

using smswindow::MassSendWindow;
using namespace Qt::StringLiterals;

const QString kUser = u"acme"_s;
const QString kPassword = u"pw1"_s;
const QString kStart = u"按钮_群发"_s;
const QString kTest = u"按钮_测试短信"_s;
const QString kStop = u"按钮_停止"_s;
const QString kRemember = u"选择框_保存用户名和密码"_s;

class MassSendWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.settings = stackSettings();
        state.settings.httpConnectTimeoutSeconds = 2;
        state.settings.httpTotalTimeoutSeconds = 2;
        state.loginDateTime = datetime::toDayNumber(2016, 5, 8, 9, 30, 0);
        ASSERT_TRUE(freshDatabase(u"fd_sms_tests"_s));
        // The window's session names its database: the log is written with a session of the SMS
        // lane's own, opened with the window's options.
        state.dbConnection = connectStack(u"fd_sms_tests"_s);
        ASSERT_TRUE(state.dbConnection);
        ASSERT_TRUE(dir.isValid());
        sim.reset();
        sim.account(kUser, kPassword, 100);
    }
    void TearDown() override
    {
        EXPECT_TRUE(!w || idle());
        w.reset();
        // A message a test left on its way is sent and logged before the next test's database.
        EXPECT_TRUE(JobLane::sms().waitForDone(20000));
        sim.reset();
    }

    void open()
    {
        w = std::make_unique<MassSendWindow>(state, dialogs, sms::RememberedAccount(ini));
        w->show();
    }
    // Recipients 豫P1 … 豫Pn on 13800000001 …, without expiry dates; the stack's account typed in.
    void openNumbered(int n)
    {
        for (int i = 1; i <= n; ++i) {
            state.smsPlates.append(u"豫P%1"_s.arg(i));
            state.smsPhones.append(u"1380000000%1"_s.arg(i));
        }
        open();
        typeAccount(kUser, kPassword);
    }

    template <typename T> T* find(const QString& name)
    {
        T* child = w->findChild<T*>(name);
        if (!child)
            ADD_FAILURE() << "no control " << name.toStdString();
        return child;
    }
    void typeAccount(const QString& user, const QString& password)
    {
        find<QLineEdit>(u"编辑框_用户名"_s)->setText(user);
        find<QLineEdit>(u"编辑框_密码"_s)->setText(password);
    }
    void press(const QString& button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    // Clicks and waits until the step it starts no longer waits on the platform (the test button,
    // which is disabled only while a step waits, is enabled again).
    void click(const QString& button)
    {
        press(button);
        EXPECT_TRUE(QTest::qWaitFor([this] { return find<QPushButton>(kTest)->isEnabled(); }, 10000));
    }
    // Lets every request of the SMS lane and whatever it would deliver run out.
    static void drain()
    {
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(JobLane::sms().waitForDone(10000));
            QTest::qWait(50);
        }
    }
    void selectText(int category, int number)
    {
        QTreeWidgetItem* item = find<QTreeWidget>(u"树型框1"_s)->topLevelItem(category)->child(number);
        item->treeWidget()->setCurrentItem(item);
    }
    void showPage(int index) { find<QTabWidget>(u"高级选择夹1"_s)->setCurrentIndex(index); }

    bool idle() { return QTest::qWaitFor([this] { return !w->sending(); }, 5000); }
    // One tick by hand, its reply awaited.
    bool step()
    {
        w->tick();
        return idle();
    }
    void runToEnd()
    {
        for (int guard = 0; guard < 1000 && w->running(); ++guard)
            ASSERT_TRUE(step());
        EXPECT_FALSE(w->running());
    }
    // Starts a run through the button, confirming it.
    void start()
    {
        dialogs.answers = {ui::Dialogs::Ok};
        click(kStart);
        ASSERT_TRUE(w->running()) << dialogs.lastMessage().toStdString();
    }

    QStringList statusRows() const
    {
        QStringList out;
        for (const auto& r : w->statusModel().rows())
            out.append(QStringList {r.number, r.plate, r.phone, r.status}.join(u'|'));
        return out;
    }
    QStringList logRows()
    {
        const QString all = queryValue(state.dbConnection,
            u"select group_concat(concat_ws('|', cepaihao, dianhua, sijian, neirong) order by ID separator '\\n') "
            "from duanxinbiao"_s);
        return all == "<null>"_L1 ? QStringList() : all.split(u'\n');
    }

    AppState state = fd::test::adminState();
    ScriptedDialogs dialogs;
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"Network.ini"_s);
    Simulator sim {stackSettings()};
    std::unique_ptr<MassSendWindow> w;
};

TEST_F(MassSendWindowTest, OpeningFillsTheRememberedAccountAndTheSafetyTreeFillsTheBox)
{
    open();
    EXPECT_FALSE(find<QCheckBox>(kRemember)->isChecked());

    // A text fills the box, a category empties it.
    auto* box = find<QPlainTextEdit>(u"编辑框_安全提醒短信"_s);
    selectText(1, 4);
    EXPECT_EQ(box->toPlainText(), u"今天是安全生产月及反三违月第一天，今年活动的主题是："_s);
    auto* tree = find<QTreeWidget>(u"树型框1"_s);
    tree->setCurrentItem(tree->topLevelItem(1));
    EXPECT_TRUE(box->toPlainText().isEmpty());

    // A left press into an account box empties it, a right one does not.
    auto* password = find<QLineEdit>(u"编辑框_密码"_s);
    password->setText(u"typed"_s);
    QTest::mouseClick(password, Qt::RightButton);
    EXPECT_EQ(password->text(), u"typed"_s);
    QTest::mouseClick(password, Qt::LeftButton);
    EXPECT_TRUE(password->text().isEmpty());

    // A remembered account is filled in at the next opening, whatever the box shows now. Its
    // password is in plain text: a store the account creates is its owner's alone.
    ASSERT_FALSE(QFile::exists(ini));
    sms::RememberedAccount(ini).remember(u"old"_s, u"secret"_s);
    EXPECT_EQ(QFile::permissions(ini) & ~(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                                            | QFileDevice::WriteUser),
        QFileDevice::Permissions());
    open();
    EXPECT_TRUE(find<QCheckBox>(kRemember)->isChecked());
    EXPECT_EQ(find<QLineEdit>(u"编辑框_用户名"_s)->text() + u'|' + find<QLineEdit>(u"编辑框_密码"_s)->text(),
        u"old|secret"_s);
}

TEST_F(MassSendWindowTest, TestSendChecksTheTemplateAndTheAccountAsksTheNumberAndSendsTheTestText)
{
    // An incomplete template: neither button goes to the platform.
    state.settings.smsUrlTemplate = u"http://a@#$%b@#$%c"_s;
    openNumbered(1);
    for (const QString& button : {kTest, kStart}) {
        click(button);
        EXPECT_EQ(dialogs.lastMessage(), u"短信平台的地址设置不完整，无法发送短信，请联系软件供应商。"_s);
    }
    EXPECT_FALSE(w->running());

    // Cancelled input: nothing is sent.
    state.settings.smsUrlTemplate = stackSettings().smsUrlTemplate;
    open();
    dialogs.clear();
    typeAccount(u"  acme　"_s, kPassword);
    click(kTest);
    EXPECT_EQ(dialogs.shown.size(), 1); // the number asked, nothing more
    EXPECT_TRUE(Simulator::received().isEmpty());

    // Accepted: the test reminder with the login date and the suffix reaches the platform.
    const auto testSend = [this] {
        dialogs.inputs = {u"13900000009"_s};
        click(kTest);
        return dialogs.lastMessage();
    };
    showPage(1);
    find<smswindow::ListComboBox>(u"组合框_第一段"_s)->choose(0);
    find<smswindow::ListComboBox>(u"组合框_第三段"_s)->choose(1);
    find<QLineEdit>(u"编辑框_后缀"_s)->setText(u"【运输】"_s);
    EXPECT_EQ(testSend(), u"短信提交成功！"_s);
    EXPECT_EQ(find<QLabel>(u"透明标签_短信余额"_s)->text(), u"短信余额100条。"_s);
    const QList<Received> got = Simulator::received();
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].mobile, u"13900000009"_s);
    EXPECT_EQ(got[0].content, u"尊敬的豫P88888车主你的营运证2016年5月8日审验。【运输】"_s);

    // A refused number fails; a balance below 1 stops before the send. Test sends are not logged.
    sim.fault(u"refuse=13900000009"_s);
    EXPECT_EQ(testSend(), u"短信提交失败！"_s);
    sim.account(kUser, kPassword, 0);
    EXPECT_EQ(testSend(), u"短信余额还有0小于欲发送是数量，请充值后再次发送。"_s);
    EXPECT_EQ(Simulator::received().size(), 2);
    EXPECT_TRUE(w->statusModel().rows().isEmpty());
    EXPECT_TRUE(logRows().isEmpty());
}

TEST_F(MassSendWindowTest, StartChecksAccountBalanceAndConfirmation)
{
    state.smsPlates = {u"豫P1"_s, u"豫P2"_s, u"豫P3"_s};
    state.smsPhones = {u"13800000001"_s, QString(), u"1380000"_s};
    open();
    auto* remember = find<QCheckBox>(kRemember);
    remember->setChecked(true);

    // Account refused: nothing is remembered.
    typeAccount(kUser, u"wrong"_s);
    click(kStart);
    EXPECT_EQ(dialogs.lastMessage(), u"请输入正确的短信用户名和密码"_s);
    EXPECT_FALSE(QFile::exists(ini));

    // Balance one below the recipients (the empty phone counts): refused, the account remembered.
    typeAccount(kUser, kPassword);
    sim.account(kUser, kPassword, 2);
    click(kStart);
    EXPECT_EQ(dialogs.lastMessage(), u"短信余额还有2小于欲发送是数量，请充值后再次发送。"_s);
    const sms::RememberedAccount stored(ini);
    EXPECT_EQ(QStringList({stored.userName(), stored.password()}), QStringList({kUser, kPassword}));

    // Equal balance: the confirmation counts the rows that cannot receive; Cancel leaves all idle.
    sim.account(kUser, kPassword, 3);
    dialogs.answers = {ui::Dialogs::Cancel};
    click(kStart);
    EXPECT_EQ(dialogs.lastMessage(),
        u"本次群发共3个短信。是否现在开始群发。\n其中1个没有手机号（不发送），1个手机号不是11位数字（可能无法送达）。"_s);
    EXPECT_FALSE(w->running());

    // OK: the timer ticks every second; an unticked box writes nothing.
    QFile::remove(ini);
    remember->setChecked(false);
    start();
    EXPECT_EQ(w->timerInterval(), 1000);
    EXPECT_FALSE(QFile::exists(ini));
    EXPECT_TRUE(Simulator::received().isEmpty()); // the first recipient waits for the first tick
    w->stopRun();
}

TEST_F(MassSendWindowTest, ARunSkipsEmptyPhonesLogsTheSentReminderAndEndsWithTheCounts)
{
    state.smsPlates = {u"豫P12345"_s, u"豫P22222"_s, u"豫P3'3\\3"_s};
    state.smsPhones = {u"13800000001"_s, QString(), u"13800000003"_s};
    state.smsExpiryDates = {u"2016-06-30"_s, u"2016-07-01"_s, u"2016-08-02"_s};
    open();
    typeAccount(kUser, kPassword);
    showPage(1);
    for (const QString& combo : {u"组合框_第一段"_s, u"组合框_第二段"_s, u"组合框_第三段"_s})
        find<smswindow::ListComboBox>(combo)->choose(0);
    start();
    runToEnd();

    EXPECT_EQ(statusRows(), (QStringList {u"1|豫P12345|13800000001|成功"_s, u"3|豫P3'3\\3|13800000003|成功"_s}));
    EXPECT_EQ(dialogs.lastMessage(), u"短信已经群的完毕！成功2个，失败0个。"_s);
    EXPECT_EQ(find<QLabel>(u"透明标签_群发进度"_s)->text(), u"已发送2个，失败0个，跳过1个，剩余0个，约需0秒"_s);
    // The log holds the reminder as sent, without the suffix, quote and backslash intact.
    const QString first = u"尊敬的豫P12345车主，你的营运证将于2016-06-30过期。请及时办理。"_s;
    EXPECT_EQ(logRows(),
        (QStringList {u"豫P12345|13800000001|2016-5-8|"_s + first,
            u"豫P3'3\\3|13800000003|2016-5-8|尊敬的豫P3'3\\3车主，你的营运证将于2016-08-02过期。请及时办理。"_s}));
    const QList<Received> got = Simulator::received();
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0].content, first + u"【】"_s);

    // A second run on the safety page appends below the first, in the grid and in the log.
    showPage(0);
    selectText(6, 0);
    state.smsPlates = {u"豫P9"_s};
    state.smsPhones = {u"13800000009"_s};
    start();
    runToEnd();
    EXPECT_EQ(statusRows().mid(2), QStringList {u"1|豫P9|13800000009|成功"_s});
    EXPECT_EQ(logRows().mid(2),
        QStringList {u"豫P9|13800000009|2016-5-8|今天出现轻雾天气，请提高警惕，仔细观察，谨慎驾驶。"_s});
}

TEST_F(MassSendWindowTest, RefusedAndUnansweredSendsAreFailuresWithoutLogRows)
{
    openNumbered(4);
    selectText(0, 0);
    start();
    // Accepted; refused; no answer; a reply that never comes, ended by the time-out.
    for (const char* fault : {"", "refuse=13800000002", "refuse=&empty=1", "empty=0&hang=1"}) {
        if (*fault)
            sim.fault(QString::fromLatin1(fault));
        ASSERT_TRUE(step()) << fault;
    }
    runToEnd();
    EXPECT_EQ(statusRows(), (QStringList {u"1|豫P1|13800000001|成功"_s, u"2|豫P2|13800000002|失败"_s,
                                u"3|豫P3|13800000003|失败"_s, u"4|豫P4|13800000004|失败"_s}));
    EXPECT_EQ(dialogs.lastMessage(), u"短信已经群的完毕！成功1个，失败3个。"_s);
    EXPECT_EQ(logRows().size(), 1);
    EXPECT_TRUE(logRows().first().startsWith(u"豫P1|"_s));
}

TEST_F(MassSendWindowTest, AnAcceptedMessageWhoseLogRowFailsIsCountedAndReported)
{
    openNumbered(2);
    start();
    ASSERT_TRUE(step());
    mustExecute(adminBeside(state.dbConnection), u"rename table duanxinbiao to duanxinbiao_gone"_s);
    runToEnd();
    mustExecute(adminBeside(state.dbConnection), u"rename table duanxinbiao_gone to duanxinbiao"_s);
    EXPECT_EQ(statusRows().mid(1), QStringList {u"2|豫P2|13800000002|成功"_s});
    EXPECT_EQ(dialogs.lastMessage(), u"短信已经群的完毕！成功2个，失败0个。\n其中1个发送成功的短信未能记入发送记录。"_s);
    EXPECT_EQ(logRows().size(), 1);
}

TEST_F(MassSendWindowTest, ASlowPlatformNeverHoldsTheWindowAndAMessageOnItsWayAtClosingIsStillLogged)
{
    openNumbered(2);
    start();
    sim.fault(u"slow=800"_s);
    QElapsedTimer clock;
    clock.start();
    w->tick();
    EXPECT_LT(clock.elapsed(), 200); // far below the platform's 800 ms
    EXPECT_TRUE(w->sending());
    w->tick(); // the reply has not come: this tick waits
    ASSERT_TRUE(idle());
    EXPECT_GE(clock.elapsed(), 750);
    EXPECT_EQ(Simulator::received().size(), 1);

    // The window closes while the second message is on its way: that message is still logged.
    w->tick();
    ASSERT_TRUE(w->sending());
    w.reset();
    ASSERT_TRUE(JobLane::sms().waitForDone(10000));
    EXPECT_EQ(Simulator::received().size(), 2);
    EXPECT_EQ(logRows().size(), 2);
}

TEST_F(MassSendWindowTest, TheTimerSendsOneMessageASecondAndClosingStopsTheRun)
{
    openNumbered(6);
    selectText(2, 1);
    start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return w->statusModel().rowCount() == 3; }, 6000));
    // Closing during the run asks first.
    dialogs.answers = {ui::Dialogs::Yes};
    w->close();
    EXPECT_EQ(dialogs.lastMessage(), u"群发尚未结束，确定要停止群发并关闭窗口吗？"_s);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->running());
    QTest::qWait(1600);
    const QList<Received> got = Simulator::received();
    ASSERT_EQ(got.size(), 3);
    // A late tick on a busy machine shortens the next gap: the timer keeps its beat.
    for (int i = 1; i < got.size(); ++i) {
        const double gap = got[i].time - got[i - 1].time;
        EXPECT_GT(gap, 0.6) << i;
        EXPECT_LT(gap, 1.4) << i;
    }
    EXPECT_NEAR(got.last().time - got.first().time, 2.0, 0.25);
    EXPECT_FALSE(dialogs.lastMessage().startsWith(u"短信已经群的完毕"_s));
}


TEST_F(MassSendWindowTest, ATestSendDuringARunSendsTheTestTextWhileThePlatformAnswersLate)
{
    openNumbered(3);
    showPage(1);
    for (const QString& combo : {u"组合框_第一段"_s, u"组合框_第二段"_s, u"组合框_第三段"_s})
        find<smswindow::ListComboBox>(combo)->choose(0);
    start();
    // The account check and the balance each answer 1.5 s late, while the timer sends on.
    sim.fault(u"slow=1500&scope=balance"_s);
    dialogs.inputs = {u"13900000009"_s};
    press(kTest);
    ASSERT_TRUE(QTest::qWaitFor([this] { return dialogs.messages().contains(u"短信提交成功！"_s); }, 15000));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !w->running(); }, 10000));

    const QList<Received> got = Simulator::received();
    QStringList tests, reminders;
    int sentBeforeTheTest = 0;
    for (const Received& r : got) {
        if (r.mobile == u"13900000009"_s)
            tests.append(r.content);
        else if (tests.isEmpty())
            ++sentBeforeTheTest;
        if (r.mobile != u"13900000009"_s)
            reminders.append(r.mobile + u'|' + r.content);
    }
    EXPECT_EQ(tests, QStringList {u"尊敬的豫P88888车主你的营运证将于2016年5月8日办理。【】"_s});
    EXPECT_GE(sentBeforeTheTest, 1); // the run did send while the test send waited
    const QString tail = u"车主，你的营运证将于过期。请及时办理。【】"_s;
    EXPECT_EQ(reminders, (QStringList {u"13800000001|尊敬的豫P1"_s + tail, u"13800000002|尊敬的豫P2"_s + tail,
                             u"13800000003|尊敬的豫P3"_s + tail}));
}

TEST_F(MassSendWindowTest, ClosingTheWindowWhileAStepWaitsOnThePlatformEndsTheStep)
{
    struct Case {
        const char* name;
        QString button;
        int closeAfterMs; // the check and the balance each take 800 ms
    };
    for (const Case& c : {Case {"test send, during the balance", kTest, 1200},
             Case {"test send, during the account check", kTest, 300},
             Case {"start, during the balance", kStart, 1200}, Case {"start, during the account check", kStart, 300}}) {
        SCOPED_TRACE(c.name);
        sim.reset();
        sim.account(kUser, kPassword, 100);
        sim.fault(u"slow=800&scope=balance"_s);
        openNumbered(2);
        dialogs.clear();
        dialogs.inputs = {u"13900000009"_s};
        dialogs.answers = {ui::Dialogs::Ok};
        QTimer::singleShot(c.closeAfterMs, w.get(), [this] { w->close(); });
        press(c.button);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !w->isVisible(); }, 5000));
        drain();
        // The step went no further: nothing sent, no confirmation, no run, nothing shown.
        EXPECT_TRUE(Simulator::received().isEmpty());
        EXPECT_FALSE(w->running());
        QStringList shown;
        for (const auto& d : dialogs.shown)
            if (d.kind != u"input"_s)
                shown.append(d.text);
        EXPECT_EQ(shown, QStringList());
        state.smsPlates.clear();
        state.smsPhones.clear();
    }
}

TEST_F(MassSendWindowTest, StopEndsTheRunAfterTheMessageOnItsWayAndClosingDuringARunAsksFirst)
{
    openNumbered(4);
    auto* stop = find<QPushButton>(kStop);
    EXPECT_FALSE(stop->isEnabled());
    start();
    EXPECT_TRUE(stop->isEnabled());
    ASSERT_TRUE(step());
    sim.fault(u"slow=800"_s);
    w->tick();
    ASSERT_TRUE(w->sending());
    press(kStop);
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_EQ(w->timerInterval(), 0);
    // The message on its way comes back, is counted and logged; then the run ends.
    ASSERT_TRUE(idle());
    EXPECT_FALSE(w->running());
    w->tick();
    EXPECT_FALSE(w->sending());
    EXPECT_EQ(statusRows(), (QStringList {u"1|豫P1|13800000001|成功"_s, u"2|豫P2|13800000002|成功"_s}));
    EXPECT_EQ(logRows().size(), 2);
    EXPECT_EQ(Simulator::received().size(), 2);
    EXPECT_EQ(dialogs.lastMessage(), u"群发已停止！成功2个，失败0个，未发送2个。"_s);

    // Closing during a run asks; No keeps it going, Yes (here by Esc) ends it with the window.
    sim.fault(u"slow=0"_s);
    start();
    dialogs.answers = {ui::Dialogs::No};
    w->close();
    EXPECT_EQ(dialogs.lastMessage(), u"群发尚未结束，确定要停止群发并关闭窗口吗？"_s);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->running());
    ASSERT_TRUE(step());
    EXPECT_EQ(statusRows().size(), 3);
    dialogs.answers = {ui::Dialogs::Yes};
    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->running());
}

TEST_F(MassSendWindowTest, AMessageOnItsWayWhenTheWindowClosesIsLoggedButNothingReachesTheClosedWindow)
{
    openNumbered(2);
    start();
    sim.fault(u"slow=600"_s);
    w->tick();
    ASSERT_TRUE(w->sending());
    dialogs.answers = {ui::Dialogs::Yes};
    w->close();
    const int shown = static_cast<int>(dialogs.shown.size());
    drain();
    EXPECT_EQ(logRows().size(), 1);
    EXPECT_TRUE(w->statusModel().rows().isEmpty());
    EXPECT_EQ(w->counts().sent, 0);
    EXPECT_EQ(dialogs.shown.size(), shown);
}

TEST_F(MassSendWindowTest, TheStatusGridShowsEveryTextWholeWithinA1366By768Screen)
{
    // 120 positions, so 序号 runs to three digits; long plates; one refused number.
    for (int i = 1; i <= 120; ++i) {
        state.smsPlates.append(i % 2 ? u"豫AW%1挂"_s.arg(i % 1000, 3, 10, QLatin1Char('0')) : u"WJ豫%1"_s.arg(10000 + i));
        state.smsPhones.append(i <= 2 || i >= 119 ? u"13800000%1"_s.arg(i, 3, 10, QLatin1Char('0')) : QString());
    }
    sim.account(kUser, kPassword, 200);
    sim.fault(u"refuse=13800000119"_s);
    open();
    typeAccount(kUser, kPassword);
    start();
    runToEnd();

    auto* grid = find<QTableView>(u"高级表格_发送状态"_s);
    ASSERT_EQ(grid->model()->rowCount(), 4);
    EXPECT_EQ(statusRows().at(2).section(u'|', 3), u"失败"_s);
    const QFontMetricsF metrics(grid->font());
    const int margin = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        for (int column = 0; column < grid->model()->columnCount(); ++column) {
            const QModelIndex index = grid->model()->index(row, column);
            const QString text = index.data().toString();
            EXPECT_LE(metrics.horizontalAdvance(text), grid->visualRect(index).width() - 2 * margin)
                << text.toStdString();
        }
    for (int column = 0; column < grid->model()->columnCount(); ++column)
        EXPECT_LE(grid->horizontalHeader()->sectionSizeHint(column), grid->columnWidth(column)) << column;
    // The grid shows whole inside the window, and the window fits the screen with its frame.
    const QRect onWindow(grid->mapTo(w.get(), QPoint(0, 0)), grid->size());
    EXPECT_TRUE(w->rect().contains(onWindow)) << onWindow.right() << " " << w->width();
    EXPECT_TRUE(grid->parentWidget()->rect().contains(grid->geometry()));
    EXPECT_LE(w->width() + ui::kFrameWidth, 1366);
    EXPECT_LE(w->height() + ui::kFrameHeight, 768);

    // A cell cut after all (a column narrowed by hand) shows its text as a tip.
    grid->setColumnWidth(1, 20);
    auto* tips = grid->findChild<ui::CutTextTips*>();
    ASSERT_TRUE(tips);
    EXPECT_EQ(tips->tipAt(grid->viewport(), grid->visualRect(grid->model()->index(0, 1)).center()), u"豫AW001挂"_s);
}

} // namespace
} // namespace fd::test
