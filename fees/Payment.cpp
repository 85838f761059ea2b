#include "fees/Payment.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "db/ErrorCodes.h"
#include "db/Retry.h"
#include "db/Transaction.h"
#include "fees/LedgerSchema.h"
#include "fees/PaymentLedger.h"
#include "fees/ReceiptNumber.h"

namespace fd::fees {
namespace {

// How often a payment is read and decided again after losing a race to another office's write.
constexpr int kAttempts = 10;

std::function<void()>& beforeCommitHook()
{
    static std::function<void()> hook;
    return hook;
}

struct Attempt {
    PaymentResult result;
    bool raced = false;
    bool noTable = false;
};

Attempt failed(const db::Reply& reply, const QString& what)
{
    Attempt a;
    a.result.outcome = PaymentResult::Failed;
    a.result.error = what;
    a.result.details = reply.error;
    a.raced = reply.errorCode == db::errors::kDeadlock;
    a.noTable = reply.errorCode == db::errors::kNoSuchTable;
    return a;
}

Attempt ended(PaymentResult::Outcome outcome, const QString& error = QString())
{
    Attempt a;
    a.result.outcome = outcome;
    a.result.error = error;
    return a;
}

// The columns of the vehicle a payment of the kind compares and writes.
QStringList comparedColumns(FeeKind kind)
{
    QStringList columns;
    if (const auto c = feeColumns(kind))
        columns = {c->due, c->paid, c->owed, c->date, c->clerk};
    if (kind == FeeKind::Management)
        columns.append(kManagementExpiry);
    return columns;
}

// A stored date in the form the history and the window write it (2026-3-5); empty for none.
QString historyDate(const QString& stored)
{
    const QDate date = QDate::fromString(stored.left(10), QStringLiteral("yyyy-MM-dd"));
    return date.isValid() ? datetime::dateText(date) : QString();
}

Attempt payOnce(db::Connection& session, const PaymentRequest& request)
{
    db::Transaction tx(session);
    const QStringList columns = comparedColumns(request.kind);
    db::Reply vehicle = tx.run(vehicleStatement(request.vehicleId, request.kind, true));
    if (!vehicle.ok)
        return failed(vehicle, QStringLiteral("读取车辆失败"));
    if (!vehicle.rows || !vehicle.rows->hasRow())
        return ended(PaymentResult::NoVehicle, QStringLiteral("没有此车辆（可能已被删除）"));
    VehicleFees now = vehicleFeesOf(*vehicle.rows, request.vehicleId, request.kind, request.otherName);

    // Another office's change of the fee columns since the window read them is never overwritten.
    QStringList changed;
    for (const QString& column : columns)
        if (now.columns.value(column) != request.read.columns.value(column))
            changed.append(column);
    if (!changed.isEmpty()) {
        Attempt a = ended(PaymentResult::Conflict,
            QStringLiteral("其他人刚修改了此车辆的%1，没有收费。请核对重新读出的数据后再确定。").arg(feeName(request.kind)));
        a.result.changedColumns = changed;
        return a;
    }

    db::Reply period = tx.run(periodStatement(request.vehicleId, request.kind, request.otherName));
    if (!period.ok)
        return failed(period, QStringLiteral("读取收费记录失败"));
    now.status = statusOf(period.rows.get(), now);

    const std::optional<FeeColumns> fee = feeColumns(request.kind);
    int number = now.status.period;
    qint64 due = 0, paidBefore = 0;
    std::optional<qint64> opening;
    QString openingRemark;
    if (request.newDueFen) {
        if (!now.status.dueFromVehicle)
            number += 1; // else the vehicle's amount had opened the next period: this one replaces it
        due = *request.newDueFen;
        opening = due;
    } else if (number == 0 && fee) {
        // The stored texts are carried into period 1: from then on the ledger tells it all.
        if (!now.status.due.readable || !now.status.paid.readable)
            return ended(PaymentResult::Refused,
                QStringLiteral("此车辆的%1应缴费用或已缴费用无法识别（%2 / %3）：请先在车辆窗口改正，或填写本期应缴。")
                    .arg(feeName(request.kind), now.status.due.shown(), now.status.paid.shown()));
        number = 1;
        due = now.status.due.fen - now.status.paid.fen;
        opening = due;
        openingRemark = QStringLiteral("结转：应缴%1，已缴%2")
                            .arg(money::formatFen(now.status.due.fen), money::formatFen(now.status.paid.fen));
    } else if (now.status.dueFromVehicle) {
        due = now.status.due.fen;
        opening = due;
        openingRemark = QStringLiteral("车辆资料中的应缴费用");
    } else {
        due = now.status.due.readable ? now.status.due.fen : 0;
        paidBefore = now.status.paid.fen;
    }
    const qint64 paidAfter = paidBefore + request.amountFen;
    const QDateTime when = now.serverTime.isValid() ? now.serverTime : QDateTime::currentDateTime();
    const QDate today = when.date();
    ExpiryMove move;
    const bool moves = request.kind == FeeKind::Management && request.months > 0;
    if (moves)
        move = moveExpiry(now.expiry(), today, request.months);

    db::Reply numberFailure;
    const std::optional<QString> receipt = takeReceiptNumber(tx, request.receiptPrefix, today.year(), &numberFailure);
    if (!receipt)
        return failed(numberFailure, QStringLiteral("取收据号失败"));

    const QString owner = now.owner.left(50);
    QList<db::Statement> ledger;
    if (opening)
        ledger.append(db::Statement("INSERT INTO shoufeijilu (leixing,cheliangid,cepaihao,cezuxingming,feiyong,"
                                    "qitamingcheng,qijian,jine,beizhu,jingbanren,jiqi,shijian) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)")
                          .bind(kDueRow)
                          .bind(request.vehicleId)
                          .bind(now.plate)
                          .bind(owner)
                          .bind(feeName(request.kind))
                          .bind(request.otherName)
                          .bind(number)
                          .bind(*opening)
                          .bind(openingRemark)
                          .bind(request.clerk)
                          .bind(request.machine)
                          .bind(when));
    db::Statement payment("INSERT INTO shoufeijilu (leixing,cheliangid,cepaihao,cezuxingming,feiyong,qitamingcheng,"
                          "qijian,jine,fangshi,jiaokuanren,beizhu,yueshu,daoqiqian,daoqihou,shoujuhao,dayincishu,"
                          "jingbanren,jiqi,shijian) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,1,?,?,?)");
    payment.bind(kPaymentRow)
        .bind(request.vehicleId)
        .bind(now.plate)
        .bind(owner)
        .bind(feeName(request.kind))
        .bind(request.otherName)
        .bind(number)
        .bind(request.amountFen)
        .bind(request.method)
        .bind(request.payer)
        .bind(request.remark);
    if (moves)
        payment.bind(request.months).bind(move.before).bind(move.after);
    else
        payment.bindNull().bindNull().bindNull();
    payment.bind(*receipt).bind(request.clerk).bind(request.machine).bind(when);
    ledger.append(payment);
    ledger.append(db::Statement("SELECT LAST_INSERT_ID()"));
    db::Reply written = tx.runAll(ledger);
    if (!written.ok || !written.rows || !written.rows->hasRow())
        return failed(written, QStringLiteral("写入收费记录失败"));
    const qint64 ledgerId = written.rows->integer(0);

    // The vehicle's columns of the kind, and one history row per column that changes.
    QList<std::pair<QString, QString>> writes; // column, new value
    if (fee) {
        if (opening)
            writes.append({fee->due, money::formatFen(due)});
        writes.append({fee->paid, money::formatFen(paidAfter)});
        writes.append({fee->owed, money::formatFen(due - paidAfter)});
        writes.append({fee->date, datetime::dateText(today)});
        writes.append({fee->clerk, request.clerk});
    }
    if (moves)
        writes.append({kManagementExpiry, datetime::dateText(move.after)});
    QList<db::Statement> last;
    const auto isDate = [&](const QString& column) {
        return column == kManagementExpiry || (fee && column == fee->date);
    };
    if (!writes.isEmpty()) {
        db::Statement update("UPDATE celiangzongbiao SET ");
        db::Statement history("INSERT INTO xiugaijilu (cheliangid,caozuo,yonghu,jiqi,shijian,ziduan,jiuzhi,xinzhi) VALUES ");
        int historyRows = 0;
        for (qsizetype i = 0; i < writes.size(); ++i) {
            const auto& [column, value] = writes[i];
            if (i > 0)
                update.append(",");
            update.append(db::Statement("?=?").bindSql(column));
            if (column == kManagementExpiry)
                update.bind(move.after);
            else if (isDate(column))
                update.bind(today);
            else
                update.bind(value);
            const QString old = isDate(column) ? historyDate(now.columns.value(column)) : now.columns.value(column);
            if (old == value)
                continue;
            history.append(historyRows++ > 0 ? "," : "");
            history.append(db::Statement("(?,?,?,?,NOW(),?,?,?)")
                               .bind(request.vehicleId)
                               .bind(kPaymentAction)
                               .bind(request.clerk)
                               .bind(request.machine)
                               .bind(column)
                               .bind(old)
                               .bind(value));
        }
        update.append(db::Statement(" WHERE ID=?").bind(request.vehicleId));
        last.append(update);
        if (historyRows > 0)
            last.append(history);
    }
    if (const std::function<void()> hook = beforeCommitHook())
        hook();
    const db::Reply committed = tx.commit(last);
    if (!committed.ok)
        return failed(committed, QStringLiteral("保存收费失败"));

    Attempt a = ended(PaymentResult::Taken);
    a.result.ledgerId = ledgerId;
    a.result.receiptNumber = *receipt;
    a.result.after.period = number;
    a.result.after.due = Figure::of(due);
    a.result.after.paid = Figure::of(paidAfter);
    a.result.expiryAfter = moves ? move.after : now.expiry();
    return a;
}

} // namespace

Figure Figure::stored(const QString& text)
{
    const money::Amount amount = money::readAmount(text);
    if (amount.state == money::Amount::Unreadable)
        return Figure {false, 0, text};
    return Figure::of(amount.read() ? amount.fen : 0);
}

QString Figure::shown() const
{
    return readable ? money::formatFen(fen) : QStringLiteral("%1（无法识别）").arg(text);
}

Figure FeeStatus::owed() const
{
    if (!due.readable)
        return due;
    if (!paid.readable)
        return paid;
    return Figure::of(due.fen - paid.fen);
}

QDate VehicleFees::expiry() const
{
    return QDate::fromString(columns.value(kManagementExpiry).left(10), QStringLiteral("yyyy-MM-dd"));
}

std::optional<VehicleFees> readVehicleFees(db::Connection& session, qint64 vehicleId, FeeKind kind,
    const QString& otherName, QString* error)
{
    const db::Reply vehicle = session.run(vehicleStatement(vehicleId, kind, false));
    if (!vehicle.ok) {
        if (error)
            *error = vehicle.error;
        return std::nullopt;
    }
    if (!vehicle.rows || !vehicle.rows->hasRow())
        return VehicleFees {};
    VehicleFees fees = vehicleFeesOf(*vehicle.rows, vehicleId, kind, otherName);
    const db::Reply period = session.run(periodStatement(vehicleId, kind, otherName));
    if (!period.ok && period.errorCode != db::errors::kNoSuchTable) {
        if (error)
            *error = period.error;
        return std::nullopt;
    }
    fees.status = statusOf(period.ok ? period.rows.get() : nullptr, fees);
    return fees;
}

ExpiryMove moveExpiry(const QDate& current, const QDate& today, int months)
{
    ExpiryMove move;
    move.before = current;
    move.fromToday = !current.isValid() || current < today.addMonths(-kLongPastMonths);
    move.from = move.fromToday ? today : current;
    move.after = move.from.addMonths(months);
    return move;
}

QString expiryNote(const ExpiryMove& move)
{
    const QString after = datetime::dateText(move.after);
    if (!move.before.isValid())
        return QStringLiteral("管理费到期日期为空，从今天起算，交费后到期日期为 %1").arg(after);
    if (move.fromToday)
        return QStringLiteral("管理费已于 %1 到期超过%2个月，从今天起算，交费后到期日期为 %3")
            .arg(datetime::dateText(move.before))
            .arg(kLongPastMonths)
            .arg(after);
    return QStringLiteral("从原到期日期 %1 起算，交费后到期日期为 %2").arg(datetime::dateText(move.before), after);
}

QString checkRequest(const PaymentRequest& request)
{
    if (request.amountFen <= 0)
        return QStringLiteral("请填写收款金额（大于0，最多两位小数）。");
    if (!paymentMethods().contains(request.method))
        return QStringLiteral("请选择收款方式。");
    if (request.kind == FeeKind::Other && request.otherName.trimmed().isEmpty())
        return QStringLiteral("请填写其他费用的名称。");
    if (request.kind == FeeKind::Management && (request.months < 0 || request.months > 120))
        return QStringLiteral("缴费月数应在0到120之间。");
    if (request.newDueFen && *request.newDueFen < 0)
        return QStringLiteral("本期应缴不能为负数。");
    const struct {
        const QString* text;
        int limit;
        const char16_t* field;
    } texts[] = {{&request.payer, 50, u"交款人"}, {&request.remark, 200, u"备注"}, {&request.otherName, 50, u"费用名称"}};
    for (const auto& t : texts) {
        if (!text::toGbk(*t.text).ok())
            return QStringLiteral("%1“%2”含有无法保存的字符。").arg(QString::fromUtf16(t.field), *t.text);
        if (t.text->size() > t.limit)
            return QStringLiteral("%1最多%2个字。").arg(QString::fromUtf16(t.field)).arg(t.limit);
    }
    return QString();
}

PaymentResult takePayment(db::Connection& session, const PaymentRequest& request)
{
    if (const QString refused = checkRequest(request); !refused.isEmpty()) {
        PaymentResult r;
        r.outcome = PaymentResult::Refused;
        r.error = refused;
        return r;
    }
    bool created = false;
    Attempt last;
    for (int i = 0; i < kAttempts; ++i) {
        if (i > 0 && last.raced)
            db::pauseBeforeRetry(i);
        last = payOnce(session, request);
        if (last.noTable && !created) {
            QString error;
            if (!ensureLedgerTables(session, &error)) {
                PaymentResult r;
                r.error = QStringLiteral("无法建立收费记录表，没有收费");
                r.details = error;
                return r;
            }
            created = true;
            continue;
        }
        if (!last.raced)
            return last.result;
    }
    last.result.outcome = PaymentResult::Failed;
    last.result.error = QStringLiteral("其他人正同时修改此车辆，请稍后再收费：") + last.result.error;
    return last.result;
}

void setBeforeCommitHook(std::function<void()> hook)
{
    beforeCommitHook() = std::move(hook);
}

} // namespace fd::fees
