// The import against the local stack: matching stored vehicles, updating them with history, a
// session lost in the middle, the refused rows' sheet, and undoing an import.
#include "import/ImportRun.h"
#include "db/ProgramTables.h"
#include "import/Mapping.h"
#include "support/TestSupport.h"
#include "vehicles/VehicleColumns.h"
#include "vehicles/VehicleHistory.h"
#include "vehicles/VehicleStore.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

using namespace fd;
using namespace fd::import;
using test::mustExecute;
using test::queryValue;

namespace {

const QString kDatabase = QStringLiteral("fd_import");
const vehicles::ChangeAuthor kClerk {QStringLiteral("导入员"), QStringLiteral("office-i")};
const vehicles::ChangeAuthor kOther {QStringLiteral("李四"), QStringLiteral("office-b")};

ImportSource csvSource(const QString& text)
{
    ImportSource s;
    s.fileName = QStringLiteral("fleet.csv");
    s.sheet = readCsv(text.toUtf8());
    s.headerRow = findHeaderRow(s.sheet);
    s.mapping = autoMapping(headerTexts(s.sheet, s.headerRow));
    return s;
}

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

class ImportRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        observer = test::freshDatabase(kDatabase);
        ASSERT_TRUE(observer);
        session = test::connectStack(kDatabase);
        ASSERT_TRUE(session);
        ASSERT_TRUE(db::ensureProgramTables(*session));
    }
    void TearDown() override { vehicles::setAfterRowLockedHook(nullptr); }

    QString addStored(const QString& plate, const QString& owner, const QString& phone)
    {
        vehicles::VehicleValues v;
        v.insert(QStringLiteral("cepaihao"), plate);
        v.insert(QStringLiteral("danganbianhao"), QStringLiteral("D-") + plate);
        v.insert(QStringLiteral("cezuxingming"), owner);
        v.insert(QStringLiteral("cezudianhua"), phone);
        v.insert(QStringLiteral("celiangzuangtai"), QStringLiteral("正常"));
        for (const vehicles::VehicleColumn& c : vehicles::vehicleColumns())
            if (c.form == vehicles::ColumnForm::Date)
                v.insert(c.name, QStringLiteral("2030-1-1"));
        const vehicles::SaveResult r = vehicles::addVehicle(session, v, kOther);
        EXPECT_EQ(r.outcome, vehicles::SaveResult::Written) << r.error.toStdString();
        return r.stored.texts.value(QStringLiteral("ID"));
    }
    QString value(const QString& sql) { return queryValue(observer, sql); }
    QString column(const QString& plate, const QString& col)
    {
        return value(QStringLiteral("SELECT %1 FROM celiangzongbiao WHERE cepaihao='%2'").arg(col, plate));
    }

    db::ConnectionPtr observer, session;
};

const QString kSheet = QStringLiteral(
    "序号,号牌号码,档案号,车主,手机,行驶证到期,状态\n"
    "1,豫H00001,A1,王五,139 0000 0001,2017/6/30,正常\n"   // stored: phone and date change
    "2,豫H00002,A2,赵六,13900000002,,\n"                 // stored, nothing changes
    "3,豫h 10003,A3,孙七,13900000003,2018年1月2日,转出\n" // new
    "4,豫H1,A4,周八,13900000004,2018-01-02,\n"          // refused: plate
    "5,豫H10003,A5,吴九,13900000005,2018-01-02,\n"       // refused: twice in the file
    "6,豫H10006,,郑十,13900000006,2018-01-02,\n"         // refused: no file number
    "7,豫H10007,A7,钱一,13900000007,20180102,注销\n");    // new

} // namespace

