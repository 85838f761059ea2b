#include "reminders/ReminderRun.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "db/ErrorCodes.h"
#include "net/Http.h"
#include "reminders/RunClaim.h"
#include "sms/SendRun.h"

#include <QThread>
#include <chrono>

namespace fd::reminders {
namespace {

    using Clock = std::chrono::steady_clock;

    QString dayText(qint64 day)
    {
        int y = 0, m = 0, d = 0;
        datetime::civilFromDays(day, y, m, d);
        return datetime::dateText(y, m, d);
    }

    // " where " and the key of the entry's stage.
    db::Statement stageCondition(const PlanEntry& e)
    {
        return db::Statement(" where cheliangid=? and wendang=? and youxiaoqi=? and jieduan=?")
            .bind(e.vehicleId)
            .bind(e.column)
            .bind(dayText(e.expiryDay))
            .bind(e.stage);
    }

    enum class Claim { Won, TakenElsewhere, Failed };

    Claim claim(db::Connection& c, const PlanEntry& e, const QString& runner, QString& reason)
    {
        const db::Statement assignments = db::Statement("cepaihao=?,dianhua=?,neirong=?,biaojishijian=now(),jiqi=?")
                                              .bind(e.plate)
                                              .bind(e.phone)
                                              .bind(e.message)
                                              .bind(runner.left(64));
        const db::Reply inserted = c.run(db::Statement("insert into tixingjilu set cheliangid=?,wendang=?,youxiaoqi=?,jieduan=?,")
                                             .bind(e.vehicleId)
                                             .bind(e.column)
                                             .bind(dayText(e.expiryDay))
                                             .bind(e.stage)
                                             .append(assignments));
        if (inserted.ok)
            return Claim::Won;
        if (inserted.errorCode == db::errors::kDuplicateKey) {
            // Tried before without the message going out: claimed anew, by one run only.
            const db::Reply updated = c.run(db::Statement("update tixingjilu set ")
                                                .append(assignments)
                                                .append(",jieguo=null,jieguoshijian=null")
                                                .append(stageCondition(e))
                                                .append(db::Statement(" and jieguo=?").bind(kNotSentResult)));
            if (!updated.ok) {
                reason = updated.error;
                return Claim::Failed;
            }
            return updated.matchedRows == 1 ? Claim::Won : Claim::TakenElsewhere;
        }
        // Not known to be claimed (the insert may even have reached the server): not sent. A
        // claim that did land stays without a result and is reported by the next run.
        reason = inserted.error;
        return Claim::Failed;
    }

    // What became of one request.
    struct Delivery {
        enum Kind { Accepted, NotSent, Unknown } kind = Unknown;
        QString reason; // NotSent: why, for the report
        bool logged = false;
    };

    // The message goes out and, when accepted, is logged as the mass send logs it. Nothing went out
    // when the platform could not be reached, or when it answered with a refusal ("result=" and a
    // code other than 0). A request that went and had no answer (a time-out, an empty or error
    // page) may have been sent.
    Delivery deliver(const SmsAccount& account, const ReminderPlan& plan, const PlanEntry& e, int index,
        db::Connection& connection)
    {
        sms::SendRequest request;
        request.platform = account.platform;
        request.user = account.user;
        request.password = account.password;
        request.index = index;
        request.plate = e.plate;
        request.phone = e.phone;
        request.message = e.message;
        request.suffix = plan.rules.signature;
        request.logDate = dayText(plan.today);
        const QString url
            = sms::smsSendUrl(account.platform, account.user, account.password, e.phone, e.message, request.suffix);
        net::Failure failure;
        const QByteArray reply = net::httpGetFirst({url}, account.platform.http, &failure);
        Delivery d;
        if (sms::smsReadSendReply(reply)) {
            d.kind = Delivery::Accepted;
            d.logged = sms::logSentMessage(request, connection);
        } else if (failure.kind == net::Failure::CannotConnect) {
            d.kind = Delivery::NotSent;
            d.reason = QStringLiteral("连接不上短信平台");
        } else if (reply.startsWith("result=")) {
            d.kind = Delivery::NotSent;
            d.reason = QStringLiteral("短信平台拒绝：") + text::fromGbk(reply.left(80)).trimmed();
        }
        return d;
    }

