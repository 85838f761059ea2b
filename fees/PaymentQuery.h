#pragma once

#include "db/Connection.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

// 收费查询: the payments of a range of days, narrowed by clerk, fee kind, method and plate, each
// with its void when it has one; their totals; the list as an Excel workbook.
namespace fd::fees {

struct PaymentFilter {
    QDate from;
    QDate to; // inclusive
    QString clerk;  // empty: every clerk
    QString fee;    // 管理费, ...; empty: every kind
    QString method; // empty: every method
    QString plate;  // a part of the plate; empty: every vehicle
};

struct PaymentRow {
    qint64 id = 0;
    QString number;
    QString time; // "2026-09-01 08:30": kept as text, a month has tens of thousands
    QString plate;
    QString owner;
    QString fee;
    QString otherName;
    int period = 0;
    qint64 amountFen = 0;
    QString method;
    QString payer;
    QString remark;
    QString clerk;
    bool voided = false;
    QString voidReason;
};

struct PaymentList {
    std::vector<PaymentRow> rows; // by time
    int count = 0;
    qint64 totalFen = 0;
    int voidedCount = 0;
    qint64 voidedFen = 0;
    qint64 netFen() const { return totalFen - voidedFen; }
};

db::Statement paymentQueryStatement(const PaymentFilter& filter);
std::optional<PaymentList> queryPayments(db::Connection& session, const PaymentFilter& filter, QString* error = nullptr);

// The headers of the list's columns, in the order of paymentCells.
const QStringList& paymentHeaders();
QStringList paymentCells(const PaymentRow& row);

// The list as a workbook: a title, the header row, a row per payment (amounts as texts "1200.00",
// exact), the totals. Written whole under a temporary name, so a failure leaves no file.
bool savePaymentsXlsx(const PaymentList& list, const QString& title, const QString& path, QString* error);

} // namespace fd::fees
