// The plain rows behind the grid: texts kept byte for byte across the blocks they are stored in,
// a row longer than a block, cells around the longest one-byte length, empty and NULL cells, IDs
// of any size, and the model over them.
#include "fleet/VehicleListModel.h"
#include "fleet/VehicleRows.h"

#include <QAbstractItemModelTester>
#include <QByteArray>
#include <gtest/gtest.h>
#include <limits>

using namespace fd::vehicles;

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

} // namespace
