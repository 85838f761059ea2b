#include "vehicles/VehicleStore.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "db/Database.h"
#include "vehicles/VehicleColumns.h"

namespace fd::vehicles {
namespace {

const QString kNoConnection = QStringLiteral("没有连接数据库");

db::Reply run(const db::ConnectionPtr& connection, const db::Statement& statement)
{
    if (connection)
        return connection->run(statement);
    db::Reply reply;
    reply.error = kNoConnection;
    return reply;
}

} // namespace

VehicleRecord vehicleRecord(const db::Reply& reply)
{
    VehicleRecord record;
    const db::Result* result = reply.ok ? reply.rows.get() : nullptr;
    if (!result) {
        record.error = reply.error;
        if (record.error.isEmpty())
            record.error = QStringLiteral("没有读到车辆信息");
    }
    record.found = result && result->hasRow();

    // A field that cannot be read (no row) keeps the empty value it starts with.
    for (const QString& name : loadOrder()) {
        const VehicleColumn* column = findColumn(name);
        if (column->form == ColumnForm::Date) {
            db::DateTimeValue value {datetime::kEmptyDate};
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
    return record;
}

VehicleRecord readVehicle(const db::ConnectionPtr& connection, const QString& id)
{
    return vehicleRecord(run(connection, selectVehicleStatement(id)));
}

std::optional<qint64> countVehicles(const db::ConnectionPtr& connection, const QString& column, const QString& value,
    QString* error)
{
    const db::Reply reply = run(connection, countVehiclesStatement(column, value));
    if (!reply.ok) {
        if (error)
            *error = reply.error;
        return std::nullopt;
    }
    qint64 count = 0;
    if (!db::dbReadField(reply.rows.get(), "suliang", count)) {
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
    const db::Reply reply = run(connection,
        db::Statement("SELECT DATA_TYPE AS leixing, CHARACTER_MAXIMUM_LENGTH AS zifu, "
                      "CHARACTER_OCTET_LENGTH AS zijie FROM information_schema.COLUMNS "
                      "WHERE TABLE_SCHEMA=DATABASE() AND TABLE_NAME=? AND COLUMN_NAME=?")
            .bind(kVehicleTable)
            .bind(column));
    const db::Result* result = reply.rows.get();
    QString type;
    qint64 characters = 0, bytes = 0;
    const bool read = db::dbReadField(result, "leixing", type) && db::dbReadField(result, "zifu", characters)
        && db::dbReadField(result, "zijie", bytes);
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
    const db::Reply reply = run(connection, insertVehicleStatement(values));
    if (!reply.ok) {
        r.error = reply.error;
        return r;
    }
    r.outcome = WriteResult::Written;
    return r;
}

WriteResult updateVehicle(const db::ConnectionPtr& connection, const VehicleValues& values, const QString& id)
{
    WriteResult r;
    const db::Reply reply = run(connection, updateVehicleStatement(values, id));
    if (!reply.ok) {
        r.error = reply.error;
        return r;
    }
    r.outcome = reply.matchedRows > 0 ? WriteResult::Written : WriteResult::NoRow;
    return r;
}

} // namespace fd::vehicles
