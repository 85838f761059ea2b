#pragma once

#include "db/Connection.h"

#include <QString>

// The fee ledger's tables (shoufeijilu: every payment, amount due and void as a row of its own;
// shoujuhaoma: the receipt number sequences of the offices) are among the program's own tables,
// made at login; a payment makes them again when they are missing all the same.
namespace fd::fees {

// The program's tables that are missing, the ledger's among them (outside any transaction).
bool ensureLedgerTables(db::Connection& session, QString* error = nullptr);

} // namespace fd::fees
