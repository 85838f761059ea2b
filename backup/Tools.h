#pragma once

#include "db/Connection.h"
#include "common/HostList.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>

// What the backup asks of MariaDB's own programs, of tar and zstd, and of the server's tables.
namespace fd::backup {

// The account and server for MariaDB's programs in a [client] options file readable by its owner
// only (never on a command line, where any user's `ps` shows it); removed with the object. Its
// argument goes first on the command line.
class ClientDefaults {
public:
    ClientDefaults(const QString& folder, const db::Connection::Options& account, const HostPort& server);
    ~ClientDefaults();
    ClientDefaults(const ClientDefaults&) = delete;
    ClientDefaults& operator=(const ClientDefaults&) = delete;
    bool ok() const { return m_ok; }
    QString argument() const { return QStringLiteral("--defaults-extra-file=") + m_path; }

private:
    QString m_path;
    bool m_ok = false;
};

// Runs a program to its end, standard input and output from and to files when named. False when
// it could not start or did not exit with 0; error then says why (with what it wrote to stderr).
// When cancel is set meanwhile the program is stopped (asked, then killed after 3 s) and the
// result is false. The program also ends when the thread that started it does: a backup that is
// killed leaves no dump running on.
bool runTool(const QString& program, const QStringList& arguments, const QString& inputFile, const QString& outputFile,
    QString* error, const std::atomic_bool* cancel = nullptr);

// The SHA-256 of a file in lower-case hexadecimal; empty when it cannot be read.
QString fileSha256(const QString& path);

// A table's rows and its CHECKSUM TABLE value, as one connection sees them (inside its
// transaction, when one is open).
struct TableFacts {
    QString name;
    qint64 rows = 0;
    QString checksum;
    bool operator==(const TableFacts&) const = default;
};
bool readTableFacts(const db::ConnectionPtr& connection, const QString& database, QList<TableFacts>* facts,
    QString* error);
// The first difference between two sets of facts in words; empty when they agree.
QString compareTableFacts(const QList<TableFacts>& original, const QList<TableFacts>& copy);

// A database name the backup creates: letters, digits and "_" only.
bool plainDatabaseName(const QString& name);
// False, with the server's reason, when the server could not say.
bool databaseExists(const db::ConnectionPtr& connection, const QString& name, bool* exists, QString* error = nullptr);
// A database or table name the backup made or the server listed, as it stands in a statement:
// between backquotes, a backquote in it doubled. (Values are bound, never put in this way.)
QString sqlName(const QString& name);

} // namespace fd::backup
