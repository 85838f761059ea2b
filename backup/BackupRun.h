#pragma once

#include "backup/Rotation.h"
#include "backup/Tools.h"
#include "common/Settings.h"
#include "db/Connection.h"
#include "net/Ftp.h"

#include <QDateTime>
#include <QString>
#include <functional>

// A backup of the fleet: the database (mariadb-dump in one InnoDB transaction, no lock) and the
// picture folder of the FTP servers in one archive with a manifest, proven before it gets its name
// (the dump loaded into a scratch database, the archive checked to hold that very dump); and the
// way back.
namespace fd::backup {

using Say = std::function<void(const QString&)>;

struct Setup {
    // The program's account and database (the result of each backup is recorded there).
    db::Connection::Options program;
    // The account that dumps, creates and drops the scratch database, restores.
    db::Connection::Options backup;
    net::FtpConnection::Options ftp;
    QString version;
    // The key file of the settings (backupKeyFile, full path): archives are enciphered with its
    // passphrase, and an enciphered archive is opened with it. Empty: archives are plain.
    QString keyFile;
    // The program's job sets it when the user stops the backup or restore: the tool running then
    // (the dump, its load, tar) is stopped, and the run fails. Null: never stopped.
    const std::atomic_bool* cancel = nullptr;
};

// The program's database and FTP account from the settings; the backup account is backupUser /
// backupPassword when set, else the program's.
Setup setupOf(const Settings& settings);

struct Outcome {
    bool ok = false;
    QString archive; // full path (of the archive made, or restored from)
    QString reason;  // why it failed, in words for the administrator
    // Done, but not whole (a restore whose database was replaced while pictures could not be put
    // back): told after the result.
    QString warning;
    QDateTime started;
    double seconds = 0;
};

// Makes outDir/fleetdesk-YYYYMMDD-HHMMSS.tar.zst (enciphered when setup.keyFile is set, see
// backup/Encryption.h: the proof then opens the enciphered file). The dump is loaded into a
// scratch database, which must hold every table of the database; the rows and checksums read
// there are the manifest's. The archive as written is then unpacked and every file checked
// against the manifest. It carries its name only once it is proven; until then, and for good when
// it fails, it is a ".part" file (removed on failure). After a good backup the older archives
// beyond keep are deleted. Nothing is recorded (see backupAndRecord).
Outcome makeBackup(const Setup& setup, const QString& outDir, const Keep& keep, const Say& say);

// The second copy of a proven archive: copied into folder (made when missing) under a ".part" name
// readable by its owner only, compared byte for byte with the archive by its SHA-256, then given
// the archive's name; the older archives there beyond keep are deleted as in the first folder. A
// copy that fails leaves no file behind and says why in error; the archive itself stays.
bool copyArchive(const QString& archive, const QString& folder, const Keep& keep, const Say& say, QString* error);

// A whole backup as the daily run and the program make it: makeBackup into outDir, the second
// copy into copyFolder (none when empty; a backup whose copy failed has failed), and the result
// recorded in the program's table of backup results (a session of its own; when that fails, say
// tells why). Any thread.
Outcome backupAndRecord(
    const Setup& setup, const QString& outDir, const QString& copyFolder, const Keep& keep, const Say& say);

struct RestoreTarget {
    QString database;       // a new database; an existing one is refused
    QString picturesFolder; // the pictures into this folder (created); empty: not restored there
    bool picturesToFtp = false; // the pictures back onto the FTP server
};
// Checks the archive whole (deciphers it when it is enciphered, unpacks it, every file against the manifest's SHA-256) before it
// touches anything; then creates the database, loads it and compares every table with the manifest
// (a database that does not match is dropped again), then the pictures.
Outcome restoreBackup(const Setup& setup, const QString& archive, const RestoreTarget& target, const Say& say);

// What an archive says of itself, from its manifest alone (the archive is not checked whole).
struct ArchiveContents {
    QDateTime created;
    QString database;
    QString server;
    QList<TableFacts> tables;
    int pictures = 0;
    bool enciphered = false;
};
bool readArchiveContents(const Setup& setup, const QString& archive, ArchiveContents* contents, QString* error);

// The name the confirmation of a restore over the current database must repeat: the company's
// name of the reminders' signature (without its 【】), else the database's name.
QString companyName(const db::ConnectionPtr& connection, const QString& database);

// Restores the archive over the program's own database. The archive is checked whole and its date
// and contents are said first; nothing is touched unless confirm equals companyName(). The dump is
// loaded into a scratch database and compared with the manifest, then every table is swapped in by
// one RENAME TABLE (the tables before it are dropped after); the tables of backup and restore
// results stay as they are. The restore is recorded in the table of restores (db::lastRestore reads it).
Outcome restoreOverCurrent(const Setup& setup, const QString& archive, const QString& confirm, const Say& say);

// Records a restore over database of a backup made at backedUp in its table of restores (one of
// the program's tables, db/ProgramTables.h). False, with the server's reason, when it was not.
bool recordRestore(const db::ConnectionPtr& connection, const QString& database, const QString& archive,
    const QDateTime& backedUp, QString* error = nullptr);

// The program's table of backup results (db/ProgramTables.h); the latest result.
struct LastBackup {
    bool known = false;
    bool ok = false;
    QDateTime when;
    QString archive;
    QString reason;
};
bool recordOutcome(
    const db::ConnectionPtr& connection, const Outcome& outcome, const QString& machine, QString* error = nullptr);
LastBackup lastBackup(const db::ConnectionPtr& connection);

} // namespace fd::backup
