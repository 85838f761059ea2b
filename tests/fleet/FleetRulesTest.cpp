// The pure rules of the fleet grid: the category items and their mapping, the dates and texts of
// the select statements.
#include "common/DateTime.h"
#include "fleet/CategoryTree.h"
#include "fleet/FleetStatements.h"
#include "vehicles/VehicleColumns.h"

#include <QByteArray>
#include <gtest/gtest.h>

using namespace fd::fleet;
using fd::vehicles::isWatchedDateColumn;
using fd::datetime::toDayNumber;

namespace {

TEST(FleetRules, CategoryItemsValuesAndMapping)
{
    const auto items = categoryItems();
    ASSERT_EQ(items.size(), 35u);
    EXPECT_EQ(QString::fromUtf16(items[0].text), QStringLiteral("公司车辆"));
    EXPECT_EQ(items[0].value, 29);
    const int groups[] = {1, 6, 11, 20, 25, 30};
    const char16_t* groupNames[] = {u"营运证", u"行车证", u"保险", u"资格证", u"驾驶证", u"管理费"};
    for (int g = 0; g < 6; ++g) {
        EXPECT_EQ(items[static_cast<std::size_t>(groups[g])].level, CategoryLevel::group);
        EXPECT_EQ(items[static_cast<std::size_t>(groups[g])].value, 0);
        EXPECT_EQ(QString::fromUtf16(items[static_cast<std::size_t>(groups[g])].text), QString::fromUtf16(groupNames[g]));
    }
    // Leaves carry 1..28 in tree order.
    int expected = 1;
    for (const CategoryItem& item : items) {
        if (item.level == CategoryLevel::leaf) {
            EXPECT_EQ(item.value, expected++);
        }
    }
    EXPECT_EQ(expected, 29);
    EXPECT_EQ(QString::fromUtf16(items[15].text), QStringLiteral("主车保险本月需办"));
    EXPECT_EQ(QString::fromUtf16(items[16].text), QStringLiteral("挂车保险正常"));
    EXPECT_EQ(QString::fromUtf16(items[34].text), QStringLiteral("本月需办"));

    EXPECT_EQ(categoryColumn(3), QStringLiteral("yingyunzengyouxiaoqi"));
    EXPECT_EQ(categoryHeader(3), QStringLiteral("营运证有效日期"));
    EXPECT_EQ(categoryCode(3), 3);
    EXPECT_EQ(categoryColumn(5), QStringLiteral("zuceyouxiaoriqi"));
    EXPECT_EQ(categoryHeader(8), QStringLiteral("行车证有效日期"));
    EXPECT_EQ(categoryColumn(12), QStringLiteral("zucebaoxianyouxiaoqi"));
    EXPECT_EQ(categoryHeader(13), QStringLiteral("挂车保险有效日期"));
    EXPECT_EQ(categoryColumn(20), QStringLiteral("zigezengyouxiaoqi"));
    EXPECT_EQ(categoryColumn(21), QStringLiteral("jiasizengyouxiaoqi"));
    EXPECT_EQ(categoryHeader(28), QStringLiteral("管理费有效日期"));
    EXPECT_EQ(categoryCode(28), 4);
    EXPECT_EQ(categoryCode(25), 1);
    EXPECT_TRUE(categoryColumn(0).isEmpty());
    EXPECT_TRUE(categoryColumn(29).isEmpty());
    EXPECT_TRUE(isWatchedDateColumn(QStringLiteral("guanlifeiyouxiaoqi")));
    EXPECT_FALSE(isWatchedDateColumn(QStringLiteral("ruhusijian")));
    EXPECT_FALSE(isWatchedDateColumn(QStringLiteral("ID) or 1=1 -- ")));
}

TEST(FleetRules, CategoryDatesRollOverDecember)
{
    CategoryDates may = categoryDates(toDayNumber(2016, 5, 7, 16, 20, 0));
    EXPECT_EQ(may.t0, QStringLiteral("2016-5-7"));
    EXPECT_EQ(may.f0, QStringLiteral("2016-5-01"));
    EXPECT_EQ(may.f1, QStringLiteral("2016-6-01"));
    EXPECT_EQ(may.f2, QStringLiteral("2016-7-01"));
    CategoryDates nov = categoryDates(toDayNumber(2016, 11, 30));
    EXPECT_EQ(nov.f1, QStringLiteral("2016-12-01"));
    EXPECT_EQ(nov.f2, QStringLiteral("2017-1-01"));
    CategoryDates dec = categoryDates(toDayNumber(2016, 12, 10));
    EXPECT_EQ(dec.t0, QStringLiteral("2016-12-10"));
    EXPECT_EQ(dec.f0, QStringLiteral("2016-12-01"));
    EXPECT_EQ(dec.f1, QStringLiteral("2017-1-01"));
    EXPECT_EQ(dec.f2, QStringLiteral("2017-2-01"));
}

TEST(FleetRules, StatementTextsAreSentAsWritten)
{
    EXPECT_EQ(fullListStatement().renderOffline(),
        QStringLiteral("Select ID, danganbianhao, cepaihao,cezuxingming,cezudianhua,zuceyouxiaoriqi,yingyunzengyouxiaoqi,"
                       "zucebaoxianyouxiaoqi,guacebaoxianyouxiaoqi,zigezengyouxiaoqi,jiasizengyouxiaoqi from celiangzongbiao "
                       "Order By zuceyouxiaoriqi desc"));
    const QString p = QStringLiteral(
        "SELECT ID,danganbianhao,cepaihao,cezuxingming,cezudianhua,zuceyouxiaoriqi,yingyunzengyouxiaoqi,"
        "zucebaoxianyouxiaoqi,guacebaoxianyouxiaoqi,zigezengyouxiaoqi,jiasizengyouxiaoqi FROM celiangzongbiao WHERE ");
    // The text typed, and the pattern as it reaches the server: a quote or a backslash cannot end
    // the literal, "%" and "_" stay wildcards.
    const struct {
        int field;
        const char* typed;
        const char* sent;
    } searches[] = {
        {1, "H1", "cepaihao  like '%H1%'"},
        {2, "DA", "danganbianhao  like '%DA%'"},
        {3, "王", " cezuxingming  like '%王%'"},
        {3, "", " cezuxingming  like '%%'"},
        {1, "a_b%", "cepaihao  like '%a_b%%'"},
        {3, "O'B", " cezuxingming  like '%O''B%'"},
        {1, "x' or 1=1 -- ", "cepaihao  like '%x'' or 1=1 -- %'"},
        {2, "A\\0", "danganbianhao  like '%A\\\\\\\\0%'"},
        {1, "豫\\", "cepaihao  like '%豫\\\\\\\\%'"},
        {1, "?", "cepaihao  like '%?%'"},
    };
    for (const auto& c : searches)
        EXPECT_EQ(searchStatement(c.field, QString::fromUtf8(c.typed)).renderOffline(), p + QString::fromUtf8(c.sent)) << c.typed;
    EXPECT_TRUE(searchStatement(4, QStringLiteral("x")).isEmpty());
    EXPECT_TRUE(searchStatement(0, QStringLiteral("x")).isEmpty());
    EXPECT_EQ(likePattern(QStringLiteral("a\\b%_'")), QStringLiteral("a\\\\b%_'"));

    const double login = toDayNumber(2016, 5, 31, 8, 0, 0);
    const QString s = QStringLiteral("Select ID, danganbianhao, cepaihao,cezuxingming,cezudianhua,zuceyouxiaoriqi");
    const QString c = QStringLiteral("zuceyouxiaoriqi");
    EXPECT_EQ(categoryStatement(c, 1, login).renderOffline(),
        s + QStringLiteral(" from celiangzongbiao Where Date(zuceyouxiaoriqi)>='2016-5-31'Order By zuceyouxiaoriqi desc"));
    EXPECT_EQ(categoryStatement(c, 2, login).renderOffline(),
        s + QStringLiteral(" from celiangzongbiao Where Date(zuceyouxiaoriqi)<='2016-5-31'or zuceyouxiaoriqi is null "
                           "Order By zuceyouxiaoriqi desc"));
    EXPECT_EQ(categoryStatement(c, 3, login).renderOffline(),
        s + QStringLiteral(" from celiangzongbiao Where Date(zuceyouxiaoriqi)>='2016-6-01'and "
                           "Date(zuceyouxiaoriqi)<='2016-7-01' Order By zuceyouxiaoriqi desc"));
    EXPECT_EQ(categoryStatement(c, 4, login).renderOffline(),
        s + QStringLiteral(" from celiangzongbiao Where  Date(zuceyouxiaoriqi)>='2016-5-01'and "
                           "Date(zuceyouxiaoriqi)<='2016-6-01' Order By zuceyouxiaoriqi desc"));
    EXPECT_TRUE(categoryStatement(c, 5, login).isEmpty());
}

} // namespace
