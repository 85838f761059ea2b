#include "vehicles/VehicleStore.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "db/Legacy.h"
#include "vehicles/VehicleColumns.h"

namespace fd::vehicles {
namespace {

Escape escaperFor(const db::ConnectionPtr& connection)
{
    return [connection](const QString& value) { return db::dbEscape(connection, value); };
}

} // namespace

namespace {

VehicleRecord readVehicleBy(const db::ConnectionPtr& connection, const QStringList& statements)
{
    VehicleRecord record;
    db::ResultPtr result;
    if (statements.size() == 1 ? db::dbExecute(connection, statements.front()) : db::dbExecuteMany(connection, statements))
        result = db::dbStoreResult(connection);
    if (!result) {
        record.error = db::dbLastError(connection);
        if (record.error.isEmpty())
            record.error = QStringLiteral("没有读到车辆信息");
    }
    record.found = result && result->hasRow();

    // A field that cannot be read (no row) keeps the empty value it starts with.
    for (const QString& name : loadOrder()) {
        const VehicleColumn* column = findColumn(name);
        if (column->form == ColumnForm::Date) {
            db::DateTimeValue value{datetime::kEmptyDate};
            db::dbReadField(result, name, value);
            record.dates.insert(name, value.days);
        } else {
            QString value;
            db::dbReadField(result, name, value);
            record.texts.insert(name, value);
        }
    }
    for (const QString& name : pictureLoadOrder()) {
        QString value;
        db::dbReadField(result, name, value);
        record.pictures.insert(name, value);
    }
    db::dbFreeResult(result);
    return record;
}

} // namespace

VehicleRecord readVehicle(const db::ConnectionPtr& connection, const QString& id)
{
    return readVehicleBy(connection, {selectVehicleSql(id, escaperFor(connection))});
}

VehicleRecord beginAndReadVehicleForUpdate(const db::ConnectionPtr& connection, const QString& id)
{
    return readVehicleBy(connection,
        {QStringLiteral("START TRANSACTION"), selectVehicleSql(id, escaperFor(connection)) + QStringLiteral(" FOR UPDATE")});
}

std::optional<qint64> countVehicles(const db::ConnectionPtr& connection, const QString& column, const QString& value,
    QString* error)
{
    if (!db::dbExecute(connection, countVehiclesSql(column, value, escaperFor(connection)))) {
        if (error)
            *error = db::dbLastError(connection);
        return std::nullopt;
    }
    db::ResultPtr result = db::dbStoreResult(connection);
    qint64 count = 0;
    const bool read = db::dbReadField(result, "suliang", count);
    db::dbFreeResult(result);
    if (!read) {
        if (error)
            *error = QStringLiteral("查询车辆数量没有结果");
        return std::nullopt;
    }
    return count;
}

std::optional<qint64> countVehiclesWith(const db::ConnectionPtr& connection, const QString& column,
    const QString& text, QString* error)
{
    return countVehicles(connection, column, text::trimSpaces(text), error);
}

QString columnLimitText(const db::ConnectionPtr& connection, const QString& column)
{
    const QString sql = QStringLiteral("SELECT DATA_TYPE AS leixing, CHARACTER_MAXIMUM_LENGTH AS zifu, "
                                       "CHARACTER_OCTET_LENGTH AS zijie FROM information_schema.COLUMNS "
                                       "WHERE TABLE_SCHEMA=DATABASE() AND TABLE_NAME=")
        + db::dbQuote(connection, kVehicleTable) + QStringLiteral(" AND COLUMN_NAME=") + db::dbQuote(connection, column);
    if (!db::dbExecute(connection, sql))
        return QString();
    db::ResultPtr result = db::dbStoreResult(connection);
    QString type;
    qint64 characters = 0, bytes = 0;
    const bool read = db::dbReadField(result, "leixing", type) && db::dbReadField(result, "zifu", characters)
        && db::dbReadField(result, "zijie", bytes);
    db::dbFreeResult(result);
    if (!read || characters <= 0)
        return QString();
    // CHAR and VARCHAR count characters; the TEXT kinds count bytes.
    if (type.endsWith(QLatin1String("text"), Qt::CaseInsensitive))
        return QStringLiteral("%1 个字节（一个汉字占 2 个字节）").arg(bytes);
    return QStringLiteral("%1 个字符").arg(characters);
}

WriteResult insertVehicle(const db::ConnectionPtr& connection, const VehicleValues& values)
{
    WriteResult r;
    if (!db::dbInsert(connection, kVehicleTable, insertAssignments(values, escaperFor(connection)))) {
        r.error = db::dbLastError(connection);
        return r;
    }
    r.outcome = WriteResult::Written;
    return r;
}

WriteResult updateVehicle(const db::ConnectionPtr& connection, const VehicleValues& values, const QString& id)
{
    WriteResult r;
    if (!db::dbExecute(connection, updateVehicleSql(values, id, escaperFor(connection)))) {
        r.error = db::dbLastError(connection);
        return r;
    }
    r.outcome = db::dbMatchedRows(connection) > 0 ? WriteResult::Written : WriteResult::NoRow;
    return r;
}

} // namespace fd::vehicles
