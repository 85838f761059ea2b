#pragma once

#include "db/Connection.h"
#include "vehicles/VehicleStatements.h"
#include "vehicles/VehicleStore.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace fd {
struct AppState;
}

// Saving a vehicle when several offices edit the register at once, and the history of every
// change. A save never overwrites silently what another office saved after the form read the row:
// the stored row is compared with what the form read in the same transaction as the update. Every
// insert, update and picture upload leaves history rows (who, when by the server's clock, from
// which machine, each changed column's old and new value) written in the same transaction as the
// change itself. The tables it writes besides the vehicles' are created at login
// (db/ProgramTables.h). Runs on the calling thread, on a session of that thread; shows nothing.
namespace fd::vehicles {

// The history table: one row per changed column.
inline const QString kHistoryTable = QStringLiteral("xiugaijilu");

// What kind of change a history row belongs to (the caozuo column).
inline const QString kActionAdd = QStringLiteral("新增");
inline const QString kActionModify = QStringLiteral("修改");
inline const QString kActionPicture = QStringLiteral("图片");
inline const QString kActionImport = QStringLiteral("导入");

// Who makes a change: the login user and this machine's host name.
struct ChangeAuthor {
    QString user;
    QString host;
};

// The login user of the state and this machine's host name.
ChangeAuthor changeAuthor(const AppState& state);

// What a change writes besides the vehicle and its columns' history: the operation its history
// rows carry (empty: kActionAdd for an add, kActionModify for a save), and statements of the same
// change made from the vehicle's ID, committed in its transaction after its history rows, so that
// the change lands with them or not at all (an import records its vehicles so).
struct ChangeRecord {
    QString action;
    std::function<QList<db::Statement>(const QString& id)> alongside;
};

// A column that both this form and another office changed, to different values.
struct FieldConflict {
    QString column; // column of celiangzongbiao
    QString read;   // the stored value when the form read the row
    QString theirs; // the value stored now
    QString mine;   // the form's value
};

struct SaveResult {
    enum Outcome {
        Written,  // the form's changes are stored with their history
        Conflict, // nothing written: another office changed some of the same columns
        NoRow,    // nothing written: no row has the ID any more
        Failed,   // nothing written: the statement or the connection failed (error)
        Taken,    // nothing written (an add): another vehicle holds the plate or file number (takenColumn)
    };
    Outcome outcome = Failed;
    // Failed: why. A refusal of the server's that names a column (a text too long, a value out
    // of range or not accepted, a duplicate) or a lock wait that timed out is said in Chinese with
    // the field's name, and the server's own message is in details.
    QString error;
    QString details;
    // Taken: cepaihao or danganbianhao.
    QString takenColumn;
    // Conflict: the columns both sides changed to different values, in the window's reading order.
    QList<FieldConflict> conflicts;
    // Conflict: the row as stored now, what a second save with the user's choices compares
    // against. Written: the row with this save's changes, as stored when it was read and compared;
    // after a first try that found the changed columns as the form read them, the row the form
    // read with its changes (a column only another office changed meanwhile holds its newer value
    // in the database, not here).
    VehicleRecord stored;
};

// Saves the form's values (as currentValues gives them) over the vehicle with the ID, compared
// with `read`, what the form read when it opened: columns only the form changed are written;
// columns only the other office changed keep what is stored (the two merge without asking);
// columns both changed to the same value are fine; columns both changed to different values are
// a Conflict and nothing is written. The history rows of the written columns go in the same
// transaction. Saving an unchanged form writes nothing and is Written.
//
// The first try costs one round trip: the update of the changed columns, on the condition that
// each of them still holds exactly what the form read, its history rows and the commit go
// together. Only when the row no longer matches (another office changed one of those columns, or
// it is gone) is the row read FOR UPDATE in a transaction and compared column by column as above.
// A certification failure of a cluster (error 1213) is such a race too: the row is read and
// compared again, never re-sent as it was.
SaveResult saveVehicle(const db::ConnectionPtr& connection, const VehicleRecord& read, const VehicleValues& mine,
    const QString& id, const ChangeAuthor& author);
SaveResult saveVehicle(const db::ConnectionPtr& connection, const VehicleRecord& read, const VehicleValues& mine,
    const QString& id, const ChangeAuthor& author, const ChangeRecord& record);

// Adds a vehicle with a history row for each column given a value, in one transaction. The new
// vehicle's ID in `stored.texts["ID"]` when Written. Taken when another vehicle holds the plate or
// the file number: the add first claims both in the claim table (kClaimTable, a unique key per
// value), so that of two offices adding one plate at once, also through two cluster nodes (whose
// certification refuses the second claim, error 1213, after which the add is decided again), one
// adds it and the other is told it is taken. A claim only orders the adds: whether a value is
// taken is always decided by the vehicles stored, so a claim left by a vehicle that no longer
// holds the value blocks nothing, and duplicates stored earlier stay as they are.
SaveResult addVehicle(const db::ConnectionPtr& connection, const VehicleValues& values, const ChangeAuthor& author);
SaveResult addVehicle(const db::ConnectionPtr& connection, const VehicleValues& values, const ChangeAuthor& author,
    const ChangeRecord& record);

// The claim table: one row per plate (ziduan cepaihao) and file number
// (danganbianhao) ever added.
inline const QString kClaimTable = QStringLiteral("haomazhanyong");

// One history row.
struct HistoryEntry {
    QString time;   // the server's time of the change, "yyyy-MM-dd hh:mm:ss"
    QString user;
    QString host;
    QString action; // kActionAdd, kActionModify, kActionPicture or kActionImport
    QString column; // column of celiangzongbiao
    QString oldValue;
    QString newValue;
};

// The vehicle's history, newest first; none when it could not be read (error set). A missing
// history table reads as no history.
std::optional<std::vector<HistoryEntry>> readHistory(const db::ConnectionPtr& connection, const QString& id,
    QString* error = nullptr);

// The row as the form shows it: every data column in the form's value texts (trimmed text as
// stored, dates as dateText); a date column that holds no date (NULL, invalid) has no entry, as
// the form leaves out a box that shows no date. What saveVehicle compares `mine` with.
VehicleValues storedValues(const VehicleRecord& record);

// Writes the picture's file name into the picture column of every vehicle with the plate, with a
// history row (kActionPicture, old file name to new) for each, in one transaction. NoRow when no
// vehicle has the plate.
SaveResult savePictureName(const db::ConnectionPtr& connection, const QString& column, const QString& name,
    const QString& plate, const ChangeAuthor& author);

// For tests: called inside the transaction of a change, once the vehicle's row is held and
// before its history rows are sent: for a save compared column by column and a picture name
// after the rows are read and locked, before the writes and the history go out together; for an
// add after the new row is inserted. A save's first try has no such moment (its statements go in
// one round trip) and does not call it. None by default.
void setAfterRowLockedHook(std::function<void()> hook);
// For tests: called before a save's first try goes out (after the form was read, before its one
// round trip), so that another office's save can land in between. None by default.
void setBeforeFirstTryHook(std::function<void()> hook);

} // namespace fd::vehicles
