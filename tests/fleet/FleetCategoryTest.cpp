// The category tree: its items, what each leaf lists from the real database (boundary days in
// both lists), group items doing nothing, the root bringing back the full list.
#include "FleetFixture.h"

#include "fleet/CategoryTree.h"

#include <QSignalSpy>
#include <QTreeWidget>
#include <algorithm>

using namespace fd;
using namespace fd::test;

namespace {

const QStringList kSevenLeading = {QStringLiteral("ID"), QStringLiteral("序号"), QStringLiteral("档案编号"),
    QStringLiteral("车牌号"), QStringLiteral("车主姓名"), QStringLiteral("联系电话")};

// Dates spread around the login day 2016-05-31; vehicle k gets date (k + column) mod size in each
// watched column, so every column sees every date on a different vehicle.
const std::vector<std::optional<QString>> kDates = {std::nullopt, QStringLiteral("2016-02-29"),
    QStringLiteral("2016-04-30"), QStringLiteral("2016-05-01"), QStringLiteral("2016-05-30"), QStringLiteral("2016-05-31"),
    QStringLiteral("2016-06-01"), QStringLiteral("2016-06-30"), QStringLiteral("2016-07-01"), QStringLiteral("2016-07-02"),
    QStringLiteral("2017-01-01")};

// Which of the dates above each category code lists with the login on 2016-05-31 (inclusive bounds).
const std::map<int, QStringList> kExpectedMay31 = {
    {1, {"2016-05-31", "2016-06-01", "2016-06-30", "2016-07-01", "2016-07-02", "2017-01-01"}},
    {2, {"2016-02-29", "2016-04-30", "2016-05-01", "2016-05-30", "2016-05-31", "<null>"}},
    {3, {"2016-06-01", "2016-06-30", "2016-07-01"}},
    {4, {"2016-05-01", "2016-05-30", "2016-05-31", "2016-06-01"}},
};

class FleetCategoryTest : public FleetFixture {
protected:
    // Inserts the rotated dates; plate k is 豫D1000k.
    void insertRotated()
    {
        const int n = static_cast<int>(kDates.size());
        for (int k = 0; k < n; ++k) {
            Vehicle v {QStringLiteral("CD%1").arg(k), QStringLiteral("豫D%1").arg(10000 + k), QStringLiteral("车主%1").arg(k),
                QStringLiteral("1390000%1").arg(k, 4, 10, QLatin1Char('0')), {}};
            for (int c = 0; c < kWatchedDates.size(); ++c)
                v.dates[kWatchedDates[c]] = kDates[static_cast<std::size_t>((k + c) % n)];
            insert(v);
        }
    }

    // The date shown in column 6 of each listed row ("<null>" for an empty cell), top to bottom.
    QStringList listedDates()
    {
        QStringList out;
        for (const QString& d : column(6))
            out << (d.isEmpty() ? QStringLiteral("<null>") : d);
        return out;
    }

