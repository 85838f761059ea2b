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
#include <QFile>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace fd::test {
namespace {

using sms::MassSendWindow;

const QString kUser = QStringLiteral("acme");
const QString kPassword = QStringLiteral("pw1");
const QString kBadAccount = QStringLiteral("请输入正确的短信用户名和密码");

struct Recipient {
    QString plate, phone, date;
};

class MassSendWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.settings = stackSettings();
        state.settings.httpConnectTimeoutSeconds = 2;
        state.settings.httpTotalTimeoutSeconds = 2;
        state.appTitle = QStringLiteral("路衡通挂靠运输公司车辆管理软件");
        state.loginDateTime = datetime::toDayNumber(2016, 5, 8, 9, 30, 0);
        state.dbConnection = freshDatabase(QStringLiteral("fd_sms_tests"));
        ASSERT_TRUE(state.dbConnection);
        ASSERT_TRUE(dir.isValid());
        ini = dir.filePath(QStringLiteral("Network.ini"));
        sim.reset();
        sim.account(kUser, kPassword, 100);
    }
    void TearDown() override
    {
        if (w) {
            EXPECT_TRUE(QTest::qWaitFor([this] { return !w->sending(); }, 5000));
        }
        w.reset();
        sim.reset();
    }

    void setRecipients(const QList<Recipient>& list)
    {
        state.smsPlates.clear();
        state.smsPhones.clear();
        state.smsExpiryDates.clear();
        for (const Recipient& r : list) {
            state.smsPlates.append(r.plate);
            state.smsPhones.append(r.phone);
            state.smsExpiryDates.append(r.date);
        }
    }

    MassSendWindow& open()
    {
        w = std::make_unique<MassSendWindow>(state, dialogs, sms::RememberedAccount(ini));
        w->show();
        return *w;
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
        find<QLineEdit>(QStringLiteral("编辑框_用户名"))->setText(user);
        find<QLineEdit>(QStringLiteral("编辑框_密码"))->setText(password);
    }
    void click(const QString& button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    void selectText(int category, int number)
    {
        QTreeWidgetItem* item = find<QTreeWidget>(QStringLiteral("树型框1"))->topLevelItem(category)->child(number);
        item->treeWidget()->setCurrentItem(item);
    }
    void choose(const QString& combo, int entry) { find<sms::ListComboBox>(combo)->choose(entry); }
    void showPage(int index) { find<QTabWidget>(QStringLiteral("高级选择夹1"))->setCurrentIndex(index); }

    // Steps the timer by hand until the run ends; every reply is awaited before the next tick.
    void runToEnd()
    {
        for (int guard = 0; guard < 100 && w->running(); ++guard) {
            w->tick();
            ASSERT_TRUE(QTest::qWaitFor([this] { return !w->sending(); }, 5000));
        }
        EXPECT_FALSE(w->running());
    }
    // Starts a run through the button, confirming it.
    void start()
    {
        dialogs.answers = {Dialogs::Ok};
        click(QStringLiteral("按钮_群发"));
        ASSERT_TRUE(w->running()) << dialogs.lastMessage().toStdString();
    }

    QStringList statusRows() const
    {
        QStringList out;
        for (const auto& r : w->statusModel().rows())
            out.append(QStringList {r.number, r.plate, r.phone, r.status}.join(QLatin1Char('|')));
        return out;
    }
    QStringList logRows()
    {
        const QString all = queryValue(state.dbConnection,
            QStringLiteral("select group_concat(concat_ws('|', cepaihao, dianhua, sijian, neirong) order by ID "
                           "separator '\\n') from duanxinbiao"));
        return all == QLatin1String("<null>") ? QStringList() : all.split(QLatin1Char('\n'));
    }

    AppState state;
    ScriptedDialogs dialogs;
    QTemporaryDir dir;
    QString ini;
    Simulator sim {stackSettings()};
    std::unique_ptr<MassSendWindow> w;
};