TEST_F(ImportRun, StoredVehiclesAreSkippedOrUpdatedWithTheirHistoryAndNewOnesAdded)
{
    const QString first = addStored(QStringLiteral("豫H00001"), QStringLiteral("王五"), QStringLiteral("13900000000"));
    addStored(QStringLiteral("豫H00002"), QStringLiteral("赵六"), QStringLiteral("13900000002"));
    const ImportSource source = csvSource(kSheet);
    ASSERT_EQ(source.headerRow, 0);

    // A dry run counts and writes nothing.
    const ImportReport dry = runImport(session, source, {}, kClerk, true);
    EXPECT_EQ(dry.counts.added, 2);
    EXPECT_EQ(dry.counts.skipped, 1);
    EXPECT_EQ(dry.counts.unchanged, 1);
    EXPECT_EQ(dry.counts.refused, 3);
    EXPECT_EQ(value("SELECT count(*) FROM celiangzongbiao"), QStringLiteral("2"));
    EXPECT_EQ(value("SELECT count(*) FROM daorupici"), QStringLiteral("0"));

    ImportOptions update;
    update.update = true;
    const ImportReport report = runImport(session, source, update, kClerk);
    ASSERT_TRUE(report.error.isEmpty()) << report.error.toStdString();
    EXPECT_TRUE(report.stopped.isEmpty());
    EXPECT_EQ(report.counts.added, 2);
    EXPECT_EQ(report.counts.updated, 1);
    EXPECT_EQ(report.counts.unchanged, 1);
    EXPECT_EQ(report.counts.refused, 3);
    ASSERT_EQ(report.refused.size(), 3u);
    EXPECT_EQ(report.refused[0].sheetRow, 4);
    EXPECT_TRUE(report.refused[0].reason.contains(QStringLiteral("请输入正确的车牌号！")));
    EXPECT_EQ(report.refused[1].reason, QStringLiteral("与第 4 行重复"));
    EXPECT_EQ(report.refused[2].reason, QStringLiteral("新车辆的档案编号不能为空"));

    EXPECT_EQ(column(QStringLiteral("豫H00001"), QStringLiteral("cezudianhua")), QStringLiteral("13900000001"));
    EXPECT_EQ(column(QStringLiteral("豫H00001"), QStringLiteral("zuceyouxiaoriqi")), QStringLiteral("2017-06-30"));
    EXPECT_EQ(column(QStringLiteral("豫H10003"), QStringLiteral("celiangzuangtai")), QStringLiteral("转出"));
    EXPECT_EQ(column(QStringLiteral("豫H10007"), QStringLiteral("zuceyouxiaoriqi")), QStringLiteral("2018-01-02"));
    EXPECT_EQ(value("SELECT count(*) FROM celiangzongbiao"), QStringLiteral("4"));
    // The update's history: the two changed columns, old and new, by the clerk.
    EXPECT_EQ(value(QStringLiteral("SELECT group_concat(concat(ziduan,':',coalesce(jiuzhi,''),'>',coalesce(xinzhi,'')) order by ziduan) "
                                   "FROM xiugaijilu WHERE cheliangid=%1 AND yonghu='导入员' AND caozuo='导入'")
                        .arg(first)),
        QStringLiteral("cezudianhua:13900000000>13900000001,zuceyouxiaoriqi:2030-1-1>2017-6-30"));
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM daorujilu WHERE daoruid=%1").arg(report.batchId)),
        QStringLiteral("3"));

    // Matched by file number and without updating, the same file changes nothing more.
    ImportOptions byFile;
    byFile.match = MatchBy::FileNumber;
    const ImportReport again = runImport(session, csvSource(kSheet), byFile, kClerk);
    EXPECT_EQ(again.counts.added, 0);
    EXPECT_EQ(value("SELECT count(*) FROM celiangzongbiao"), QStringLiteral("4"));
}

TEST_F(ImportRun, ASessionKilledMidImportLeavesTheRowsBeforeWholeAndNoneAfter)
{
    QString text = QStringLiteral("车牌号,档案编号,车主\n");
    for (int i = 1; i <= 6; ++i)
        text += QStringLiteral("豫H2000%1,K%1,车主%1\n").arg(i);
    int adds = 0;
    const unsigned long id = session->threadId();
    vehicles::setAfterRowLockedHook([&] {
        if (++adds == 4)
            killSession(observer, id);
    });
    ImportOptions oneSession;
    oneSession.sessions = 1;
    const ImportReport report = runImport(session, csvSource(text), oneSession, kClerk);
    vehicles::setAfterRowLockedHook(nullptr);
    EXPECT_FALSE(report.stopped.isEmpty());
    EXPECT_EQ(report.counts.added, 3);
    EXPECT_EQ(report.rowsDone, 4);
    EXPECT_EQ(value("SELECT group_concat(cepaihao order by cepaihao) FROM celiangzongbiao"),
        QStringLiteral("豫H20001,豫H20002,豫H20003"));
    // Each landed vehicle has its history; the killed one has none.
    EXPECT_EQ(value("SELECT count(distinct cheliangid) FROM xiugaijilu"), QStringLiteral("3"));
    EXPECT_EQ(value("SELECT count(*) FROM xiugaijilu h LEFT JOIN celiangzongbiao v ON v.ID=h.cheliangid WHERE v.ID IS NULL"),
        QStringLiteral("0"));
    EXPECT_EQ(value("SELECT count(*) FROM daorujilu"), QStringLiteral("3"));
    // The rows not reached are handed back to be imported again.
    ASSERT_EQ(report.notReached.size(), 2u);
    EXPECT_EQ(report.notReached[0].sheetRow, 5);
    EXPECT_EQ(rowsNotImported(report).size(), 3u);
}