    // The plate the rotation gives the date in this watched column.
    QString plateWith(const QString& dateColumn, const QString& date)
    {
        const int watchedIndex = static_cast<int>(kWatchedDates.indexOf(dateColumn));
        const int n = static_cast<int>(kDates.size());
        for (int k = 0; k < n; ++k) {
            const auto& d = kDates[static_cast<std::size_t>((k + watchedIndex) % n)];
            if ((d ? *d : QStringLiteral("<null>")) == date)
                return QStringLiteral("豫D%1").arg(10000 + k);
        }
        return {};
    }
};

TEST_F(FleetCategoryTest, TreeHasItsItemsValuesAndLevels)
{
    QTreeWidget tree;
    fleet::FleetList::populateCategoryTree(&tree);
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree.topLevelItem(0);
    EXPECT_EQ(root->text(0), QStringLiteral("公司车辆"));
    EXPECT_EQ(root->data(0, Qt::UserRole).toInt(), 29);
    EXPECT_TRUE(root->isExpanded());
    ASSERT_EQ(root->childCount(), 6);
    const QStringList groups = {QStringLiteral("营运证"), QStringLiteral("行车证"), QStringLiteral("保险"),
        QStringLiteral("资格证"), QStringLiteral("驾驶证"), QStringLiteral("管理费")};
    int total = 1, expectedValue = 1;
    for (int g = 0; g < 6; ++g) {
        QTreeWidgetItem* group = root->child(g);
        EXPECT_EQ(group->text(0), groups[g]);
        EXPECT_EQ(group->data(0, Qt::UserRole).toInt(), 0);
        EXPECT_FALSE(group->isExpanded());
        EXPECT_EQ(group->childCount(), g == 2 ? 8 : 4);
        total += 1 + group->childCount();
        for (int l = 0; l < group->childCount(); ++l) {
            EXPECT_EQ(group->child(l)->data(0, Qt::UserRole).toInt(), expectedValue++);
            EXPECT_EQ(group->child(l)->childCount(), 0);
        }
    }
    EXPECT_EQ(total, 35);
    EXPECT_EQ(root->child(0)->child(2)->text(0), QStringLiteral("预警"));
    EXPECT_EQ(root->child(2)->child(5)->text(0), QStringLiteral("挂车保险过期"));
    EXPECT_EQ(root->child(5)->child(3)->text(0), QStringLiteral("本月需办"));
}

TEST_F(FleetCategoryTest, EveryLeafListsExactlyItsVehicles)
{
    insertRotated();
    for (int value = 1; value <= 28; ++value) {
        pick(value);
        const QString watched = fleet::categoryColumn(value);
        const int code = (value - 1) % 4 + 1;
        const std::string where = "leaf " + std::to_string(value);
        EXPECT_EQ(headers(), kSevenLeading + QStringList {fleet::categoryHeader(value)}) << where;

        // Newest date first, NULL last; each row's plate is the vehicle holding that date.
        QStringList expected = kExpectedMay31.at(code);
        std::sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
            if (a == QStringLiteral("<null>") || b == QStringLiteral("<null>"))
                return b == QStringLiteral("<null>") && a != b;
            return a > b;
        });
        EXPECT_EQ(listedDates(), expected) << where;
        QStringList plates;
        for (const QString& d : listedDates())
            plates << plateWith(watched, d);
        EXPECT_EQ(column(3), plates) << where;
        EXPECT_EQ(column(1).value(0), QStringLiteral("1")) << where;
        EXPECT_EQ(view->columnWidth(0), 0);
        EXPECT_EQ(view->columnWidth(1), 30);
        EXPECT_EQ(view->columnWidth(6), 80);
    }
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(FleetCategoryTest, WarningListColoursAndTheSharedBoundaryDays)
{
    insertRotated();
    // 行车证 预警: June in orange, 2016-07-01 green (two months ahead).
    pick(7);
    ASSERT_EQ(listedDates(), (QStringList {"2016-07-01", "2016-06-30", "2016-06-01"}));
    EXPECT_EQ(background(1, 6), kGreen);
    EXPECT_EQ(background(2, 6), kOrange);
    EXPECT_EQ(background(3, 6), kOrange);
    const QString june1 = cell(3, 3);
    // 本月需办 lists 2016-06-01 too; 正常 and 过期 both list the vehicle due on 2016-05-31.
    pick(8);
    EXPECT_EQ(cell(1, 6), QStringLiteral("2016-06-01"));
    EXPECT_EQ(cell(1, 3), june1);
    EXPECT_EQ(background(1, 6), kOrange);
    EXPECT_EQ(background(2, 6), kRed);
    pick(5);
    const int inValid = rowOfPlate(plateWith(QStringLiteral("zuceyouxiaoriqi"), QStringLiteral("2016-05-31")));
    EXPECT_GT(inValid, 0);
    pick(6);
    const int inExpired = rowOfPlate(plateWith(QStringLiteral("zuceyouxiaoriqi"), QStringLiteral("2016-05-31")));
    EXPECT_GT(inExpired, 0);
    EXPECT_EQ(background(inExpired, 6), kRed);
    // The row without a date: empty, black, white text.
    const int last = gridRows() - 1;
    EXPECT_EQ(cell(last, 6), QString());
    EXPECT_EQ(background(last, 6), kBlack);
    EXPECT_EQ(foreground(last, 6), kWhite);
}