TEST_F(MassSendWindowTest, OpeningFillsTheRememberedAccountAndTheSafetyTreeFillsTheBox)
{
    setRecipients({{QStringLiteral("豫P1"), QStringLiteral("13800000001"), QStringLiteral("2016-06-30")}});
    open();
    EXPECT_EQ(w->windowTitle(), state.appTitle);
    EXPECT_FALSE(find<QCheckBox>(QStringLiteral("选择框_保存用户名和密码"))->isChecked());
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("编辑框_用户名"))->text(), QStringLiteral("请输入短信平台的用户名"));
    EXPECT_EQ(state.smsLogDate, QStringLiteral("2016-5-8"));
    EXPECT_EQ(state.smsUrlPieces.size(), 6);

    // Page controls stand where they are placed relative to the tab control, tab strip included.
    auto* tabs = find<QTabWidget>(QStringLiteral("高级选择夹1"));
    auto* tree = find<QTreeWidget>(QStringLiteral("树型框1"));
    EXPECT_EQ(tree->mapTo(tabs, QPoint(0, 0)), QPoint(6, 33));
    EXPECT_EQ(tabs->widget(0)->property("tag").toString(), QStringLiteral("1"));
    EXPECT_EQ(tabs->widget(1)->property("tag").toString(), QStringLiteral("2"));

    // Categories start collapsed; a text fills the read-only box, a category empties it.
    auto* box = find<QPlainTextEdit>(QStringLiteral("编辑框_安全提醒短信"));
    EXPECT_TRUE(box->isReadOnly());
    for (int c = 0; c < tree->topLevelItemCount(); ++c)
        EXPECT_FALSE(tree->topLevelItem(c)->isExpanded()) << c;
    selectText(1, 4);
    EXPECT_EQ(box->toPlainText(), QStringLiteral("今天是安全生产月及反三违月第一天，今年活动的主题是："));
    tree->setCurrentItem(tree->topLevelItem(1));
    EXPECT_TRUE(box->toPlainText().isEmpty());

    // A combo box of the reminder page: its list is open below an empty field; a pick fills the field.
    showPage(1);
    auto* document = find<sms::ListComboBox>(QStringLiteral("组合框_第一段"));
    EXPECT_TRUE(document->currentText().isEmpty());
    EXPECT_GT(document->list()->geometry().top(), document->editField()->geometry().top());
    QTest::mouseClick(document->list()->viewport(), Qt::LeftButton, Qt::NoModifier,
        document->list()->visualItemRect(document->list()->item(2)).center());
    EXPECT_EQ(document->currentText(), QStringLiteral("商业险"));

    // A left press into an account box empties it.
    auto* password = find<QLineEdit>(QStringLiteral("编辑框_密码"));
    password->setText(QStringLiteral("typed"));
    QTest::mouseClick(password, Qt::RightButton);
    EXPECT_EQ(password->text(), QStringLiteral("typed"));
    QTest::mouseClick(password, Qt::LeftButton);
    EXPECT_TRUE(password->text().isEmpty());

    // A remembered account is filled in at the next opening, whatever the box shows now. Its
    // password is in plain text: a store the account creates is its owner's alone.
    ASSERT_FALSE(QFile::exists(ini));
    sms::RememberedAccount(ini).remember(QStringLiteral("old"), QStringLiteral("secret"));
    EXPECT_EQ(QFile::permissions(ini) & ~(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                                            | QFileDevice::WriteUser),
        QFileDevice::Permissions());
    open();
    EXPECT_TRUE(find<QCheckBox>(QStringLiteral("选择框_保存用户名和密码"))->isChecked());
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("编辑框_用户名"))->text(), QStringLiteral("old"));
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("编辑框_密码"))->text(), QStringLiteral("secret"));
}

