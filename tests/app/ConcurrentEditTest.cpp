// Two offices, each with its own window and connection, edit one vehicle: changes to different
// fields both reach the row; changes to the same field ask before anything is written, and each
// answer does what it says. 修改记录 lists what was done, newest first.
#include "support/AdminState.h"
#include "app/HistoryModel.h"
#include "app/HistoryWindow.h"
#include "app/VehicleWindow.h"
#include "BoundStatements.h"
#include "common/AppState.h"
#include "common/Jobs.h"
#include "db/ThreadSession.h"
#include "fees/LedgerSchema.h"
#include "fees/Payment.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "vehicles/VehicleColumns.h"
#include "vehicles/VehicleHistory.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>
#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

using namespace fd;
using namespace fd::vehicles;
using fd::app::HistoryWindow;
using fd::app::VehicleWindow;

namespace {

const QString kDatabase = QStringLiteral("t_concurrent");
const QString kSaved = QStringLiteral("保存车辆信息成功！");
using Fields = QHash<QString, QString>;

struct Office {
    explicit Office(const QString& user)
    {
        state.settings = test::stackSettings();
        state.dbConnection = test::connectStack(kDatabase);
        state.loginUser = user;
        state.modifyFlag = 1;
    }
    void open(const QString& id)
    {
        state.editVehicleId = id;
        form = std::make_unique<VehicleWindow>(state, dialogs, [this] { ++saved; });
        form->show();
    }
    QWidget* control(const QString& column) const { return form->findChild<QWidget*>(findColumn(column)->control); }
    void type(const Fields& fields)
    {
        for (auto it = fields.cbegin(); it != fields.cend(); ++it)
            if (auto* line = qobject_cast<QLineEdit*>(control(it.key())))
                line->setText(*it);
            else
                qobject_cast<QPlainTextEdit*>(control(it.key()))->setPlainText(*it);
    }
    QString shown(const QString& column) const
    {
        auto* line = qobject_cast<QLineEdit*>(control(column));
        return line ? line->text() : qobject_cast<QPlainTextEdit*>(control(column))->toPlainText();
    }
    void save() { QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("按钮_保存")), Qt::LeftButton); }

    AppState state = fd::test::adminState();
    test::ScriptedDialogs dialogs;
    std::unique_ptr<VehicleWindow> form;
    int saved = 0;
};

class ConcurrentEditTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_conn = test::freshDatabase(kDatabase); }
    static void TearDownTestSuite() { s_conn.reset(); }
    void SetUp() override { ASSERT_TRUE(s_conn); }
    void TearDown() override { EXPECT_TRUE(waitForAllJobs(20000)); }

    // A vehicle as stored before either office opens it; returns its ID.
    QString freshVehicle()
    {
        test::mustExecute(s_conn, QStringLiteral("delete from celiangzongbiao"));
        test::mustExecute(s_conn,
            QStringLiteral("insert into celiangzongbiao set cepaihao='豫H10001', danganbianhao='F1', cezuxingming='原车主', "
                           "cezudianhua='13900000000', jiasiyuanxingming='原司机', jibenbeizu='原备注', "
                           "zucebaoxianyouxiaoqi='2020-01-01'"));
        return test::queryValue(s_conn, QStringLiteral("select last_insert_id()"));
    }
    QString stored(const QString& id, const QString& column)
    {
        return test::queryValue(s_conn, QStringLiteral("select `%1` from celiangzongbiao where ID=%2").arg(column, id));
    }
    Fields storedFields(const QString& id, const Fields& columns)
    {
        Fields row;
        for (auto it = columns.cbegin(); it != columns.cend(); ++it)
            row.insert(it.key(), stored(id, it.key()));
        return row;
    }

    static inline db::ConnectionPtr s_conn;
};

