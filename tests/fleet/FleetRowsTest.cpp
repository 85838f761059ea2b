// The plain rows behind the grid: texts kept byte for byte across the blocks they are stored in,
// a row longer than a block, cells around the longest one-byte length, empty and NULL cells, IDs
// of any size, rows given back their unused space, a list made of parts, and the model over them.
#include "fleet/ListRows.h"
#include "fleet/VehicleListModel.h"
#include "fleet/VehicleRows.h"

#include <QAbstractItemModelTester>
#include <QByteArray>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <limits>

using namespace fd::fleet;
using fd::vehicles::ExpiryBand;

namespace {

using Cell = VehicleRows::Cell;

qint64 idOf(qint64 i)
{
    return i == 3 ? std::numeric_limits<qint64>::max() : i == 4 ? 0 : i * 1000003 + 1;
}

TEST(FleetRows, TextsSurviveBlockBoundariesAndLongRows)
{
    VehicleRows rows(1);
    std::vector<QByteArray> expected;
    const ExpiryBand band[] = {ExpiryBand::dueNextMonth};
    // About 3 MB of rows of varying length, with a 2.5 MB cell in the middle and empty cells.
    for (int i = 0; i < 40000; ++i) {
        QByteArray file = "DA" + QByteArray::number(i);
        QByteArray plate = i % 7 == 0 ? QByteArray() : QByteArray("\xd4\xa5H") + QByteArray::number(i * 31);
        QByteArray owner = i == 20000 ? QByteArray(2500000, 'x') : QByteArray(i % 13, 'o');
        if (i >= 30000 && i < 30004)
            owner = QByteArray(253 + i - 30000, 'w');
        QByteArray phone = "138" + QByteArray::number(i);
        QByteArray date = i % 5 == 0 ? QByteArray() : QByteArray("2016-06-01");
        const Cell cells[] = {{file.constData(), static_cast<std::size_t>(file.size())},
            {i % 7 == 0 ? nullptr : plate.constData(), static_cast<std::size_t>(plate.size())},
            {owner.constData(), static_cast<std::size_t>(owner.size())},
            {phone.constData(), static_cast<std::size_t>(phone.size())}, {date.constData(), static_cast<std::size_t>(date.size())}};
        ASSERT_TRUE(rows.append(idOf(i), cells, band));
        for (const QByteArray& b : {file, plate, owner, phone, date})
            expected.push_back(b);
    }
    ASSERT_EQ(rows.size(), 40000);
    for (qsizetype r = 0; r < rows.size(); ++r) {
        ASSERT_EQ(rows.id(r), idOf(r));
        for (int k = 0; k < 5; ++k)
            ASSERT_EQ(rows.bytes(r, k).toByteArray(), expected[static_cast<std::size_t>(r * 5 + k)]) << r << " " << k;
    }
    EXPECT_EQ(rows.text(1, 1), QStringLiteral("豫H31"));
    EXPECT_EQ(rows.band(123, 0), ExpiryBand::dueNextMonth);
    EXPECT_LT(rows.memoryBytes(), 8u * 1024 * 1024);
}

TEST(FleetRows, ModelShowsTextsRowNumbersAndColours)
{
    VehicleRows rows(2);
    const QByteArray plate("\xd4\xa5H12345");
    const Cell cells[] = {{"DA1", 3}, {plate.constData(), static_cast<std::size_t>(plate.size())}, {nullptr, 0},
        {"139", 3}, {"2016-06-30", 10}, {nullptr, 0}};
    const ExpiryBand bands[] = {ExpiryBand::dueNextMonth, ExpiryBand::expiredLong};
    ASSERT_TRUE(rows.append(4711, cells, bands));
    ASSERT_TRUE(rows.append(4712, cells, bands));

    VehicleListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QStringList headers = {"ID", "序号", "档案编号", "车牌号", "车主姓名", "联系电话", "A", "B"};
    model.setRows(std::move(rows), headers, true);
    ASSERT_EQ(model.rowCount(), 2);
    ASSERT_EQ(model.columnCount(), 8);
    EXPECT_EQ(model.index(1, 0).data().toString(), QStringLiteral("4712"));
    EXPECT_EQ(model.index(1, 1).data().toString(), QStringLiteral("2"));
    EXPECT_EQ(model.index(0, 3).data().toString(), QStringLiteral("豫H12345"));
    EXPECT_EQ(model.index(0, 4).data().toString(), QString());
    EXPECT_EQ(model.index(0, 6).data().toString(), QStringLiteral("2016-06-30"));
    EXPECT_EQ(model.index(0, 6).data(Qt::BackgroundRole).value<QColor>(), QColor(192, 96, 0));
    EXPECT_FALSE(model.index(0, 6).data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(model.index(0, 7).data(Qt::BackgroundRole).value<QColor>(), QColor(0, 0, 0));
    EXPECT_EQ(model.index(0, 7).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 255, 255));
    EXPECT_FALSE(model.index(0, 5).data(Qt::BackgroundRole).isValid());
    EXPECT_EQ(model.headerData(7, Qt::Horizontal).toString(), QStringLiteral("B"));
    EXPECT_FALSE(model.flags(model.index(0, 2)) & Qt::ItemIsEditable);

    model.clear(headers.mid(0, 7));
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 7);
}

