#pragma once

#include "db/Connection.h"

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

// The takings of a day (日结), or of any range of days: per clerk and method the payments taken
// (count and sum) and, apart, the voids made (count and sum), and what is left. A payment counts on
// the day it was taken, a void on the day it was made, each for the clerk who wrote it. One
// grouped statement over the ledger's time index.
namespace fd::fees {

struct TakingsLine {
    QString clerk;
    QString method;
    int payments = 0;
    qint64 paidFen = 0;
    int voids = 0;
    qint64 voidedFen = 0;
    qint64 netFen() const { return paidFen - voidedFen; }
};

struct Takings {
    QDate from;
    QDate to; // inclusive
    QList<TakingsLine> lines; // by clerk, then method
    TakingsLine total;        // clerk and method empty
};

// The statement: rows of jingbanren (who took the payment, or voided it), fangshi, leixing, bishu
// (count), jine (sum) for the days, by clerk, then in the order of the methods. 日结 and 月报 share it.
db::Statement takingsStatement(const QDate& from, const QDate& to);
std::optional<Takings> readTakings(db::Connection& session, const QDate& from, const QDate& to, QString* error = nullptr);

} // namespace fd::fees
