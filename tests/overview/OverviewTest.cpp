// The overview against a fleet with chosen dates and a fixed login date: the counts of the band
// table agree with the lists behind them and with the category tree's statements, a double-click
// or a bar lists exactly its vehicles, the forecast runs across a year's end, and the workbook
// holds the numbers shown.

#include "support/AdminState.h"
#include "common/AppState.h"
#include "common/DateTime.h"
#include "db/Database.h"
#include "db/Transaction.h"
#include "overview/OverviewPage.h"
#include "overview/OverviewPrint.h"
#include "overview/OverviewStatements.h"
#include "support/ListWait.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "fleet/FleetList.h"
#include "fleet/FleetStatements.h"
#include "vehicles/VehicleColumns.h"
#include "support/Wait.h"

#include <QAbstractButton>
#include <QBarSet>
#include <QChart>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStackedBarSeries>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace fd::test {
namespace {

using overview::Column;
using overview::Fleet;

const QStringList& kDates = vehicles::watchedDates();

// Dates around a login in December: both ends of every band, the first days the category lists
// add (the first of the next month and of the month after), the year's end, a zero date and NULL.
const QStringList kDecemberDates {QStringLiteral("2016-08-31"), QStringLiteral("2016-09-01"),
    QStringLiteral("2016-09-30"), QStringLiteral("2016-10-01"), QStringLiteral("2016-11-30"),
    QStringLiteral("2016-12-01"), QStringLiteral("2016-12-10"), QStringLiteral("2016-12-31"),
    QStringLiteral("2017-01-01"), QStringLiteral("2017-01-31"), QStringLiteral("2017-02-01"),
    QStringLiteral("2017-11-30"), QStringLiteral("2017-12-01"), QStringLiteral("0000-00-00"), QString()};
const QStringList kStatuses {QStringLiteral("正常"), QString(), QStringLiteral("转出"), QStringLiteral("注销")};

class OverviewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.dbConnection = freshDatabase(QStringLiteral("t_overview"));
        ASSERT_TRUE(state.dbConnection);
        state.appTitle = kProgramTitle;
        state.loginDateTime = datetime::toDayNumber(2016, 12, 10, 9, 30, 0);
        // Zero dates are what older data holds; the server takes them only outside strict mode.
        mustExecute(state.dbConnection, QStringLiteral("SET SESSION sql_mode=''"));
        // Vehicle i has date (i + 3d) of the list for document d, so that every document sees
        // every date with several statuses.
        const int n = 2 * static_cast<int>(kDecemberDates.size());
        for (int i = 0; i < n; ++i) {
            QString columns = QStringLiteral("danganbianhao,cepaihao,celiangzuangtai,guanliyingjiaofei");
            const QString status = kStatuses[i % kStatuses.size()];
            QString values = QStringLiteral("'%1','豫H%2',%3,'%4'")
                                 .arg(i)
                                 .arg(10000 + i)
                                 .arg(status.isEmpty() ? QStringLiteral("NULL") : QStringLiteral("'%1'").arg(status))
                                 .arg(i % 3 == 0 ? QString() : QString::number(100 * i));
            for (int d = 0; d < kDates.size(); ++d) {
                const QString date = kDecemberDates[(i + 3 * d) % kDecemberDates.size()];
                columns += QLatin1Char(',') + kDates[d];
                values += date.isEmpty() ? QStringLiteral(",NULL") : QStringLiteral(",'%1'").arg(date);
            }
            mustExecute(state.dbConnection, QStringLiteral("INSERT INTO celiangzongbiao (%1) VALUES (%2)").arg(columns, values));
        }
        fleet = std::make_unique<fleet::FleetList>(state, dialogs);
        view = std::make_unique<QTableView>();
        fleet->attachView(view.get());
        page = std::make_unique<overview::OverviewPage>(state, dialogs);
        page->resize(900, 700);
        QObject::connect(page.get(), &overview::OverviewPage::listRequested, fleet.get(), &fleet::FleetList::loadDateList);
    }

    void TearDown() override
    {
        page.reset();
        view.reset();
        fleet.reset();
        db::dbClose(state.dbConnection);
    }

    const overview::Overview& counted()
    {
        QSignalSpy done(page.get(), &overview::OverviewPage::refreshed);
        page->refresh();
        EXPECT_TRUE(done.wait(10000));
        EXPECT_TRUE(page->overview().has_value());
        return *page->overview();
    }

    QList<qint64> ids(const QString& sql)
    {
        QList<qint64> out;
        EXPECT_TRUE(db::dbExecute(state.dbConnection, sql)) << sql.toStdString();
        db::ResultPtr r = db::dbStoreResult(state.dbConnection);
        for (; r && !r->atEnd(); r->skipRow()) {
            qint64 id = 0;
            db::dbReadField(r, "ID", id);
            out << id;
        }
        db::dbFreeResult(r);
        std::sort(out.begin(), out.end());
        return out;
    }
    qint64 rows(const QString& sql) { return ids(sql).size(); }

    QList<qint64> gridIds()
    {
        QList<qint64> out;
        for (int r = 1; r < fleet->gridRowCount(); ++r)
            out << fleet->gridText(r, 0).toLongLong();
        std::sort(out.begin(), out.end());
        return out;
    }

    AppState state = fd::test::adminState();
    ScriptedDialogs dialogs;
    std::unique_ptr<fleet::FleetList> fleet;
    std::unique_ptr<QTableView> view;
    std::unique_ptr<overview::OverviewPage> page;
};

