#pragma once

#include "db/Statement.h"

#include <QHash>
#include <QString>

// The statements of the vehicle window, built from column names with the values bound: the
// session that sends them escapes the values in its character set.
namespace fd::vehicles {

// Column name -> the value as it is stored: trimmed text, dateText, status item text.
// A column without an entry is stored as the empty text, except a date column in the update: it
// is left out of the statement and keeps what is stored (a box that shows no date).
using VehicleValues = QHash<QString, QString>;

inline const QString kVehicleTable = QStringLiteral("celiangzongbiao");

// select * from celiangzongbiao where ID='<id>'
db::Statement selectVehicleStatement(const QString& id);
// select count(*) as suliang from celiangzongbiao where <column>='<value>'
db::Statement countVehiclesStatement(const QString& column, const QString& value);
// The 69 assignments of a new vehicle, in the insert's order: col='value',col='value',...
db::Statement insertAssignments(const VehicleValues& values);
// insert into celiangzongbiao set <the 69 assignments>
db::Statement insertVehicleStatement(const VehicleValues& values);
// update celiangzongbiao set <the 67 assignments without danganbianhao and cepaihao>where ID='<id>'
db::Statement updateVehicleStatement(const VehicleValues& values, const QString& id);

} // namespace fd::vehicles