TEST_F(ImportRun, SessionsKilledInAParallelImportLeaveEveryRowWholeOrAbsent)
{
    QString text = QStringLiteral("车牌号,档案编号,车主,行驶证到期\n");
    for (int i = 1; i <= 60; ++i)
        text += QStringLiteral("豫H3%1,P%1,车主%1,2019-%2-1\n").arg(i, 4, 10, QLatin1Char('0')).arg(1 + i % 12);
    const ImportSource source = csvSource(text);
    const QString observerId = value("SELECT CONNECTION_ID()");
    std::atomic<int> adds {0};
    // In the middle of an add, on whichever session makes it, every session of the import is
    // killed: the one in this transaction and the others, idle or busy.
    vehicles::setAfterRowLockedHook([&] {
        if (++adds != 20)
            return;
        const db::ConnectionPtr killer = test::connectStack(kDatabase);
        ASSERT_TRUE(killer);
        const db::Reply ids = killer->run(db::Statement("SELECT id FROM information_schema.processlist WHERE db=? "
                                                        "AND id<>? AND id<>CONNECTION_ID()")
                                              .bind(kDatabase)
                                              .bind(observerId.toLongLong()));
        ASSERT_TRUE(ids.ok && ids.rows);
        while (ids.rows->next())
            killer->run(db::Statement("KILL ?").bind(ids.rows->integer(0)));
    });
    const ImportReport report = runImport(session, source, {}, kClerk);
    vehicles::setAfterRowLockedHook(nullptr);
    ASSERT_FALSE(report.stopped.isEmpty());

    // Every row is accounted for: landed, refused by the kill, or not reached.
    EXPECT_EQ(report.counts.added + report.counts.refused + static_cast<int>(report.notReached.size()), 60);
    EXPECT_GE(report.notReached.size(), 1u);
    EXPECT_EQ(value("SELECT count(*) FROM celiangzongbiao"), QString::number(report.counts.added));
    // Each landed vehicle whole: its history (operation 导入) and the import's record of it; nothing
    // of the others.
    EXPECT_EQ(value("SELECT count(distinct cheliangid) FROM xiugaijilu WHERE caozuo='导入'"),
        QString::number(report.counts.added));
    EXPECT_EQ(value("SELECT count(*) FROM xiugaijilu h LEFT JOIN celiangzongbiao v ON v.ID=h.cheliangid WHERE v.ID IS NULL"),
        QStringLiteral("0"));
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM daorujilu j JOIN celiangzongbiao v ON v.ID=j.cheliangid "
                                   "WHERE j.daoruid=%1")
                        .arg(report.batchId)),
        QString::number(report.counts.added));
    EXPECT_EQ(value("SELECT count(*) FROM daorujilu"), QString::number(report.counts.added));

    // The rows handed back land on the next import, and the whole file is then stored.
    ImportSource again = source;
    again.sheet.rows.resize(1);
    for (const RefusedRow& r : rowsNotImported(report))
        again.sheet.rows.push_back(r.cells);
    const ImportReport second = runImport(session, again, {}, kClerk);
    EXPECT_TRUE(second.stopped.isEmpty()) << second.stopped.toStdString();
    EXPECT_EQ(second.counts.added, 60 - report.counts.added);
    EXPECT_EQ(value("SELECT count(*) FROM celiangzongbiao"), QStringLiteral("60"));
}

