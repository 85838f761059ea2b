#pragma once

#include "db/Connection.h"
#include "import/Sheet.h"
#include "import/Values.h"
#include "vehicles/VehicleHistory.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// Bringing the rows of a sheet into the vehicle register, each row in a transaction of its own
// with its history, and undoing a whole import. Runs on the calling thread, on a session of that
// thread (a job of the database lane); shows nothing.
namespace fd::import {

// The imports are recorded in daorupici (one row per import) and daorujilu (one per vehicle it
// added or changed, written in the vehicle's own transaction), program tables created at login
// (db/ProgramTables.h).

enum class MatchBy { Plate, FileNumber };

struct ImportOptions {
    MatchBy match = MatchBy::Plate;
    bool update = false; // a row of a stored vehicle changes it (else it is skipped)
    // Database sessions writing rows side by side: the caller's and up to sessions-1 more, each
    // on a thread of the import's own that ends with it. Each row is still a transaction of its
    // own; a row's time is mostly waiting for the server's answers and the log's flush, which the
    // server does once for the commits of several sessions (10 000 new vehicles on one quiet
    // server: 13 to 14 s with one session, 7 to 8 s with eight; README).
    int sessions = 8;
};

// What the sheet says and which columns fill which fields.
struct ImportSource {
    QString fileName;
    Sheet sheet;
    int headerRow = 0;
    QStringList mapping; // a field or nothing per sheet column
    QStringList headers() const;
};

// What one data row would do.
struct PlannedRow {
    enum Kind { New, Unchanged, Changed, Skipped, Refused, Empty };
    Kind kind = Refused;
    int sheetRow = 0;       // 0-based row of the sheet
    ConvertedRow converted;
    QString reason;         // Refused: why
    QString vehicleId;      // Unchanged, Changed, Skipped: the stored vehicle
    QStringList changedFields; // Changed: the fields whose stored value differs
};

// What the stored vehicles hold in the mapped fields, keyed by ID; and their plates and file
// numbers. Read once for a whole file.
struct StoredFleet {
    QHash<QString, QString> byPlate;      // plate -> ID (the first stored)
    QHash<QString, QString> byFileNumber; // file number -> ID
    QHash<QString, vehicles::VehicleValues> values;
};
std::optional<StoredFleet> readStoredFleet(const db::ConnectionPtr& connection, const QStringList& fields,
    QString* error = nullptr);

// Plans every data row of the source below the header row (empty rows are Empty).
std::vector<PlannedRow> planRows(const ImportSource& source, const StoredFleet& stored, const ImportOptions& options,
    int limit = -1);

struct Counts {
    int added = 0;     // new vehicles (landed, or that would land)
    int updated = 0;   // stored vehicles changed
    int unchanged = 0; // stored vehicles the row would not change
    int skipped = 0;   // stored vehicles left alone (no update chosen)
    int refused = 0;
};
Counts countPlan(const std::vector<PlannedRow>& rows);

struct RefusedRow {
    int sheetRow = 0;
    Row cells;
    QString reason;
};

struct ImportReport {
    Counts counts;
    std::vector<RefusedRow> refused;
    // The rows an import that stopped (cancelled, a session lost) did not reach, in the sheet's
    // order, with the reason that they were not imported; they are in no count.
    std::vector<RefusedRow> notReached;
    qint64 batchId = 0;   // the recorded import; 0 when nothing was recorded (a dry run)
    int rowsDone = 0;     // data rows handled (landed, unchanged, skipped or refused)
    int rowsTotal = 0;
    bool cancelled = false;
    QString stopped;      // the import could not go on (a session was lost): why; the rows not reached were not imported
    QString error;        // the import could not start: why
};

// progress(done, total) now and then while rows are written, on the calling thread; returning
// false stops the run (the rows being written meanwhile are finished).
using Progress = std::function<bool(int done, int total)>;

// Imports the rows. A row that cannot be stored is refused with its reason; every other row is
// added (vehicles::addVehicle) or saved (vehicles::saveVehicle) in a transaction of its own with
// its history (operation 导入) and the import's record of it: a row lands whole or not at all.
// The plates and file numbers stored are read once for the whole file. dryRun: nothing is
// written, the report counts what would happen.
ImportReport runImport(const db::ConnectionPtr& connection, const ImportSource& source, const ImportOptions& options,
    const vehicles::ChangeAuthor& author, bool dryRun = false, const Progress& progress = {});

// The rows to import again once fixed: the refused and the ones not reached, in the sheet's order.
std::vector<RefusedRow> rowsNotImported(const ImportReport& report);

// Saves the refused rows as .xlsx: the sheet's headers and a last column "原因".
bool writeRefusedRows(const QString& path, const QStringList& headers, const std::vector<RefusedRow>& rows,
    QString* error = nullptr);

struct UndoResult {
    bool done = false;
    int undone = 0;           // vehicles removed or restored
    QStringList changedSince; // plates of the vehicles changed since the import: nothing was undone
    QString error;
};
// Undoes the import: removes the vehicles it added and gives the ones it changed their former
// values back, unless one of them has been changed since (its history has a later row).
UndoResult undoImport(const db::ConnectionPtr& connection, qint64 batchId, const vehicles::ChangeAuthor& author);

struct BatchInfo {
    qint64 id = 0;
    QString fileName;
    QString time;
    QString user;
    int vehicles = 0;
    bool undone = false;
};
// The recorded imports, newest first.
std::optional<std::vector<BatchInfo>> listImports(const db::ConnectionPtr& connection, QString* error = nullptr);

} // namespace fd::import
