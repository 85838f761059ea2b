#include "import/ImportRun.h"

#include "import/Mapping.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "db/ErrorCodes.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "vehicles/VehicleColumns.h"
#include "vehicles/VehicleStore.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <algorithm>
#include <memory>
#include <xlsxwriter.h>

namespace fd::import {

namespace {

const char kCreateBatches[] = "CREATE TABLE IF NOT EXISTS `daorupici` ("
                              " `ID` BIGINT NOT NULL AUTO_INCREMENT,"
                              " `wenjian` VARCHAR(255) NOT NULL DEFAULT '',"
                              " `yonghu` VARCHAR(64) NOT NULL DEFAULT '',"
                              " `jiqi` VARCHAR(255) NOT NULL DEFAULT '',"
                              " `shijian` DATETIME NOT NULL,"
                              " `chexiao` TINYINT NOT NULL DEFAULT 0,"
                              " PRIMARY KEY (`ID`)"
                              ") ENGINE=InnoDB DEFAULT CHARSET=gbk";

const char kCreateBatchRows[] = "CREATE TABLE IF NOT EXISTS `daorujilu` ("
                                " `ID` BIGINT NOT NULL AUTO_INCREMENT,"
                                " `daoruid` BIGINT NOT NULL,"
                                " `cheliangid` INT NOT NULL,"
                                " `caozuo` VARCHAR(16) NOT NULL,"
                                " `jiuzhi` MEDIUMTEXT NULL,"
                                " `lishiid` BIGINT NOT NULL DEFAULT 0,"
                                " PRIMARY KEY (`ID`),"
                                " KEY `idx_daoruid` (`daoruid`)"
                                ") ENGINE=InnoDB DEFAULT CHARSET=gbk";

const QString kAdded = QStringLiteral("新增");
const QString kChanged = QStringLiteral("修改");

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

bool ensureImportTables(const db::ConnectionPtr& connection, QString* error)
{
    if (!vehicles::ensureHistoryTable(connection, error))
        return false;
    const db::Reply r = connection->runAll(
        {db::Statement(QString::fromLatin1(kCreateBatches)), db::Statement(QString::fromLatin1(kCreateBatchRows))});
    if (!r.ok && error)
        *error = r.error;
    return r.ok;
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

ImportReport runImport(const db::ConnectionPtr& connection, const ImportSource& source, const ImportOptions& options,
    const vehicles::ChangeAuthor& author, bool dryRun, const Progress& progress)
{
    ImportReport report;
    QString error;
    if (!dryRun && !ensureImportTables(connection, &error)) {
        report.error = error;
        return report;
    }
    std::optional<StoredFleet> stored = readStoredFleet(connection, source.mapping, &error);
    if (!stored) {
        report.error = error;
        return report;
    }
    const std::vector<PlannedRow> plan = planRows(source, *stored, options);
    for (const PlannedRow& p : plan)
        report.rowsTotal += p.kind == PlannedRow::Empty ? 0 : 1;
    if (dryRun) {
        report.counts = countPlan(plan);
        for (const PlannedRow& p : plan)
            if (p.kind == PlannedRow::Refused)
                report.refused.push_back({p.sheetRow, source.sheet.rows[static_cast<std::size_t>(p.sheetRow)], p.reason});
        report.rowsDone = report.rowsTotal;
        return report;
    }
    db::Reply batch = connection->run(
        db::Statement("insert into daorupici (wenjian,yonghu,jiqi,shijian) values (?,?,?,now())")
            .bind(source.fileName.right(255))
            .bind(author.user)
            .bind(author.host));
    if (!batch.ok) {
        report.error = batch.error;
        return report;
    }
    db::Reply idReply = connection->run(db::Statement("select last_insert_id()"));
    if (!idReply.ok || !idReply.rows) {
        report.error = idReply.error;
        return report;
    }
    report.batchId = idReply.rows->integer(0);

    auto refuse = [&](const PlannedRow& p, const QString& why) {
        ++report.counts.refused;
        report.refused.push_back({p.sheetRow, source.sheet.rows[static_cast<std::size_t>(p.sheetRow)], why});
    };
    // A failed write whose session was lost stops the import: what is not written stays unwritten.
    auto sessionLost = [&connection](unsigned long before) {
        const db::Reply probe = connection->run(db::Statement("select 1"));
        return !probe.ok || connection->threadId() != before;
    };
    for (const PlannedRow& p : plan) {
        if (p.kind == PlannedRow::Empty)
            continue;
        const unsigned long sessionId = connection->threadId();
        switch (p.kind) {
        case PlannedRow::Refused:
            refuse(p, p.reason);
            break;
        case PlannedRow::Unchanged:
            ++report.counts.unchanged;
            break;
        case PlannedRow::Skipped:
            ++report.counts.skipped;
            break;
        case PlannedRow::New: {
            const vehicles::SaveResult added = vehicles::addVehicle(connection, newVehicleValues(p.converted.values), author);
            if (added.outcome == vehicles::SaveResult::Written) {
                ++report.counts.added;
                const db::Reply rec = connection->run(
                    recordStatement(report.batchId, added.stored.texts.value(QStringLiteral("ID")), kAdded, std::nullopt));
                if (!rec.ok)
                    report.stopped = QStringLiteral("导入记录无法保存：") + rec.error;
            } else if (added.outcome == vehicles::SaveResult::Taken) {
                refuse(p, takenReason(added.takenColumn));
            } else {
                refuse(p, added.error);
                if (sessionLost(sessionId))
                    report.stopped = added.error;
            }
            break;
        }
        case PlannedRow::Changed: {
            const vehicles::VehicleRecord read = vehicles::readVehicle(connection, p.vehicleId);
            if (!read.found) {
                refuse(p, read.error.isEmpty() ? QStringLiteral("车辆已被删除") : read.error);
                if (!read.error.isEmpty() && sessionLost(sessionId))
                    report.stopped = read.error;
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
                ++report.counts.unchanged;
                break;
            }
            const vehicles::SaveResult saved = vehicles::saveVehicle(connection, read, mine, p.vehicleId, author);
            if (saved.outcome == vehicles::SaveResult::Written) {
                ++report.counts.updated;
                const db::Reply rec = connection->run(recordStatement(report.batchId, p.vehicleId, kChanged, toJson(old)));
                if (!rec.ok)
                    report.stopped = QStringLiteral("导入记录无法保存：") + rec.error;
            } else {
                refuse(p, saved.outcome == vehicles::SaveResult::Conflict ? QStringLiteral("车辆正被其他人修改")
                                                                            : saved.error);
                if (saved.outcome == vehicles::SaveResult::Failed && sessionLost(sessionId))
                    report.stopped = saved.error;
            }
            break;
        }
        case PlannedRow::Empty:
            break;
        }
        ++report.rowsDone;
        if (!report.stopped.isEmpty())
            break;
        if (progress && !progress(report.rowsDone, report.rowsTotal)) {
            report.cancelled = true;
            break;
        }
    }
    return report;
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
    lxw_worksheet* sheet = workbook_add_worksheet(raw, nullptr);
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
    QString error;
    if (!ensureImportTables(connection, &error)) {
        result.error = error;
        return result;
    }
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
    if (!ensureImportTables(connection, error))
        return std::nullopt;
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