TEST_F(ImportRun, TheRefusedRowsSheetCanBeFixedAndImported)
{
    const ImportSource source = csvSource(kSheet);
    const ImportReport report = runImport(session, source, {}, kClerk);
    ASSERT_EQ(report.refused.size(), 3u);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("未导入.xlsx"));
    QString error;
    ASSERT_TRUE(writeRefusedRows(path, source.headers(), report.refused, &error)) << error.toStdString();
    Workbook book = readWorkbook(path);
    ASSERT_TRUE(book.ok());
    Sheet& sheet = book.sheets[0];
    ASSERT_EQ(sheet.rows.size(), 4u);
    EXPECT_EQ(headerTexts(sheet, 0).last(), QStringLiteral("原因"));
    EXPECT_EQ(sheet.rows[1][1].display(), QStringLiteral("豫H1"));
    // The clerk fixes the plates and the file number.
    sheet.rows[1][1].text = QStringLiteral("豫H10004");
    sheet.rows[2][1].text = QStringLiteral("豫H10005");
    sheet.rows[3][2] = Cell {Cell::Text, QStringLiteral("A6"), 0};
    ImportSource fixed;
    fixed.sheet = sheet;
    fixed.headerRow = findHeaderRow(sheet);
    fixed.mapping = autoMapping(headerTexts(sheet, fixed.headerRow));
    const ImportReport second = runImport(session, fixed, {}, kClerk);
    EXPECT_EQ(second.counts.added, 3);
    EXPECT_EQ(second.counts.refused, 0);
    EXPECT_EQ(value("SELECT count(*) FROM celiangzongbiao"), QStringLiteral("7"));
}

TEST_F(ImportRun, AnImportIsUndoneUnlessOneOfItsVehiclesChangedSince)
{
    const QString first = addStored(QStringLiteral("豫H00001"), QStringLiteral("王五"), QStringLiteral("13900000000"));
    ImportOptions update;
    update.update = true;
    const ImportReport report = runImport(session, csvSource(kSheet), update, kClerk);
    ASSERT_EQ(report.counts.added, 3);
    ASSERT_EQ(report.counts.updated, 1);
    const QString before = value("SELECT count(*) FROM celiangzongbiao");

    // Another office changes one of the new vehicles: the undo names it and changes nothing.
    const QString newId = column(QStringLiteral("豫H10007"), QStringLiteral("ID"));
    const vehicles::VehicleRecord read = vehicles::readVehicle(session, newId);
    vehicles::VehicleValues mine = vehicles::storedValues(read);
    mine.insert(QStringLiteral("cezuxingming"), QStringLiteral("改过"));
    ASSERT_EQ(vehicles::saveVehicle(session, read, mine, newId, kOther).outcome, vehicles::SaveResult::Written);
    const UndoResult refused = undoImport(session, report.batchId, kClerk);
    EXPECT_FALSE(refused.done);
    EXPECT_EQ(refused.changedSince, QStringList {QStringLiteral("豫H10007")});
    EXPECT_EQ(value("SELECT count(*) FROM celiangzongbiao"), before);
    EXPECT_EQ(column(QStringLiteral("豫H00001"), QStringLiteral("cezudianhua")), QStringLiteral("13900000001"));

    // A later import is undone whole: its new vehicles go, the changed one gets its values back.
    mustExecute(observer, QStringLiteral("DELETE FROM celiangzongbiao WHERE ID<>%1").arg(first));
    mustExecute(observer, QStringLiteral("UPDATE celiangzongbiao SET cezudianhua='13900000000', zuceyouxiaoriqi=NULL"));
    const ImportReport second = runImport(session, csvSource(kSheet), update, kClerk);
    ASSERT_EQ(second.counts.added, 3);
    ASSERT_EQ(second.counts.updated, 1);
    const UndoResult undone = undoImport(session, second.batchId, kClerk);
    ASSERT_TRUE(undone.done) << undone.error.toStdString() << undone.changedSince.join(',').toStdString();
    EXPECT_EQ(undone.undone, 4);
    EXPECT_EQ(value("SELECT count(*) FROM celiangzongbiao"), QStringLiteral("1"));
    EXPECT_EQ(column(QStringLiteral("豫H00001"), QStringLiteral("cezudianhua")), QStringLiteral("13900000000"));
    EXPECT_EQ(column(QStringLiteral("豫H00001"), QStringLiteral("zuceyouxiaoriqi")), QStringLiteral("<null>"));
    EXPECT_FALSE(undoImport(session, second.batchId, kClerk).done);
}
