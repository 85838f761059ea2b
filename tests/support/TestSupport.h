#pragma once

#include "common/Settings.h"
#include "db/Database.h"

#include <QString>

namespace fd::test {

// The settings file of the local stack the test run started (FLEETDESK_CONFIG).
Settings stackSettings();
// Connects with the stack's (deciphered) account, to the given database or none.
db::ConnectionPtr connectStack(const QString& database = QString());
// Connects as the stack's administrator (root over TCP, or FD_ADMIN_DB_USER / FD_ADMIN_DB_PASSWORD):
// for what the program's account may not do (databases, other sessions, the server's state).
db::ConnectionPtr connectAdmin(const QString& database = QString());
// The administrator on the database the session is using: for a test's changes that the program's
// account may not make (triggers, views, renamed or dropped tables).
db::ConnectionPtr adminBeside(const db::ConnectionPtr& session);
// The statements of db/grants.sql that give the program's account its rights, for the given
// database and account ('user'@'host').
QStringList programGrants(const QString& database, const QString& account);
// The program's account at every host it is known at ('fleetdesk'@'127.0.0.1', ...@'localhost').
QStringList programAccounts(const db::ConnectionPtr& admin);
// Gives the program's account on the database what it has on the office's (as administrator).
void grantProgramAccount(const db::ConnectionPtr& admin, const QString& database);
// Drops and creates the database and loads the program's tables into it, empty. Each test
// program uses a database of its own, so test programs can run side by side. The database is made
// by the administrator, and the program's account gets on it what it has on the office's database.
// The session (of the program's account) is
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
