// The full list and the search on the real database: layout, texts as stored, the colour of every
// band boundary, search by each field with wildcards and escaped quotes and backslashes, a
// search that finds nothing leaving the grid untouched, rows cut short, and the list read in
// parts equal to the list read at once.
#include "FleetFixture.h"

#include "fleet/FleetStatements.h"
#include "fleet/VehicleListModel.h"
#include "fleet/VehicleRows.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <functional>

using namespace fd;
using namespace fd::test;
using fd::fleet::PartPacing;

namespace {

const QStringList kTwelveHeaders = {QStringLiteral("ID"), QStringLiteral("序号"), QStringLiteral("档案编号"),
    QStringLiteral("车牌号"), QStringLiteral("车主姓名"), QStringLiteral("联系电话"), QStringLiteral("行车证有效日期"),
    QStringLiteral("营运证有效日期"), QStringLiteral("主车保险有效日期"), QStringLiteral("挂车保险有效日期"),
    QStringLiteral("资格证有效日期"), QStringLiteral("驾驶证有效日期")};

const QString kNotFound = QStringLiteral("很遗憾！没有查找到此车辆有关信息！");

struct BandCase {
    const char* date; // nullptr: NULL
    QColor background;
    QColor text; // invalid: the grid's own black
};

class FleetListTest : public FleetFixture {
protected:
    // One vehicle per case, every watched date set to the case's date; returns plate per case.
    QStringList insertBandCases(const std::vector<BandCase>& cases)
    {
        QStringList plates;
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const QString plate = QStringLiteral("豫B%1").arg(10000 + static_cast<int>(i));
            insert({QStringLiteral("BD%1").arg(i), plate, QStringLiteral("车主%1").arg(i), QStringLiteral("1380000%1").arg(i),
                allDates(cases[i].date ? std::optional<QString>(QString::fromLatin1(cases[i].date)) : std::nullopt)});
            plates << plate;
        }
        return plates;
    }

    void expectBands(const std::vector<BandCase>& cases, const QStringList& plates, bool search)
    {
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const int r = rowOfPlate(plates[static_cast<int>(i)]);
            ASSERT_GT(r, 0) << plates[static_cast<int>(i)].toStdString();
            QColor bg = cases[i].background;
            if (search && bg == kOrange)
                bg = kSearchOrange;
            for (int c = 6; c < 12; ++c) {
                const std::string where = std::string(cases[i].date ? cases[i].date : "NULL") + " column " + std::to_string(c);
                EXPECT_EQ(background(r, c), bg) << where;
                EXPECT_EQ(foreground(r, c), cases[i].text) << where;
                EXPECT_EQ(cell(r, c), cases[i].date ? QString::fromLatin1(cases[i].date) : QString()) << where;
            }
            for (int c = 0; c < 6; ++c) {
                EXPECT_FALSE(fleet->model()->index(r - 1, c).data(Qt::BackgroundRole).isValid());
                EXPECT_FALSE(fleet->model()->index(r - 1, c).data(Qt::ForegroundRole).isValid());
            }
        }
    }
};

