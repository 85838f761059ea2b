#include "import/Mapping.h"
#include "import/Values.h"

#include <gtest/gtest.h>

namespace fd::import {
namespace {

Cell text(const char* t)
{
    Cell c;
    c.kind = Cell::Text;
    c.text = QString::fromUtf8(t);
    return c;
}

Cell number(double n, Cell::Kind kind = Cell::Number)
{
    Cell c;
    c.kind = kind;
    c.number = n;
    return c;
}

TEST(ImportMapping, HeaderNamesFindTheirField)
{
    const struct {
        const char* header;
        const char* field;
    } cases[] = {
        {"主车牌号", "cepaihao"}, {"车牌", "cepaihao"}, {"车牌号码", "cepaihao"}, {"号牌号码", "cepaihao"},
        {" 车 牌 号：", "cepaihao"}, {"cepaihao", "cepaihao"}, {"车主", "cezuxingming"},
        {"车主姓名", "cezuxingming"}, {"电话", "cezudianhua"}, {"手机", "cezudianhua"},
        {"联系电话", "cezudianhua"}, {"行驶证到期", "zuceyouxiaoriqi"}, {"行车证有效期", "zuceyouxiaoriqi"},
        {"ＶＩＮ", "zucejiahao"}, {"档案号", "danganbianhao"}, {"审车信息的备注", "secebeizu"},
        {"保险信息的应缴费用", "baoxianyingjiaofei"}, {"备注", "jibenbeizu"}, {"营运证号", "yingyunzenghao"},
        {"应缴费用", ""}, {"序号", ""}, {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fieldForHeader(QString::fromUtf8(c.header)), QString::fromUtf8(c.field)) << c.header;
}

TEST(ImportMapping, EachFieldGoesToItsFirstColumnAndTheHeaderRowIsFound)
{
    Sheet sheet;
    sheet.rows.push_back({text("2016 年车辆台账")});
    sheet.rows.push_back({});
    sheet.rows.push_back({text("序号"), text("车牌"), text("手机"), text("号牌号码"), text("车主")});
    sheet.rows.push_back({number(1), text("豫H12345"), text("13800000000"), text("豫H99999"), text("张三")});
    ASSERT_EQ(findHeaderRow(sheet), 2);
    EXPECT_EQ(autoMapping(headerTexts(sheet, 2)),
        QStringList({"", "cepaihao", "cezudianhua", "", "cezuxingming"}));
}

TEST(ImportValues, DateForms)
{
    const struct {
        Cell cell;
        const char* expected; // empty: refused
    } cases[] = {
        {text("2016-05-31"), "2016-05-31"}, {text("2016/5/31"), "2016-05-31"}, {text("2016.5.31"), "2016-05-31"},
        {text("20160531"), "2016-05-31"}, {text("2016年5月31日"), "2016-05-31"},
        {text("２０１６年５月３１日"), "2016-05-31"}, {text(" 2016-5-31 08:30:00 "), "2016-05-31"},
        {number(20160531), "2016-05-31"}, {number(42521), "2016-05-31"}, {number(42521.75, Cell::Date), "2016-05-31"},
        {number(1, Cell::Date), "1900-01-01"}, {number(61, Cell::Date), "1900-03-01"},
        {text("2016-02-30"), ""}, {text("2016-13-01"), ""}, {text("31/05/2016"), ""}, {text("明年"), ""},
        {number(60, Cell::Date), ""}, {number(-3), ""}, {number(0), ""},
    };
    for (const auto& c : cases) {
        const auto date = readDate(c.cell);
        const QString got = date ? date->toString(QStringLiteral("yyyy-MM-dd")) : QString();
        EXPECT_EQ(got, QString::fromUtf8(c.expected)) << c.cell.display().toStdString();
    }
    Cell xls;
    xls.kind = Cell::Date;
    xls.text = QStringLiteral("2016-05-31 12:00:00");
    EXPECT_EQ(readDate(xls), QDate(2016, 5, 31));
}

TEST(ImportValues, PlatesAreNormalizedThenCheckedAsTheVehicleWindowDoes)
{
    const struct {
        const char* typed;
        const char* stored;
        bool refused;
    } cases[] = {
        {"豫H12345", "豫H12345", false}, {" 豫h 12345 ", "豫H12345", false}, {"豫Ｈ１２３４５", "豫H12345", false},
        {"豫H1234挂", "豫H1234挂", false}, {"豫　H12345", "豫H12345", false}, {"豫H1234", "豫H1234", true},
        {"豫H1234567", "豫H1234567", true}, {"H123456", "H123456", true}, {"豫H12345😀", "豫H12345😀", true},
        {"", "", true},
    };
    for (const auto& c : cases) {
        const QString plate = normalizePlate(QString::fromUtf8(c.typed));
        EXPECT_EQ(plate, QString::fromUtf8(c.stored)) << c.typed;
        EXPECT_EQ(!plateProblem(plate).isEmpty(), c.refused) << c.typed;
    }
}

TEST(ImportValues, ARowBecomesStoredValuesWithItsProblemsOnTheirCells)
{
    const QStringList mapping = {"cepaihao", "cezudianhua", "zuceyouxiaoriqi", "celiangzuangtai", "senceyingjiaofei",
        "", "cezuxingming"};
    const ConvertedRow good = convertRow({text("豫h 12345"), number(13812345678.0), text("2016年5月31日"),
                                             text("已注销"), number(1200.5), text("ignored"), text(" 张三 ")},
        mapping);
    EXPECT_TRUE(good.problems.isEmpty());
    EXPECT_EQ(good.values.value("cepaihao"), QStringLiteral("豫H12345"));
    EXPECT_EQ(good.values.value("cezudianhua"), QStringLiteral("13812345678"));
    EXPECT_EQ(good.values.value("zuceyouxiaoriqi"), QStringLiteral("2016-5-31"));
    EXPECT_EQ(good.values.value("celiangzuangtai"), QStringLiteral("注销"));
    EXPECT_EQ(good.values.value("senceyingjiaofei"), QStringLiteral("1200.5"));
    EXPECT_EQ(good.values.value("cezuxingming"), QStringLiteral("张三"));
    EXPECT_EQ(good.values.size(), 6);

    const ConvertedRow bad = convertRow({text("豫H1"), text("无"), text("不详"), text("丢了")}, mapping);
    EXPECT_EQ(bad.problems.keys().size(), 4);
    EXPECT_TRUE(bad.values.isEmpty());
    EXPECT_EQ(problemText(bad, {"车牌", "手机", "行驶证到期", "状态"}),
        QStringLiteral("车牌：请输入正确的车牌号！；手机：电话号码中没有数字；行驶证到期：无法识别的日期“不详”；"
                       "状态：车辆状态应为正常、转出或注销"));
    EXPECT_TRUE(convertRow({text("  "), Cell()}, mapping).isEmpty);
}

} // namespace
} // namespace fd::import
