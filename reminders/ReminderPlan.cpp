#include "reminders/ReminderPlan.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "db/Database.h"
#include "db/ErrorCodes.h"
#include "sms/SmsMessages.h"

#include <QHash>
#include <algorithm>

namespace fd::reminders {
namespace {

    QString stageKey(qint64 vehicleId, const QString& column, qint64 expiryDay, int stage)
    {
        return QStringLiteral("%1|%2|%3|%4").arg(vehicleId).arg(column).arg(expiryDay).arg(stage);
    }

    bool readDay(const db::Result& result, int column, qint64& day)
    {
        if (column < 0 || result.isNull(column))
            return false;
        datetime::DateTimeParts p;
        if (!datetime::readDateTimeText(result.data(column), result.size(column), p))
            return false;
        day = datetime::daysFromCivil(p.year, p.month, p.day);
        return true;
    }

    QString dayText(qint64 day)
    {
        int y = 0, m = 0, d = 0;
        datetime::civilFromDays(day, y, m, d);
        return datetime::dateText(y, m, d);
    }

    // The results recorded for the stages of documents that may be due today, by stage key; a
    // marked stage without a result maps to the empty text.
    bool readRecords(db::Connection& connection, qint64 today, int longestLead, QHash<QString, QString>& out,
        QString* error)
    {
        db::Reply reply = connection.stream(
            db::Statement("select cheliangid,wendang,youxiaoqi,jieduan,jieguo from tixingjilu "
                          "where youxiaoqi>=? and youxiaoqi<=?")
                .bind(dayText(today - kAfterExpiryCatchUpDays - 1))
                .bind(dayText(today + longestLead)));
        if (!reply.ok) {
            // No stage table yet (a dry run that creates nothing): no stage was ever recorded.
            if (reply.errorCode == db::errors::kNoSuchTable)
                return true;
            if (error)
                *error = reply.error;
            return false;
        }
        const db::ResultPtr& result = reply.rows;
        while (result && result->next()) {
            qint64 id = 0, expiry = 0;
            qint32 stage = 0;
            QString column, outcome;
            db::dbReadField(result, "cheliangid", id);
            db::dbReadField(result, "wendang", column);
            db::dbReadField(result, "jieduan", stage);
            db::dbReadField(result, "jieguo", outcome);
            if (readDay(*result, result->columnIndex("youxiaoqi"), expiry))
                out.insert(stageKey(id, column, expiry, stage), outcome);
        }
        if (result && result->failed()) {
            if (error)
                *error = result->error();
            return false;
        }
        return true;
    }

} // namespace

int ReminderPlan::count(PlanEntry::Status status) const
{
    return static_cast<int>(
        std::count_if(entries.begin(), entries.end(), [status](const PlanEntry& e) { return e.status == status; }));
}

QString stageText(int stage)
{
    if (stage == kAfterExpiry)
        return QStringLiteral("过期次日");
    if (stage == 0)
        return QStringLiteral("到期当天");
    return QStringLiteral("提前%1天").arg(stage);
}

QString statusText(PlanEntry::Status status)
{
    switch (status) {
    case PlanEntry::Status::Send:
        return QStringLiteral("待发送");
    case PlanEntry::Status::AlreadySent:
        return QStringLiteral("已处理");
    case PlanEntry::Status::Unresolved:
        return QStringLiteral("结果不明，待人工确认");
    case PlanEntry::Status::OutOfService:
        return QStringLiteral("车辆已转出或注销");
    case PlanEntry::Status::NoPhone:
        return QStringLiteral("没有手机号");
    case PlanEntry::Status::BadPhone:
        return QStringLiteral("手机号不是11位数字");
    }
    return QString();
}

bool planReminders(
    const db::ConnectionPtr& connection, qint64 today, ReminderPlan& plan, QString* error, PlanRules rules)
{
    plan = ReminderPlan();
    plan.today = today;
    if (rules == PlanRules::StoreDefaults && !ensureDefaultRules(connection, error))
        return false;
    if (!loadRules(connection, plan.rules, error))
        return false;

    int longestLead = 0;
    std::vector<const ReminderRule*> active;
    for (const ReminderRule& rule : plan.rules.rules) {
        if (!rule.enabled)
            continue;
        active.push_back(&rule);
        for (const int d : rule.daysBefore)
            longestLead = std::max(longestLead, d);
    }
    QHash<QString, QString> records;
    if (active.empty() || !readRecords(*connection, today, longestLead, records, error))
        return active.empty();

    // The date columns are the rules', which are the program's own names of celiangzongbiao.
    QString columns = QStringLiteral("ID,cepaihao,cezuxingming,cezudianhua,celiangzuangtai");
    for (const ReminderRule* rule : active)
        columns += QLatin1Char(',') + rule->column;
    db::Reply reply = connection->stream(db::Statement("select ? from celiangzongbiao").bindSql(columns));
    if (!reply.ok || !reply.rows) {
        if (error)
            *error = reply.error;
        return false;
    }
    const db::ResultPtr& result = reply.rows;
    std::vector<int> dateColumns;
    for (const ReminderRule* rule : active)
        dateColumns.push_back(result->columnIndex(rule->column));

    const QString outOfService[] = {QStringLiteral("转出"), QStringLiteral("注销")};
    while (result->next()) {
        ++plan.vehicles;
        PlanEntry base;
        bool vehicleRead = false;
        for (std::size_t i = 0; i < active.size(); ++i) {
            const ReminderRule& rule = *active[i];
            qint64 expiry = 0;
            if (!readDay(*result, dateColumns[i], expiry))
                continue; // NULL, zero or malformed: never reminded
            const std::optional<DueStage> due = dueStage(rule.daysBefore, rule.afterExpiry, expiry, today);
            if (!due)
                continue;
            if (!vehicleRead) { // most vehicles have nothing due: their texts are not even read
                db::dbReadField(result, "ID", base.vehicleId);
                db::dbReadField(result, "cepaihao", base.plate);
                db::dbReadField(result, "cezuxingming", base.owner);
                db::dbReadField(result, "cezudianhua", base.phone);
                db::dbReadField(result, "celiangzuangtai", base.vehicleStatus);
                base.phone = text::trimSpaces(base.phone);
                vehicleRead = true;
            }
            PlanEntry e = base;
            e.column = rule.column;
            e.document = rule.document;
            e.expiryDay = expiry;
            e.expiryText = QString::fromLatin1(result->data(dateColumns[i]), qsizetype(result->size(dateColumns[i])))
                               .left(10);
            e.stage = due->stage;
            const sms::ReminderParts parts {rule.document,
                due->expired() ? QStringLiteral("已经") : QStringLiteral("将于"), rule.action};
            e.message = sms::composeReminder(e.plate, e.expiryText, parts);
            const auto record = records.constFind(stageKey(e.vehicleId, e.column, expiry, e.stage));
            const QString status = text::trimSpaces(e.vehicleStatus);
            if (record != records.constEnd())
                e.earlierResult = *record;
            // A stage tried before whose message did not go out is due again.
            if (record != records.constEnd() && *record != kNotSentResult) {
                e.status = record->isEmpty() ? PlanEntry::Status::Unresolved : PlanEntry::Status::AlreadySent;
            } else if (status == outOfService[0] || status == outOfService[1]) {
                e.status = PlanEntry::Status::OutOfService;
            } else if (e.phone.isEmpty()) {
                e.status = PlanEntry::Status::NoPhone;
            } else if (!sms::isMobileNumber(e.phone)) {
                e.status = PlanEntry::Status::BadPhone;
            }
            plan.entries.push_back(std::move(e));
        }
    }
    if (result->failed()) {
        if (error)
            *error = result->error();
        return false;
    }
    return true;
}

} // namespace fd::reminders
