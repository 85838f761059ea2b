#include "import/ImportRun.h"

#include "import/Mapping.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "db/ErrorCodes.h"
#include "db/Statement.h"
#include "db/ThreadSession.h"
#include "db/Transaction.h"
#include "vehicles/VehicleColumns.h"
#include "vehicles/VehicleStore.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <xlsxwriter.h>

namespace fd::import {

namespace {

// What the import did to a vehicle (daorujilu.caozuo).
const QString kAdded = QStringLiteral("新增");
const QString kChanged = QStringLiteral("修改");
// The reason given to the rows an import that stopped did not reach.
const QString kNotReached = QStringLiteral("导入中断，此行没有导入");

QString storedText(const vehicles::VehicleColumn& column, const QString& raw)
{
    if (column.form == vehicles::ColumnForm::Date) {
        const QDate date = QDate::fromString(raw.left(10), QStringLiteral("yyyy-MM-dd"));
        return date.isValid() ? datetime::dateText(date) : QString();
    }
    return column.keepSpaces ? raw : text::trimSpaces(raw);
}

QString toJson(const vehicles::VehicleValues& values)
{
    QJsonObject o;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        o.insert(it.key(), it.value());
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

vehicles::VehicleValues fromJson(const QString& text)
{
    vehicles::VehicleValues values;
    const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
    for (auto it = o.begin(); it != o.end(); ++it)
        values.insert(it.key(), it.value().toString());
    return values;
}

// The statement that records a vehicle of the import with the last history row it has now.
db::Statement recordStatement(qint64 batch, const QString& id, const QString& action, const std::optional<QString>& old)
{
    return db::Statement("insert into daorujilu (daoruid,cheliangid,caozuo,jiuzhi,lishiid) select ?,?,?,?,"
                         "coalesce(max(ID),0) from xiugaijilu where cheliangid=?")
        .bind(batch)
        .bind(id.toLongLong())
        .bind(action)
        .bind(old)
        .bind(id.toLongLong());
}

// A new vehicle as the vehicle window adds one: a date the sheet leaves empty is the date box's
// start date (2000-01-01, or today for a payment date), an empty status is "正常".
vehicles::VehicleValues newVehicleValues(vehicles::VehicleValues values)
{
    for (const vehicles::VehicleColumn& c : vehicles::vehicleColumns()) {
        if (values.contains(c.name))
            continue;
        if (c.form == vehicles::ColumnForm::Date)
            values.insert(c.name, datetime::dateText(c.startsToday ? QDate::currentDate() : QDate(vehicles::kDateStartYear, 1, 1)));
        else if (c.form == vehicles::ColumnForm::Status)
            values.insert(c.name, QStringLiteral("正常"));
    }
    return values;
}

QString takenReason(const QString& column)
{
    return column == QLatin1String("danganbianhao") ? QStringLiteral("此档案编号已经存在")
                                                    : QStringLiteral("对不起此车牌号已经存在！");
}

} // namespace

QStringList ImportSource::headers() const
{
    QStringList h = headerTexts(sheet, headerRow);
    while (h.size() < mapping.size())
        h << QString();
    return h;
}

std::optional<StoredFleet> readStoredFleet(const db::ConnectionPtr& connection, const QStringList& fields,
    QString* error)
{
    QStringList columns;
    for (const QString& f : fields)
        if (!f.isEmpty() && vehicles::findColumn(f) && !columns.contains(f))
            columns << f;
    QString list = QStringLiteral("ID,cepaihao,danganbianhao");
    for (const QString& c : columns)
        list += QLatin1Char(',') + c;
    db::Reply r = connection->run(db::Statement("select ? from celiangzongbiao order by ID").bindSql(list));
    if (!r.ok) {
        if (error)
            *error = r.error;
        return std::nullopt;
    }
    StoredFleet fleet;
    while (r.rows && r.rows->next()) {
        const QString id = r.rows->text(0);
        const QString plate = text::trimSpaces(r.rows->text(1));
        const QString file = text::trimSpaces(r.rows->text(2));
        if (!plate.isEmpty() && !fleet.byPlate.contains(plate))
            fleet.byPlate.insert(plate, id);
        if (!file.isEmpty() && !fleet.byFileNumber.contains(file))
            fleet.byFileNumber.insert(file, id);
        vehicles::VehicleValues values;
        for (int i = 0; i < columns.size(); ++i)
            values.insert(columns.at(i), storedText(*vehicles::findColumn(columns.at(i)), r.rows->text(3 + i)));
        fleet.values.insert(id, std::move(values));
    }
    return fleet;
}

std::vector<PlannedRow> planRows(const ImportSource& source, const StoredFleet& stored, const ImportOptions& options,
    int limit)
{
    std::vector<PlannedRow> out;
    QHash<QString, int> platesInFile;
    QHash<QString, int> filesInFile;
    const bool mapsPlate = source.mapping.contains(QStringLiteral("cepaihao"));
    const bool mapsFile = source.mapping.contains(QStringLiteral("danganbianhao"));
    const QStringList headers = source.headers();
    for (std::size_t r = static_cast<std::size_t>(source.headerRow) + 1; r < source.sheet.rows.size(); ++r) {
        if (limit >= 0 && static_cast<int>(out.size()) >= limit)
            break;
        PlannedRow plan;
        plan.sheetRow = static_cast<int>(r);
        plan.converted = convertRow(source.sheet.rows[r], source.mapping);
        if (plan.converted.isEmpty) {
            plan.kind = PlannedRow::Empty;
            out.push_back(std::move(plan));
            continue;
        }
        const ConvertedRow& row = plan.converted;
        const QString plate = row.plate();
        const QString file = row.fileNumber();
        auto refuse = [&plan](const QString& why) {
            plan.kind = PlannedRow::Refused;
            plan.reason = why;
        };
        if (!row.problems.isEmpty()) {
            refuse(problemText(row, headers));
        } else if (options.match == MatchBy::Plate && !mapsPlate) {
            refuse(QStringLiteral("没有车牌号一列"));
        } else if (options.match == MatchBy::FileNumber && !mapsFile) {
            refuse(QStringLiteral("没有档案编号一列"));
        } else {
            const QString key = options.match == MatchBy::Plate ? plate : file;
            QHash<QString, int>& seen = options.match == MatchBy::Plate ? platesInFile : filesInFile;
            const QString id = options.match == MatchBy::Plate ? stored.byPlate.value(key)
                                                               : stored.byFileNumber.value(key);
            if (key.isEmpty()) {
                refuse(options.match == MatchBy::Plate ? QStringLiteral("车牌号为空") : QStringLiteral("档案编号为空"));
            } else if (seen.contains(key)) {
                refuse(QStringLiteral("与第 %1 行重复").arg(seen.value(key) + 1));
            } else if (!id.isEmpty()) {
                plan.vehicleId = id;
                const vehicles::VehicleValues& now = stored.values.value(id);
                for (auto it = row.values.cbegin(); it != row.values.cend(); ++it)
                    if (it.key() != QLatin1String("cepaihao") && it.key() != QLatin1String("danganbianhao")
                        && now.value(it.key()) != it.value())
                        plan.changedFields << it.key();
                if (plan.changedFields.isEmpty())
                    plan.kind = PlannedRow::Unchanged;
                else
                    plan.kind = options.update ? PlannedRow::Changed : PlannedRow::Skipped;
            } else if (file.isEmpty()) {
                refuse(QStringLiteral("新车辆的档案编号不能为空"));
            } else if (plate.isEmpty()) {
                refuse(QStringLiteral("新车辆的车牌号不能为空"));
            } else if (options.match == MatchBy::Plate && stored.byFileNumber.contains(file)) {
                refuse(takenReason(QStringLiteral("danganbianhao")));
            } else if (options.match == MatchBy::FileNumber && stored.byPlate.contains(plate)) {
                refuse(takenReason(QStringLiteral("cepaihao")));
            } else {
                plan.kind = PlannedRow::New;
            }
            if (plan.kind != PlannedRow::Refused)
                seen.insert(key, plan.sheetRow);
        }
        out.push_back(std::move(plan));
    }
    return out;
}

Counts countPlan(const std::vector<PlannedRow>& rows)
{
    Counts c;
    for (const PlannedRow& r : rows) {
        switch (r.kind) {
        case PlannedRow::New: ++c.added; break;
        case PlannedRow::Changed: ++c.updated; break;
        case PlannedRow::Unchanged: ++c.unchanged; break;
        case PlannedRow::Skipped: ++c.skipped; break;
        case PlannedRow::Refused: ++c.refused; break;
        case PlannedRow::Empty: break;
        }
    }
    return c;
}

namespace {

// What became of one row of the plan when it was written.
struct RowOutcome {
    enum Kind { NotReached, Added, Updated, Unchanged, Skipped, Refused };
    Kind kind = NotReached;
    QString reason;  // Refused: why
    QString stopped; // the session was lost: why (the row is Refused, or landed when its commit had)
};

// Whether the session a failed write ran on is gone (killed, lost): then the import stops.
bool sessionLost(const db::ConnectionPtr& session, unsigned long before)
{
    const db::Reply probe = session->run(db::Statement("select 1"));
    return !probe.ok || session->threadId() != before;
}

// Whether the import's record of the row is stored: the row landed, although its session was lost
// before the server's answer to the commit came back. None when that cannot be read either.
std::optional<bool> recorded(const db::ConnectionPtr& session, qint64 batch, const PlannedRow& p)
{
    const db::Reply r = session->run(p.kind == PlannedRow::New
            ? db::Statement("select count(*) from daorujilu j join celiangzongbiao v on v.ID=j.cheliangid "
                            "where j.daoruid=? and v.cepaihao=?")
                  .bind(batch)
                  .bind(p.converted.plate())
            : db::Statement("select count(*) from daorujilu where daoruid=? and cheliangid=?")
                  .bind(batch)
                  .bind(p.vehicleId.toLongLong()));
    if (!r.ok || !r.rows || !r.rows->hasRow())
        return std::nullopt;
    return r.rows->integer(0) > 0;
}

// Writes one planned row on the session: a new vehicle added, a stored one saved through the
// checked save, each with its history (operation 导入) and the import's record of it in the same
// transaction.
RowOutcome writeRow(const db::ConnectionPtr& session, const PlannedRow& p, qint64 batch,
    const vehicles::ChangeAuthor& author)
{
    RowOutcome out;
    auto refuse = [&out](const QString& why) {
        out.kind = RowOutcome::Refused;
        out.reason = why;
    };
    const unsigned long sessionId = session->threadId();
    switch (p.kind) {
    case PlannedRow::Empty:
        break;
    case PlannedRow::Refused:
        refuse(p.reason);
        break;
    case PlannedRow::Unchanged:
        out.kind = RowOutcome::Unchanged;
        break;
    case PlannedRow::Skipped:
        out.kind = RowOutcome::Skipped;
        break;
    case PlannedRow::New: {
        vehicles::ChangeRecord record {vehicles::kActionImport, [batch](const QString& id) {
            return QList<db::Statement> {recordStatement(batch, id, kAdded, std::nullopt)};
        }};
        const vehicles::SaveResult added =
            vehicles::addVehicle(session, newVehicleValues(p.converted.values), author, record);
        if (added.outcome == vehicles::SaveResult::Written) {
            out.kind = RowOutcome::Added;
        } else if (added.outcome == vehicles::SaveResult::Taken) {
            refuse(takenReason(added.takenColumn));
        } else {
            refuse(added.error);
            if (sessionLost(session, sessionId)) {
                out.stopped = added.error;
                if (recorded(session, batch, p).value_or(false))
                    out.kind = RowOutcome::Added;
            }
        }
        break;
    }
    case PlannedRow::Changed: {
        const vehicles::VehicleRecord read = vehicles::readVehicle(session, p.vehicleId);
        if (!read.found) {
            refuse(read.error.isEmpty() ? QStringLiteral("车辆已被删除") : read.error);
            if (!read.error.isEmpty() && sessionLost(session, sessionId))
                out.stopped = read.error;
            break;
        }
        const vehicles::VehicleValues before = vehicles::storedValues(read);
        vehicles::VehicleValues mine = before;
        vehicles::VehicleValues old;
        for (auto it = p.converted.values.cbegin(); it != p.converted.values.cend(); ++it) {
            if (it.key() == QLatin1String("cepaihao") || it.key() == QLatin1String("danganbianhao"))
                continue;
            if (before.value(it.key()) != it.value())
                old.insert(it.key(), before.value(it.key()));
            mine.insert(it.key(), it.value());
        }
        if (old.isEmpty()) {
            out.kind = RowOutcome::Unchanged;
            break;
        }
        const QString formerValues = toJson(old);
        vehicles::ChangeRecord record {vehicles::kActionImport, [batch, formerValues](const QString& id) {
            return QList<db::Statement> {recordStatement(batch, id, kChanged, formerValues)};
        }};
        const vehicles::SaveResult saved = vehicles::saveVehicle(session, read, mine, p.vehicleId, author, record);
        if (saved.outcome == vehicles::SaveResult::Written) {
            out.kind = RowOutcome::Updated;
        } else {
            refuse(saved.outcome == vehicles::SaveResult::Conflict ? QStringLiteral("车辆正被其他人修改") : saved.error);
            if (saved.outcome == vehicles::SaveResult::Failed && sessionLost(session, sessionId)) {
                out.stopped = saved.error;
                if (recorded(session, batch, p).value_or(false))
                    out.kind = RowOutcome::Updated;
            }
        }
        break;
    }
    }
    return out;
}

// The rows of the plan handed out in order to the sessions writing them, until all are written
// or the import stops (cancelled, or a session lost). Thread affinity: any thread.
class RowQueue {
public:
    RowQueue(const std::vector<PlannedRow>& plan, qint64 batch, const vehicles::ChangeAuthor& author)
        : m_plan(plan), m_outcomes(plan.size()), m_batch(batch), m_author(author)
    {
    }

