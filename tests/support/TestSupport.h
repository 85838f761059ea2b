#pragma once

#include "common/Settings.h"
#include "db/Database.h"

#include <QString>

namespace fd::test {

// The settings file of the local stack the test run started (FLEETDESK_CONFIG).
Settings stackSettings();
// Connects with the stack's (deciphered) account, to the given database or none.
db::ConnectionPtr connectStack(const QString& database = QString());
// Drops and creates the database and loads the program's tables into it, empty. Each test
// program uses a database of its own, so test programs can run side by side. The session is
// opened on that database: a worker's own session made from its options lands there too.
db::ConnectionPtr freshDatabase(const QString& name);
// Runs a statement that must succeed (fails the current test otherwise). A text is sent as it
// stands; a statement has its values bound.
void mustExecute(const db::ConnectionPtr& connection, const QString& sql);
void mustExecute(const db::ConnectionPtr& connection, const db::Statement& statement);
// The single value of a one-row, one-column query, as text ("<null>" for NULL, "<none>" when no row).
QString queryValue(const db::ConnectionPtr& connection, const QString& sql);
QString queryValue(const db::ConnectionPtr& connection, const db::Statement& statement);
// The stack's folder and the source folder.
QString stackDir();
QString sourceDir();
// A port of 127.0.0.1 on which nothing listens (bound once and released).
int closedPort();

} // namespace fd::test