// One rule, seven documents: each count is the number of rows its list shows, the bands of the
// tree's 预警 and 本月需办 lists are the counts plus the first day those lists add, and every
// vehicle is counted once per document. The login is in December: next month is in 2017.
TEST_F(OverviewTest, CountsAgreeWithTheListsAndTheCategoryStatementsForEveryDocument)
{
    const overview::Overview& o = counted();
    const double login = state.loginDateTime;
    const qint64 vehicles = rows(QStringLiteral("Select ID from celiangzongbiao"));
    for (int d = 0; d < overview::kDocuments; ++d) {
        SCOPED_TRACE(kDates[d].toStdString());
        qint64 all = 0;
        for (int f = 0; f < 2; ++f)
            for (int c = 0; c < overview::kColumns; ++c) {
                SCOPED_TRACE(overview::columnTitle(static_cast<Column>(c)).toStdString() + (f ? " gone" : " active"));
                const qint64 n = o.count(static_cast<Fleet>(f), d, static_cast<Column>(c));
                EXPECT_EQ(n, rows(overview::cellStatement(d, static_cast<Column>(c), static_cast<Fleet>(f), login)));
                all += n;
            }
        EXPECT_EQ(all, vehicles);
        auto both = [&](Column c) { return o.count(Fleet::active, d, c) + o.count(Fleet::gone, d, c); };
        auto on = [&](const char* day) { return rows(QStringLiteral("Select ID from celiangzongbiao where %1='%2'").arg(kDates[d], QLatin1String(day))); };
        // 预警 lists January 2017 and 2017-02-01; 本月需办 December and 2017-01-01.
        EXPECT_EQ(both(Column::dueNextMonth), rows(fleet::categoryStatement(kDates[d], 3, login).renderOffline()) - on("2017-02-01"));
        EXPECT_EQ(both(Column::dueThisMonth), rows(fleet::categoryStatement(kDates[d], 4, login).renderOffline()) - on("2017-01-01"));
        // NULL and the zero date are no date; the fixture holds both.
        EXPECT_EQ(both(Column::noDate),
            rows(QStringLiteral("Select ID from celiangzongbiao where %1 is null or %1='0000-00-00'").arg(kDates[d])));
        EXPECT_GT(both(Column::noDate), 0);
        EXPECT_GT(both(Column::dueNextMonth), 0);
    }
}

