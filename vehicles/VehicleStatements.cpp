#include "vehicles/VehicleStatements.h"

#include "vehicles/VehicleColumns.h"

namespace fd::vehicles {
namespace {

// The assignment list in the insert's order, from the item at index `first` on. With keepMissingDates
// a date column without a value is left out.
db::Statement assignments(const VehicleValues& values, qsizetype first, bool keepMissingDates)
{
    const QStringList& order = saveOrder();
    QString text;
    QStringList bound;
    for (qsizetype i = first; i < order.size(); ++i) {
        if (keepMissingDates && !values.contains(order[i]) && findColumn(order[i])->form == ColumnForm::Date)
            continue;
        if (!text.isEmpty())
            text += QLatin1Char(',');
        text += order[i] + QStringLiteral("=?");
        bound << values.value(order[i]);
    }
    db::Statement list(text);
    for (const QString& value : bound)
        list.bind(value);
    return list;
}

} // namespace

db::Statement selectVehicleStatement(const QString& id)
{
    return db::Statement(QStringLiteral("select * from ") + kVehicleTable + QStringLiteral(" where ID=?")).bind(id);
}

db::Statement countVehiclesStatement(const QString& column, const QString& value)
{
    return db::Statement(QStringLiteral("select count(*) as suliang from ") + kVehicleTable + QStringLiteral(" where ")
        + column + QStringLiteral("=?"))
        .bind(value);
}

db::Statement insertAssignments(const VehicleValues& values)
{
    return assignments(values, 0, false);
}

db::Statement insertVehicleStatement(const VehicleValues& values)
{
    return db::Statement(QStringLiteral("insert into ") + kVehicleTable + QStringLiteral(" set "))
        .append(insertAssignments(values));
}

db::Statement updateVehicleStatement(const VehicleValues& values, const QString& id)
{
    // The file number and the plate (the first two items) never change after the vehicle is added.
    return db::Statement(QStringLiteral("update ") + kVehicleTable + QStringLiteral(" set "))
        .append(assignments(values, 2, true))
        .append(db::Statement("where ID=?").bind(id));
}

} // namespace fd::vehicles