// A row of one date column: file, plate, owner, phone and date, the owner `ownerBytes` long.
struct TestRow {
    qint64 id;
    QByteArray file, plate, owner, phone, date;
};

TestRow testRow(int i, int ownerBytes = 3)
{
    return {1000 + i, "F" + QByteArray::number(i), "P" + QByteArray::number(i), QByteArray(ownerBytes, 'o'),
        i % 2 ? QByteArray() : "13" + QByteArray::number(i), "2016-06-" + QByteArray::number(10 + i % 20)};
}

bool appendRow(VehicleRows& rows, const TestRow& r)
{
    auto cell = [](const QByteArray& b) { return Cell {b.isEmpty() ? nullptr : b.constData(), static_cast<std::size_t>(b.size())}; };
    const Cell cells[] = {cell(r.file), cell(r.plate), cell(r.owner), cell(r.phone), cell(r.date)};
    const ExpiryBand band[] = {r.id % 2 ? ExpiryBand::farAhead : ExpiryBand::expiredLong};
    return rows.append(r.id, cells, band);
}

void expectRow(const VehicleRows& rows, qsizetype at, const TestRow& r)
{
    ASSERT_EQ(rows.id(at), r.id);
    EXPECT_EQ(rows.bytes(at, 0).toByteArray(), r.file) << at;
    EXPECT_EQ(rows.bytes(at, 2).toByteArray(), r.owner) << at;
    EXPECT_EQ(rows.bytes(at, 4).toByteArray(), r.date) << at;
    EXPECT_EQ(rows.band(at, 0), r.id % 2 ? ExpiryBand::farAhead : ExpiryBand::expiredLong) << at;
}

TEST(FleetRows, ShrunkRowsKeepTheirTextsAndLaterRowsStartANewBlock)
{
    VehicleRows rows(1);
    std::vector<TestRow> expected;
    for (int i = 0; i < 2000; ++i) {
        expected.push_back(testRow(i, i % 300));
        ASSERT_TRUE(appendRow(rows, expected.back()));
    }
    const std::size_t before = rows.memoryBytes();
    rows.shrinkToFit();
    EXPECT_LT(rows.memoryBytes(), before);
    EXPECT_LT(rows.memoryBytes(), 512u * 1024);
    // Rows after the shrink, one longer than a block, then a shrink of that long row's buffer.
    expected.push_back(testRow(2000, 1500000));
    for (int i = 2001; i < 2100; ++i)
        expected.push_back(testRow(i, 40));
    for (std::size_t i = 2000; i < expected.size(); ++i)
        ASSERT_TRUE(appendRow(rows, expected[i]));
    rows.shrinkToFit();
    rows.shrinkToFit();
    ASSERT_TRUE(appendRow(rows, expected.emplace_back(testRow(2100, 254))));
    ASSERT_EQ(rows.size(), static_cast<qsizetype>(expected.size()));
    for (qsizetype r = 0; r < rows.size(); ++r)
        expectRow(rows, r, expected[static_cast<std::size_t>(r)]);
}

