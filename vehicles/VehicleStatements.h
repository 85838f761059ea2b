#pragma once

#include <QHash>
#include <QString>
#include <functional>

// The statements of the vehicle window, built from column names and escaped values. Pure text:
// the caller supplies the escaping (the connection's, which knows the text travels as GBK).
namespace fd::vehicles {

using Escape = std::function<QString(const QString&)>;
// Column name -> the value as it is stored: trimmed text, dateText, status item text.
// A column without an entry is stored as the empty text, except a date column in the update: it
// is left out of the statement and keeps what is stored (a box that shows no date).
using VehicleValues = QHash<QString, QString>;

inline const QString kVehicleTable = QStringLiteral("celiangzongbiao");

// select * from celiangzongbiao where ID='<id>'
QString selectVehicleSql(const QString& id, const Escape& escape);
// select count(*) as suliang from celiangzongbiao where <column>='<value>'
QString countVehiclesSql(const QString& column, const QString& value, const Escape& escape);
// The 69 assignments of a new vehicle, in the insert's order: col='value',col='value',...
QString insertAssignments(const VehicleValues& values, const Escape& escape);
// update celiangzongbiao set <the 67 assignments without danganbianhao and cepaihao>where ID='<id>'
QString updateVehicleSql(const VehicleValues& values, const QString& id, const Escape& escape);

} // namespace fd::vehicles
