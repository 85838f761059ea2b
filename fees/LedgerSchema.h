#pragma once

#include "db/Statement.h"

#include <QList>

namespace fd::fees {

// The fee ledger and the receipt number sequences: created when missing, never altered.
QList<db::Statement> ledgerTables();

} // namespace fd::fees
