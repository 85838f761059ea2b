#include "reminders/DailyRun.h"

#include "reminders/ReminderRules.h"
#include "reminders/RunClaim.h"

namespace fd::reminders {

int dryRunDay(const db::ConnectionPtr& connection, qint64 today, const std::function<void(const QString&)>& say)
{
    ReminderPlan plan;
    QString error;
    if (!planReminders(connection, today, plan, &error, PlanRules::ReadOnly)) {
        say(QStringLiteral("读取车辆或提醒规则失败：%1").arg(error));
        return 2;
    }
    say(planReport(plan, true));
    say(QStringLiteral("试运行：没有发送任何短信，待发送%1条").arg(plan.count(PlanEntry::Status::Send)));
    return 0;
}

QString otherRunText(const QString& holder)
{
    return QStringLiteral("另一次自动提醒正在发送本公司的提醒（%1），本次运行不发送，今天的提醒由它完成。")
        .arg(holder.isEmpty() ? QStringLiteral("电脑不明") : holder);
}

int runDay(const db::ConnectionPtr& connection, const SmsAccount& account, qint64 today, RunOptions options,
    const std::function<void(const QString&)>& say)
{
    const RunClaim claim = claimRun(connection, options.runner);
    if (claim.outcome == RunClaim::Outcome::Busy) {
        say(otherRunText(claim.holder));
        return kExitOtherRun;
    }
    if (claim.outcome == RunClaim::Outcome::Failed) {
        say(QStringLiteral("无法登记本次运行：%1").arg(claim.error));
        return 2;
    }
    options.claimToken = claim.token;

    int status = 2;
    QString error;
    ReminderPlan plan;
    if (!planReminders(connection, today, plan, &error)) {
        say(QStringLiteral("读取车辆或提醒规则失败：%1").arg(error));
    } else {
        say(planReport(plan, false));
        const RunSummary summary = sendPlan(connection, account, plan, options, nullptr, [&](const StageOutcome& o) {
            say(QStringLiteral("%1 %2 %3 %4：%5")
                    .arg(o.entry->plate, o.entry->phone, o.entry->document, stageText(o.entry->stage), o.result));
        });
        say(summaryReport(plan, summary));
        status = exitStatus(plan, summary);
    }
    releaseRun(connection, claim.token);
    return status;
}

} // namespace fd::reminders