    // Writes rows on the session until none is left or the import stops; after each row, when
    // given, afterRow() says whether to go on.
    void work(const db::ConnectionPtr& session, const std::function<bool()>& afterRow = {})
    {
        while (!m_stop.load()) {
            const std::size_t i = m_next.fetch_add(1);
            if (i >= m_plan.size())
                return;
            if (m_plan[i].kind == PlannedRow::Empty)
                continue;
            m_outcomes[i] = writeRow(session, m_plan[i], m_batch, m_author);
            m_done.fetch_add(1);
            if (!m_outcomes[i].stopped.isEmpty())
                stop(m_outcomes[i].stopped);
            else if (afterRow && !afterRow())
                stop({});
        }
    }
    // Stops handing out rows; why is kept when it is the first reason given.
    void stop(const QString& why)
    {
        std::lock_guard lock(m_mutex);
        if (m_why.isEmpty())
            m_why = why;
        m_stop = true;
    }
    int done() const { return m_done.load(); }
    QString stoppedWhy() const
    {
        std::lock_guard lock(m_mutex);
        return m_why;
    }
    // Once every session has finished.
    const std::vector<RowOutcome>& outcomes() const { return m_outcomes; }

private:
    const std::vector<PlannedRow>& m_plan;
    std::vector<RowOutcome> m_outcomes; // each written by the session that took its row
    const qint64 m_batch;
    const vehicles::ChangeAuthor m_author;
    std::atomic<std::size_t> m_next {0};
    std::atomic<int> m_done {0};
    std::atomic_bool m_stop {false};
    mutable std::mutex m_mutex;
    QString m_why;
};

} // namespace

ImportReport runImport(const db::ConnectionPtr& connection, const ImportSource& source, const ImportOptions& options,
    const vehicles::ChangeAuthor& author, bool dryRun, const Progress& progress)
{
    ImportReport report;
    QString error;
    std::optional<StoredFleet> stored = readStoredFleet(connection, source.mapping, &error);
    if (!stored) {
        report.error = error;
        return report;
    }
    const std::vector<PlannedRow> plan = planRows(source, *stored, options);
    stored.reset();
    auto cellsOf = [&source](const PlannedRow& p) { return source.sheet.rows[static_cast<std::size_t>(p.sheetRow)]; };
    for (const PlannedRow& p : plan)
        report.rowsTotal += p.kind == PlannedRow::Empty ? 0 : 1;
    if (dryRun) {
        report.counts = countPlan(plan);
        for (const PlannedRow& p : plan)
            if (p.kind == PlannedRow::Refused)
                report.refused.push_back({p.sheetRow, cellsOf(p), p.reason});
        report.rowsDone = report.rowsTotal;
        return report;
    }
    db::Reply batch = connection->runAll(
        {db::Statement("insert into daorupici (wenjian,yonghu,jiqi,shijian) values (?,?,?,now())")
                .bind(source.fileName.right(255))
                .bind(author.user)
                .bind(author.host),
            db::Statement("select last_insert_id()")});
    if (!batch.ok || !batch.rows) {
        report.error = batch.error;
        return report;
    }
    report.batchId = batch.rows->integer(0);

    // This thread writes rows on its own session, and so do the helpers beside it, each on a
    // session of its thread: each row is still a transaction of its own, and the server commits
    // the rows of several sessions together.
    RowQueue queue(plan, report.batchId, author);
    std::vector<std::thread> helpers;
    const db::Connection::Options sessionOptions = connection->options();
    for (int i = 1; i < std::max(1, options.sessions); ++i)
        helpers.emplace_back([&queue, sessionOptions] {
            // A helper the server does not take (an account limited to a few sessions) leaves
            // its share to the others.
            if (const db::ConnectionPtr session = db::threadSession(sessionOptions))
                queue.work(session);
        });
    queue.work(connection, [&] {
        if (progress && !progress(queue.done(), report.rowsTotal)) {
            report.cancelled = true;
            return false;
        }
        return true;
    });
    for (std::thread& t : helpers)
        t.join();
    report.stopped = queue.stoppedWhy();
    if (!report.stopped.isEmpty())
        report.cancelled = false;

    for (std::size_t i = 0; i < plan.size(); ++i) {
        const PlannedRow& p = plan[i];
        const RowOutcome& o = queue.outcomes()[i];
        if (p.kind == PlannedRow::Empty)
            continue;
        switch (o.kind) {
        case RowOutcome::NotReached: report.notReached.push_back({p.sheetRow, cellsOf(p), kNotReached}); continue;
        case RowOutcome::Added: ++report.counts.added; break;
        case RowOutcome::Updated: ++report.counts.updated; break;
        case RowOutcome::Unchanged: ++report.counts.unchanged; break;
        case RowOutcome::Skipped: ++report.counts.skipped; break;
        case RowOutcome::Refused:
            ++report.counts.refused;
            report.refused.push_back({p.sheetRow, cellsOf(p), o.reason});
            break;
        }
        ++report.rowsDone;
    }
    return report;
}

std::vector<RefusedRow> rowsNotImported(const ImportReport& report)
{
    std::vector<RefusedRow> rows = report.refused;
    rows.insert(rows.end(), report.notReached.begin(), report.notReached.end());
    std::stable_sort(rows.begin(), rows.end(),
        [](const RefusedRow& a, const RefusedRow& b) { return a.sheetRow < b.sheetRow; });
    return rows;
}

bool writeRefusedRows(const QString& path, const QStringList& headers, const std::vector<RefusedRow>& rows,
    QString* error)
{
    const QByteArray name = QFile::encodeName(path);
    lxw_workbook* raw = workbook_new(name.constData());
    if (!raw) {
        if (error)
            *error = QStringLiteral("无法创建文件");
        return false;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(raw, "未导入");
    lxw_format* bold = workbook_add_format(raw);
    format_set_bold(bold);
    lxw_format* dateFormat = workbook_add_format(raw);
    format_set_num_format(dateFormat, "yyyy-mm-dd");
    lxw_col_t reasonColumn = static_cast<lxw_col_t>(headers.size());
    for (const RefusedRow& r : rows)
        reasonColumn = std::max(reasonColumn, static_cast<lxw_col_t>(r.cells.size()));
    for (int c = 0; c < headers.size(); ++c)
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), headers.at(c).toUtf8().constData(), bold);
    worksheet_write_string(sheet, 0, reasonColumn, "原因", bold);
    lxw_row_t line = 1;
    for (const RefusedRow& r : rows) {
        for (std::size_t c = 0; c < r.cells.size(); ++c) {
            const Cell& cell = r.cells[c];
            const auto col = static_cast<lxw_col_t>(c);
            switch (cell.kind) {
            case Cell::Empty:
                break;
            case Cell::Text:
                worksheet_write_string(sheet, line, col, cell.text.toUtf8().constData(), nullptr);
                break;
            case Cell::Number:
                worksheet_write_number(sheet, line, col, cell.number, nullptr);
                break;
            case Cell::Boolean:
                worksheet_write_boolean(sheet, line, col, cell.number != 0, nullptr);
                break;
            case Cell::Date:
                if (cell.text.isEmpty())
                    worksheet_write_number(sheet, line, col, cell.number, dateFormat);
                else
                    worksheet_write_string(sheet, line, col, cell.text.toUtf8().constData(), nullptr);
                break;
            }
        }
        worksheet_write_string(sheet, line, reasonColumn, r.reason.toUtf8().constData(), nullptr);
        ++line;
    }
    worksheet_set_column(sheet, reasonColumn, reasonColumn, 40, nullptr);
    const lxw_error result = workbook_close(raw);
    if (result != LXW_NO_ERROR) {
        if (error)
            *error = QString::fromUtf8(lxw_strerror(result));
        return false;
    }
    return true;
}

UndoResult undoImport(const db::ConnectionPtr& connection, qint64 batchId, const vehicles::ChangeAuthor& author)
{
    UndoResult result;
    db::Reply b = connection->run(db::Statement("select chexiao from daorupici where ID=?").bind(batchId));
    if (!b.ok || !b.rows || !b.rows->hasRow()) {
        result.error = b.ok ? QStringLiteral("没有这次导入的记录") : b.error;
        return result;
    }
    if (b.rows->integer(0) != 0) {
        result.error = QStringLiteral("这次导入已经撤销");
        return result;
    }
    db::Reply r = connection->run(
        db::Statement("select j.cheliangid,j.caozuo,j.jiuzhi,j.lishiid,v.ID,v.cepaihao,"
                      "(select coalesce(max(h.ID),0) from xiugaijilu h where h.cheliangid=j.cheliangid) "
                      "from daorujilu j left join celiangzongbiao v on v.ID=j.cheliangid where j.daoruid=? order by j.ID desc")
            .bind(batchId));
    if (!r.ok) {
        result.error = r.error;
        return result;
    }
    struct Entry {
        QString id, action, old, plate;
    };
    std::vector<Entry> entries;
    while (r.rows && r.rows->next()) {
        const QString id = r.rows->text(0);
        const bool gone = r.rows->isNull(4);
        const QString plate = gone ? QStringLiteral("（ID %1，已删除）").arg(id) : r.rows->text(5);
        if (gone || r.rows->integer(6) > r.rows->integer(3))
            result.changedSince << plate;
        entries.push_back({id, r.rows->text(1), r.rows->text(2), plate});
    }
    if (!result.changedSince.isEmpty())
        return result;
    for (const Entry& e : entries) {
        if (e.action == kAdded) {
            db::Transaction tx(*connection);
            const db::Reply del = tx.run(db::Statement("delete from celiangzongbiao where ID=?").bind(e.id.toLongLong()));
            if (!del.ok) {
                result.error = del.error;
                return result;
            }
            const db::Reply done = tx.commit(
                db::Statement("insert into xiugaijilu (cheliangid,caozuo,yonghu,jiqi,shijian,ziduan,jiuzhi,xinzhi) "
                              "values (?,?,?,?,now(),'cepaihao',?,'')")
                    .bind(e.id.toLongLong())
                    .bind(QStringLiteral("撤销导入"))
                    .bind(author.user)
                    .bind(author.host)
                    .bind(e.plate));
            if (!done.ok) {
                result.error = done.error;
                return result;
            }
        } else {
            // The former values go back with a history row each, in one transaction; a date that
            // was empty is empty again.
            const vehicles::VehicleRecord read = vehicles::readVehicle(connection, e.id);
            if (!read.found) {
                result.error = read.error.isEmpty() ? QStringLiteral("车辆已被删除") : read.error;
                return result;
            }
            const vehicles::VehicleValues now = vehicles::storedValues(read);
            const vehicles::VehicleValues old = fromJson(e.old);
            db::Statement update("update celiangzongbiao set ");
            QList<db::Statement> history;
            bool firstColumn = true;
            for (auto it = old.cbegin(); it != old.cend(); ++it) {
                const vehicles::VehicleColumn* column = vehicles::findColumn(it.key());
                if (!column)
                    continue;
                update.append(firstColumn ? "?=?" : ",?=?").bindSql(column->name);
                firstColumn = false;
                if (it.value().isEmpty() && column->form == vehicles::ColumnForm::Date)
                    update.bindNull();
                else
                    update.bind(it.value());
                history << db::Statement("insert into xiugaijilu (cheliangid,caozuo,yonghu,jiqi,shijian,ziduan,jiuzhi,xinzhi) "
                                         "values (?,?,?,?,now(),?,?,?)")
                               .bind(e.id.toLongLong())
                               .bind(QStringLiteral("撤销导入"))
                               .bind(author.user)
                               .bind(author.host)
                               .bind(column->name)
                               .bind(now.value(column->name))
                               .bind(it.value());
            }
            if (firstColumn) {
                ++result.undone;
                continue;
            }
            update.append(" where ID=?").bind(e.id.toLongLong());
            db::Transaction tx(*connection);
            const db::Reply locked = tx.run(db::Statement("select ID from celiangzongbiao where ID=? for update").bind(e.id.toLongLong()));
            QList<db::Statement> last {update};
            last << history;
            if (!locked.ok) {
                result.error = locked.error;
                return result;
            }
            const db::Reply done = tx.commit(last);
            if (!done.ok) {
                result.error = done.error;
                return result;
            }
        }
        ++result.undone;
    }
    const db::Reply mark = connection->run(db::Statement("update daorupici set chexiao=1 where ID=?").bind(batchId));
    if (!mark.ok) {
        result.error = mark.error;
        return result;
    }
    result.done = true;
    return result;
}

std::optional<std::vector<BatchInfo>> listImports(const db::ConnectionPtr& connection, QString* error)
{
    db::Reply r = connection->run(db::Statement(
        "select p.ID,p.wenjian,p.shijian,p.yonghu,p.chexiao,(select count(*) from daorujilu j where j.daoruid=p.ID) "
        "from daorupici p order by p.ID desc"));
    if (!r.ok) {
        if (error)
            *error = r.error;
        return std::nullopt;
    }
    std::vector<BatchInfo> out;
    while (r.rows && r.rows->next())
        out.push_back({r.rows->integer(0), r.rows->text(1), r.rows->text(2), r.rows->text(3),
            static_cast<int>(r.rows->integer(5)), r.rows->integer(4) != 0});
    return out;
}

} // namespace fd::import