TEST_F(FleetListTest, FullListLayoutTextsAndOrder)
{
    const QString id1 = insert({QStringLiteral("DA000001"), QStringLiteral("豫H12345"), QStringLiteral("王伟"),
        QStringLiteral("13812345678"), {{QStringLiteral("zuceyouxiaoriqi"), QStringLiteral("2016-06-15")}}});
    const QString id2 = insert({QStringLiteral("DA000002"), QStringLiteral("豫H22345"), QString(), QString(),
        {{QStringLiteral("zuceyouxiaoriqi"), QStringLiteral("2017-01-02")},
            {QStringLiteral("jiasizengyouxiaoqi"), QStringLiteral("2016-05-02")}}});
    mustExecute(state.dbConnection, QStringLiteral("UPDATE celiangzongbiao SET cezuxingming=NULL WHERE ID=%1").arg(id2));

    QSignalSpy caption(fleet.get(), &fleet::FleetList::captionRequested);
    loadAll();

    ASSERT_EQ(caption.count(), 1);
    EXPECT_EQ(caption[0][0].toString(), state.appTitle);
    EXPECT_EQ(headers(), kTwelveHeaders);
    ASSERT_EQ(gridRows(), 3);
    // Newest driving-permit date first; ID hidden in column 0, row numbers in column 1.
    EXPECT_EQ(column(0), (QStringList {id2, id1}));
    EXPECT_EQ(column(1), (QStringList {QStringLiteral("1"), QStringLiteral("2")}));
    EXPECT_EQ(column(3), (QStringList {QStringLiteral("豫H22345"), QStringLiteral("豫H12345")}));
    EXPECT_EQ(cell(2, 2), QStringLiteral("DA000001"));
    EXPECT_EQ(cell(2, 4), QStringLiteral("王伟"));
    EXPECT_EQ(cell(2, 5), QStringLiteral("13812345678"));
    EXPECT_EQ(cell(1, 4), QString()); // NULL shows as an empty cell
    EXPECT_EQ(cell(1, 6), QStringLiteral("2017-01-02"));
    EXPECT_EQ(cell(1, 11), QStringLiteral("2016-05-02"));

    EXPECT_TRUE(view->isColumnHidden(0));
    EXPECT_EQ(view->columnWidth(0), 0);
    EXPECT_EQ(view->columnWidth(1), 30);
    for (int c = 2; c < 12; ++c)
        EXPECT_EQ(view->columnWidth(c), 80) << c;
    EXPECT_EQ(view->rowHeight(0), 24);
    EXPECT_EQ(view->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
}

TEST_F(FleetListTest, EmptyTableAndMissingConnectionShowTheHeaderOnly)
{
    loadAll();
    EXPECT_EQ(gridRows(), 1);
    EXPECT_EQ(headers(), kTwelveHeaders);

    insert({QStringLiteral("DA1"), QStringLiteral("豫H00001"), QString(), QString(), {}});
    loadAll();
    EXPECT_EQ(gridRows(), 2);
    // A list the server refuses shows the header only and says why, never an empty fleet and no
    // word; a search the server refuses keeps the grid and says why, not that nothing was found.
    ASSERT_TRUE(search(1, QStringLiteral("豫H")));
    mustExecute(state.dbConnection, QStringLiteral("RENAME TABLE celiangzongbiao TO vehicles_away"));
    EXPECT_FALSE(search(1, QStringLiteral("豫H")));
    EXPECT_EQ(gridRows(), 2) << "the search keeps the grid it showed";
    loadAll();
    mustExecute(state.dbConnection, QStringLiteral("RENAME TABLE vehicles_away TO celiangzongbiao"));
    EXPECT_EQ(gridRows(), 1);
    ASSERT_EQ(dialogs.messages().size(), 2);
    for (const QString& m : dialogs.messages())
        EXPECT_TRUE(m.startsWith(QStringLiteral("读取车辆列表失败！\n")) && m.contains(QStringLiteral("celiangzongbiao")))
            << m.toStdString();
    dialogs.clear();

    db::dbClose(state.dbConnection);
    loadAll();
    EXPECT_EQ(gridRows(), 1);
    EXPECT_FALSE(fleet->searchVehicles(1, QStringLiteral("豫H")));
    EXPECT_EQ(gridRows(), 1);
    EXPECT_EQ(dialogs.messages(), QStringList(2, QStringLiteral("读取车辆列表失败！\n没有连接数据库")));
}

TEST_F(FleetListTest, BandBoundariesWithLoginOnMay31)
{
    const std::vector<BandCase> cases = {
        {"2016-07-01", kGreen, {}},
        {"2018-12-31", kGreen, {}},
        {"2016-06-01", kOrange, {}},
        {"2016-06-30", kOrange, {}},
        {"2016-05-01", kRed, {}},
        {"2016-05-31", kRed, {}},
        {"2016-04-30", kDarkRed, kWhite},
        {"2016-03-01", kDarkRed, kWhite},
        {"2016-02-29", kBlack, kWhite},
        {"2010-01-01", kBlack, kWhite},
        {nullptr, kBlack, kWhite},
        {"0000-00-00", kBlack, kWhite},
    };
    const QStringList plates = insertBandCases(cases);
    loadAll();
    ASSERT_EQ(gridRows(), static_cast<int>(cases.size()) + 1);
    expectBands(cases, plates, false);

    // The same in search results, whose next-month warning is the darker orange.
    ASSERT_TRUE(search(1, QStringLiteral("豫B")));
    ASSERT_EQ(gridRows(), static_cast<int>(cases.size()) + 1);
    expectBands(cases, plates, true);
}

TEST_F(FleetListTest, BandBoundariesWithLoginOnDecember10)
{
    setLogin(2016, 12, 10);
    const std::vector<BandCase> cases = {
        {"2017-02-01", kGreen, {}},
        {"2017-01-01", kOrange, {}},
        {"2017-01-31", kOrange, {}},
        {"2016-12-01", kRed, {}},
        {"2016-12-31", kRed, {}},
        {"2016-11-30", kDarkRed, kWhite},
        {"2016-10-01", kDarkRed, kWhite},
        {"2016-09-30", kBlack, kWhite},
        {nullptr, kBlack, kWhite},
    };
    const QStringList plates = insertBandCases(cases);
    loadAll();
    expectBands(cases, plates, false);
    ASSERT_TRUE(search(2, QStringLiteral("BD")));
    expectBands(cases, plates, true);
}

class FleetSearchTest : public FleetListTest {
protected:
    void SetUp() override
    {
        FleetListTest::SetUp();
        auto d = [](const char* s) { return allDates(QString::fromLatin1(s)); };
        insert({QStringLiteral("DA-001"), QStringLiteral("豫H12345"), QStringLiteral("王伟"), QStringLiteral("13800000001"), d("2016-06-10")});
        insert({QStringLiteral("DA-002"), QStringLiteral("豫H19345"), QStringLiteral("王小明"), QStringLiteral("13800000002"), d("2016-07-10")});
        insert({QStringLiteral("DB_003"), QStringLiteral("豫A12399"), QStringLiteral("O'Brien"), QStringLiteral("13800000003"), d("2016-05-10")});
        insert({QStringLiteral("DA\\004"), QStringLiteral("豫C55555"), QStringLiteral("李\\强"), QStringLiteral("13800000004"), d("2016-04-10")});
        insert({QStringLiteral("DA%005"), QStringLiteral("豫C6666挂"), QStringLiteral("张%三"), QString(), d("2015-01-01")});
        mustExecute(state.dbConnection,
            QStringLiteral("INSERT INTO celiangzongbiao (danganbianhao, cepaihao, cezuxingming) VALUES ('DN-006', NULL, NULL)"));
    }

    QStringList found(int field, const QString& text)
    {
        dialogs.clear();
        if (!search(field, text))
            return {QStringLiteral("<none>")};
        QStringList files = column(2);
        files.sort();
        return files;
    }
};

TEST_F(FleetSearchTest, EachFieldWithWildcards)
{
    EXPECT_EQ(found(1, QStringLiteral("H1")), (QStringList {QStringLiteral("DA-001"), QStringLiteral("DA-002")}));
    EXPECT_EQ(found(1, QStringLiteral("豫C")), (QStringList {QStringLiteral("DA%005"), QStringLiteral("DA\\004")}));
    EXPECT_EQ(found(1, QStringLiteral("挂")), (QStringList {QStringLiteral("DA%005")}));
    // "_" is any one character, "%" any run.
    EXPECT_EQ(found(1, QStringLiteral("1_3")), (QStringList {QStringLiteral("DA-001"), QStringLiteral("DA-002"), QStringLiteral("DB_003")}));
    EXPECT_EQ(found(1, QStringLiteral("H1%45")), (QStringList {QStringLiteral("DA-001"), QStringLiteral("DA-002")}));
    EXPECT_EQ(found(2, QStringLiteral("DA-00")), (QStringList {QStringLiteral("DA-001"), QStringLiteral("DA-002")}));
    EXPECT_EQ(found(2, QStringLiteral("D__00")),
        (QStringList {QStringLiteral("DA%005"), QStringLiteral("DA-001"), QStringLiteral("DA-002"), QStringLiteral("DA\\004"),
            QStringLiteral("DB_003"), QStringLiteral("DN-006")}));
    EXPECT_EQ(found(3, QStringLiteral("王")), (QStringList {QStringLiteral("DA-001"), QStringLiteral("DA-002")}));
    EXPECT_EQ(found(3, QStringLiteral("小明")), (QStringList {QStringLiteral("DA-002")}));
    // An empty text lists every vehicle whose field is not NULL.
    EXPECT_EQ(found(1, QString()).size(), 5);
    EXPECT_EQ(found(2, QString()).size(), 6);
    EXPECT_EQ(found(3, QString()).size(), 5);
    // The text is taken as typed: a blank is part of the pattern.
    EXPECT_EQ(found(3, QStringLiteral(" 王")), QStringList {QStringLiteral("<none>")});
    EXPECT_EQ(dialogs.messages(), QStringList {kNotFound});
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("信息："));
    EXPECT_EQ(headers(), kTwelveHeaders);
}