// A double-click on a count shows exactly the vehicles it counts in the grid; so does a bar.
TEST_F(OverviewTest, ACellOrABarListsExactlyItsVehicles)
{
    counted();
    page->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    QTableWidget& table = page->table();
    const int d = static_cast<int>(vehicles::WatchedDate::MainInsurance);
    const QString c = kDates[d];
    const QString active = QStringLiteral(" and (celiangzuangtai is null or celiangzuangtai not in ('转出','注销'))");
    const QRect cell = table.visualRect(table.model()->index(d, static_cast<int>(Column::dueNextMonth)));
    // As a mouse sends it: a click, then the second press arrives as the double-click.
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_TRUE(waitForList(*fleet));
    const QList<qint64> january = ids(QStringLiteral("Select ID from celiangzongbiao where Year(%1)=2017 and Month(%1)=1").arg(c) + active);
    ASSERT_FALSE(january.isEmpty());
    EXPECT_EQ(gridIds(), january);
    EXPECT_EQ(fleet->gridText(0, 6), vehicles::watchedDateHeader(c));
    EXPECT_EQ(table.item(d, static_cast<int>(Column::dueNextMonth))->text().toLongLong(), january.size());

    // The transferred and deregistered vehicles are counted apart, behind the switch.
    EXPECT_EQ(table.rowCount(), overview::kDocuments);
    page->findChild<QAbstractButton*>(QStringLiteral("选择框_转出注销"))->click();
    ASSERT_EQ(table.rowCount(), 2 * overview::kDocuments);
    QCoreApplication::processEvents(); // the new rows are laid out
    const QRect gone = table.visualRect(table.model()->index(overview::kDocuments + d, static_cast<int>(Column::noDate)));
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, gone.center());
    QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, gone.center());
    ASSERT_TRUE(waitForList(*fleet));
    EXPECT_EQ(gridIds(), ids(QStringLiteral("Select ID from celiangzongbiao where (%1 is null or %1='0000-00-00') and celiangzuangtai in ('转出','注销')").arg(c)));

    auto* bars = qobject_cast<QStackedBarSeries*>(page->chart().series().value(0));
    ASSERT_TRUE(bars);
    Q_EMIT bars->barSets()[d]->clicked(11); // November 2017
    ASSERT_TRUE(waitForList(*fleet));
    EXPECT_EQ(gridIds(), ids(QStringLiteral("Select ID from celiangzongbiao where Year(%1)=2017 and Month(%1)=11").arg(c) + active));
    EXPECT_FALSE(gridIds().isEmpty());
}

// Twelve months from the login month, across the year's end; what falls after them or before
// the login month is not in the forecast; the chart's bars are the forecast's numbers.
TEST_F(OverviewTest, ForecastRunsTwelveMonthsAcrossTheYearsEnd)
{
    const overview::Overview& o = counted();
    EXPECT_EQ(o.monthTitle(0), QStringLiteral("2016年12月"));
    EXPECT_EQ(o.monthTitle(1), QStringLiteral("2017年1月"));
    EXPECT_EQ(o.monthTitle(11), QStringLiteral("2017年11月"));
    const QString active = QStringLiteral(" and (celiangzuangtai is null or celiangzuangtai not in ('转出','注销'))");
    auto* bars = qobject_cast<QStackedBarSeries*>(page->chart().series().value(0));
    ASSERT_TRUE(bars);
    qint64 inForecast = 0;
    for (int d = 0; d < overview::kDocuments; ++d)
        for (int k = 0; k < overview::kMonths; ++k) {
            const int year = k == 0 ? 2016 : 2017, month = k == 0 ? 12 : k;
            const qint64 expected = rows(
                QStringLiteral("Select ID from celiangzongbiao where Year(%1)=%2 and Month(%1)=%3").arg(kDates[d]).arg(year).arg(month) + active);
            EXPECT_EQ(o.forecast[k][d], expected) << d << " " << k;
            EXPECT_EQ(bars->barSets()[d]->at(k), expected);
            inForecast += expected;
        }
    // Dates in December 2017 (the thirteenth month) and November 2016 are in the fixture.
    qint64 all = 0;
    for (int d = 0; d < overview::kDocuments; ++d)
        all += rows(QStringLiteral("Select ID from celiangzongbiao where %1>='2016-12-01' and %1<'2017-12-01'").arg(kDates[d]) + active);
    EXPECT_EQ(inForecast, all);
    EXPECT_GT(o.forecast[1][0], 0);

    // The fee due: the amounts of the active vehicles whose fee runs out in the month.
    const QString fee = QStringLiteral("Select sum(guanliyingjiaofei)*100 as ID from celiangzongbiao where guanliyingjiaofei<>'' and Year(guanlifeiyouxiaoqi)=2017 and Month(guanlifeiyouxiaoqi)=1") + active;
    EXPECT_EQ(o.feeFen[1], queryValue(state.dbConnection, fee).toLongLong());
    EXPECT_GT(o.feeFen[1], 0);
}

