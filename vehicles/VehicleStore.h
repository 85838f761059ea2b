#pragma once

#include "db/Connection.h"
#include "vehicles/VehicleStatements.h"

#include <QHash>
#include <QString>
#include <optional>

// The vehicle window's database work: reading one vehicle, counting plates and file numbers,
// inserting and updating. Runs on the calling thread; shows nothing.
namespace fd::vehicles {

struct VehicleRecord {
    bool found = false; // false: no row has the ID, or the statement failed
    // The server's reason when the statement failed (a lost connection, a killed session, an SQL
    // error): then nothing is known about the row, which may well exist. Empty otherwise.
    QString error;
    QHash<QString, QString> texts;    // text and status columns; NULL reads as the empty text
    QHash<QString, double> dates;     // day numbers; a NULL or invalid date reads as the empty date
    QHash<QString, QString> pictures; // the ten picture file names
};

// Reads the row whose ID is the text: the 69 data columns in the window's reading order, then the
// ten picture columns.
VehicleRecord readVehicle(const db::ConnectionPtr& connection, const QString& id);
// The record in the reply to a statement that selects the vehicle's row (selectVehicleStatement,
// also FOR UPDATE); not found, with the reply's error, when it failed.
VehicleRecord vehicleRecord(const db::Reply& reply);

// How many vehicles hold exactly the value in the column; none when the count could not be run
// (error set).
std::optional<qint64> countVehicles(const db::ConnectionPtr& connection, const QString& column, const QString& value,
    QString* error = nullptr);

// How many vehicles hold the trimmed text in the column (cepaihao or danganbianhao); none when
// the count could not be run (error set).
std::optional<qint64> countVehiclesWith(const db::ConnectionPtr& connection, const QString& column,
    const QString& text, QString* error = nullptr);

// How much the column of celiangzongbiao holds, as a message tells the user: "255 个字符" for a
// column that counts characters, "65535 个字节（一个汉字占 2 个字节）" for one that counts GBK bytes
// (TEXT). Empty when the server does not say.
QString columnLimitText(const db::ConnectionPtr& connection, const QString& column);

struct WriteResult {
    enum Outcome { Written, Failed, NoRow };
    Outcome outcome = Failed;
    QString error; // the server's message when Failed
    bool ok() const { return outcome == Written; }
};

WriteResult insertVehicle(const db::ConnectionPtr& connection, const VehicleValues& values);
// Updates the 67 changeable columns of the row with the ID. NoRow when no row has it: rows are
// counted as matched, so saving an unchanged form is Written.
WriteResult updateVehicle(const db::ConnectionPtr& connection, const VehicleValues& values, const QString& id);

} // namespace fd::vehicles
