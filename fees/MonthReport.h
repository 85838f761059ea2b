#pragma once

#include "db/Statement.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <vector>

namespace fd::db {
class Connection;
}

// 月报: the takings of a month per clerk and method, counted as the day's takings (日结) count
// them: a payment on the day it was taken, a void on the day it was made, each for the clerk who
// wrote it and in the method of the payment; the voids apart from the payments, and what is left.
// Money in fen. No widgets; read on any thread with a session of its own.
namespace fd::fees {

struct MonthLine {
    QString clerk;
    QString method;
    qint64 payments = 0;
    qint64 paidFen = 0;
    qint64 voids = 0;
    qint64 voidedFen = 0;
    qint64 netFen() const { return paidFen - voidedFen; }
    bool operator==(const MonthLine&) const = default;
};

struct MonthTakings {
    QDate first, last; // the days covered, both included
    std::vector<MonthLine> lines; // by clerk, then in the order of the methods (现金, 银行转账, 微信, 支付宝, 其他)
    MonthLine total; // clerk and method empty
};

// The takings of the days are read with takingsStatement (fees/Takings.h).
// Reads the takings of the days; false with error set when the statement failed.
bool readMonthTakings(
    db::Connection& session, const QDate& first, const QDate& last, MonthTakings& out, QString* error);

// The report as lines: 经办人, 收款方式, 收费笔数, 收费金额, 作废笔数, 作废金额, 实收金额; a 小计 after
// each clerk's lines and the 合计 at the end.
struct ReportLine {
    enum Kind { Line, Subtotal, Total };
    QStringList cells;
    Kind kind = Line;
    bool operator==(const ReportLine&) const = default;
};
QStringList monthHeaders();
std::vector<ReportLine> monthLines(const MonthTakings& takings);

// The calendar month of the day: its first and last day.
QDate monthFirst(const QDate& day);
QDate monthLast(const QDate& day);

} // namespace fd::fees