// Dates a lenient server keeps that are partly zero or past the month's end are no date, in the
// count and in the list it opens alike; a date in year 0 is one, expired long ago. Every list
// behind a count, band or forecast month, holds exactly the vehicles counted.
TEST_F(OverviewTest, PartlyZeroDatesAreCountedAndListedUnderOneRule)
{
    mustExecute(state.dbConnection, QStringLiteral("delete from celiangzongbiao"));
    mustExecute(state.dbConnection, QStringLiteral("SET SESSION sql_mode='ALLOW_INVALID_DATES'"));
    const struct {
        const char* date;
        Column column;
    } cases[] = {{"2016-12-00", Column::noDate}, {"2017-01-00", Column::noDate}, {"2016-00-10", Column::noDate},
        {"0000-00-00", Column::noDate}, {"2017-02-30", Column::noDate}, {"0000-01-01", Column::expiredLong},
        {"0000-12-31", Column::expiredLong}, {"2016-12-31", Column::dueThisMonth}};
    QList<qint64> inserted;
    for (const auto& c : cases) {
        QString columns = QStringLiteral("cepaihao"), values = QStringLiteral("'豫H00001'");
        for (const QString& date : kDates) {
            columns += QLatin1Char(',') + date;
            values += QStringLiteral(",'%1'").arg(QLatin1String(c.date));
        }
        mustExecute(state.dbConnection, QStringLiteral("INSERT INTO celiangzongbiao (%1) VALUES (%2)").arg(columns, values));
        inserted << queryValue(state.dbConnection, QStringLiteral("select last_insert_id()")).toLongLong();
    }
    const overview::Overview& o = counted();
    const double login = state.loginDateTime;
    for (int d = 0; d < overview::kDocuments; ++d) {
        SCOPED_TRACE(kDates[d].toStdString());
        for (int c = 0; c < overview::kColumns; ++c) {
            const Column column = static_cast<Column>(c);
            SCOPED_TRACE(overview::columnTitle(column).toStdString());
            const QList<qint64> listed = ids(overview::cellStatement(d, column, Fleet::active, login));
            EXPECT_EQ(o.count(Fleet::active, d, column), listed.size());
            for (std::size_t i = 0; i < std::size(cases); ++i)
                EXPECT_EQ(listed.contains(inserted[static_cast<qsizetype>(i)]), cases[i].column == column) << cases[i].date;
        }
        for (int k = 0; k < overview::kMonths; ++k)
            EXPECT_EQ(o.forecast[k][d], rows(overview::monthStatement(d, k, login))) << k;
    }
}

