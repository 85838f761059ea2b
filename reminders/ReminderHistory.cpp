#include "reminders/ReminderHistory.h"

#include "db/Database.h"
#include "reminders/ReminderPlan.h"
#include "reminders/ReminderRules.h"

namespace fd::reminders {
namespace {

    // The plate filter as a LIKE pattern matching the plates that contain it as typed: "%", "_" and
    // the escape character itself stand for themselves. The escape character is named in the
    // statement, so that a server reading backslashes as plain text escapes alike.
    QString containsPattern(const QString& text)
    {
        QString pattern = text;
        pattern.replace(QLatin1String("|"), QLatin1String("||"))
            .replace(QLatin1String("%"), QLatin1String("|%"))
            .replace(QLatin1String("_"), QLatin1String("|_"));
        return QLatin1Char('%') + pattern + QLatin1Char('%');
    }

} // namespace

bool readHistory(const db::ConnectionPtr& connection, const QString& plateFilter, int limit,
    std::vector<HistoryRow>& rows, QString* error)
{
    rows.clear();
    db::Statement statement("select j.biaojishijian,j.cepaihao,j.dianhua,coalesce(g.mingcheng,j.wendang) as wendang,"
                            "j.youxiaoqi,j.jieduan,j.jieguo,j.jiqi,j.neirong from tixingjilu j "
                            "left join tixingguize g on g.wendang=j.wendang");
    if (!plateFilter.isEmpty())
        statement.append(db::Statement(" where j.cepaihao like ? escape '|'").bind(containsPattern(plateFilter)));
    statement.append(db::Statement(" order by j.biaojishijian desc, j.ID desc limit ?").bind(limit));
    db::Reply reply = connection ? connection->run(statement) : db::Reply {};
    if (!reply.ok) {
        if (error)
            *error = connection ? reply.error : QStringLiteral("没有连接数据库");
        return false;
    }
    for (const db::ResultPtr& r = reply.rows; r && r->next();) {
        HistoryRow row;
        qint32 stage = 0;
        db::dbReadField(r, "biaojishijian", row.marked);
        db::dbReadField(r, "cepaihao", row.plate);
        db::dbReadField(r, "dianhua", row.phone);
        db::dbReadField(r, "wendang", row.document);
        db::dbReadField(r, "youxiaoqi", row.expiry);
        db::dbReadField(r, "jieduan", stage);
        db::dbReadField(r, "jieguo", row.result);
        db::dbReadField(r, "jiqi", row.runner);
        db::dbReadField(r, "neirong", row.message);
        row.stage = stageText(stage);
        if (row.result.isEmpty())
            row.result = QStringLiteral("结果不明，待人工确认");
        rows.push_back(row);
    }
    return true;
}

} // namespace fd::reminders
