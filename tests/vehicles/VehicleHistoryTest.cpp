// Two offices saving one vehicle: what merges, what is a conflict, and that every written change
// has its history and no failed one has any.
#include "db/ProgramTables.h"
#include "db/ThreadSession.h"
#include "db/Transaction.h"
#include "support/Wait.h"
#include "support/TestSupport.h"
#include "vehicles/VehicleColumns.h"
#include "vehicles/VehicleHistory.h"
#include "vehicles/VehicleStore.h"

#include <QElapsedTimer>
#include <QThread>
#include <future>
#include <gtest/gtest.h>
#include <iostream>
#include <thread>

using namespace fd;
using namespace fd::vehicles;
using test::mustExecute;
using test::queryValue;

namespace {

const QString kDatabase = QStringLiteral("fd_vehicle_history");
const ChangeAuthor kOfficeA { QStringLiteral("张三"), QStringLiteral("office-a") };
const ChangeAuthor kOfficeB { QStringLiteral("李四"), QStringLiteral("office-b") };

VehicleValues newVehicle(const QString& plate)
{
    VehicleValues v;
    for (const VehicleColumn& c : vehicleColumns()) {
        if (c.form == ColumnForm::Date)
            v.insert(c.name, QStringLiteral("2030-1-1"));
        else if (c.form == ColumnForm::Status)
            v.insert(c.name, QStringLiteral("正常"));
    }
    v.insert(QStringLiteral("cepaihao"), plate);
    v.insert(QStringLiteral("danganbianhao"), QStringLiteral("D-") + plate);
    v.insert(QStringLiteral("cezuxingming"), QStringLiteral("王五"));
    v.insert(QStringLiteral("cezudianhua"), QStringLiteral("13800000000"));
    return v;
}

class VehicleHistory : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_observer = test::freshDatabase(kDatabase); }
    static void TearDownTestSuite() { s_observer.reset(); }
    void SetUp() override
    {
        ASSERT_TRUE(s_observer);
        a = test::connectStack(kDatabase);
        b = test::connectStack(kDatabase);
        ASSERT_TRUE(a && b);
        const SaveResult added = addVehicle(a, newVehicle(QStringLiteral("豫H%1").arg(++s_plates, 5, 10, QLatin1Char('0'))), kOfficeA);
        ASSERT_EQ(added.outcome, SaveResult::Written) << added.error.toStdString();
        id = added.stored.texts.value(QStringLiteral("ID"));
        ASSERT_FALSE(id.isEmpty());
    }
    void TearDown() override { setAfterRowLockedHook(nullptr); }

    QString stored(const QString& column)
    {
        return queryValue(s_observer, QStringLiteral("SELECT %1 FROM celiangzongbiao WHERE ID=%2").arg(column, id));
    }
    QString historyCount(const QString& action, const ChangeAuthor& who)
    {
        return queryValue(s_observer,
            QStringLiteral("SELECT count(*) FROM xiugaijilu WHERE cheliangid=%1 AND caozuo='%2' AND yonghu='%3'")
                .arg(id, action, who.user));
    }

    static inline db::ConnectionPtr s_observer;
    static inline int s_plates = 0;
    db::ConnectionPtr a, b;
    QString id;
};

// Kills the session from another connection and waits until the server has ended it.
void killSession(const db::ConnectionPtr& observer, unsigned long session)
{
    mustExecute(observer, QStringLiteral("KILL %1").arg(session));
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 3000
        && queryValue(observer, QStringLiteral("SELECT count(*) FROM information_schema.processlist WHERE id=%1").arg(session))
            != QStringLiteral("0"))
        QThread::msleep(20);
}

} // namespace