TEST_F(FleetSearchTest, QuotesAndBackslashesAreSearchedAsThemselves)
{
    EXPECT_EQ(found(3, QStringLiteral("O'B")), QStringList {QStringLiteral("DB_003")});
    EXPECT_EQ(found(3, QStringLiteral("'")), QStringList {QStringLiteral("DB_003")});
    EXPECT_EQ(found(2, QStringLiteral("A\\0")), QStringList {QStringLiteral("DA\\004")});
    EXPECT_EQ(found(3, QStringLiteral("\\")), QStringList {QStringLiteral("DA\\004")});
    EXPECT_EQ(found(3, QStringLiteral("李\\强")), QStringList {QStringLiteral("DA\\004")});
    // A quote cannot end the literal and widen the search, nor a trailing backslash swallow it.
    EXPECT_EQ(found(1, QStringLiteral("' or '1'='1")), QStringList {QStringLiteral("<none>")});
    EXPECT_EQ(found(1, QStringLiteral("x' or 1=1 -- ")), QStringList {QStringLiteral("<none>")});
    EXPECT_EQ(found(1, QStringLiteral("豫\\")), QStringList {QStringLiteral("<none>")});
    EXPECT_EQ(found(3, QStringLiteral("\xbf'")), QStringList {QStringLiteral("<none>")});
    // "%" in the text stays a wildcard.
    EXPECT_EQ(found(3, QStringLiteral("王%明")), QStringList {QStringLiteral("DA-002")});
    // A character GBK cannot hold is never sent: nothing found.
    EXPECT_EQ(found(3, QStringLiteral("王😀")), QStringList {QStringLiteral("<none>")});
    EXPECT_EQ(queryValue(state.dbConnection, QStringLiteral("SELECT COUNT(*) FROM celiangzongbiao")), QStringLiteral("6"));
}

