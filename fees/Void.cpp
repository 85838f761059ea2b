#include "fees/Void.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "db/ErrorCodes.h"
#include "db/Retry.h"
#include "db/Transaction.h"
#include "fees/LedgerSchema.h"
#include "fees/PaymentLedger.h"

namespace fd::fees {
namespace {

constexpr int kAttempts = 5;

struct Attempt {
    VoidResult result;
    bool raced = false;
};

Attempt ended(VoidResult::Outcome outcome, const QString& error = QString())
{
    Attempt a;
    a.result.outcome = outcome;
    a.result.error = error;
    return a;
}

Attempt failed(const db::Reply& reply, const QString& what)
{
    Attempt a;
    if (reply.errorCode == db::errors::kDuplicateKey)
        return ended(VoidResult::AlreadyVoided, QStringLiteral("此收据已作废。"));
    a.result.outcome = VoidResult::Failed;
    a.result.error = what;
    a.result.details = reply.error;
    a.raced = reply.errorCode == db::errors::kDeadlock;
    return a;
}

QString historyDate(const QString& stored)
{
    const QDate date = QDate::fromString(stored.left(10), QStringLiteral("yyyy-MM-dd"));
    return date.isValid() ? datetime::dateText(date) : QString();
}

Attempt voidOnce(db::Connection& session, qint64 ledgerId, const QString& reason, const QString& clerk,
    const QString& machine)
{
    db::Transaction tx(session);
    const db::Reply payment = tx.run(
        db::Statement("SELECT s.cheliangid,s.cepaihao,s.cezuxingming,s.feiyong,s.qitamingcheng,s.qijian,s.jine,"
                      "s.fangshi,s.jiaokuanren,s.yueshu,s.daoqiqian,s.daoqihou,DATE(s.shijian)=CURDATE() AS jintian,"
                      "(SELECT z.ID FROM shoufeijilu z WHERE z.zuofeiid=s.ID) AS zuofei"
                      " FROM shoufeijilu s WHERE s.ID=? AND s.leixing='收费' FOR UPDATE")
            .bind(ledgerId));
    if (!payment.ok)
        return failed(payment, QStringLiteral("读取收费记录失败"));
    if (!payment.rows || !payment.rows->hasRow())
        return ended(VoidResult::NoPayment, QStringLiteral("没有此收费记录。"));
    const db::Result& p = *payment.rows;
    if (!p.isNull(p.columnIndex("zuofei")))
        return ended(VoidResult::AlreadyVoided, QStringLiteral("此收据已作废。"));
    if (p.integer("jintian") != 1)
        return ended(VoidResult::NotToday, QStringLiteral("只能作废当天的收据。"));
    const qint64 vehicleId = p.integer("cheliangid");
    const std::optional<FeeKind> kind = feeKindNamed(p.text("feiyong"));
    if (!kind)
        return ended(VoidResult::Refused, QStringLiteral("收费记录的费用种类“%1”无法识别。").arg(p.text("feiyong")));
    const QString otherName = p.text("qitamingcheng");
    const int period = static_cast<int>(p.integer("qijian"));
    const QDate before = p.date("daoqiqian");
    const QDate after = p.date("daoqihou");
    const bool hadMonths = p.integer("yueshu") > 0;

    const db::Reply vehicle = tx.run(vehicleStatement(vehicleId, *kind, true));
    if (!vehicle.ok)
        return failed(vehicle, QStringLiteral("读取车辆失败"));
    const bool vehicleFound = vehicle.rows && vehicle.rows->hasRow();
    VehicleFees now;
    if (vehicleFound)
        now = vehicleFeesOf(*vehicle.rows, vehicleId, *kind, otherName);

    const db::Reply inserted = tx.runAll({
        db::Statement("INSERT INTO shoufeijilu (leixing,cheliangid,cepaihao,cezuxingming,feiyong,qitamingcheng,qijian,"
                      "jine,fangshi,jiaokuanren,zuofeiid,zuofeiyuanyin,jingbanren,jiqi,shijian)"
                      " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,NOW())")
            .bind(kVoidRow)
            .bind(vehicleId)
            .bind(p.text("cepaihao"))
            .bind(p.text("cezuxingming"))
            .bind(p.text("feiyong"))
            .bind(otherName)
            .bind(period)
            .bind(p.integer("jine"))
            .bind(p.text("fangshi"))
            .bind(p.text("jiaokuanren"))
            .bind(ledgerId)
            .bind(reason)
            .bind(clerk)
            .bind(machine),
        periodStatement(vehicleId, *kind, otherName),
    });
    if (!inserted.ok)
        return failed(inserted, QStringLiteral("写入作废记录失败"));

    Attempt done = ended(VoidResult::Voided);
    done.result.after = statusOf(inserted.rows.get(), now);
    QList<db::Statement> last;
    const std::optional<FeeColumns> fee = feeColumns(*kind);
    if (vehicleFound) {
        QList<std::pair<QString, QString>> writes;
        // The columns show the open period: a payment of an earlier one changes nothing there.
        if (fee && done.result.after.period == period) {
            writes.append({fee->paid, money::formatFen(done.result.after.paid.fen)});
            writes.append({fee->owed, done.result.after.owed().shown()});
        }
        const bool takeBack = *kind == FeeKind::Management && hadMonths && now.expiry() == after;
        if (takeBack)
            writes.append({kManagementExpiry, before.isValid() ? datetime::dateText(before) : QString()});
        done.result.expiryTakenBack = takeBack;
        if (!writes.isEmpty()) {
            db::Statement update("UPDATE celiangzongbiao SET ");
            db::Statement history(
                "INSERT INTO xiugaijilu (cheliangid,caozuo,yonghu,jiqi,shijian,ziduan,jiuzhi,xinzhi) VALUES ");
            int rows = 0;
            for (qsizetype i = 0; i < writes.size(); ++i) {
                const auto& [column, value] = writes[i];
                update.append(i > 0 ? "," : "");
                update.append(db::Statement("?=?").bindSql(column));
                if (column == kManagementExpiry)
                    update.bind(before);
                else
                    update.bind(value);
                const QString old = column == kManagementExpiry ? historyDate(now.columns.value(column))
                                                                 : now.columns.value(column);
                if (old == value)
                    continue;
                history.append(rows++ > 0 ? "," : "");
                history.append(db::Statement("(?,?,?,?,NOW(),?,?,?)")
                                   .bind(vehicleId)
                                   .bind(kVoidAction)
                                   .bind(clerk)
                                   .bind(machine)
                                   .bind(column)
                                   .bind(old)
                                   .bind(value));
            }
            update.append(db::Statement(" WHERE ID=?").bind(vehicleId));
            last.append(update);
            if (rows > 0)
                last.append(history);
        }
    }
    const db::Reply committed = tx.commit(last);
    if (!committed.ok)
        return failed(committed, QStringLiteral("保存作废失败"));
    return done;
}

} // namespace

VoidResult voidPayment(db::Connection& session, qint64 ledgerId, const QString& reason, const QString& clerk,
    const QString& machine)
{
    const QString why = reason.trimmed();
    if (why.isEmpty() || !text::toGbk(why).ok() || why.size() > 200) {
        VoidResult r;
        r.outcome = VoidResult::Refused;
        r.error = why.isEmpty() ? QStringLiteral("请填写作废原因。") : QStringLiteral("作废原因最多200个字，且不能含有无法保存的字符。");
        return r;
    }
    Attempt last;
    for (int i = 0; i < kAttempts; ++i) {
        if (i > 0 && last.raced)
            db::pauseBeforeRetry(i);
        last = voidOnce(session, ledgerId, why, clerk, machine);
        if (!last.raced)
            return last.result;
    }
    last.result.error = QStringLiteral("其他人正同时修改此车辆，请稍后再作废：") + last.result.error;
    return last.result;
}

} // namespace fd::fees
