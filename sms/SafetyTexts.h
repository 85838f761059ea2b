#pragma once

#include <QList>
#include <QString>

// The stock safety texts offered on page 安全教育类: seven categories, each with numbered texts.
namespace fd::sms {

struct SafetyCategory {
    QString caption;
    QList<QString> texts; // text n has the item value category × 100 + n
};

// The seven categories in the order of the tree ("春季短信" first, "雾天" last).
const QList<SafetyCategory>& safetyCategories();

// The text of an item value (101 … 703); empty for a category item (0) or any other value.
QString safetyText(int value);

} // namespace fd::sms
