#pragma once

#include "db/Connection.h"

#include <QList>
#include <QString>

// The fee ledger's tables: every payment, amount due and void as a row of its own, and the
// receipt number sequences of the offices. Created when missing (outside any transaction: a
// CREATE ends one).
namespace fd::fees {

inline const QString kLedgerTable = QStringLiteral("shoufeijilu");
inline const QString kNumberTable = QStringLiteral("shoujuhaoma");

QList<db::Statement> ledgerTables();
bool ensureLedgerTables(db::Connection& session, QString* error = nullptr);

} // namespace fd::fees