TEST_F(MassSendWindowTest, TestSendChecksTheAccountAsksTheNumberAndSendsTheTestText)
{
    setRecipients({{QStringLiteral("豫P1"), QStringLiteral("13800000001"), QStringLiteral("2016-06-30")}});
    open();
    auto* balance = find<QLabel>(QStringLiteral("透明标签_短信余额"));

    // The hint texts are no account.
    click(QStringLiteral("按钮_测试短信"));
    EXPECT_EQ(dialogs.messages(), QStringList {kBadAccount});

    // Cancelled input: nothing is sent.
    dialogs.clear();
    typeAccount(QStringLiteral("  acme　"), kPassword);
    click(QStringLiteral("按钮_测试短信"));
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].kind, QStringLiteral("input"));
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("测试短信"));
    EXPECT_TRUE(Simulator::received().isEmpty());

    // Accepted: the test reminder with the login date and the suffix reaches the platform.
    dialogs.clear();
    showPage(1);
    choose(QStringLiteral("组合框_第一段"), 0);
    choose(QStringLiteral("组合框_第三段"), 1);
    find<QLineEdit>(QStringLiteral("编辑框_后缀"))->setText(QStringLiteral("【运输】"));
    dialogs.inputs = {QStringLiteral("13900000009")};
    click(QStringLiteral("按钮_测试短信"));
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("短信提交成功！"));
    EXPECT_EQ(balance->text(), QStringLiteral("短信余额100条。"));
    QList<Received> got = Simulator::received();
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].mobile, QStringLiteral("13900000009"));
    EXPECT_EQ(got[0].content, QStringLiteral("尊敬的豫P88888车主你的营运证2016年5月8日审验。【运输】"));

    // Refused number.
    sim.fault(QStringLiteral("refuse=13900000009"));
    dialogs.inputs = {QStringLiteral("13900000009")};
    click(QStringLiteral("按钮_测试短信"));
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("短信提交失败！"));

    // A balance below 1 stops before the send.
    sim.account(kUser, kPassword, 0);
    dialogs.inputs = {QStringLiteral("13900000009")};
    click(QStringLiteral("按钮_测试短信"));
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("短信余额还有0小于欲发送是数量，请充值后再次发送。"));
    EXPECT_EQ(Simulator::received().size(), 2);
    EXPECT_TRUE(w->statusModel().rows().isEmpty());
    EXPECT_TRUE(logRows().isEmpty());
}

