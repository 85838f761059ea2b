#include "reminders/ReminderHistory.h"

#include "db/Legacy.h"
#include "reminders/ReminderPlan.h"
#include "reminders/ReminderRules.h"

namespace fd::reminders {

bool readHistory(const db::ConnectionPtr& connection, const QString& plateFilter, int limit,
    std::vector<HistoryRow>& rows, QString* error)
{
    rows.clear();
    QString sql = QStringLiteral("select j.biaojishijian,j.cepaihao,j.dianhua,coalesce(g.mingcheng,j.wendang) as wendang,"
                                 "j.youxiaoqi,j.jieduan,j.jieguo,j.jiqi,j.neirong from tixingjilu j "
                                 "left join tixingguize g on g.wendang=j.wendang");
    if (!plateFilter.isEmpty()) {
        // The filter is a plain text: "%" and "_" in it are not wildcards.
        QString escaped = db::dbEscape(connection, plateFilter);
        escaped.replace(QLatin1String("%"), QLatin1String("\\%")).replace(QLatin1String("_"), QLatin1String("\\_"));
        sql += QStringLiteral(" where j.cepaihao like '%") + escaped + QStringLiteral("%'");
    }
    sql += QStringLiteral(" order by j.biaojishijian desc, j.ID desc limit ") + QString::number(limit);
    if (!db::dbExecute(connection, sql)) {
        if (error)
            *error = db::dbLastError(connection);
        return false;
    }
    for (db::ResultPtr r = db::dbStoreResult(connection); r && !r->atEnd(); r->skipRow()) {
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
