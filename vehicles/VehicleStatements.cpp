#include "vehicles/VehicleStatements.h"

#include "vehicles/VehicleColumns.h"

namespace fd::vehicles {
namespace {

QString quoted(const QString& value, const Escape& escape)
{
    return QLatin1Char('\'') + escape(value) + QLatin1Char('\'');
}

// The assignment list in the insert's order, from the item at index `first` on. With keepMissingDates
// a date column without a value is left out.
QString assignments(const VehicleValues& values, const Escape& escape, qsizetype first, bool keepMissingDates)
{
    const QStringList& order = saveOrder();
    QString list;
    for (qsizetype i = first; i < order.size(); ++i) {
        if (keepMissingDates && !values.contains(order[i]) && findColumn(order[i])->form == ColumnForm::Date)
            continue;
        if (!list.isEmpty())
            list += QLatin1Char(',');
        list += order[i] + QLatin1Char('=') + quoted(values.value(order[i]), escape);
    }
    return list;
}

} // namespace

QString selectVehicleSql(const QString& id, const Escape& escape)
{
    return QStringLiteral("select * from ") + kVehicleTable + QStringLiteral(" where ID=") + quoted(id, escape);
}

QString countVehiclesSql(const QString& column, const QString& value, const Escape& escape)
{
    return QStringLiteral("select count(*) as suliang from ") + kVehicleTable + QStringLiteral(" where ") + column
        + QLatin1Char('=') + quoted(value, escape);
}

QString insertAssignments(const VehicleValues& values, const Escape& escape)
{
    return assignments(values, escape, 0, false);
}

QString updateVehicleSql(const VehicleValues& values, const QString& id, const Escape& escape)
{
    // The file number and the plate (the first two items) never change after the vehicle is added.
    return QStringLiteral("update ") + kVehicleTable + QStringLiteral(" set ") + assignments(values, escape, 2, true)
        + QStringLiteral("where ID=") + quoted(id, escape);
}

} // namespace fd::vehicles
