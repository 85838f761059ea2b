// The mass-send window driven through its controls, against the simulator and the real database:
// the opening, the test send, the start with its checks, runs stepped tick by tick, the log rows,
// and one run on the real timer.
#include "Simulator.h"
#include "common/AppState.h"
#include "common/DateTime.h"
#include "sms/ListComboBox.h"
#include "sms/MassSendWindow.h"
#include "sms/SendStatusModel.h"
#include "support/ScriptedDialogs.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace fd::test {
namespace {

using sms::MassSendWindow;
using namespace Qt::StringLiterals;

const QString kUser = u"acme"_s;
const QString kPassword = u"pw1"_s;
const QString kStart = u"按钮_群发"_s;
const QString kTest = u"按钮_测试短信"_s;
const QString kRemember = u"选择框_保存用户名和密码"_s;

class MassSendWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.settings = stackSettings();
        state.settings.httpConnectTimeoutSeconds = 2;
        state.settings.httpTotalTimeoutSeconds = 2;
        state.loginDateTime = datetime::toDayNumber(2016, 5, 8, 9, 30, 0);
        state.dbConnection = freshDatabase(u"fd_sms_tests"_s);
        ASSERT_TRUE(state.dbConnection);
        ASSERT_TRUE(dir.isValid());
        sim.reset();
        sim.account(kUser, kPassword, 100);
    }
    void TearDown() override
    {
        EXPECT_TRUE(!w || idle());
        w.reset();
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
    void click(const QString& button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
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
        for (int guard = 0; guard < 100 && w->running(); ++guard)
            ASSERT_TRUE(step());
        EXPECT_FALSE(w->running());
    }
    // Starts a run through the button, confirming it.
    void start()
    {
        dialogs.answers = {Dialogs::Ok};
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

    AppState state;
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
    find<sms::ListComboBox>(u"组合框_第一段"_s)->choose(0);
    find<sms::ListComboBox>(u"组合框_第三段"_s)->choose(1);
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
    state.smsRecipientIndex = 7;
    state.smsSuccessCount = 5;
    dialogs.answers = {Dialogs::Cancel};
    click(kStart);
    EXPECT_EQ(dialogs.lastMessage(),
        u"本次群发共3个短信。是否现在开始群发。\n其中1个没有手机号（不发送），1个手机号不是11位数字（可能无法送达）。"_s);
    EXPECT_FALSE(w->running());
    EXPECT_EQ(state.smsRecipientIndex, 7);
    EXPECT_EQ(state.smsSuccessCount, 5);

    // OK: the counters start over and the timer ticks every second; an unticked box writes nothing.
    QFile::remove(ini);
    remember->setChecked(false);
    start();
    EXPECT_EQ(w->timerInterval(), 1000);
    EXPECT_EQ(state.smsRecipientIndex, 0);
    EXPECT_EQ(state.smsSuccessCount, 0);
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
        find<sms::ListComboBox>(combo)->choose(0);
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
    mustExecute(state.dbConnection, u"rename table duanxinbiao to duanxinbiao_gone"_s);
    runToEnd();
    mustExecute(state.dbConnection, u"rename table duanxinbiao_gone to duanxinbiao"_s);
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
    EXPECT_EQ(state.smsRecipientIndex, 1);
    ASSERT_TRUE(idle());
    EXPECT_GE(clock.elapsed(), 750);
    EXPECT_EQ(Simulator::received().size(), 1);

    // The window closes while the second message is on its way: that message is still logged.
    w->tick();
    ASSERT_TRUE(w->sending());
    w.reset();
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_EQ(Simulator::received().size(), 2);
    EXPECT_EQ(logRows().size(), 2);
}

TEST_F(MassSendWindowTest, TheTimerSendsOneMessageASecondAndClosingStopsTheRun)
{
    openNumbered(6);
    selectText(2, 1);
    start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return w->statusModel().rowCount() == 3; }, 6000));
    w->close();
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

} // namespace
} // namespace fd::test
