#pragma once

#include "db/Connection.h"

#include <QString>

namespace fd::db {

// Creates the tables the program keeps beside the fleet when they are missing (the reminders'
// rules, options, stages and run, the results of backups and restores), in one round trip.
// Existing tables are left as they are. Run once after the login and once at the start of each
// command-line program, not before each operation. False, with the server's reason, when the
// account may not create them.
bool ensureProgramTables(Connection& session, QString* error = nullptr);

} // namespace fd::db