TEST_F(MassSendWindowTest, StartChecksAccountBalanceAndConfirmation)
{
    setRecipients({{QStringLiteral("豫P1"), QStringLiteral("13800000001"), QStringLiteral("d1")},
        {QStringLiteral("豫P2"), QString(), QStringLiteral("d2")},
        {QStringLiteral("豫P3"), QStringLiteral("1380000"), QStringLiteral("d3")}});
    open();
    auto* remember = find<QCheckBox>(QStringLiteral("选择框_保存用户名和密码"));
    remember->setChecked(true);

    // Account refused: nothing is remembered.
    typeAccount(kUser, QStringLiteral("wrong"));
    click(QStringLiteral("按钮_群发"));
    EXPECT_EQ(dialogs.lastMessage(), kBadAccount);
    EXPECT_FALSE(QFile::exists(ini));

    // Balance one below the recipients (the empty phone counts): refused, the account remembered.
    typeAccount(kUser, kPassword);
    sim.account(kUser, kPassword, 2);
    click(QStringLiteral("按钮_群发"));
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("短信余额还有2小于欲发送是数量，请充值后再次发送。"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("透明标签_短信余额"))->text(), QStringLiteral("短信余额2条。"));
    QSettings stored(ini, QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("yhm")).toString(), kUser);
    EXPECT_EQ(stored.value(QStringLiteral("mm")).toString(), kPassword);
    EXPECT_EQ(stored.value(QStringLiteral("xz")).toInt(), 1);

    // Equal balance: the confirmation counts the rows that cannot receive; Cancel leaves all idle.
    sim.account(kUser, kPassword, 3);
    state.smsRecipientIndex = 7;
    state.smsSuccessCount = 5;
    dialogs.answers = {Dialogs::Cancel};
    click(QStringLiteral("按钮_群发"));
    ASSERT_EQ(dialogs.shown.last().kind, QStringLiteral("ask"));
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("本次群发共3个短信。是否现在开始群发。\n"
                                                    "其中1个没有手机号（不发送），1个手机号不是11位数字（可能无法送达）。"));
    EXPECT_FALSE(w->running());
    EXPECT_EQ(w->timerInterval(), 0);
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
    setRecipients({{QStringLiteral("豫P12345"), QStringLiteral("13800000001"), QStringLiteral("2016-06-30")},
        {QStringLiteral("豫P22222"), QString(), QStringLiteral("2016-07-01")},
        {QStringLiteral("豫P3'3\\3"), QStringLiteral("13800000003"), QStringLiteral("2016-08-02")}});
    open();
    typeAccount(kUser, kPassword);
    showPage(1);
    choose(QStringLiteral("组合框_第一段"), 0);
    choose(QStringLiteral("组合框_第二段"), 0);
    choose(QStringLiteral("组合框_第三段"), 0);
    start();
    runToEnd();

    EXPECT_EQ(statusRows(), (QStringList {QStringLiteral("1|豫P12345|13800000001|成功"),
                                QStringLiteral("3|豫P3'3\\3|13800000003|成功")}));
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("短信已经群的完毕！成功2个，失败0个。"));
    EXPECT_EQ(w->counts().skipped, 1);
    const QString first = QStringLiteral("尊敬的豫P12345车主，你的营运证将于2016-06-30过期。请及时办理。");
    EXPECT_EQ(logRows(), (QStringList {QStringLiteral("豫P12345|13800000001|2016-5-8|") + first,
                             QStringLiteral("豫P3'3\\3|13800000003|2016-5-8|尊敬的豫P3'3\\3车主，你的营运证将于"
                                            "2016-08-02过期。请及时办理。")}));
    const QList<Received> got = Simulator::received();
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0].content, first + QStringLiteral("【】"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("透明标签_群发进度"))->text(),
        QStringLiteral("已发送2个，失败0个，跳过1个，剩余0个，约需0秒"));

    // A second run on the safety page appends below the first, in the grid and in the log.
    showPage(0);
    selectText(6, 0);
    setRecipients({{QStringLiteral("豫P9"), QStringLiteral("13800000009"), QString()}});
    start();
    runToEnd();
    EXPECT_EQ(statusRows().size(), 3);
    EXPECT_EQ(statusRows().last(), QStringLiteral("1|豫P9|13800000009|成功"));
    EXPECT_EQ(logRows().size(), 3);
    EXPECT_EQ(logRows().last(), QStringLiteral("豫P9|13800000009|2016-5-8|今天出现轻雾天气，请提高警惕，仔细观察，谨慎驾驶。"));
}

TEST_F(MassSendWindowTest, RefusedAndUnansweredSendsAreFailuresWithoutLogRows)
{
    const QString refused = QStringLiteral("13800000002");
    setRecipients({{QStringLiteral("豫P1"), QStringLiteral("13800000001"), {}}, {QStringLiteral("豫P2"), refused, {}},
        {QStringLiteral("豫P3"), QStringLiteral("13800000003"), {}}, {QStringLiteral("豫P4"), QStringLiteral("13800000004"), {}}});
    open();
    typeAccount(kUser, kPassword);
    selectText(0, 0);
    start();
    sim.fault(QStringLiteral("refuse=") + refused);
    for (int k = 1; k <= 4; ++k) {
        if (k == 3)
            sim.fault(QStringLiteral("refuse=&empty=1")); // the platform answers nothing
        if (k == 4)
            sim.fault(QStringLiteral("empty=0&hang=1")); // the reply never comes: the time-out ends it
        w->tick();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !w->sending(); }, 5000));
    }
    runToEnd();
    EXPECT_EQ(statusRows(), (QStringList {QStringLiteral("1|豫P1|13800000001|成功"), QStringLiteral("2|豫P2|13800000002|失败"),
                                QStringLiteral("3|豫P3|13800000003|失败"), QStringLiteral("4|豫P4|13800000004|失败")}));
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("短信已经群的完毕！成功1个，失败3个。"));
    EXPECT_EQ(logRows().size(), 1);
    EXPECT_TRUE(logRows().first().startsWith(QStringLiteral("豫P1|")));
}

