#include "vehicles/VehicleHistory.h"

#include "common/AppState.h"
#include "common/DateTime.h"
#include "common/Text.h"
#include "db/Database.h"
#include "db/ErrorCodes.h"
#include "db/ServerErrors.h"
#include "db/Transaction.h"
#include "vehicles/VehicleColumns.h"

#include <QDate>
#include <QSysInfo>

namespace fd::vehicles {
namespace {

// How often a save is read and decided again after losing a race to another office's save.
constexpr int kAttempts = 5;

const QString kNoConnection = QStringLiteral("没有连接数据库");

// The columns whose values the adds claim.
const char* const kClaimedColumns[] = {"cepaihao", "danganbianhao"};

std::function<void()>& afterRowLockedHook()
{
    static std::function<void()> hook;
    return hook;
}

std::function<void()>& beforeFirstTryHook()
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
db::Statement historyInsert(const QString& action, const ChangeAuthor& author, const std::vector<HistoryRow>& rows)
{
    db::Statement insert(QStringLiteral("INSERT INTO ") + kHistoryTable
        + QStringLiteral(" (cheliangid,caozuo,yonghu,jiqi,shijian,ziduan,jiuzhi,xinzhi) VALUES "));
    bool first = true;
    for (const HistoryRow& row : rows) {
        insert.append(db::Statement(first ? "(?,?,?,?,NOW(),?,?,?)" : ",(?,?,?,?,NOW(),?,?,?)")
                          .bind(row.vehicleId)
                          .bind(action)
                          .bind(author.user)
                          .bind(author.host)
                          .bind(row.column)
                          .bind(row.oldValue)
                          .bind(row.newValue));
        first = false;
    }
    return insert;
}

// The operation of the change's history rows: the record's, else the usual one.
QString actionOf(const ChangeRecord& record, const QString& usual)
{
    return record.action.isEmpty() ? usual : record.action;
}

// The change's history rows, then the statements the record adds for the vehicle.
QList<db::Statement> withRecord(QList<db::Statement> statements, const ChangeRecord& record, const QString& id)
{
    if (record.alongside)
        statements << record.alongside(id);
    return statements;
}

// One try of a change in a transaction. Whether to try again follows from the server's error:
// another office won the race (1213).
struct Attempt {
    SaveResult result;
    bool raced = false;
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

// A failed step, once its transaction has ended (rolled back): the server's common refusals in
// the user's words, its own message kept for the details.
Attempt failedStep(const db::ConnectionPtr& connection, const db::Reply& reply, const QString& fallback = QString())
{
    Attempt a;
    const unsigned code = reply.errorCode;
    a.result.outcome = SaveResult::Failed;
    a.result.error = reply.error.isEmpty() ? fallback : reply.error;
    a.raced = code == db::errors::kDeadlock;
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

// A step of the transaction failed: it is rolled back before anything else is asked of the server.
Attempt failedIn(db::Transaction& tx, const db::ConnectionPtr& connection, const db::Reply& reply,
    const QString& fallback = QString())
{
    tx.rollback();
    return failedStep(connection, reply, fallback);
}

Attempt finished(SaveResult result)
{
    Attempt a;
    a.result = std::move(result);
    return a;
}

SaveResult noConnection()
{
    SaveResult r;
    r.error = kNoConnection;
    return r;
}

SaveResult noRow()
{
    SaveResult r;
    r.outcome = SaveResult::NoRow;
    r.error = QStringLiteral("没有此车辆（可能已被删除）");
    return r;
}

// Runs the attempts until one is decided: again after a lost race (the row is read and decided
// anew, never re-sent as it was).
template <typename Once> SaveResult runChecked(Once once)
{
    Attempt last;
    for (int i = 0; i < kAttempts; ++i) {
        last = once();
        if (!last.raced)
            return last.result;
    }
    last.result.outcome = SaveResult::Failed;
    last.result.error = QStringLiteral("其他人正同时保存此车辆，请稍后再保存：") + last.result.error;
    return last.result;
}

// The columns a save changes: in the window's reading order, each with the value it had when the
// form read the row and the form's value now.
struct Change {
    QString column;
    QString readValue;
    QString myValue;
};

// Whether the form's date text names the day the record holds: what comparing normalDate(text)
// with dateValue(record, column) says, without making either text.
bool sameDay(const VehicleRecord& record, const QString& column, const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    datetime::DateTimeParts parts;
    if (!datetime::readDateTimeText(bytes.constData(), static_cast<std::size_t>(bytes.size()), parts))
        return text == dateValue(record, column);
    const double days = record.dates.value(column, datetime::kEmptyDate);
    int y = 0, m = 0, d = 0;
    datetime::dateOf(days, y, m, d);
    return days != datetime::kEmptyDate && datetime::isValidDate(y, m, d) && parts.year == y && parts.month == m
        && parts.day == d;
}

std::vector<Change> changesOf(const VehicleRecord& read, const VehicleValues& mine)
{
    std::vector<Change> changes;
    for (const QString& column : loadOrder()) {
        if (column == QLatin1String("danganbianhao") || column == QLatin1String("cepaihao"))
            continue; // the file number and the plate never change after the vehicle is added
        const auto given = mine.constFind(column);
        if (findColumn(column)->form == ColumnForm::Date) {
            if (given == mine.constEnd() || sameDay(read, column, *given))
                continue; // a box that shows no date leaves the column as stored; or unchanged
            changes.push_back(Change {column, dateValue(read, column), normalDate(*given)});
            continue;
        }
        const QString readValue = read.texts.value(column);
        const QString myValue = given == mine.constEnd() ? QString() : *given;
        if (myValue == readValue || myValue == asFormSaves(column, readValue))
            continue; // unchanged here
        changes.push_back(Change {column, readValue, myValue});
    }
    return changes;
}

// The condition that the column holds exactly what the form read: byte for byte for a text (a
// NULL read as the empty text), the same day for a date, NULL for a date the form read as none.
// Where it is stricter than the comparison of the values read (a zero date, a time of day), the
// save only goes the longer way.
db::Statement stillAsRead(const VehicleRecord& read, const QString& column)
{
    if (!isDate(column))
        return db::Statement(QStringLiteral(" AND IFNULL(") + column + QStringLiteral(",'')=BINARY ?"))
            .bind(read.texts.value(column));
    if (storedValue(read, column).isEmpty())
        return db::Statement(QStringLiteral(" AND ") + column + QStringLiteral(" IS NULL"));
    int y = 0, m = 0, d = 0;
    datetime::dateOf(read.dates.value(column, datetime::kEmptyDate), y, m, d);
    return db::Statement(QStringLiteral(" AND ") + column + QStringLiteral("=?")).bind(QDate(y, m, d));
}

// The first try of a save: the changed columns are written on the condition that each still holds
// what the form read, with their history and the commit, in one round trip. None when the row did
// not match (changed meanwhile, or gone): then the row must be read and compared.
std::optional<Attempt> saveAsRead(const db::ConnectionPtr& connection, const VehicleRecord& read,
    const VehicleValues& mine, const QString& id, const ChangeAuthor& author, const ChangeRecord& record)
{
    const std::vector<Change> changes = changesOf(read, mine);
    if (changes.empty()) {
        // Nothing to write: the row as stored now, to say what the form shows.
        VehicleRecord stored = readVehicle(connection, id);
        SaveResult r;
        if (!stored.error.isEmpty()) {
            r.error = stored.error;
            return finished(r);
        }
        if (!stored.found)
            return finished(noRow());
        r.outcome = SaveResult::Written;
        r.stored = std::move(stored);
        return finished(r);
    }

    db::Statement assignments, condition;
    std::vector<HistoryRow> history;
    for (const Change& change : changes) {
        assignments.append(db::Statement((assignments.isEmpty() ? QString() : QStringLiteral(",")) + change.column
            + QStringLiteral("=?"))
                               .bind(change.myValue));
        condition.append(stillAsRead(read, change.column));
        history.push_back(HistoryRow {id, change.column, change.readValue, change.myValue});
    }
    db::Statement update(QStringLiteral("UPDATE ") + kVehicleTable + QStringLiteral(" SET "));
    update.append(assignments).append(db::Statement(" WHERE ID=?").bind(id)).append(condition);
    // The history only when the update matched the row, and a row to say so. (Reading the whole
    // row back here would cost more than the rest of the save.)
    db::Statement written("IF ROW_COUNT()>0 THEN ");
    for (const db::Statement& statement : withRecord({historyInsert(actionOf(record, kActionModify), author, history)}, record, id))
        written.append(statement).append(";\n");
    written.append("SELECT 1 AS baocun;\nEND IF");

    if (const std::function<void()> hook = beforeFirstTryHook())
        hook();
    db::Transaction tx(*connection);
    const db::Reply reply = tx.commit({update, written});
    if (!reply.ok)
        return failedStep(connection, reply);
    if (!reply.rows)
        return std::nullopt;
    SaveResult r;
    r.outcome = SaveResult::Written;
    r.stored = read;
    for (const HistoryRow& row : history)
        apply(r.stored, row.column, row.newValue);
    return finished(r);
}

// A save compared column by column with the row read FOR UPDATE in its transaction.
Attempt saveOnce(const db::ConnectionPtr& connection, const VehicleRecord& read, const VehicleValues& mine,
    const QString& id, const ChangeAuthor& author, const ChangeRecord& record)
{
    db::Transaction tx(*connection);
    const db::Reply locked = tx.run(selectVehicleStatement(id).append(" FOR UPDATE"));
    VehicleRecord theirs = vehicleRecord(locked);
    if (!theirs.error.isEmpty())
        return failedIn(tx, connection, locked, theirs.error);
    if (!theirs.found) {
        tx.rollback();
        return finished(noRow());
    }

    SaveResult result;
    db::Statement assignments;
    std::vector<HistoryRow> history;
    // In the window's reading order, so that conflicts are listed as the form shows the fields.
    for (const Change& change : changesOf(read, mine)) {
        const QString theirValue = storedValue(theirs, change.column);
        if (change.myValue == theirValue)
            continue; // both sides agree: what is stored stays
        if (theirValue != change.readValue) {
            result.conflicts.append(FieldConflict {change.column, change.readValue, theirValue, change.myValue});
            continue;
        }
        assignments.append(db::Statement((assignments.isEmpty() ? QString() : QStringLiteral(",")) + change.column
            + QStringLiteral("=?"))
                               .bind(change.myValue));
        history.push_back(HistoryRow {id, change.column, theirValue, change.myValue});
    }

    if (!result.conflicts.isEmpty() || history.empty()) {
        tx.rollback();
        result.outcome = result.conflicts.isEmpty() ? SaveResult::Written : SaveResult::Conflict;
        result.stored = std::move(theirs);
        return finished(result);
    }

    // The row, its history and the commit in one round trip: the server runs none after a failed one.
    afterRowLocked();
    db::Statement update(QStringLiteral("UPDATE ") + kVehicleTable + QStringLiteral(" SET "));
    update.append(assignments).append(db::Statement(" WHERE ID=?").bind(id));
    const db::Reply written =
        tx.commit(withRecord({update, historyInsert(actionOf(record, kActionModify), author, history)}, record, id));
    if (!written.ok)
        return failedStep(connection, written);

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
db::Statement claimStatement(const VehicleValues& values)
{
    db::Statement claim(QStringLiteral("INSERT INTO ") + kClaimTable + QStringLiteral(" (ziduan,zhi) VALUES "));
    bool first = true;
    for (const char* column : kClaimedColumns) {
        claim.append(db::Statement(first ? "(?,?)" : ",(?,?)")
                         .bind(QString::fromLatin1(column))
                         .bind(values.value(QString::fromLatin1(column))));
        first = false;
    }
    return claim.append(" ON DUPLICATE KEY UPDATE cishu=cishu+1");
}

// Once the claims are held: how many stored vehicles hold each claimed value, one column each in
// the order of kClaimedColumns. The count is the transaction's first read, so it sees every add
// of the value that claimed it before (they have committed); the vehicles decide, not the claims.
db::Statement takenCountStatement(const VehicleValues& values)
{
    db::Statement count("SELECT ");
    bool first = true;
    for (const char* name : kClaimedColumns) {
        const QString column = QString::fromLatin1(name);
        count.append(db::Statement((first ? QString() : QStringLiteral(",")) + QStringLiteral("(SELECT count(*) FROM ")
            + kVehicleTable + QStringLiteral(" WHERE ") + column + QStringLiteral("=?) AS ") + column)
                         .bind(values.value(column)));
        first = false;
    }
    return count;
}

Attempt addOnce(const db::ConnectionPtr& connection, const VehicleValues& values, const ChangeAuthor& author,
    const ChangeRecord& record)
{
    db::Transaction tx(*connection);
    const db::Reply counted = tx.runAll({claimStatement(values), takenCountStatement(values)});
    if (!counted.ok)
        return failedIn(tx, connection, counted);
    QString taken;
    for (const char* name : kClaimedColumns) {
        qint64 count = 0;
        if (!db::dbReadField(counted.rows.get(), name, count))
            return failedIn(tx, connection, counted, QStringLiteral("查询车辆数量没有结果"));
        if (count > 0 && taken.isEmpty())
            taken = QString::fromLatin1(name);
    }
    if (!taken.isEmpty()) {
        tx.rollback();
        SaveResult r;
        r.outcome = SaveResult::Taken;
        r.takenColumn = taken;
        return finished(r);
    }
    const db::Reply inserted =
        tx.runAll({insertVehicleStatement(values), db::Statement("SELECT LAST_INSERT_ID() AS ID")});
    if (!inserted.ok)
        return failedIn(tx, connection, inserted);
    QString id;
    if (!db::dbReadField(inserted.rows.get(), "ID", id) || id.isEmpty())
        return failedIn(tx, connection, inserted, QStringLiteral("没有读到新车辆的编号"));
    afterRowLocked();

    SaveResult result;
    result.stored.found = true;
    std::vector<HistoryRow> history;
    for (const QString& column : saveOrder()) {
        const QString value = isDate(column) ? normalDate(values.value(column)) : values.value(column);
        apply(result.stored, column, value);
        if (!value.isEmpty())
            history.push_back(HistoryRow {id, column, QString(), value});
    }
    for (const QString& column : pictureLoadOrder())
        result.stored.pictures.insert(column, QString());
    result.stored.texts.insert(QStringLiteral("ID"), id);
    QList<db::Statement> last;
    if (!history.empty())
        last << historyInsert(actionOf(record, kActionAdd), author, history);
    const db::Reply committed = tx.commit(withRecord(last, record, id));
    if (!committed.ok)
        return failedStep(connection, committed);
    result.outcome = SaveResult::Written;
    return finished(result);
}

Attempt pictureOnce(const db::ConnectionPtr& connection, const QString& column, const QString& name,
    const QString& plate, const ChangeAuthor& author)
{
    db::Transaction tx(*connection);
    const db::Reply locked = tx.run(db::Statement(QStringLiteral("SELECT ID,") + column + QStringLiteral(" FROM ")
        + kVehicleTable + QStringLiteral(" WHERE cepaihao=? FOR UPDATE"))
                                        .bind(plate));
    if (!locked.ok)
        return failedIn(tx, connection, locked);
    std::vector<HistoryRow> history;
    if (db::Result* rows = locked.rows.get()) {
        while (rows->next()) {
            HistoryRow row;
            row.column = column;
            row.newValue = name;
            db::dbReadField(rows, "ID", row.vehicleId);
            db::dbReadField(rows, column, row.oldValue);
            history.push_back(row);
        }
    }
    if (history.empty()) {
        tx.rollback();
        SaveResult r;
        r.outcome = SaveResult::NoRow;
        r.error = QStringLiteral("没有车辆使用此车牌号");
        return finished(r);
    }
    afterRowLocked();
    const db::Reply written = tx.commit({db::Statement(QStringLiteral("UPDATE ") + kVehicleTable
                                                 + QStringLiteral(" SET ") + column + QStringLiteral("=? WHERE cepaihao=?"))
                                             .bind(name)
                                             .bind(plate),
        historyInsert(kActionPicture, author, history)});
    if (!written.ok)
        return failedStep(connection, written);
    SaveResult r;
    r.outcome = SaveResult::Written;
    return finished(r);
}

} // namespace

void setBeforeFirstTryHook(std::function<void()> hook)
{
    beforeFirstTryHook() = std::move(hook);
}

void setAfterRowLockedHook(std::function<void()> hook)
{
    afterRowLockedHook() = std::move(hook);
}

ChangeAuthor changeAuthor(const AppState& state)
{
    return ChangeAuthor { state.loginUser, QSysInfo::machineHostName() };
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
    return saveVehicle(connection, read, mine, id, author, ChangeRecord {});
}

SaveResult saveVehicle(const db::ConnectionPtr& connection, const VehicleRecord& read, const VehicleValues& mine,
    const QString& id, const ChangeAuthor& author, const ChangeRecord& record)
{
    if (!connection)
        return noConnection();
    // Mostly nobody else has changed the row since the form read it: then one round trip decides.
    if (std::optional<Attempt> first = saveAsRead(connection, read, mine, id, author, record); first && !first->raced)
        return first->result;
    return runChecked([&] { return saveOnce(connection, read, mine, id, author, record); });
}

SaveResult addVehicle(const db::ConnectionPtr& connection, const VehicleValues& values, const ChangeAuthor& author)
{
    return addVehicle(connection, values, author, ChangeRecord {});
}

SaveResult addVehicle(const db::ConnectionPtr& connection, const VehicleValues& values, const ChangeAuthor& author,
    const ChangeRecord& record)
{
    if (!connection)
        return noConnection();
    return runChecked([&] { return addOnce(connection, values, author, record); });
}

SaveResult savePictureName(const db::ConnectionPtr& connection, const QString& column, const QString& name,
    const QString& plate, const ChangeAuthor& author)
{
    if (!connection)
        return noConnection();
    return runChecked([&] { return pictureOnce(connection, column, name, plate, author); });
}

std::optional<std::vector<HistoryEntry>> readHistory(const db::ConnectionPtr& connection, const QString& id,
    QString* error)
{
    std::vector<HistoryEntry> entries;
    if (!connection) {
        if (error)
            *error = kNoConnection;
        return std::nullopt;
    }
    const db::Reply reply = connection->run(db::Statement(QStringLiteral("SELECT shijian,yonghu,jiqi,caozuo,ziduan,jiuzhi,xinzhi FROM ")
        + kHistoryTable + QStringLiteral(" WHERE cheliangid=? ORDER BY shijian DESC, ID DESC"))
                                                .bind(id));
    if (!reply.ok) {
        if (reply.errorCode == db::errors::kNoSuchTable)
            return entries; // nothing was ever recorded
        if (error)
            *error = reply.error;
        return std::nullopt;
    }
    db::Result* rows = reply.rows.get();
    if (!rows)
        return entries;
    entries.reserve(static_cast<std::size_t>(rows->rowCount()));
    const int time = rows->columnIndex("shijian"), user = rows->columnIndex("yonghu"),
              host = rows->columnIndex("jiqi"), action = rows->columnIndex("caozuo"),
              column = rows->columnIndex("ziduan"), oldValue = rows->columnIndex("jiuzhi"),
              newValue = rows->columnIndex("xinzhi");
    while (rows->next()) {
        HistoryEntry e;
        db::dbReadField(rows, time, e.time);
        db::dbReadField(rows, user, e.user);
        db::dbReadField(rows, host, e.host);
        db::dbReadField(rows, action, e.action);
        db::dbReadField(rows, column, e.column);
        db::dbReadField(rows, oldValue, e.oldValue);
        db::dbReadField(rows, newValue, e.newValue);
        entries.push_back(std::move(e));
    }
    return entries;
}

} // namespace fd::vehicles
