#pragma once

#include "common/Settings.h"
#include "db/Connection.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

// A payment's receipt (收据) as it is printed, read from its ledger row.
namespace fd::fees {

struct Receipt {
    qint64 ledgerId = 0;
    QString number;
    QDateTime time;
    QString plate;
    QString owner;
    QString fee;       // 管理费, ..., 其他
    QString otherName; // 其他: the fee's name
    int period = 0;
    qint64 amountFen = 0;
    QString method;
    QString payer;
    QString remark;
    QString clerk;
    int months = 0; // 管理费: the months paid for (0: none)
    QDate expiryBefore;
    QDate expiryAfter;
    // Printed before: the receipt says 补打.
    bool reprint = false;
    bool voided = false;
    QString voidReason;
    QString company;

    // "管理费", or "其他（停车费）".
    QString feeText() const;
};

// The receipt of the payment with the ledger ID; empty (error set) when the statement failed or no
// payment has the ID.
std::optional<Receipt> readReceipt(db::Connection& session, qint64 ledgerId, QString* error = nullptr);

// Counts one more print of the receipt: every later print says 补打. Returns the receipt as it is
// printed now (reprint set when it had been printed before).
std::optional<Receipt> printAgain(db::Connection& session, qint64 ledgerId, QString* error = nullptr);

// The company named on receipts: the setting, or else the reminders' signature without its
// brackets, or else nothing.
QString companyName(db::Connection& session, const Settings& settings);

} // namespace fd::fees