// The fee due reads the fee texts as people write them, to the fen, on screen, on paper and in the
// workbook alike; a text that is no amount is left out of the sum and said to be.
TEST_F(OverviewTest, FeeTextsAreSummedToTheFenAndUnreadableOnesAreShownAsSuch)
{
    mustExecute(state.dbConnection, QStringLiteral("delete from celiangzongbiao"));
    for (const char16_t* fee : {u"1,200", u"2850.50", u" 300 ", u"１２００", u"", u"一千", u"1200/年"})
        mustExecute(state.dbConnection, QStringLiteral("INSERT INTO celiangzongbiao (cepaihao,guanliyingjiaofei,guanlifeiyouxiaoqi) "
                                                       "VALUES ('豫H00001','%1','2017-03-15')").arg(QString::fromUtf16(fee)));
    const overview::Overview& o = counted();
    EXPECT_EQ(o.feeFen[3], 555050);
    EXPECT_EQ(o.feeVehicles[3], 4);
    EXPECT_EQ(o.feeUnreadable[3], 2);
    const QString note = QStringLiteral("无法识别的金额 2 条");
    auto* fees = page->findChild<QTableWidget*>(QStringLiteral("表格_应收管理费"));
    ASSERT_TRUE(fees);
    EXPECT_EQ(fees->item(0, 3)->text(), QStringLiteral("5550.50"));
    auto* label = page->findChild<QLabel*>(QStringLiteral("标签_无法识别的金额"));
    ASSERT_TRUE(label);
    EXPECT_TRUE(label->text().contains(note)) << label->text().toStdString();

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("总览.pdf"));
    {
        QPdfWriter writer(pdf);
        writer.setResolution(254); // a unit is a tenth of a millimetre
        QPainter painter(&writer);
        overview::paintOverview(painter, QRectF(0, 0, writer.width(), writer.height()), o, false, QImage());
    }
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished());
    const QString printed = QString::fromUtf8(text.readAllStandardOutput()).remove(QRegularExpression(QStringLiteral("\\s")));
    EXPECT_TRUE(printed.contains(QStringLiteral("5550.50"))) << printed.toStdString();
    EXPECT_TRUE(printed.contains(QString(note).remove(QLatin1Char(' ')))) << printed.toStdString();
}

// The workbook holds the table's and the forecast's numbers, with a stacked chart of the forecast.
TEST_F(OverviewTest, TheExportedWorkbookHoldsTheNumbersShown)
{
    const overview::Overview& o = counted();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("总览.xlsx"));
    dialogs.fileNames = {path};
    QSignalSpy exported(page.get(), &overview::OverviewPage::exported);
    page->exportXlsx();
    ASSERT_TRUE(exported.wait(10000));
    ASSERT_TRUE(exported.first().first().toBool()) << dialogs.lastMessage().toStdString();

    auto part = [&](const QString& name) {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, name});
        unzip.waitForFinished();
        return QString::fromUtf8(unzip.readAllStandardOutput());
    };
    // Numeric cells by their reference ("C3" -> value).
    auto numbers = [](const QString& xml) {
        QMap<QString, double> out;
        auto it = QRegularExpression(QStringLiteral("<c r=\"([A-Z]+\\d+)\"[^>]*><v>([^<]*)</v></c>")).globalMatch(xml);
        while (it.hasNext()) {
            const auto m = it.next();
            out[m.captured(1)] = m.captured(2).toDouble();
        }
        return out;
    };
    const auto table = numbers(part(QStringLiteral("xl/worksheets/sheet1.xml")));
    const auto forecast = numbers(part(QStringLiteral("xl/worksheets/sheet2.xml")));
    auto ref = [](int col, int row) { return QString(QChar(u'A' + col)) + QString::number(row + 1); };
    for (int d = 0; d < overview::kDocuments; ++d) {
        for (int c = 0; c < overview::kColumns; ++c)
            EXPECT_EQ(table.value(ref(c + 1, d + 2), -1), o.count(Fleet::active, d, static_cast<Column>(c))) << d << " " << c;
        EXPECT_EQ(table.value(ref(overview::kColumns + 1, d + 2), -1), o.rowTotal(Fleet::active, d));
        for (int k = 0; k < overview::kMonths; ++k)
            EXPECT_EQ(forecast.value(ref(d + 1, k + 1), -1), o.forecast[k][d]) << d << " " << k;
    }
    EXPECT_DOUBLE_EQ(forecast.value(ref(overview::kDocuments + 2, 2), -1) * 100, static_cast<double>(o.feeFen[1]));
    const QString chart = part(QStringLiteral("xl/charts/chart1.xml"));
    EXPECT_TRUE(chart.contains(QStringLiteral("<c:grouping val=\"stacked\"/>")));
    EXPECT_EQ(chart.count(QStringLiteral("<c:ser>")), overview::kDocuments);
}

