#include "fleet/CategoryTree.h"

#include "vehicles/VehicleColumns.h"

#include <array>

namespace fd::fleet {
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

// The watched date of each group of four leaves, in value order: 1-4, 5-8, ... 25-28.
using vehicles::WatchedDate;
constexpr WatchedDate kLeafDates[] = {WatchedDate::OperatingPermit, WatchedDate::DrivingPermit,
    WatchedDate::MainInsurance, WatchedDate::TrailerInsurance, WatchedDate::Qualification, WatchedDate::DrivingLicence,
    WatchedDate::ManagementFee};

bool isLeafValue(int v) { return v >= 1 && v <= 28; }

} // namespace

std::span<const CategoryItem> categoryItems() { return kItems; }

QString categoryColumn(int itemValue)
{
    if (!isLeafValue(itemValue))
        return {};
    return vehicles::watchedDateColumn(kLeafDates[(itemValue - 1) / 4]);
}

QString categoryHeader(int itemValue)
{
    if (!isLeafValue(itemValue))
        return {};
    return vehicles::watchedDateHeader(categoryColumn(itemValue));
}

int categoryCode(int itemValue)
{
    return ((itemValue - 1) % 4) + 1;
}

} // namespace fd::fleet
