#pragma once

#include "db/Statement.h"

#include <QString>
#include <atomic>
#include <vector>

namespace fd::db {
class Connection;
}

// 收费数据检查: the stored fee texts (应缴费用, 已缴费用, 还欠费用 of 审车, 保险, 营运 and 管理)
// that money::readAmount cannot read, one line per text, for a person to put right in the
// vehicle window. No widgets; read on any thread with a session of its own.
namespace fd::fees {

struct UnreadableFee {
    qint64 vehicleId = 0;
    QString fileNumber, plate, owner;
    QString fee; // 审车费, 保险费, 营运费, 管理费
    QString column; // 应缴费用, 已缴费用, 还欠费用
    QString field; // the column's name in the table
    QString text; // as stored
};

// The vehicles whose fee texts are not all plain amounts: a text of digits with up to two
// decimals, or empty, is left out on the server; the rest is read here by money::readAmount.
db::Statement dataCheckStatement();

// The texts that cannot be read, by plate. False with error set when the statement failed or
// was cancelled.
bool readUnreadableFees(db::Connection& session, std::vector<UnreadableFee>& out, QString* error,
    const std::atomic_bool* cancelled = nullptr);

} // namespace fd::fees
