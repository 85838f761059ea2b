#include "vehicles/VehicleHistory.h"

#include "common/AppState.h"
#include "common/DateTime.h"
#include "common/Text.h"
#include "db/Legacy.h"
#include "db/ServerErrors.h"
#include "vehicles/VehicleColumns.h"

#include <QSysInfo>

namespace fd::vehicles {
namespace {

// Server errors that decide what a failed step means (mysqld_error.h names).
constexpr unsigned kDeadlock = db::errors::kDeadlock;
constexpr unsigned kNoSuchTable = 1146;  // ER_NO_SUCH_TABLE

// How often a save is read and decided again after losing a race to another office's save.
constexpr int kAttempts = 5;

// The program's own statement, also in db/schema.sql for a new database.
const char kCreateHistory[] = "CREATE TABLE IF NOT EXISTS `xiugaijilu` ("
                              " `ID` BIGINT NOT NULL AUTO_INCREMENT,"
                              " `cheliangid` INT NOT NULL,"
                              " `caozuo` VARCHAR(16) NOT NULL DEFAULT '',"
                              " `yonghu` VARCHAR(64) NOT NULL DEFAULT '',"
                              " `jiqi` VARCHAR(255) NOT NULL DEFAULT '',"
                              " `shijian` DATETIME NOT NULL,"
                              " `ziduan` VARCHAR(64) NOT NULL,"
                              " `jiuzhi` TEXT NULL,"
                              " `xinzhi` TEXT NULL,"
                              " PRIMARY KEY (`ID`),"
                              " KEY `idx_cheliang_shijian` (`cheliangid`,`shijian`)"
                              ") ENGINE=InnoDB DEFAULT CHARSET=gbk";

// The program's own statement, also in db/schema.sql for a new database.
const char kCreateClaims[] = "CREATE TABLE IF NOT EXISTS `haomazhanyong` ("
                             " `ziduan` VARCHAR(32) NOT NULL,"
                             " `zhi` VARCHAR(255) NOT NULL,"
                             " `cishu` INT NOT NULL DEFAULT 1,"
                             " PRIMARY KEY (`ziduan`,`zhi`)"
                             ") ENGINE=InnoDB DEFAULT CHARSET=gbk";

// The columns whose values the adds claim, and the message of a value taken.
const char* const kClaimedColumns[] = {"cepaihao", "danganbianhao"};

std::function<void()>& afterRowLockedHook()
{
    static std::function<void()> hook;
    return hook;
}

void afterRowLocked()
{
    // A copy: the hook may replace itself while it runs.
    if (const std::function<void()> hook = afterRowLockedHook())
        hook();
}

QString quoted(const db::ConnectionPtr& connection, const QString& value)
{
    return db::dbQuote(connection, value);
}

// A date text in the form's one form (2016-3-5), whatever zeros it was written with; a text that
// is no date stays as it is.
QString normalDate(const QString& value)
{
    const QByteArray bytes = value.toLatin1();
    datetime::DateTimeParts parts;
    if (!datetime::readDateTimeText(bytes.constData(), static_cast<std::size_t>(bytes.size()), parts))
        return value;
    return datetime::dateText(parts.year, parts.month, parts.day);
}

// A stored date as the form writes it; the empty text for a NULL or invalid date.
QString dateValue(const VehicleRecord& record, const QString& column)
{
    int y = 0, m = 0, d = 0;
    datetime::dateOf(record.dates.value(column, datetime::kEmptyDate), y, m, d);
    if (!datetime::isValidDate(y, m, d) || record.dates.value(column, datetime::kEmptyDate) == datetime::kEmptyDate)
        return QString();
    return datetime::dateText(y, m, d);
}

bool isDate(const QString& column)
{
    const VehicleColumn* c = findColumn(column);
    return c && c->form == ColumnForm::Date;
}

// A column's value in the one form every comparison uses: texts as stored (NULL as the empty
// text), dates as dateText.
QString storedValue(const VehicleRecord& record, const QString& column)
{
    return isDate(column) ? dateValue(record, column) : record.texts.value(column);
}

// The value as the form would save it unchanged: the form trims the texts it stores (all but
// the few kept as typed), so a stored " 张三" the user left alone comes back as "张三"; so does
// the status.
QString asFormSaves(const QString& column, const QString& value)
{
    const VehicleColumn* c = findColumn(column);
    // The status box selects the item a stored status is once trimmed ("转出 " shows as 转出).
    return c && ((c->form == ColumnForm::Text && !c->keepSpaces) || c->form == ColumnForm::Status)
        ? text::trimSpaces(value)
        : value;
}

// The record after the values were written into it.
void apply(VehicleRecord& record, const QString& column, const QString& value)
{
    if (!isDate(column)) {
        record.texts.insert(column, value);
        return;
    }
    const QByteArray bytes = value.toLatin1();
    datetime::DateTimeParts p;
    record.dates.insert(column,
        datetime::readDateTimeText(bytes.constData(), static_cast<std::size_t>(bytes.size()), p)
            ? datetime::toDayNumber(p.year, p.month, p.day)
            : datetime::kEmptyDate);
}

struct HistoryRow {
    QString vehicleId;
    QString column;
    QString oldValue;
    QString newValue;
};

// One multi-row insert of the history rows; the server's clock gives the time.
QString historyInsertSql(const db::ConnectionPtr& connection, const QString& action, const ChangeAuthor& author,
    const std::vector<HistoryRow>& rows)
{
    const QString common = QLatin1Char(',') + quoted(connection, action) + QLatin1Char(',')
        + quoted(connection, author.user) + QLatin1Char(',') + quoted(connection, author.host) + QStringLiteral(",NOW(),");
    QString sql = QStringLiteral("INSERT INTO ") + kHistoryTable
        + QStringLiteral(" (cheliangid,caozuo,yonghu,jiqi,shijian,ziduan,jiuzhi,xinzhi) VALUES ");
    bool first = true;
    for (const HistoryRow& row : rows) {
        if (!first)
            sql += QLatin1Char(',');
        first = false;
        sql += QLatin1Char('(') + quoted(connection, row.vehicleId) + common + quoted(connection, row.column)
            + QLatin1Char(',') + quoted(connection, row.oldValue) + QLatin1Char(',')
            + quoted(connection, row.newValue) + QLatin1Char(')');
    }
    return sql;
}

// One try of a change in a transaction. A failed step rolls back; whether to try again follows
// from the server's error: another office won the race (1213), or the history table is missing.
struct Attempt {
    SaveResult result;
    bool raced = false;
    bool noTable = false;
};

// The field a refusal names, as the form calls it; empty for a column the form does not show.
QString refusedField(const db::Refusal& refusal)
{
    const VehicleColumn* column = findColumn(refusal.column);
    // A key is named after its column, perhaps with a prefix (idx_cepaihao).
    if (!column && refusal.kind == db::Refusal::Duplicate)
        column = findColumn(refusal.column.section(QLatin1Char('_'), 1));
    return column && column->form != ColumnForm::Key ? fieldName(*column) : QString();
}

Attempt failedStep(const db::ConnectionPtr& connection, const QString& fallback = QString())
{
    Attempt a;
    const unsigned code = connection ? db::dbLastErrno(connection) : 0;
    a.result.outcome = SaveResult::Failed;
    a.result.error = db::dbLastError(connection);
    if (a.result.error.isEmpty())
        a.result.error = fallback;
    a.raced = code == kDeadlock;
    a.noTable = code == kNoSuchTable;
    db::dbExecute(connection, QStringLiteral("ROLLBACK"));
    // The server's common refusals in the user's words, its own message kept for the details.
    db::Refusal refusal = db::refusalOf(code, a.result.error);
    const VehicleColumn* column = findColumn(refusal.column);
    // No character GBK cannot hold reaches the server (the connection refuses to send it), so a
    // text the GBK column calls incorrect was cut in the middle of a character: too long for a
    // column that counts bytes (TEXT).
    if (refusal.kind == db::Refusal::BadValue && code == db::errors::kWrongValueForField && column
        && column->form == ColumnForm::Text && a.result.error.startsWith(QLatin1String("Incorrect string value")))
        refusal.kind = db::Refusal::TooLong;
    if (refusal.kind != db::Refusal::None) {
        const bool known = column != nullptr;
        const QString limit = refusal.kind == db::Refusal::TooLong && known
            ? columnLimitText(connection, refusal.column)
            : QString();
        a.result.details = a.result.error;
        a.result.error = db::refusalText(refusal, refusedField(refusal), limit);
    }
    return a;
}

Attempt finished(SaveResult result)
{
    Attempt a;
    a.result = std::move(result);
    return a;
}

// Runs the attempts until one is decided: again after a lost race (the row is read and decided
// anew, never re-sent as it was), and once more after creating a missing history table.
template <typename Once> SaveResult runChecked(const db::ConnectionPtr& connection, Once once)
{
    bool created = false;
    Attempt last;
    for (int i = 0; i < kAttempts; ++i) {
        last = once();
        if (last.noTable && !created) {
            QString error;
            if (!ensureHistoryTable(connection, &error)) {
                SaveResult r;
                r.error = QStringLiteral("无法建立修改记录表 %1，没有保存：%2").arg(kHistoryTable, error);
                return r;
            }
            created = true;
            continue;
        }
        if (!last.raced)
            return last.result;
    }
    last.result.outcome = SaveResult::Failed;
    last.result.error = QStringLiteral("其他人正同时保存此车辆，请稍后再保存：") + last.result.error;
    return last.result;
}

Attempt saveOnce(const db::ConnectionPtr& connection, const VehicleRecord& read, const VehicleValues& mine,
    const QString& id, const ChangeAuthor& author)
{
    VehicleRecord theirs = beginAndReadVehicleForUpdate(connection, id);
    if (!theirs.error.isEmpty())
        return failedStep(connection, theirs.error);
    if (!theirs.found) {
        db::dbExecute(connection, QStringLiteral("ROLLBACK"));
        SaveResult r;
        r.outcome = SaveResult::NoRow;
        r.error = QStringLiteral("没有此车辆（可能已被删除）");
        return finished(r);
    }

    SaveResult result;
    QString assignments;
    std::vector<HistoryRow> history;
    // In the window's reading order, so that conflicts are listed as the form shows the fields.
    for (const QString& column : loadOrder()) {
        if (column == QLatin1String("danganbianhao") || column == QLatin1String("cepaihao"))
            continue; // the file number and the plate never change after the vehicle is added
        const bool date = isDate(column);
        if (date && !mine.contains(column))
            continue; // a box that shows no date leaves the column as stored
        const QString readValue = storedValue(read, column);
        const QString theirValue = storedValue(theirs, column);
        const QString myValue = date ? normalDate(mine.value(column)) : mine.value(column);
        if (myValue == readValue || myValue == asFormSaves(column, readValue) || myValue == theirValue)
            continue; // unchanged here, or both sides agree: what is stored stays
        if (theirValue != readValue) {
            result.conflicts.append(FieldConflict { column, readValue, theirValue, myValue });
            continue;
        }
        if (!assignments.isEmpty())
            assignments += QLatin1Char(',');
        assignments += column + QLatin1Char('=') + quoted(connection, myValue);
        history.push_back(HistoryRow { id, column, theirValue, myValue });
    }

    if (!result.conflicts.isEmpty() || history.empty()) {
        db::dbExecute(connection, QStringLiteral("ROLLBACK"));
        result.outcome = result.conflicts.isEmpty() ? SaveResult::Written : SaveResult::Conflict;
        result.stored = std::move(theirs);
        return finished(result);
    }

    // The row, its history and the commit in one round trip: the server runs none after a failed one.
    afterRowLocked();
    if (!db::dbExecuteMany(connection,
            {QStringLiteral("UPDATE ") + kVehicleTable + QStringLiteral(" SET ") + assignments + QStringLiteral(" WHERE ID=")
                    + quoted(connection, id),
                historyInsertSql(connection, kActionModify, author, history), QStringLiteral("COMMIT")}))
        return failedStep(connection);

    for (const HistoryRow& row : history)
        apply(theirs, row.column, row.newValue);
    result.outcome = SaveResult::Written;
    result.stored = std::move(theirs);
    return finished(result);
}

// Claims the plate and the file number for this transaction: a claim row written (or, when one
// is there, changed) holds a lock until the end of the transaction, and on a cluster makes the
// later of two transactions claiming one value fail its certification. Written always, so that
// an existing claim is in the cluster's write set too.
QString claimSql(const db::ConnectionPtr& connection, const VehicleValues& values)
{
    QString rows;
    for (const char* column : kClaimedColumns) {
        if (!rows.isEmpty())
            rows += QLatin1Char(',');
        rows += QLatin1Char('(') + quoted(connection, QString::fromLatin1(column)) + QLatin1Char(',')
            + quoted(connection, values.value(QString::fromLatin1(column))) + QLatin1Char(')');
    }
    return QStringLiteral("INSERT INTO ") + kClaimTable + QStringLiteral(" (ziduan,zhi) VALUES ") + rows
        + QStringLiteral(" ON DUPLICATE KEY UPDATE cishu=cishu+1");
}

// Once the claims are held: the first claimed column that a stored vehicle holds already, or
// empty. The count is the transaction's first read, so it sees every add of the value that
// claimed it before (they have committed); the vehicles decide, not the claims.
std::optional<QString> takenColumn(const db::ConnectionPtr& connection, const VehicleValues& values)
{
    const Escape escape = [connection](const QString& value) { return db::dbEscape(connection, value); };
    for (const char* name : kClaimedColumns) {
        const QString column = QString::fromLatin1(name);
        if (!db::dbExecute(connection, countVehiclesSql(column, values.value(column), escape)))
            return std::nullopt;
        db::ResultPtr result = db::dbStoreResult(connection);
        qint64 count = 0;
        const bool read = db::dbReadField(result, "suliang", count);
        db::dbFreeResult(result);
        if (!read)
            return std::nullopt;
        if (count > 0)
            return column;
    }
    return QString();
}

Attempt addOnce(const db::ConnectionPtr& connection, const VehicleValues& values, const ChangeAuthor& author)
{
    if (!db::dbExecuteMany(connection, {QStringLiteral("START TRANSACTION"), claimSql(connection, values)}))
        return failedStep(connection);
    const std::optional<QString> taken = takenColumn(connection, values);
    if (!taken)
        return failedStep(connection, QStringLiteral("查询车辆数量没有结果"));
    if (!taken->isEmpty()) {
        db::dbExecute(connection, QStringLiteral("ROLLBACK"));
        SaveResult r;
        r.outcome = SaveResult::Taken;
        r.takenColumn = *taken;
        return finished(r);
    }
    const Escape escape = [connection](const QString& value) { return db::dbEscape(connection, value); };
    if (!db::dbInsert(connection, kVehicleTable, insertAssignments(values, escape)))
        return failedStep(connection);
    if (!db::dbExecute(connection, QStringLiteral("SELECT LAST_INSERT_ID() AS ID")))
        return failedStep(connection);
    db::ResultPtr idResult = db::dbStoreResult(connection);
    QString id;
    if (!db::dbReadField(idResult, "ID", id) || id.isEmpty())
        return failedStep(connection, QStringLiteral("没有读到新车辆的编号"));
    db::dbFreeResult(idResult);
    afterRowLocked();

    SaveResult result;
    result.stored.found = true;
    std::vector<HistoryRow> history;
    for (const QString& column : saveOrder()) {
        const QString value = isDate(column) ? normalDate(values.value(column)) : values.value(column);
        apply(result.stored, column, value);
        if (!value.isEmpty())
            history.push_back(HistoryRow { id, column, QString(), value });
    }
    for (const QString& column : pictureLoadOrder())
        result.stored.pictures.insert(column, QString());
    result.stored.texts.insert(QStringLiteral("ID"), id);
    if (!history.empty() && !db::dbExecute(connection, historyInsertSql(connection, kActionAdd, author, history)))
        return failedStep(connection);
    if (!db::dbExecute(connection, QStringLiteral("COMMIT")))
        return failedStep(connection);
    result.outcome = SaveResult::Written;
    return finished(result);
}

Attempt pictureOnce(const db::ConnectionPtr& connection, const QString& column, const QString& name,
    const QString& plate, const ChangeAuthor& author)
{
    if (!db::dbExecuteMany(connection,
            {QStringLiteral("START TRANSACTION"),
                QStringLiteral("SELECT ID,") + column + QStringLiteral(" FROM ") + kVehicleTable
                    + QStringLiteral(" WHERE cepaihao=") + quoted(connection, plate) + QStringLiteral(" FOR UPDATE")}))
        return failedStep(connection);
    std::vector<HistoryRow> history;
    {
        db::ResultPtr rows = db::dbStoreResult(connection);
        for (bool more = rows && rows->hasRow(); more && !rows->atEnd(); more = db::dbNextRow(rows)) {
            HistoryRow row;
            row.column = column;
            row.newValue = name;
            db::dbReadField(rows, "ID", row.vehicleId);
            db::dbReadField(rows, column, row.oldValue);
            history.push_back(row);
        }
    }
    if (history.empty()) {
        db::dbExecute(connection, QStringLiteral("ROLLBACK"));
        SaveResult r;
        r.outcome = SaveResult::NoRow;
        r.error = QStringLiteral("没有车辆使用此车牌号");
        return finished(r);
    }
    afterRowLocked();
    if (!db::dbExecuteMany(connection,
            {QStringLiteral("UPDATE ") + kVehicleTable + QStringLiteral(" SET ") + column + QLatin1Char('=')
                    + quoted(connection, name) + QStringLiteral(" WHERE cepaihao=") + quoted(connection, plate),
                historyInsertSql(connection, kActionPicture, author, history), QStringLiteral("COMMIT")}))
        return failedStep(connection);
    SaveResult r;
    r.outcome = SaveResult::Written;
    return finished(r);
}

} // namespace

void setAfterRowLockedHook(std::function<void()> hook)
{
    afterRowLockedHook() = std::move(hook);
}

ChangeAuthor changeAuthor(const AppState& state)
{
    return ChangeAuthor { state.loginUser, QSysInfo::machineHostName() };
}

bool ensureHistoryTable(const db::ConnectionPtr& connection, QString* error)
{
    if (db::dbExecute(connection, QString::fromLatin1(kCreateHistory))
        && db::dbExecute(connection, QString::fromLatin1(kCreateClaims)))
        return true;
    if (error)
        *error = db::dbLastError(connection);
    return false;
}

VehicleValues storedValues(const VehicleRecord& record)
{
    VehicleValues values;
    for (const QString& column : loadOrder()) {
        const QString value = storedValue(record, column);
        if (!isDate(column) || !value.isEmpty())
            values.insert(column, value);
    }
    return values;
}

SaveResult saveVehicle(const db::ConnectionPtr& connection, const VehicleRecord& read, const VehicleValues& mine,
    const QString& id, const ChangeAuthor& author)
{
    return runChecked(connection, [&] { return saveOnce(connection, read, mine, id, author); });
}

SaveResult addVehicle(const db::ConnectionPtr& connection, const VehicleValues& values, const ChangeAuthor& author)
{
    return runChecked(connection, [&] { return addOnce(connection, values, author); });
}

SaveResult savePictureName(const db::ConnectionPtr& connection, const QString& column, const QString& name,
    const QString& plate, const ChangeAuthor& author)
{
    return runChecked(connection, [&] { return pictureOnce(connection, column, name, plate, author); });
}

std::optional<std::vector<HistoryEntry>> readHistory(const db::ConnectionPtr& connection, const QString& id,
    QString* error)
{
    const QString sql = QStringLiteral("SELECT shijian,yonghu,jiqi,caozuo,ziduan,jiuzhi,xinzhi FROM ") + kHistoryTable
        + QStringLiteral(" WHERE cheliangid=") + quoted(connection, id)
        + QStringLiteral(" ORDER BY shijian DESC, ID DESC");
    std::vector<HistoryEntry> entries;
    if (!db::dbExecute(connection, sql)) {
        if (connection && db::dbLastErrno(connection) == kNoSuchTable)
            return entries; // nothing was ever recorded
        if (error)
            *error = db::dbLastError(connection);
        return std::nullopt;
    }
    db::ResultPtr rows = db::dbStoreResult(connection);
    if (!rows)
        return entries;
    entries.reserve(static_cast<std::size_t>(rows->rowCount()));
    const int time = rows->columnIndex("shijian"), user = rows->columnIndex("yonghu"),
              host = rows->columnIndex("jiqi"), action = rows->columnIndex("caozuo"),
              column = rows->columnIndex("ziduan"), oldValue = rows->columnIndex("jiuzhi"),
              newValue = rows->columnIndex("xinzhi");
    for (bool more = rows->hasRow(); more && !rows->atEnd(); more = db::dbNextRow(rows)) {
        HistoryEntry e;
        db::dbReadField(rows.get(), time, e.time);
        db::dbReadField(rows.get(), user, e.user);
        db::dbReadField(rows.get(), host, e.host);
        db::dbReadField(rows.get(), action, e.action);
        db::dbReadField(rows.get(), column, e.column);
        db::dbReadField(rows.get(), oldValue, e.oldValue);
        db::dbReadField(rows.get(), newValue, e.newValue);
        entries.push_back(std::move(e));
    }
    return entries;
}

} // namespace fd::vehicles