    // Waits until the moment, in short steps so that a stop is heard. False when stopped.
    bool waitUntil(Clock::time_point at, const std::atomic_bool* stop)
    {
        while (Clock::now() < at) {
            if (stop && stop->load())
                return false;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at - Clock::now()).count();
            QThread::msleep(static_cast<unsigned long>(std::clamp<qint64>(left, 1, 50)));
        }
        return !(stop && stop->load());
    }

} // namespace

RunSummary sendPlan(const db::ConnectionPtr& connection, const SmsAccount& account, const ReminderPlan& plan,
    const RunOptions& options, const std::atomic_bool* stop, const std::function<void(const StageOutcome&)>& each)
{
    RunSummary s;
    s.planned = plan.count(PlanEntry::Status::Send);
    if (s.planned == 0)
        return s;
    if (!connection) {
        s.error = QStringLiteral("没有连接数据库。");
        return s;
    }
    if (account.user.isEmpty()) {
        s.error = QStringLiteral("设置文件中没有自动提醒的短信平台账号（smsUser、smsPassword）。");
        return s;
    }
    if (!account.platform.complete()) {
        s.error = QStringLiteral("设置文件中的短信平台地址（smsUrlTemplate）不完整。");
        return s;
    }
    if (!sms::smsCheckAccount(account.platform, account.user, account.password)) {
        s.error = QStringLiteral("短信平台不接受自动提醒的账号，或者连接不上短信平台。");
        return s;
    }
    const QString balance = sms::smsGetBalance(account.platform, account.user, account.password);
    if (text::isBelow(text::toNumber(balance), s.planned)) {
        s.error = QStringLiteral("短信余额还有%1条，少于今天要发送的%2条，请充值后再发送。").arg(balance).arg(s.planned);
        return s;
    }

    int index = 0;
    int failuresInARow = 0;
    Clock::time_point nextAt = Clock::now();
    for (const PlanEntry& e : plan.entries) {
        if (e.status != PlanEntry::Status::Send)
            continue;
        ++index;
        if (!waitUntil(nextAt, stop)) {
            s.notReached = s.planned - index + 1;
            break;
        }
        if (!options.claimToken.isEmpty() && !keepRunClaim(connection, options.claimToken)) {
            s.claimLost = true;
            s.notReached = s.planned - index + 1;
            break;
        }
        StageOutcome outcome {&e, QString(), false};
        QString reason;
        bool tried = true; // false: another run had the stage
        const Claim claimed = claim(*connection, e, options.runner, reason);
        if (claimed == Claim::TakenElsewhere) {
            ++s.takenElsewhere;
            tried = false;
            outcome.result = QStringLiteral("已由另一次运行发送");
            outcome.ok = true;
        } else if (claimed == Claim::Failed) {
            ++s.failed;
            outcome.result = QStringLiteral("失败：无法登记（%1），未发送").arg(reason);
        } else {
            const Delivery sent = deliver(account, plan, e, index, *connection);
            // The pace counts from the answer, not from the request: the platform counts arrivals,
            // and a request held up on its way must not arrive close behind the one before it.
            nextAt = Clock::now() + std::chrono::milliseconds(options.paceMs);
            QString result; // what the stage keeps; empty: no result, a person decides
            switch (sent.kind) {
            case Delivery::Accepted:
                ++s.sent;
                outcome.ok = true;
                result = outcome.result = kSentResult;
                if (!sent.logged) {
                    ++s.unlogged;
                    outcome.result += QStringLiteral("（未能记入短信记录）");
                }
                break;
            case Delivery::NotSent:
                ++s.failed;
                result = kNotSentResult;
                outcome.result = QStringLiteral("失败：%1，未发出，下次运行再发").arg(sent.reason);
                break;
            case Delivery::Unknown:
                ++s.unknown;
                outcome.result = QStringLiteral("结果不明，待人工确认");
                break;
            }
            const db::Statement assignments = result.isEmpty()
                ? db::Statement("jieguoshijian=now()")
                : db::Statement("jieguo=?,jieguoshijian=now()").bind(result);
            const db::Reply closed
                = connection->run(db::Statement("update tixingjilu set ").append(assignments).append(stageCondition(e)));
            if (!closed.ok) {
                // The message went (or not); the stage stays marked and is reported, never re-sent.
                if (outcome.ok)
                    ++s.failed;
                outcome.ok = false;
                outcome.result += QStringLiteral("；结果未能登记（%1）").arg(closed.error);
            }
        }
        if (each)
            each(outcome);
        if (tried)
            failuresInARow = outcome.ok ? 0 : failuresInARow + 1;
        if (failuresInARow >= options.maxFailuresInARow && index < s.planned) {
            s.gaveUpAfter = failuresInARow;
            s.notReached = s.planned - index;
            break;
        }
    }
    return s;
}