TEST_F(ConcurrentEditTest, ChangesToDifferentFieldsAreBothStoredWithoutAsking)
{
    const QString id = freshVehicle();
    Office a(QStringLiteral("甲")), b(QStringLiteral("乙"));
    a.open(id);
    b.open(id);
    a.type({{QStringLiteral("cezuxingming"), QStringLiteral("甲的车主")}});
    a.save();
    b.type({{QStringLiteral("cezudianhua"), QStringLiteral("13911112222")}});
    b.form->findChild<QDateEdit*>(QStringLiteral("日期框_下次主车保险"))->setDate(QDate(2021, 6, 30));
    b.save();

    EXPECT_EQ(a.dialogs.messages() + b.dialogs.messages(), (QStringList {kSaved, kSaved}));
    EXPECT_TRUE(b.dialogs.conflicts.isEmpty());
    EXPECT_EQ(stored(id, QStringLiteral("cezuxingming")), QStringLiteral("甲的车主"));
    EXPECT_EQ(stored(id, QStringLiteral("cezudianhua")), QStringLiteral("13911112222"));
    EXPECT_EQ(stored(id, QStringLiteral("zucebaoxianyouxiaoqi")), QStringLiteral("2021-06-30"));
    const auto history = readHistory(s_conn, id);
    ASSERT_TRUE(history);
    QStringList changes;
    for (const HistoryEntry& e : *history)
        changes << QStringList {e.user, e.column, e.oldValue, e.newValue}.join(QLatin1Char('|'));
    EXPECT_TRUE(changes.contains(QStringLiteral("甲|cezuxingming|原车主|甲的车主")));
    EXPECT_TRUE(changes.contains(QStringLiteral("乙|cezudianhua|13900000000|13911112222")));
}

// Office A saves three fields; office B, which opened the vehicle before, changes two of them and
// one other, then saves and answers the question. Keep mine writes the values picked and leaves
// A's change to the field B did not touch; a save meeting yet another change (a third office,
// while the first question is open) asks again. Take theirs puts A's values into the two fields
// and keeps B's other change in the form, unsaved until B saves. Back changes nothing, and the
// next save asks again.
TEST_F(ConcurrentEditTest, EachAnswerToTheConflictDoesWhatItSays)
{
    const Fields byA {{QStringLiteral("cezuxingming"), QStringLiteral("甲的车主")},
        {QStringLiteral("jibenbeizu"), QStringLiteral("甲的备注")}, {QStringLiteral("jiasiyuanxingming"), QStringLiteral("甲的司机")}};
    const Fields byB {{QStringLiteral("cezuxingming"), QStringLiteral("乙的车主")},
        {QStringLiteral("jibenbeizu"), QStringLiteral("乙的备注")}, {QStringLiteral("cezudianhua"), QStringLiteral("13922222222")}};
    Fields afterA = byA;
    afterA.insert(QStringLiteral("cezudianhua"), QStringLiteral("13900000000"));
    Fields picked = afterA;
    picked.insert(QStringLiteral("cezuxingming"), QStringLiteral("乙的车主"));
    picked.insert(QStringLiteral("cezudianhua"), QStringLiteral("13922222222"));
    // A's values in the two fields both changed, B's change to the field only B changed.
    Fields theirsAndMine = afterA;
    theirsAndMine.insert(QStringLiteral("cezudianhua"), QStringLiteral("13922222222"));
    const auto keepMine = [](QList<bool> theirs) { return ui::ConflictChoice {ui::ConflictChoice::KeepMine, theirs}; };
    struct Case {
        const char* answer;
        QList<ui::ConflictChoice> answers;
        int asked;
        Fields row;     // stored afterwards
        Fields form;    // shown afterwards, while the form stays open
        Fields resaved; // stored after the form is saved once more
    };
    const Case cases[] = {
        {"keep mine", {keepMine({false, true}), keepMine({false})}, 2, picked, {}, {}},
        {"take theirs", {ui::ConflictChoice {ui::ConflictChoice::TakeTheirs, {}}}, 1, afterA, theirsAndMine, theirsAndMine},
        {"back", {ui::ConflictChoice {ui::ConflictChoice::BackToEditing, {}}}, 1, afterA, byB, afterA},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        const QString id = freshVehicle();
        Office a(QStringLiteral("甲")), b(QStringLiteral("乙"));
        a.open(id);
        b.open(id);
        a.type(byA);
        a.save();
        ASSERT_EQ(a.dialogs.lastMessage(), kSaved);
        b.type(byB);
        b.dialogs.conflictChoices = c.answers;
        QStringList rowWhenAsked;
        b.dialogs.onShown = [&](const test::ScriptedDialogs::Shown& shown) {
            if (shown.kind != QLatin1String("conflict"))
                return;
            rowWhenAsked << storedFields(id, afterA).value(QStringLiteral("cezuxingming"));
            if (c.asked == 2 && rowWhenAsked.size() == 1)
                test::mustExecute(s_conn, QStringLiteral("update celiangzongbiao set cezuxingming='丙的车主' where ID=") + id);
        };
        b.save();

        ASSERT_EQ(b.dialogs.conflicts.size(), c.asked);
        const QList<ui::ConflictRow>& rows = b.dialogs.conflicts.first();
        ASSERT_EQ(rows.size(), 2);
        EXPECT_EQ(QStringList({rows[0].field, rows[0].read, rows[0].theirs, rows[0].mine}).join('|').toStdString(),
            "车主姓名|原车主|甲的车主|乙的车主");
        EXPECT_EQ(QStringList({rows[1].read, rows[1].theirs, rows[1].mine}).join('|').toStdString(), "原备注|甲的备注|乙的备注");
        EXPECT_EQ(rowWhenAsked.first(), QStringLiteral("甲的车主")) << "nothing written before the answer";
        if (c.asked == 2) {
            EXPECT_EQ(b.dialogs.conflicts[1].size(), 1);
            EXPECT_EQ(b.dialogs.conflicts[1][0].theirs, QStringLiteral("丙的车主"));
        }
        EXPECT_EQ(storedFields(id, c.row), c.row);
        EXPECT_EQ(b.saved, c.form.isEmpty() ? 1 : 0);
        Fields shown;
        for (auto it = c.form.cbegin(); it != c.form.cend(); ++it)
            shown.insert(it.key(), b.shown(it.key()));
        EXPECT_EQ(shown, c.form);
        if (c.form.isEmpty())
            continue;
        // Saved again: the form after take theirs saves without a question; back asks again.
        b.save();
        EXPECT_EQ(b.dialogs.conflicts.size(), c.form == byB ? 2 : 1);
        EXPECT_EQ(storedFields(id, c.resaved), c.resaved);
    }
}

