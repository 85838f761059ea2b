#pragma once

#include <QString>
#include <span>

// The items of the category tree and what each leaf lists. Pure data, no widgets.
namespace fd::fleet {

enum class CategoryLevel { root, group, leaf };

struct CategoryItem {
    const char16_t* text;
    CategoryLevel level;
    int value; // 29 the root, 0 a group, 1..28 a leaf
};

// Item value of the root: selecting it shows the full list again.
constexpr int kRootItemValue = 29;

// The 35 items in tree order (depth first, the root first).
std::span<const CategoryItem> categoryItems();

// The date column and the header of grid column 6 for a leaf value 1..28; empty otherwise.
QString categoryColumn(int itemValue);
QString categoryHeader(int itemValue);
// ((value - 1) mod 4) + 1: 1 valid, 2 expired, 3 due next month, 4 due this month.
int categoryCode(int itemValue);

} // namespace fd::fleet