// A list made of parts: rows found across the parts with their list-wide row numbers, each part
// one insertion of rows, a snapshot keeping the rows it had, parts that do not fit refused.
TEST(FleetRows, AListOfPartsReadsAsOneAndSnapshotsKeepTheirRows)
{
    auto part = [](int first, int count) {
        auto rows = std::make_shared<VehicleRows>(1);
        for (int i = first; i < first + count; ++i)
            appendRow(*rows, testRow(i));
        rows->shrinkToFit();
        return rows;
    };
    const QStringList headers = {"ID", "序号", "档案编号", "车牌号", "车主姓名", "联系电话", "A"};
    VehicleListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.clear(headers);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    const int sizes[] = {1, 3, 1, 4};
    int first = 0;
    for (int n : sizes) {
        model.appendRows(part(first, n));
        ASSERT_EQ(inserted.size(), 1);
        EXPECT_EQ(inserted[0][1].toInt(), first);
        EXPECT_EQ(inserted[0][2].toInt(), first + n - 1);
        inserted.clear();
        first += n;
    }
    const ListRows snapshot = model.rows();
    model.appendRows(part(first, 2));
    first += 2;
    // A part of another list (two date columns) or an empty one adds nothing.
    model.appendRows(std::make_shared<VehicleRows>(2));
    model.appendRows(std::make_shared<VehicleRows>(1));
    auto twoDates = std::make_shared<VehicleRows>(2);
    const Cell cells[] = {{"x", 1}, {"y", 1}, {nullptr, 0}, {nullptr, 0}, {nullptr, 0}, {nullptr, 0}};
    const ExpiryBand bands[] = {ExpiryBand::farAhead, ExpiryBand::farAhead};
    ASSERT_TRUE(twoDates->append(1, cells, bands));
    model.appendRows(twoDates);
    EXPECT_EQ(inserted.size(), 1);

    ASSERT_EQ(model.rowCount(), first);
    EXPECT_EQ(model.rows().partCount(), 5);
    EXPECT_EQ(snapshot.size(), 9);
    for (int r = 0; r < first; ++r) {
        const TestRow expected = testRow(r);
        EXPECT_EQ(model.index(r, 0).data().toString(), QString::number(expected.id)) << r;
        EXPECT_EQ(model.index(r, 1).data().toString(), QString::number(r + 1)) << r;
        EXPECT_EQ(model.index(r, 3).data().toString(), QString::fromLatin1(expected.plate)) << r;
        EXPECT_EQ(model.index(r, 5).data().toString(), QString::fromLatin1(expected.phone)) << r;
        EXPECT_EQ(model.index(r, 6).data(Qt::BackgroundRole).value<QColor>(),
            expected.id % 2 ? QColor(0, 255, 0) : QColor(0, 0, 0)) << r;
        if (r < snapshot.size()) {
            EXPECT_EQ(gridCellText(snapshot, r, 3), QString::fromLatin1(expected.plate)) << r;
        }
    }
    EXPECT_TRUE(gridCellText(snapshot, 9, 3).isEmpty());
    EXPECT_TRUE(gridCellText(model.rows(), first, 0).isEmpty());
    EXPECT_TRUE(gridCellText(model.rows(), -1, 0).isEmpty());
    EXPECT_FALSE(gridCellBackground(model.rows(), first, 6, false).isValid());
}

} // namespace