TEST_F(FleetSearchTest, NothingFoundLeavesGridColoursAndSelectionAsTheyWere)
{
    setLogin(2016, 5, 31);
    ASSERT_TRUE(search(1, QStringLiteral("H1")));
    ASSERT_EQ(gridRows(), 3);
    view->selectionModel()->setCurrentIndex(fleet->model()->index(1, 2),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const QStringList before = column(3);
    const QColor orangeBefore = background(rowOfPlate(QStringLiteral("豫H12345")), 6);
    ASSERT_EQ(orangeBefore, kSearchOrange);

    QSignalSpy resets(fleet->model(), &QAbstractItemModel::modelReset);
    QSignalSpy inserted(fleet->model(), &QAbstractItemModel::rowsInserted);
    // The message is shown while the old list is still there.
    int rowsWhenShown = -1;
    dialogs.onShown = [&](const ScriptedDialogs::Shown&) { rowsWhenShown = gridRows(); };
    EXPECT_FALSE(search(3, QStringLiteral("nobody")));
    EXPECT_EQ(dialogs.messages(), QStringList {kNotFound});
    EXPECT_EQ(rowsWhenShown, 3);
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_EQ(column(3), before);
    EXPECT_EQ(background(rowOfPlate(QStringLiteral("豫H12345")), 6), kSearchOrange);
    EXPECT_EQ(view->currentIndex().row(), 1);
    EXPECT_TRUE(view->selectionModel()->isRowSelected(1, QModelIndex()));
    EXPECT_EQ(view->columnWidth(1), 30);
}

TEST_F(FleetListTest, RowsCutShortSayWhyAndASearchKeepsItsGridUntilItsRowsCame)
{
    QStringList ids;
    for (int i = 0; i < 40; ++i)
        ids << insert({QStringLiteral("CS%1").arg(i), QStringLiteral("豫D1%1").arg(1000 + i), QStringLiteral("车主%1").arg(i),
            QStringLiteral("139%1").arg(10000000 + i), allDates(QStringLiteral("2016-08-%1").arg(i % 28 + 1))});
    ASSERT_TRUE(search(1, QStringLiteral("豫D")));
    ASSERT_EQ(gridRows(), 41);
    const QStringList before = column(3);

    // The table becomes a view whose rows stop half-way with an error, as a lost connection stops them.
    mustExecute(state.dbConnection, QStringLiteral("RENAME TABLE celiangzongbiao TO stored_vehicles"));
    mustExecute(state.dbConnection, QStringLiteral("CREATE FUNCTION cut_here(id INT, phone TEXT) RETURNS TEXT "
                                                   "BEGIN IF id = %1 THEN SIGNAL SQLSTATE '08S01' SET MESSAGE_TEXT = "
                                                   "'connection lost'; END IF; RETURN phone; END")
                                        .arg(ids[20]));
    mustExecute(state.dbConnection, QStringLiteral("CREATE VIEW celiangzongbiao AS SELECT ID, danganbianhao, cepaihao, "
                                                   "cezuxingming, cut_here(ID, cezudianhua) AS cezudianhua, %1 FROM stored_vehicles")
                                        .arg(kWatchedDates.join(QLatin1Char(','))));
    const QStringList expected = {QStringLiteral("读取车辆列表中断！\nconnection lost")};

    // Cut short before any of its rows reached the grid: the search keeps the grid it showed.
    fleet->setPacing({1000, 60000});
    QSignalSpy resets(fleet->model(), &QAbstractItemModel::modelReset);
    dialogs.clear();
    EXPECT_FALSE(search(1, QStringLiteral("豫D")));
    EXPECT_EQ(dialogs.messages(), expected);
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(column(3), before) << "a search cut short keeps the grid it showed";

    // Cut short after its first five rows were shown: they are not the list, the header stays.
    fleet->setPacing({5, 60000});
    QSignalSpy inserted(fleet->model(), &QAbstractItemModel::rowsInserted);
    dialogs.clear();
    EXPECT_FALSE(search(1, QStringLiteral("豫D")));
    EXPECT_EQ(dialogs.messages(), expected);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(gridRows(), 1);
    EXPECT_EQ(fleet->model()->columnCount(), 12);

    // The full list and a category list cannot keep an older list: the header, and why.
    const struct {
        const char* what;
        std::function<void()> fill;
        int columns;
    } fills[] = {{"full list", [this] { loadAll(); }, 12}, {"category", [this] { pick(5); }, 7}};
    for (const PartPacing pacing : {PartPacing {1000, 60000}, PartPacing {5, 60000}})
        for (const auto& f : fills) {
            fleet->setPacing(pacing);
            dialogs.clear();
            f.fill();
            EXPECT_EQ(dialogs.messages(), expected) << f.what;
            EXPECT_EQ(gridRows(), 1) << f.what;
            EXPECT_EQ(fleet->model()->columnCount(), f.columns) << f.what;
        }
}

// Every cell of the grid: text, background and text colour.
struct GridCell {
    QString text;
    QColor background, foreground;
    bool operator==(const GridCell&) const = default;
};

std::vector<std::vector<GridCell>> cellsOf(const QAbstractItemModel& model)
{
    std::vector<std::vector<GridCell>> rows;
    for (int r = 0; r < model.rowCount(); ++r) {
        std::vector<GridCell> row;
        for (int c = 0; c < model.columnCount(); ++c) {
            const QModelIndex i = model.index(r, c);
            row.push_back({i.data().toString(), i.data(Qt::BackgroundRole).value<QColor>(), i.data(Qt::ForegroundRole).value<QColor>()});
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

TEST_F(FleetListTest, TheListReadInPartsEqualsTheListReadAtOnce)
{
    // Awkward values: NULL and empty cells, quotes and backslashes, texts longer than a short
    // cell, the zero date, dates with many ties, a vehicle without any date.
    QStringList dates;
    for (int k = 0; k < kWatchedDates.size(); ++k)
        dates << QStringLiteral("CASE (seq + %1) % 9 WHEN 0 THEN NULL WHEN 1 THEN '0000-00-00' "
                                "ELSE DATE_ADD('2016-02-15', INTERVAL (seq * 7 + %1) % 150 DAY) END")
                     .arg(k);
    mustExecute(state.dbConnection,
        QStringLiteral("INSERT INTO celiangzongbiao (danganbianhao,cepaihao,cezuxingming,cezudianhua,%1) "
                       "SELECT CASE seq % 5 WHEN 0 THEN NULL WHEN 1 THEN '' WHEN 2 THEN CONCAT('D''', seq) "
                       "WHEN 3 THEN CONCAT('D\\\\', seq) ELSE REPEAT('档', 127 + seq % 3) END, "
                       "CONCAT('豫', seq), IF(seq % 7 = 0, NULL, CONCAT('车主', seq % 13)), "
                       "IF(seq % 3 = 0, '', CONCAT('138', LPAD(seq, 8, '0'))), %2 FROM seq_1_to_800")
            .arg(kWatchedDates.join(QLatin1Char(',')), dates.join(QLatin1Char(','))));
    insert({QStringLiteral("NODATE"), QStringLiteral("豫1无"), QString(), QString(), {}});
    ASSERT_EQ(queryValue(state.dbConnection, QStringLiteral("SELECT COUNT(*) FROM celiangzongbiao WHERE danganbianhao LIKE 'D\\\\\\\\%'")),
        QStringLiteral("160"));

    const double login = state.loginDateTime;
    const QString permit = QStringLiteral("zuceyouxiaoriqi");
    const QStringList all = vehicles::listedDates();
    const struct {
        const char* what;
        std::function<void()> fill;
        db::Statement statement;
        QStringList dateFields;
        bool searchColours;
    } lists[] = {
        {"full list", [this] { loadAll(); }, fleet::fullListStatement(), all, false},
        {"search", [this] { ASSERT_TRUE(search(1, QStringLiteral("豫1"))); }, fleet::searchStatement(1, QStringLiteral("豫1")), all, true},
        {"category expired", [this] { pick(6); }, fleet::categoryStatement(permit, 2, login), {permit}, false},
        {"category due next month", [this] { pick(7); }, fleet::categoryStatement(permit, 3, login), {permit}, false},
    };
    // The first part after seven rows, then parts of ten.
    fleet->setPacing({7, 60000, 10});
    for (const auto& list : lists) {
        SCOPED_TRACE(list.what);
        list.fill();
        const auto& shown = static_cast<const fleet::VehicleListModel&>(*fleet->model());
        EXPECT_GT(shown.rows().partCount(), 10);

        db::Reply reply = state.dbConnection->run(list.statement);
        ASSERT_TRUE(reply.ok && reply.rows) << reply.error.toStdString();
        fleet::VehicleListModel atOnce;
        atOnce.setRows(fleet::fillVehicleRows(*reply.rows, list.dateFields, login), shown.headers(), list.searchColours);
        ASSERT_GT(atOnce.rowCount(), 50);
        EXPECT_EQ(shown.rowCount(), atOnce.rowCount());
        EXPECT_TRUE(cellsOf(shown) == cellsOf(atOnce));
    }
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.lastMessage().toStdString();
}

} // namespace