// Added by one office, changed by the other: the change on top, the addition below, each field
// by its Chinese name.
TEST_F(ConcurrentEditTest, HistoryWindowListsTheChangesNewestFirstInChinese)
{
    freshVehicle();
    Office a(QStringLiteral("甲")), b(QStringLiteral("乙"));
    a.state.newFlag = 1;
    a.state.modifyFlag = 0;
    a.form = std::make_unique<VehicleWindow>(a.state, a.dialogs, [] {});
    EXPECT_FALSE(a.form->findChild<QPushButton*>(QStringLiteral("按钮_修改记录"))) << "no history before the vehicle exists";
    a.type({{QStringLiteral("danganbianhao"), QStringLiteral("F2")}, {QStringLiteral("cepaihao"), QStringLiteral("豫H10002")},
        {QStringLiteral("cezuxingming"), QStringLiteral("新车主")}});
    a.save();
    ASSERT_EQ(a.dialogs.lastMessage(), QStringLiteral("新增车辆信息成功！"));
    const QString id = test::queryValue(s_conn, QStringLiteral("select ID from celiangzongbiao where cepaihao='豫H10002'"));
    b.open(id);
    b.type({{QStringLiteral("cezuxingming"), QStringLiteral("改过的车主")}});
    b.save();
    ASSERT_EQ(b.dialogs.lastMessage(), kSaved);

    b.open(id);
    std::vector<QStringList> rows;
    b.form->setHistoryOpener([&](HistoryWindow& window) {
        QSignalSpy shown(&window, &HistoryWindow::historyShown);
        ASSERT_TRUE(window.readDone() || shown.wait(10000));
        const QAbstractItemModel& model = window.model();
        rows.emplace_back();
        for (int c = 0; c < model.columnCount(); ++c)
            rows.back() << model.headerData(c, Qt::Horizontal).toString();
        for (int r = 0; r < model.rowCount(); ++r) {
            rows.emplace_back();
            for (int c = 0; c < model.columnCount(); ++c)
                rows.back() << model.index(r, c).data().toString();
        }
    });
    QTest::mouseClick(b.form->findChild<QPushButton*>(QStringLiteral("按钮_修改记录")), Qt::LeftButton);

    ASSERT_GE(rows.size(), 4u);
    EXPECT_EQ(rows[0].join(QLatin1Char(',')), QStringLiteral("时间,用户,机器,操作,项目,原值,新值"));
    EXPECT_EQ(rows[1].mid(1), (QStringList {QStringLiteral("乙"), QSysInfo::machineHostName(), kActionModify,
                                  QStringLiteral("车主姓名"), QStringLiteral("新车主"), QStringLiteral("改过的车主")}));
    QStringList added;
    for (std::size_t r = 2; r < rows.size(); ++r) {
        EXPECT_GE(rows[r - 1][0], rows[r][0]) << "newest first";
        EXPECT_EQ(rows[r][1] + rows[r][3], QStringLiteral("甲") + kActionAdd);
        added << rows[r][4];
    }
    EXPECT_TRUE(added.contains(QStringLiteral("主车牌号")) && added.contains(QStringLiteral("车主姓名"))) << added.join(',').toStdString();
}

