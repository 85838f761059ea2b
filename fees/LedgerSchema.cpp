#include "fees/LedgerSchema.h"

#include "db/ProgramTables.h"

namespace fd::fees {

bool ensureLedgerTables(db::Connection& session, QString* error)
{
    return db::ensureProgramTables(session, error);
}

} // namespace fd::fees
