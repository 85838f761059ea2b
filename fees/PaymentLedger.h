#pragma once

#include "db/Connection.h"
#include "fees/Payment.h"

// The statements a payment and a void share: the vehicle's fee columns, the open period of a fee
// kind, and reading them.
namespace fd::fees {

// The server's clock, the plate, owner, phone, the kind's columns and 管理费到期日期 of the
// vehicle; FOR UPDATE inside a transaction that writes them.
db::Statement vehicleStatement(qint64 vehicleId, FeeKind kind, bool forUpdate);
VehicleFees vehicleFeesOf(const db::Result& row, qint64 vehicleId, FeeKind kind, const QString& otherName);

// One row: the open period's number (qijian, 0 when none), its amount due (yingjiao, NULL when
// no 应缴 row) and the sum of its payments not voided (yijiao). With a period number given, that
// period instead of the open one.
db::Statement periodStatement(qint64 vehicleId, FeeKind kind, const QString& otherName, int period = -1);
// The status of the period read by periodStatement (no rows: none in the ledger), with period 0
// read from the stored texts of the vehicle, and the next period when the vehicle's 应缴 column
// holds another amount than the open period's.
FeeStatus statusOf(const db::Result* row, const VehicleFees& vehicle);

} // namespace fd::fees