// The counts are read on the database lane with a session of its own: what the window's session
// holds in an open transaction is not counted, and the window's session is not disturbed. A
// refresh while a count runs drops that count (nothing of it is shown) and counts again; the
// lane's sessions, given up in the middle of their rows, count the next time as well.
TEST_F(OverviewTest, CountsComeFromASessionOfTheirOwnAndARefreshReplacesTheOneRunning)
{
    const overview::Overview first = counted();
    const qint64 before = first.vehicles[0] + first.vehicles[1];
    // The vehicles added below all fall due next month for the first document.
    const qint64 nextMonth = first.count(Fleet::active, 0, Column::dueNextMonth) + 30000;
    mustExecute(state.dbConnection,
        QStringLiteral("INSERT INTO celiangzongbiao (danganbianhao,cepaihao,%1) "
                       "SELECT CONCAT('M',seq),CONCAT('豫M',seq),'2017-01-15' FROM seq_1_to_30000")
            .arg(kDates[0]));
    const qint64 all = before + 30000;
    {
        db::Transaction pending(*state.dbConnection);
        ASSERT_TRUE(pending.run(db::Statement("delete from celiangzongbiao")).ok);
        const overview::Overview& o = counted();
        EXPECT_EQ(o.vehicles[0] + o.vehicles[1], all);
        EXPECT_EQ(queryValue(state.dbConnection, QStringLiteral("select count(*) from celiangzongbiao")),
            QStringLiteral("0"));
    }
    EXPECT_EQ(queryValue(state.dbConnection, QStringLiteral("select count(*) from celiangzongbiao")),
        QString::number(all));

    QSignalSpy shown(page.get(), &overview::OverviewPage::refreshed);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        shown.clear();
        page->refresh();
        page->refresh();
        ASSERT_TRUE(shown.wait(20000));
        ASSERT_TRUE(waitForAllJobs(20000));
        QCoreApplication::processEvents();
        EXPECT_EQ(shown.size(), 1);
        EXPECT_EQ(page->overview()->vehicles[0] + page->overview()->vehicles[1], all);
        EXPECT_EQ(page->overview()->count(Fleet::active, 0, Column::dueNextMonth), nextMonth);
    }
}

// A count that cannot be read says why in the status line and leaves 刷新 usable.
TEST_F(OverviewTest, AFailedCountSaysWhyAndCanBeRetried)
{
    const overview::Overview shownBefore = counted();
    db::dbClose(state.dbConnection);
    state.dbConnection = connectStack(); // no database: the table cannot be found
    auto* status = page->findChild<QLabel*>(QStringLiteral("透明标签_总览状态"));
    auto* refresh = page->findChild<QAbstractButton*>(QStringLiteral("按钮_刷新总览"));
    ASSERT_TRUE(status && refresh);
    page->refresh();
    EXPECT_FALSE(refresh->isEnabled());
    FD_WAIT_TRUE(refresh->isEnabled(), 10000);
    EXPECT_TRUE(status->text().startsWith(QStringLiteral("统计失败："))) << status->text().toStdString();
    EXPECT_GT(status->text().size(), QStringLiteral("统计失败：").size());
    // The counts shown before stay.
    EXPECT_EQ(page->overview()->vehicles[0], shownBefore.vehicles[0]);

    state.dbConnection = freshDatabase(QStringLiteral("t_overview"));
    const overview::Overview& empty = counted();
    EXPECT_EQ(empty.vehicles[0] + empty.vehicles[1], 0);
}

} // namespace
} // namespace fd::test