TEST_F(MassSendWindowTest, AnAcceptedMessageWhoseLogRowFailsIsCountedAndReported)
{
    setRecipients({{QStringLiteral("豫P1"), QStringLiteral("13800000001"), {}}, {QStringLiteral("豫P2"), QStringLiteral("13800000002"), {}}});
    open();
    typeAccount(kUser, kPassword);
    start();
    w->tick();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !w->sending(); }, 5000));
    mustExecute(state.dbConnection, QStringLiteral("rename table duanxinbiao to duanxinbiao_gone"));
    runToEnd();
    mustExecute(state.dbConnection, QStringLiteral("rename table duanxinbiao_gone to duanxinbiao"));
    EXPECT_EQ(statusRows().size(), 2);
    EXPECT_TRUE(statusRows().last().endsWith(QStringLiteral("成功")));
    EXPECT_EQ(dialogs.lastMessage(),
        QStringLiteral("短信已经群的完毕！成功2个，失败0个。\n其中1个发送成功的短信未能记入发送记录。"));
    EXPECT_EQ(logRows().size(), 1);
}

TEST_F(MassSendWindowTest, ASlowPlatformNeverHoldsTheWindowAndAMessageOnItsWayAtClosingIsStillLogged)
{
    setRecipients({{QStringLiteral("豫P1"), QStringLiteral("13800000001"), {}}, {QStringLiteral("豫P2"), QStringLiteral("13800000002"), {}}});
    open();
    typeAccount(kUser, kPassword);
    start();
    sim.fault(QStringLiteral("slow=800"));
    QElapsedTimer clock;
    clock.start();
    w->tick();
    EXPECT_LT(clock.elapsed(), 200); // far below the platform's 800 ms
    EXPECT_TRUE(w->sending());
    w->tick(); // the reply has not come: this tick waits
    EXPECT_EQ(state.smsRecipientIndex, 1);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !w->sending(); }, 5000));
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
    QList<Recipient> many;
    for (int i = 1; i <= 6; ++i)
        many.append({QStringLiteral("豫P%1").arg(i), QStringLiteral("1380000000%1").arg(i), {}});
    setRecipients(many);
    open();
    typeAccount(kUser, kPassword);
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
    EXPECT_EQ(statusRows().size(), 3);
    EXPECT_FALSE(dialogs.lastMessage().startsWith(QStringLiteral("短信已经群的完毕")));
}

TEST_F(MassSendWindowTest, AnIncompleteUrlTemplateSendsNothing)
{
    state.settings.smsUrlTemplate = QStringLiteral("http://a@#$%b@#$%c");
    setRecipients({{QStringLiteral("豫P1"), QStringLiteral("13800000001"), {}}});
    open();
    typeAccount(kUser, kPassword);
    for (const QString& button : {QStringLiteral("按钮_测试短信"), QStringLiteral("按钮_群发")}) {
        dialogs.clear();
        click(button);
        EXPECT_EQ(dialogs.messages(), QStringList {QStringLiteral("短信平台的地址设置不完整，无法发送短信，请联系软件供应商。")});
    }
    EXPECT_FALSE(w->running());
    EXPECT_TRUE(Simulator::received().isEmpty());
}

} // namespace
} // namespace fd::test