TEST_F(FleetCategoryTest, DecemberLoginRollsIntoTheNextYear)
{
    setLogin(2016, 12, 10);
    const QStringList dates = {"2016-11-30", "2016-12-01", "2016-12-10", "2016-12-31", "2017-01-01", "2017-01-31",
        "2017-02-01", "2017-02-02"};
    for (int k = 0; k < dates.size(); ++k)
        insert({QStringLiteral("DEC%1").arg(k), QStringLiteral("豫E%1").arg(20000 + k), QString(), QString(), allDates(dates[k])});
    pick(27); // 管理费 预警
    EXPECT_EQ(listedDates(), (QStringList {"2017-02-01", "2017-01-31", "2017-01-01"}));
    EXPECT_EQ(background(1, 6), kGreen);
    EXPECT_EQ(background(2, 6), kOrange);
    pick(28); // 管理费 本月需办
    EXPECT_EQ(listedDates(), (QStringList {"2017-01-01", "2016-12-31", "2016-12-10", "2016-12-01"}));
    pick(25); // 正常: from the login day on
    EXPECT_EQ(listedDates().last(), QStringLiteral("2016-12-10"));
    EXPECT_EQ(listedDates().size(), 6);
    pick(26); // 过期: up to the login day
    EXPECT_EQ(listedDates(), (QStringList {"2016-12-10", "2016-12-01", "2016-11-30"}));
}

TEST_F(FleetCategoryTest, GroupsDoNothingAndTheRootRestoresTheFullList)
{
    insertRotated();
    pick(3);
    const QStringList plates = column(3);
    ASSERT_FALSE(plates.isEmpty());
    QSignalSpy resets(fleet->model(), &QAbstractItemModel::modelReset);
    QSignalSpy caption(fleet.get(), &fleet::FleetList::captionRequested);
    fleet->categoryHandler(0);
    EXPECT_FALSE(fleet->filling());
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(column(3), plates);
    EXPECT_EQ(headers().value(6), QStringLiteral("营运证有效日期"));
    EXPECT_EQ(fleet->model()->columnCount(), 7);

    pick(29);
    EXPECT_EQ(fleet->model()->columnCount(), 12);
    EXPECT_EQ(headers().value(6), QStringLiteral("行车证有效日期"));
    EXPECT_EQ(headers().value(11), QStringLiteral("驾驶证有效日期"));
    EXPECT_EQ(gridRows(), static_cast<int>(kDates.size()) + 1);
    EXPECT_EQ(caption.count(), 1);
    EXPECT_TRUE(view->isColumnHidden(0));
    EXPECT_EQ(view->columnWidth(1), 30);
    for (int c = 2; c < 12; ++c)
        EXPECT_EQ(view->columnWidth(c), 80) << c;
}

TEST_F(FleetCategoryTest, FailedOrForeignStatementsShowTheSevenColumnHeaderOnly)
{
    insertRotated();
    // Only the watched date columns may stand in the statement.
    fleet->loadCategory(QStringLiteral("zuceyouxiaoriqi) or 1=1 or Date(zuceyouxiaoriqi"), 1, QStringLiteral("x"));
    EXPECT_FALSE(fleet->filling());
    EXPECT_EQ(gridRows(), 1);
    EXPECT_EQ(fleet->model()->columnCount(), 7);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    // A statement that cannot run says why.
    db::dbClose(state.dbConnection);
    fleet->categoryHandler(5);
    EXPECT_FALSE(fleet->filling());
    EXPECT_EQ(gridRows(), 1);
    EXPECT_EQ(headers(), kSevenLeading + QStringList {QStringLiteral("行车证有效日期")});
    EXPECT_EQ(dialogs.messages(), QStringList {QStringLiteral("读取车辆列表失败！\n没有连接数据库")});
}

} // namespace