// One rule over read (what both forms read), theirs (saved by B after both read) and mine (A's
// form): only one side changed merges, both to the same value is fine, both to different values
// is a conflict that writes nothing.
TEST_F(VehicleHistory, ReadTheirsMineDecideEachColumn)
{
    struct Case {
        const char* name;
        QString column;
        QString theirs; // empty: B leaves the column as read
        QString mine;   // empty: A leaves it; "-": A's form shows no date there
        SaveResult::Outcome outcome;
        QString expected; // the stored value after A's save
        int myHistoryRows;
    };
    const QString phone = QStringLiteral("cezudianhua"), date = QStringLiteral("zucebaoxianyouxiaoqi");
    const Case cases[] = {
        {"both the same, text", phone, QStringLiteral("136"), QStringLiteral("136"), SaveResult::Written, QStringLiteral("136"), 0},
        {"only mine, date", date, {}, QStringLiteral("2031-5-6"), SaveResult::Written, QStringLiteral("2031-05-06"), 1},
        {"only theirs, date", date, QStringLiteral("2032-2-3"), {}, SaveResult::Written, QStringLiteral("2032-02-03"), 0},
        {"theirs, mine shows no date", date, QStringLiteral("2032-2-4"), QStringLiteral("-"), SaveResult::Written, QStringLiteral("2032-02-04"), 0},
        {"both the same, date with zeros", date, QStringLiteral("2033-1-5"), QStringLiteral("2033-01-05"), SaveResult::Written, QStringLiteral("2033-01-05"), 0},
        {"both different, date", date, QStringLiteral("2034-1-1"), QStringLiteral("2035-1-1"), SaveResult::Conflict, QStringLiteral("2034-01-01"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mustExecute(s_observer, QStringLiteral("DELETE FROM xiugaijilu WHERE caozuo='修改'"));
        const VehicleRecord read = readVehicle(a, id);
        const QString before = storedValues(read).value(c.column);
        VehicleValues theirs = storedValues(readVehicle(b, id));
        VehicleValues mine = storedValues(read);
        if (!c.theirs.isEmpty()) {
            theirs.insert(c.column, c.theirs);
            ASSERT_EQ(saveVehicle(b, readVehicle(b, id), theirs, id, kOfficeB).outcome, SaveResult::Written);
        }
        if (c.mine == QLatin1String("-"))
            mine.remove(c.column);
        else if (!c.mine.isEmpty())
            mine.insert(c.column, c.mine);

        const SaveResult r = saveVehicle(a, read, mine, id, kOfficeA);
        EXPECT_EQ(r.outcome, c.outcome) << r.error.toStdString();
        EXPECT_EQ(stored(c.column), c.expected);
        EXPECT_EQ(historyCount(kActionModify, kOfficeA), QString::number(c.myHistoryRows));
        if (c.outcome == SaveResult::Conflict) {
            ASSERT_EQ(r.conflicts.size(), 1);
            EXPECT_EQ(r.conflicts[0].column, c.column);
            EXPECT_EQ(r.conflicts[0].read, before);
            EXPECT_EQ(r.conflicts[0].theirs, c.theirs);
            EXPECT_EQ(r.conflicts[0].mine, c.mine);
            EXPECT_EQ(storedValues(r.stored).value(c.column), c.theirs);
        }
    }
}

// A row that still holds what the form read is saved without being read locked first; another
// office's change to other fields does not change that. Only when a changed field no longer holds
// what the form read is the row read locked and compared (here both sides agree on it).
TEST_F(VehicleHistory, OnlyARowChangedInTheSavedFieldsIsReadLockedAndCompared)
{
    int lockedReads = 0;
    setAfterRowLockedHook([&] { ++lockedReads; });
    VehicleRecord read = readVehicle(a, id);
    VehicleValues mine = storedValues(read);
    mine.insert(QStringLiteral("cezuxingming"), QStringLiteral("赵六"));
    SaveResult r = saveVehicle(a, read, mine, id, kOfficeA);
    ASSERT_EQ(r.outcome, SaveResult::Written) << r.error.toStdString();
    EXPECT_EQ(lockedReads, 0);
    EXPECT_EQ(r.stored.texts.value(QStringLiteral("cezuxingming")), QStringLiteral("赵六"));

    read = readVehicle(a, id);
    mine = storedValues(read);
    mine.insert(QStringLiteral("cezuxingming"), QStringLiteral("孙七"));
    VehicleValues theirs = storedValues(readVehicle(b, id));
    theirs.insert(QStringLiteral("baoxianbeizu"), QStringLiteral("已续保"));
    ASSERT_EQ(saveVehicle(b, readVehicle(b, id), theirs, id, kOfficeB).outcome, SaveResult::Written);
    lockedReads = 0;
    r = saveVehicle(a, read, mine, id, kOfficeA);
    ASSERT_EQ(r.outcome, SaveResult::Written) << r.error.toStdString();
    EXPECT_EQ(lockedReads, 0);
    EXPECT_EQ(stored(QStringLiteral("cezuxingming")), QStringLiteral("孙七"));
    EXPECT_EQ(stored(QStringLiteral("baoxianbeizu")), QStringLiteral("已续保"));

    read = readVehicle(a, id);
    mine = storedValues(read);
    mine.insert(QStringLiteral("cezuxingming"), QStringLiteral("周八"));
    mine.insert(QStringLiteral("cezudianhua"), QStringLiteral("13700000000"));
    theirs = storedValues(readVehicle(b, id));
    theirs.insert(QStringLiteral("cezudianhua"), QStringLiteral("13700000000"));
    ASSERT_EQ(saveVehicle(b, readVehicle(b, id), theirs, id, kOfficeB).outcome, SaveResult::Written);
    lockedReads = 0;
    r = saveVehicle(a, read, mine, id, kOfficeA);
    ASSERT_EQ(r.outcome, SaveResult::Written) << r.error.toStdString();
    EXPECT_EQ(lockedReads, 1);
    EXPECT_EQ(stored(QStringLiteral("cezuxingming")), QStringLiteral("周八"));
    EXPECT_EQ(historyCount(kActionModify, kOfficeA), QStringLiteral("3")); // 赵六, 孙七, 周八
}

// The form trims the texts it saves: a stored " 王五 " left alone in the form is not this form's
// change, so another office's new value for it stays, without a conflict.
TEST_F(VehicleHistory, TextTheFormOnlyTrimsIsNotAChange)
{
    const QString column = QStringLiteral("cezuxingming");
    mustExecute(s_observer, QStringLiteral("UPDATE celiangzongbiao SET cezuxingming=' 王五 ' WHERE ID=%1").arg(id));
    const VehicleRecord read = readVehicle(a, id);
    VehicleValues mine = storedValues(read);
    mine.insert(column, QStringLiteral("王五"));
    VehicleValues theirs = storedValues(readVehicle(b, id));
    theirs.insert(column, QStringLiteral("赵六"));
    ASSERT_EQ(saveVehicle(b, readVehicle(b, id), theirs, id, kOfficeB).outcome, SaveResult::Written);

    const SaveResult r = saveVehicle(a, read, mine, id, kOfficeA);
    EXPECT_EQ(r.outcome, SaveResult::Written) << r.error.toStdString();
    EXPECT_EQ(stored(column), QStringLiteral("赵六"));
    EXPECT_EQ(historyCount(kActionModify, kOfficeA), QStringLiteral("0"));
}

TEST_F(VehicleHistory, TwoOfficesChangingDifferentColumnsKeepBothWithTheirHistory)
{
    const VehicleRecord readA = readVehicle(a, id), readB = readVehicle(b, id);
    VehicleValues mineA = storedValues(readA), mineB = storedValues(readB);
    mineA.insert(QStringLiteral("cezudianhua"), QStringLiteral("13911112222"));
    mineB.insert(QStringLiteral("baoxianbeizu"), QStringLiteral("已续保"));

    ASSERT_EQ(saveVehicle(a, readA, mineA, id, kOfficeA).outcome, SaveResult::Written);
    const SaveResult second = saveVehicle(b, readB, mineB, id, kOfficeB);
    ASSERT_EQ(second.outcome, SaveResult::Written) << second.error.toStdString();
    EXPECT_EQ(second.stored.texts.value(QStringLiteral("baoxianbeizu")), QStringLiteral("已续保"));

    EXPECT_EQ(stored(QStringLiteral("cezudianhua")), QStringLiteral("13911112222"));
    EXPECT_EQ(stored(QStringLiteral("baoxianbeizu")), QStringLiteral("已续保"));
    const auto history = readHistory(a, id);
    ASSERT_TRUE(history);
    ASSERT_EQ(history->size(), 2u + newVehicle(QStringLiteral("x")).size()); // A, B and the add's columns
    const auto row = [&](std::size_t i) {
        const HistoryEntry& e = (*history)[i];
        return QStringList { e.action, e.user, e.host, e.column, e.oldValue, e.newValue };
    };
    // Newest first: B's change, then A's, then the add.
    EXPECT_EQ(row(0), (QStringList { kActionModify, kOfficeB.user, kOfficeB.host, QStringLiteral("baoxianbeizu"), {}, QStringLiteral("已续保") }));
    EXPECT_EQ(row(1), (QStringList { kActionModify, kOfficeA.user, kOfficeA.host, QStringLiteral("cezudianhua"), QStringLiteral("13800000000"), QStringLiteral("13911112222") }));
    EXPECT_EQ(history->back().action, kActionAdd);
    EXPECT_EQ((*history)[0].time.size(), 19);
}

// The connection dies inside the transaction: for a save compared column by column once the row
// is locked, before the write and its history go out; for an add between the new row and its
// history. The server rolls back what was done, and nothing of the change may reach the database
// on a new session.
TEST_F(VehicleHistory, AConnectionLostBetweenTheRowAndItsHistoryLeavesNeither)
{
    const VehicleRecord read = readVehicle(a, id);
    VehicleValues mine = storedValues(read);
    mine.insert(QStringLiteral("cezuxingming"), QStringLiteral("赵六"));
    mine.insert(QStringLiteral("cezudianhua"), QStringLiteral("13912345678"));
    // The other office has made one of the two changes already: the row no longer holds what A read,
    // so A's save reads it locked and compares.
    VehicleValues theirs = storedValues(readVehicle(b, id));
    theirs.insert(QStringLiteral("cezudianhua"), QStringLiteral("13912345678"));
    ASSERT_EQ(saveVehicle(b, readVehicle(b, id), theirs, id, kOfficeB).outcome, SaveResult::Written);
    const unsigned long session = a->threadId();
    int locked = 0;
    setAfterRowLockedHook([&] {
        ++locked;
        killSession(s_observer, session);
    });
    const SaveResult saved = saveVehicle(a, read, mine, id, kOfficeA);
    EXPECT_EQ(locked, 1);
    EXPECT_EQ(saved.outcome, SaveResult::Failed);
    EXPECT_EQ(stored(QStringLiteral("cezuxingming")), QStringLiteral("王五"));
    EXPECT_EQ(historyCount(kActionModify, kOfficeA), QStringLiteral("0"));

    const QString historyRows = queryValue(s_observer, QStringLiteral("SELECT count(*) FROM xiugaijilu"));
    const unsigned long addSession = b->threadId();
    setAfterRowLockedHook([&] { killSession(s_observer, addSession); });
    const SaveResult added = addVehicle(b, newVehicle(QStringLiteral("豫H99999")), kOfficeB);
    EXPECT_EQ(added.outcome, SaveResult::Failed);
    setAfterRowLockedHook(nullptr);
    EXPECT_EQ(queryValue(s_observer, QStringLiteral("SELECT count(*) FROM celiangzongbiao WHERE cepaihao='豫H99999'")),
        QStringLiteral("0"));
    EXPECT_EQ(queryValue(s_observer, QStringLiteral("SELECT count(*) FROM xiugaijilu")), historyRows);

    // The connection itself goes on with a new session.
    mine.insert(QStringLiteral("cezuxingming"), QStringLiteral("孙七"));
    EXPECT_EQ(saveVehicle(a, read, mine, id, kOfficeA).outcome, SaveResult::Written);
    EXPECT_EQ(stored(QStringLiteral("cezuxingming")), QStringLiteral("孙七"));
}

// A save whose statement waits for the row, which another session holds in an open transaction,
// and whose session is killed meanwhile: neither the change nor a history row reaches the
// database, then or once the other transaction ends, and the save says it failed.
TEST_F(VehicleHistory, ASessionKilledWhileItsSaveWaitsForTheRowLeavesNothing)
{
    const VehicleRecord read = readVehicle(a, id);
    VehicleValues mine = storedValues(read);
    mine.insert(QStringLiteral("cezuxingming"), QStringLiteral("赵六"));
    db::Transaction holder(*b);
    ASSERT_TRUE(holder.run(db::Statement("SELECT ID FROM celiangzongbiao WHERE ID=? FOR UPDATE").bind(id)).ok);

    // The saving office on a thread of its own, with a session of that thread.
    const db::Connection::Options options = a->options();
    std::promise<unsigned long> started;
    SaveResult saved;
    std::thread office([&] {
        const db::ConnectionPtr session = db::threadSession(options);
        started.set_value(session ? session->threadId() : 0);
        if (session)
            saved = saveVehicle(session, read, mine, id, kOfficeA);
    });
    const unsigned long session = started.get_future().get();
    ASSERT_NE(session, 0u);
    QElapsedTimer waited;
    waited.start();
    const QString waiting = QStringLiteral("SELECT count(*) FROM information_schema.innodb_trx "
                                           "WHERE trx_state='LOCK WAIT' AND trx_mysql_thread_id=%1")
                                .arg(session);
    // The server refreshes its table of transactions only when it has not been read for 100 ms.
    // The server's transactions are the administrator's to see.
    const db::ConnectionPtr admin = test::connectAdmin();
    while (queryValue(admin, waiting) != QStringLiteral("1") && waited.elapsed() < 10000)
        QThread::msleep(150);
    EXPECT_LT(waited.elapsed(), 10000) << "the save never waited for the row";
    killSession(s_observer, session);
    // The row free again before the save has ended: a save that went on with a new session would
    // now get through.
    EXPECT_TRUE(holder.commit().ok);
    office.join();

    EXPECT_EQ(saved.outcome, SaveResult::Failed) << saved.error.toStdString();
    EXPECT_EQ(stored(QStringLiteral("cezuxingming")), QStringLiteral("王五"));
    EXPECT_EQ(historyCount(kActionModify, kOfficeA), QStringLiteral("0"));
}

TEST_F(VehicleHistory, APictureNameIsWrittenWithItsHistoryNewestFirst)
{
    const QString plate = stored(QStringLiteral("cepaihao"));
    const QString column = QStringLiteral("yingyunzengtupian");
    ASSERT_EQ(savePictureName(a, column, QStringLiteral("first.jpg"), plate, kOfficeA).outcome, SaveResult::Written);
    ASSERT_EQ(savePictureName(a, column, QStringLiteral("second.jpg"), plate, kOfficeB).outcome, SaveResult::Written);
    EXPECT_EQ(stored(column), QStringLiteral("second.jpg"));
    const auto history = readHistory(b, id);
    ASSERT_TRUE(history);
    ASSERT_GE(history->size(), 2u);
    EXPECT_EQ((*history)[0].action, kActionPicture);
    EXPECT_EQ((*history)[0].oldValue, QStringLiteral("first.jpg"));
    EXPECT_EQ((*history)[0].newValue, QStringLiteral("second.jpg"));
    EXPECT_EQ((*history)[1].oldValue, QString());
    EXPECT_EQ((*history)[1].newValue, QStringLiteral("first.jpg"));
    EXPECT_EQ(savePictureName(a, column, QStringLiteral("x.jpg"), QStringLiteral("豫H无此车"), kOfficeA).outcome,
        SaveResult::NoRow);
}

// A database without the history table reads as no history; a change then fails and leaves
// nothing of itself. The login creates the program's tables, each once, and the next change goes
// through.
TEST_F(VehicleHistory, WithoutTheHistoryTableAChangeFailsUntilTheLoginCreatesIt)
{
    mustExecute(test::adminBeside(s_observer), QStringLiteral("DROP TABLE xiugaijilu, haomazhanyong"));
    const auto none = readHistory(a, id);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
    const VehicleRecord read = readVehicle(a, id);
    VehicleValues mine = storedValues(read);
    mine.insert(QStringLiteral("qita"), QStringLiteral("500"));
    EXPECT_EQ(saveVehicle(a, read, mine, id, kOfficeA).outcome, SaveResult::Failed);
    EXPECT_EQ(stored(QStringLiteral("qita")), QString());
    EXPECT_EQ(addVehicle(a, newVehicle(QStringLiteral("豫H88888")), kOfficeA).outcome, SaveResult::Failed);
    EXPECT_EQ(queryValue(s_observer, QStringLiteral("SELECT count(*) FROM celiangzongbiao WHERE cepaihao='豫H88888'")),
        QStringLiteral("0"));

    for (int login = 0; login < 2; ++login) {
        QString error;
        EXPECT_TRUE(db::ensureProgramTables(*a, &error)) << error.toStdString();
    }
    const SaveResult r = saveVehicle(a, read, mine, id, kOfficeA);
    ASSERT_EQ(r.outcome, SaveResult::Written) << r.error.toStdString();
    const auto history = readHistory(a, id);
    ASSERT_TRUE(history);
    ASSERT_EQ(history->size(), 1u);
    EXPECT_EQ(history->front().newValue, QStringLiteral("500"));
    EXPECT_EQ(addVehicle(a, newVehicle(QStringLiteral("豫H88888")), kOfficeA).outcome, SaveResult::Written);
}

// A conflict writes nothing, not even the columns only this form changed, and lists the
// conflicting columns in the order the form shows them.
TEST_F(VehicleHistory, AConflictWritesNothingAndListsItsColumnsInTheFormsOrder)
{
    const VehicleRecord readA = readVehicle(a, id), readB = readVehicle(b, id);
    VehicleValues mineA = storedValues(readA), mineB = storedValues(readB);
    // The form shows the clerk of the basic data (jibenjingbanren) well before the management remark,
    // which the insert's list puts the other way round. B saves first.
    mineB.insert(QStringLiteral("guanlibeizu"), QStringLiteral("乙的备注"));
    mineB.insert(QStringLiteral("jibenjingbanren"), QStringLiteral("乙"));
    ASSERT_EQ(saveVehicle(b, readB, mineB, id, kOfficeB).outcome, SaveResult::Written);
    mineA.insert(QStringLiteral("guanlibeizu"), QStringLiteral("甲的备注"));
    mineA.insert(QStringLiteral("jibenjingbanren"), QStringLiteral("甲"));
    mineA.insert(QStringLiteral("fadongjihao"), QStringLiteral("ENGINE-1"));

    const SaveResult r = saveVehicle(a, readA, mineA, id, kOfficeA);
    ASSERT_EQ(r.outcome, SaveResult::Conflict);
    ASSERT_EQ(r.conflicts.size(), 2);
    EXPECT_EQ(r.conflicts[0].column, QStringLiteral("jibenjingbanren"));
    EXPECT_EQ(r.conflicts[1].column, QStringLiteral("guanlibeizu"));
    EXPECT_EQ(stored(QStringLiteral("fadongjihao")), QString());
    EXPECT_EQ(stored(QStringLiteral("jibenjingbanren")), QStringLiteral("乙"));
    EXPECT_EQ(historyCount(kActionModify, kOfficeA), QStringLiteral("0"));
}