// 修改记录 reads on the database lane with a session of its own: it shows while every download
// thread waits for a slow picture server.
TEST_F(ConcurrentEditTest, HistoryWindowShowsWhileEveryDownloadWaits)
{
    const QString id = freshVehicle();
    Office a(QStringLiteral("甲"));
    a.open(id);
    a.type({{QStringLiteral("cezuxingming"), QStringLiteral("改过的车主")}});
    a.save();
    ASSERT_EQ(a.dialogs.lastMessage(), kSaved);

    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    for (int i = 0; i < JobLane::network().threads(); ++i)
        JobLane::network().enqueue([released] { released.wait(); });
    bool shown = false;
    int rows = 0;
    {
        HistoryWindow window(a.state, id, QStringLiteral("豫H10001"));
        QSignalSpy done(&window, &HistoryWindow::historyShown);
        shown = window.readDone() || done.wait(10000);
        rows = window.model().rowCount();
        EXPECT_FALSE(window.readFailed());
    }
    release.set_value();
    EXPECT_TRUE(shown) << "the history waited for the downloads";
    EXPECT_EQ(rows, 1);
}

// Two offices add one plate at once: A's add is held open inside its transaction while B saves.
// One vehicle is stored and B is told that the plate is taken.
TEST_F(ConcurrentEditTest, TwoOfficesAddingOnePlateAtOnceEndWithOneVehicle)
{
    test::mustExecute(s_conn, QStringLiteral("delete from celiangzongbiao"));
    const QString plate = QStringLiteral("豫A12345");
    // Office A and the watcher each on a thread of their own, each with a session of that thread.
    db::Connection::Options options = s_conn->options();
    options.database = kDatabase;
    VehicleValues byA {{QStringLiteral("danganbianhao"), QStringLiteral("F-甲")}, {QStringLiteral("cepaihao"), plate}};
    for (const QString& column : saveOrder())
        if (findColumn(column)->form == ColumnForm::Date)
            byA.insert(column, QStringLiteral("2016-5-31"));

    std::promise<void> aHolds, release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> calls {0};
    setAfterRowLockedHook([&] {
        if (calls++ == 0) {
            aHolds.set_value();
            released.wait();
        }
    });
    SaveResult addedByA;
    std::thread a([&] {
        addedByA = addVehicle(db::threadSession(options), byA, ChangeAuthor {QStringLiteral("甲"), QStringLiteral("office-a")});
    });
    ASSERT_EQ(aHolds.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
    // A goes on once B waits for it, or after a while when B does not (and so stores a second vehicle).
    std::thread watch([&] {
        // The server's transactions are the administrator's to see.
        const db::ConnectionPtr watcher = test::connectAdmin();
        // The server refreshes its table of transactions only when it has not been read for 100 ms.
        for (int i = 0; i < 35; ++i) {
            if (test::queryValue(watcher, QStringLiteral("select count(*) from information_schema.innodb_trx "
                                                         "where trx_state='LOCK WAIT'")) != QStringLiteral("0"))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        }
        release.set_value();
    });
    Office b(QStringLiteral("乙"));
    b.state.newFlag = 1;
    b.state.modifyFlag = 0;
    b.form = std::make_unique<VehicleWindow>(b.state, b.dialogs, [] {});
    b.type({{QStringLiteral("danganbianhao"), QStringLiteral("F-乙")}, {QStringLiteral("cepaihao"), plate}});
    b.save();
    watch.join();
    a.join();
    setAfterRowLockedHook({});

    EXPECT_EQ(addedByA.outcome, SaveResult::Written) << addedByA.error.toStdString();
    EXPECT_EQ(b.dialogs.messages(), QStringList {QStringLiteral("对不起此车牌号已经存在！")});
    EXPECT_EQ(test::valueOf(s_conn, db::Statement("select count(*) from celiangzongbiao where cepaihao=?").bind(plate)),
        QStringLiteral("1"));
}

// A new 应缴 typed in the vehicle window starts the next period of a fee the ledger keeps: 已缴 and
// 还欠 show that period. A fee the ledger does not keep yet, or 已缴 typed as well, stay as typed.
TEST_F(ConcurrentEditTest, ANewAmountDueOfAFeeTheLedgerKeepsStartsItsNextPeriod)
{
    const QString id = freshVehicle();
    test::mustExecute(s_conn, QStringLiteral("update celiangzongbiao set guanliyingjiaofei='1000',"
                                             "senceyingjiaofei='300',senceyijiaofei='100' where ID=%1").arg(id));
    ASSERT_TRUE(fees::ensureLedgerTables(*s_conn));
    fees::PaymentRequest pay;
    pay.vehicleId = id.toLongLong();
    pay.amountFen = 100000;
    pay.method = QStringLiteral("现金");
    pay.clerk = QStringLiteral("甲");
    pay.receiptPrefix = QStringLiteral("C");
    pay.read = *fees::readVehicleFees(*s_conn, pay.vehicleId, pay.kind, QString());
    ASSERT_EQ(fees::takePayment(*s_conn, pay).outcome, fees::PaymentResult::Taken);

    Office a(QStringLiteral("甲"));
    a.open(id);
    EXPECT_EQ(a.shown(QStringLiteral("guanliyijiaofei")), QStringLiteral("1000.00"));
    a.type({{QStringLiteral("guanliyingjiaofei"), QStringLiteral("1,200")}, {QStringLiteral("senceyingjiaofei"), QStringLiteral("400")}});
    a.save();
    EXPECT_EQ(a.dialogs.messages(), QStringList {kSaved});
    const Fields after = storedFields(id, {{QStringLiteral("guanliyingjiaofei"), {}}, {QStringLiteral("guanliyijiaofei"), {}},
        {QStringLiteral("guanlihaiqianfei"), {}}, {QStringLiteral("senceyingjiaofei"), {}}, {QStringLiteral("senceyijiaofei"), {}}});
    EXPECT_EQ(after, (Fields {{QStringLiteral("guanliyingjiaofei"), QStringLiteral("1200.00")},
                          {QStringLiteral("guanliyijiaofei"), QStringLiteral("0.00")},
                          {QStringLiteral("guanlihaiqianfei"), QStringLiteral("1200.00")},
                          {QStringLiteral("senceyingjiaofei"), QStringLiteral("400")},
                          {QStringLiteral("senceyijiaofei"), QStringLiteral("100")}}));
    const auto fee = fees::readVehicleFees(*s_conn, pay.vehicleId, fees::FeeKind::Management, QString());
    ASSERT_TRUE(fee);
    EXPECT_EQ(fee->status.period, 2);
    EXPECT_EQ(fee->status.owed().fen, 120000);

    // 应缴 and 已缴 typed together: both as typed, no period started by the window.
    Office b(QStringLiteral("乙"));
    b.open(id);
    b.type({{QStringLiteral("guanliyingjiaofei"), QStringLiteral("1500")}, {QStringLiteral("guanliyijiaofei"), QStringLiteral("200")}});
    b.save();
    EXPECT_EQ(stored(id, QStringLiteral("guanliyijiaofei")), QStringLiteral("200"));
    EXPECT_EQ(stored(id, QStringLiteral("guanlihaiqianfei")), QStringLiteral("1200.00"));
}

} // namespace
