#include "vehicles/CategoryTree.h"

#include <array>

namespace fd::vehicles {
namespace {

using L = CategoryLevel;

constexpr std::array<CategoryItem, 35> kItems = {{
    {u"公司车辆", L::root, kRootItemValue},
    {u"营运证", L::group, 0},
    {u"正常", L::leaf, 1},
    {u"过期", L::leaf, 2},
    {u"预警", L::leaf, 3},
    {u"本月需办", L::leaf, 4},
    {u"行车证", L::group, 0},
    {u"正常", L::leaf, 5},
    {u"过期", L::leaf, 6},
    {u"预警", L::leaf, 7},
    {u"本月需办", L::leaf, 8},
    {u"保险", L::group, 0},
    {u"主车保险正常", L::leaf, 9},
    {u"主车保险过期", L::leaf, 10},
    {u"主车保险预警", L::leaf, 11},
    {u"主车保险本月需办", L::leaf, 12},
    {u"挂车保险正常", L::leaf, 13},
    {u"挂车保险过期", L::leaf, 14},
    {u"挂车保险预警", L::leaf, 15},
    {u"挂车保险本月需办", L::leaf, 16},
    {u"资格证", L::group, 0},
    {u"正常", L::leaf, 17},
    {u"过期", L::leaf, 18},
    {u"预警", L::leaf, 19},
    {u"本月需办", L::leaf, 20},
    {u"驾驶证", L::group, 0},
    {u"正常", L::leaf, 21},
    {u"过期", L::leaf, 22},
    {u"预警", L::leaf, 23},
    {u"本月需办", L::leaf, 24},
    {u"管理费", L::group, 0},
    {u"正常", L::leaf, 25},
    {u"过期", L::leaf, 26},
    {u"预警", L::leaf, 27},
    {u"本月需办", L::leaf, 28},
}};

struct ColumnOfLeaves {
    const char* column;
    const char16_t* header;
};

// Four leaf values per column, in value order: 1-4, 5-8, ... 25-28.
constexpr std::array<ColumnOfLeaves, 7> kColumns = {{
    {"yingyunzengyouxiaoqi", u"营运证有效日期"},
    {"zuceyouxiaoriqi", u"行车证有效日期"},
    {"zucebaoxianyouxiaoqi", u"主车保险有效日期"},
    {"guacebaoxianyouxiaoqi", u"挂车保险有效日期"},
    {"zigezengyouxiaoqi", u"资格证有效日期"},
    {"jiasizengyouxiaoqi", u"驾驶证有效日期"},
    {"guanlifeiyouxiaoqi", u"管理费有效日期"},
}};

bool isLeafValue(int v) { return v >= 1 && v <= 28; }

} // namespace

std::span<const CategoryItem> categoryItems() { return kItems; }

QString categoryColumn(int itemValue)
{
    if (!isLeafValue(itemValue))
        return {};
    return QString::fromLatin1(kColumns[static_cast<std::size_t>((itemValue - 1) / 4)].column);
}

QString categoryHeader(int itemValue)
{
    if (!isLeafValue(itemValue))
        return {};
    return QString::fromUtf16(kColumns[static_cast<std::size_t>((itemValue - 1) / 4)].header);
}

int categoryCode(int itemValue)
{
    return ((itemValue - 1) % 4) + 1;
}

bool isWatchedDateColumn(const QString& column)
{
    for (const ColumnOfLeaves& c : kColumns)
        if (column == QLatin1String(c.column))
            return true;
    return false;
}

} // namespace fd::vehicles
