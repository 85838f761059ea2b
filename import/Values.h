#pragma once

#include "import/Sheet.h"
#include "vehicles/VehicleStatements.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

// Turning the cells of one sheet row into the values the vehicle window stores, with the
// problems found on each cell. Pure functions: no database.
namespace fd::import {

// A date cell, an Excel day number, 20160531 (a number or a text), and the texts 2016-05-31,
// 2016/5/31, 2016.5.31, 2016年5月31日 (also with full-width digits and a time after it). None
// for anything else or a day that does not exist.
std::optional<QDate> readDate(const Cell& cell);

// Half-width, upper-case, without any space: "豫Ｈ 1２３４５" -> "豫H12345".
QString normalizePlate(const QString& text);
// Why the vehicle window would refuse the plate; empty when it takes it (8 or 9 GBK bytes).
QString plateProblem(const QString& plate);

// The digits of a phone number ("138-1234 5678" -> "13812345678"; a number cell without ".0").
QString phoneDigits(const Cell& cell);

// "正常", "转出" or "注销" (also from a few other words for them); none for anything else.
std::optional<QString> readStatus(const QString& text);

struct ConvertedRow {
    vehicles::VehicleValues values;  // only the fields the row fills
    QHash<int, QString> problems;    // sheet column -> why its cell cannot be stored
    bool isEmpty = true;             // no mapped cell holds anything
    QString plate() const { return values.value(QStringLiteral("cepaihao")); }
    QString fileNumber() const { return values.value(QStringLiteral("danganbianhao")); }
};

// mapping: a field (column of celiangzongbiao) or nothing per sheet column.
ConvertedRow convertRow(const Row& row, const QStringList& mapping);

// Problems of a whole row as one text, in sheet column order: "车牌号: 请输入正确的车牌号！; ...".
QString problemText(const ConvertedRow& row, const QStringList& headers);

} // namespace fd::import
