#include "db/Database.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "db/FieldConvert.h"

#include <mysql.h>

#include <algorithm>
#include <limits>

namespace fd::db {

ConnectionPtr dbConnect(const QString& host, const QString& user, const QString& password, const QString& database,
    int port, QString* error)
{
    Connection::Options options;
    options.host = host;
    options.user = user;
    options.password = password;
    options.database = database;
    options.port = port;
    return Connection::open(options, error);
}

ConnectionPtr dbConnect(const Connection::Options& options, QString* error, ConnectFailure* failure)
{
    return Connection::open(options, error, failure);
}

void dbClose(ConnectionPtr& connection)
{
    if (connection)
        connection->close();
    connection.reset();
}

bool dbExecute(const ConnectionPtr& connection, const Statement& statement)
{
    if (!connection)
        return false;
    Reply reply = connection->run(statement);
    const bool ok = reply.ok;
    connection->keepReply(std::move(reply));
    return ok;
}

bool dbExecute(const ConnectionPtr& connection, const QString& sql)
{
    return dbExecute(connection, Statement::verbatim(sql));
}

ResultPtr dbStoreResult(const ConnectionPtr& connection)
{
    return connection ? std::move(connection->keptReply().rows) : nullptr;
}

void dbFreeResult(ResultPtr& result)
{
    result.reset();
}

qint64 dbRowCount(const Result* result)
{
    return result ? result->rowCount() : 0;
}

bool dbNextRow(Result* result)
{
    return result && result->skipRow();
}

namespace {

bool readable(const Result* result, int column)
{
    return result && column >= 0 && column < result->columnCount() && result->hasRow();
}

template <typename Int> bool readInteger(const Result* result, int column, Int& value)
{
    if (!readable(result, column))
        return false;
    if (result->isNull(column)) {
        value = 0;
        return true;
    }
    // A value beyond the variable's width saturates at its limit instead of wrapping.
    const qint64 wide = convert::toInteger(result->data(column), result->size(column));
    value = static_cast<Int>(std::clamp<qint64>(wide, std::numeric_limits<Int>::min(), std::numeric_limits<Int>::max()));
    return true;
}

convert::DateKind dateKind(int type)
{
    switch (type) {
    case MYSQL_TYPE_DATETIME:
    case MYSQL_TYPE_TIMESTAMP:
    case MYSQL_TYPE_DATETIME2:
    case MYSQL_TYPE_TIMESTAMP2:
        return convert::DateKind::DateTime;
    case MYSQL_TYPE_DATE:
    case MYSQL_TYPE_NEWDATE:
        return convert::DateKind::Date;
    case MYSQL_TYPE_TIME:
    case MYSQL_TYPE_TIME2:
        return convert::DateKind::Time;
    case MYSQL_TYPE_YEAR:
        return convert::DateKind::Year;
    default:
        return convert::DateKind::Other;
    }
}

} // namespace

bool dbReadField(const Result* result, int column, qint16& value) { return readInteger(result, column, value); }
bool dbReadField(const Result* result, int column, qint32& value) { return readInteger(result, column, value); }
bool dbReadField(const Result* result, int column, qint64& value) { return readInteger(result, column, value); }

bool dbReadField(const Result* result, int column, double& value)
{
    if (!readable(result, column))
        return false;
    value = result->isNull(column) ? 0.0 : convert::toFloating(result->data(column), result->size(column));
    return true;
}

bool dbReadField(const Result* result, int column, float& value)
{
    double d = 0.0;
    if (!dbReadField(result, column, d))
        return false;
    value = static_cast<float>(d);
    return true;
}

bool dbReadField(const Result* result, int column, bool& value)
{
    if (!readable(result, column))
        return false;
    value = !result->isNull(column) && convert::toBoolean(result->data(column), result->size(column));
    return true;
}

bool dbReadField(const Result* result, int column, QString& value)
{
    if (!readable(result, column))
        return false;
    value = result->isNull(column) ? QString() : text::fromGbk(result->data(column), static_cast<qsizetype>(result->size(column)));
    return true;
}

bool dbReadField(const Result* result, int column, QByteArray& value)
{
    if (!readable(result, column))
        return false;
    value = result->isNull(column) ? QByteArray() : QByteArray(result->data(column), static_cast<qsizetype>(result->size(column)));
    return true;
}

bool dbReadField(const Result* result, int column, DateTimeValue& value)
{
    if (!readable(result, column))
        return false;
    const convert::DateKind kind = dateKind(result->sqlType(column));
    if (kind == convert::DateKind::Other)
        return true; // another type leaves the variable as it was
    if (result->isNull(column)) {
        value.days = datetime::kEmptyDate;
        return true;
    }
    convert::toDayNumber(kind, result->data(column), result->size(column), value.days);
    return true;
}

QString Result::text(int column) const
{
    QString value;
    dbReadField(this, column, value);
    return value;
}

QDateTime Result::dateTime(int column) const
{
    if (!readable(this, column) || isNull(column))
        return QDateTime();
    datetime::DateTimeParts p;
    if (!datetime::readDateTimeText(data(column), size(column), p))
        return QDateTime();
    return QDateTime(QDate(p.year, p.month, p.day), QTime(p.hour, p.minute, p.second));
}

qint64 Result::integer(int column) const
{
    qint64 value = 0;
    dbReadField(this, column, value);
    return value;
}

bool dbInsert(const ConnectionPtr& connection, const QString& table, const Statement& assignments)
{
    return dbExecute(connection,
        Statement(QStringLiteral("insert into ") + table + QStringLiteral(" set ")).append(assignments));
}

bool dbUpdate(const ConnectionPtr& connection, const QString& table, const Statement& assignments,
    const Statement& condition)
{
    Statement sql(QStringLiteral("update ") + table + QStringLiteral(" set "));
    sql.append(assignments);
    if (!condition.isEmpty())
        sql.append(QStringLiteral(" where ")).append(condition);
    return dbExecute(connection, sql);
}

} // namespace fd::db