namespace {

    QString line(const PlanEntry& e)
    {
        return QStringLiteral("%1 %2 %3 %4 %5 %6").arg(e.plate, e.phone.isEmpty() ? QStringLiteral("-") : e.phone,
            e.document, e.expiryText, stageText(e.stage), statusText(e.status));
    }

} // namespace

QString planReport(const ReminderPlan& plan, bool dryRun)
{
    int y = 0, m = 0, d = 0;
    datetime::civilFromDays(plan.today, y, m, d);
    QStringList out;
    out << QStringLiteral("自动提醒 %1：车辆%2辆，今天到期的提醒%3条").arg(datetime::dateText(y, m, d)).arg(plan.vehicles).arg(
        plan.entries.size());
    for (const PlanEntry& e : plan.entries) {
        if (e.status == PlanEntry::Status::AlreadySent)
            continue;
        QString l = line(e);
        if (dryRun && e.status == PlanEntry::Status::Send)
            l += QStringLiteral("：") + e.message + plan.rules.signature;
        out << l;
    }
    const int already = plan.count(PlanEntry::Status::AlreadySent);
    if (already > 0)
        out << QStringLiteral("已经处理过的%1条不再发送").arg(already);
    return out.join(QLatin1Char('\n'));
}

QString summaryReport(const ReminderPlan& plan, const RunSummary& s)
{
    QStringList out;
    if (!s.error.isEmpty())
        out << QStringLiteral("未发送：") + s.error;
    out << QStringLiteral("发送成功%1条，失败%2条；跳过：已处理%3条，另一次运行发送%4条，车辆转出或注销%5条，"
                          "没有手机号%6条，手机号不是11位数字%7条；结果不明待人工确认%8条")
               .arg(s.sent)
               .arg(s.failed)
               .arg(plan.count(PlanEntry::Status::AlreadySent))
               .arg(s.takenElsewhere)
               .arg(plan.count(PlanEntry::Status::OutOfService))
               .arg(plan.count(PlanEntry::Status::NoPhone))
               .arg(plan.count(PlanEntry::Status::BadPhone))
               .arg(plan.count(PlanEntry::Status::Unresolved) + s.unknown);
    if (s.unlogged > 0)
        out << QStringLiteral("其中%1条发送成功的短信未能记入短信记录").arg(s.unlogged);
    if (s.gaveUpAfter > 0)
        out << QStringLiteral("连续%1条没有发送成功，运行停止，其余%2条留给下一次运行").arg(s.gaveUpAfter).arg(s.notReached);
    else if (s.claimLost)
        out << QStringLiteral("另一次运行接手了今天的发送，其余%1条留给它").arg(s.notReached);
    else if (s.notReached > 0)
        out << QStringLiteral("运行被停止，%1条未发送").arg(s.notReached);
    return out.join(QLatin1Char('\n'));
}

int exitStatus(const ReminderPlan& plan, const RunSummary& s)
{
    if (!s.error.isEmpty())
        return 2;
    if (s.failed > 0 || s.unknown > 0 || s.unlogged > 0 || s.notReached > 0
        || plan.count(PlanEntry::Status::Unresolved) > 0)
        return 1;
    return 0;
}

} // namespace fd::reminders
