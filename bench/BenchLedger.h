#pragma once

#include "db/Connection.h"

class QDate;

namespace fd::bench {

inline constexpr qint64 kLedgerRows = 1000000;

// A fee ledger of a million rows over the year before today for the vehicles 1..vehicles (the
// ledger's tables must exist), unless it holds that many already. The rows follow a fixed pattern
// per vehicle (审车费 due, paid, due again; 保险费 due and paid twice; 营运费 and 管理费 due and
// paid), stored in time order as an office writes them; one payment in a thousand voided.
// It truncates and drops tables, which the program's account may not: session is the
// administrator's (adminSession).
bool makeBenchLedger(db::Connection& session, qint64 vehicles, const QDate& today);

// A session on the program's database (host, port, TLS and database of options) as the server's
// administrator: FD_ADMIN_DB_USER / FD_ADMIN_DB_PASSWORD, else root without a password as the
// local stack has it. Null with the reason on stderr when it cannot be opened.
db::ConnectionPtr adminSession(db::Connection::Options options);

} // namespace fd::bench
