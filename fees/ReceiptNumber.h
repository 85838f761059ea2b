#pragma once

#include "db/Transaction.h"

#include <QString>
#include <optional>

// Receipt numbers: an office prefix (a setting), the year and a sequence without gaps, one
// sequence per prefix and year in the number table. A number is taken inside the payment's
// transaction: the sequence row stays locked until it ends, so a payment rolled back takes none,
// and of two clerks taking one at once (also on two cluster nodes, whose certification refuses
// the second writer of the row) each gets a number of its own.
namespace fd::fees {

// "A2026-000123".
QString receiptNumberText(const QString& prefix, int year, int sequence);

// The next number of the prefix and year, taken in the transaction; empty with the failed reply
// (its errorCode tells a lost race) when it could not be taken.
std::optional<QString> takeReceiptNumber(db::Transaction& tx, const QString& prefix, int year, db::Reply* failure);

} // namespace fd::fees
