#pragma once

#include "db/Connection.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace fd::db {

// The tables the program adds to the register's database for its own bookkeeping (the history of
// changes, the claims of plates and file numbers, the reminders' rules, stages and run, the
// results of backups and restores, ...): created when missing, once per login, so
// that no operation has to check for them. Also in db/schema.sql for a new database.
//
// The CREATE TABLE IF NOT EXISTS statements, in the order they are sent.
const QList<Statement>& programTableStatements();

// Creates the program's tables that are missing, in one round trip; false with the server's
// reason in error when they could not be created (an account without the right to create
// tables). Outside any transaction: a CREATE ends one. Thread affinity: the session's thread.
bool ensureProgramTables(Connection& session, QString* error = nullptr);

// The last restore of a backup over the program's database, as its table of restores records it:
// its ID (0 for none or when it cannot be read), its time and the time of the backup it restored.
struct LastRestore {
    qint64 id = 0;
    QDateTime when;
    QDateTime backedUp;
    QString archive;
};
LastRestore lastRestore(const ConnectionPtr& connection);

} // namespace fd::db
