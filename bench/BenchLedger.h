#pragma once

#include "db/Connection.h"

class QDate;

namespace fd::bench {

inline constexpr qint64 kLedgerRows = 1000000;

// A fee ledger of a million rows over the year before today for the vehicles 1..vehicles (the
// ledger's tables must exist), unless it holds that many already. The rows follow a fixed pattern
// per vehicle (审车费 due, paid, due again; 保险费 due and paid twice; 营运费 and 管理费 due and
// paid), stored in time order as an office writes them; one payment in a thousand voided.
bool makeBenchLedger(db::Connection& session, qint64 vehicles, const QDate& today);

} // namespace fd::bench
