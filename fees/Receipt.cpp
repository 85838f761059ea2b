#include "fees/Receipt.h"

#include "db/ErrorCodes.h"
#include "db/Transaction.h"
#include "fees/PaymentKinds.h"

namespace fd::fees {
namespace {

db::Statement receiptStatement(qint64 ledgerId)
{
    return db::Statement("SELECT s.ID,s.shoujuhao,s.shijian,s.cepaihao,s.cezuxingming,s.feiyong,s.qitamingcheng,"
                         "s.qijian,s.jine,s.fangshi,s.jiaokuanren,s.beizhu,s.jingbanren,s.yueshu,s.daoqiqian,"
                         "s.daoqihou,s.dayincishu,z.ID AS zuofei,z.zuofeiyuanyin FROM shoufeijilu s"
                         " LEFT JOIN shoufeijilu z ON z.zuofeiid=s.ID WHERE s.ID=? AND s.leixing='收费'")
        .bind(ledgerId);
}

Receipt receiptOf(const db::Result& row)
{
    Receipt r;
    r.ledgerId = row.integer("ID");
    r.number = row.text("shoujuhao");
    r.time = row.dateTime("shijian");
    r.plate = row.text("cepaihao");
    r.owner = row.text("cezuxingming");
    r.fee = row.text("feiyong");
    r.otherName = row.text("qitamingcheng");
    r.period = static_cast<int>(row.integer("qijian"));
    r.amountFen = row.integer("jine");
    r.method = row.text("fangshi");
    r.payer = row.text("jiaokuanren");
    r.remark = row.text("beizhu");
    r.clerk = row.text("jingbanren");
    r.months = static_cast<int>(row.integer("yueshu"));
    r.expiryBefore = row.date("daoqiqian");
    r.expiryAfter = row.date("daoqihou");
    r.reprint = row.integer("dayincishu") > 1;
    r.voided = !row.isNull(row.columnIndex("zuofei"));
    r.voidReason = row.text("zuofeiyuanyin");
    return r;
}

} // namespace

QString Receipt::feeText() const
{
    return fee == feeName(FeeKind::Other) && !otherName.isEmpty() ? QStringLiteral("%1（%2）").arg(fee, otherName) : fee;
}

std::optional<Receipt> readReceipt(db::Connection& session, qint64 ledgerId, QString* error)
{
    const db::Reply reply = session.run(receiptStatement(ledgerId));
    if (!reply.ok || !reply.rows || !reply.rows->hasRow()) {
        if (error)
            *error = reply.ok ? QStringLiteral("没有此收据") : reply.error;
        return std::nullopt;
    }
    return receiptOf(*reply.rows);
}

std::optional<Receipt> printAgain(db::Connection& session, qint64 ledgerId, QString* error)
{
    db::Transaction tx(session);
    const db::Reply reply = tx.runAll(
        {db::Statement("UPDATE shoufeijilu SET dayincishu=dayincishu+1 WHERE ID=? AND leixing='收费'").bind(ledgerId),
            receiptStatement(ledgerId)});
    if (!reply.ok || !reply.rows || !reply.rows->hasRow()) {
        if (error)
            *error = reply.ok ? QStringLiteral("没有此收据") : reply.error;
        return std::nullopt;
    }
    Receipt receipt = receiptOf(*reply.rows);
    const db::Reply committed = tx.commit();
    if (!committed.ok) {
        if (error)
            *error = committed.error;
        return std::nullopt;
    }
    return receipt;
}

QString companyName(db::Connection& session, const Settings& settings)
{
    if (!settings.companyName.trimmed().isEmpty())
        return settings.companyName.trimmed();
    const db::Reply reply = session.run(db::Statement("SELECT zhi FROM tixingshezhi WHERE mingcheng='houzhui'"));
    if (!reply.ok || !reply.rows || !reply.rows->hasRow())
        return QString();
    QString signature = reply.rows->text(0).trimmed();
    if (signature.startsWith(QStringLiteral("【")) && signature.endsWith(QStringLiteral("】")))
        signature = signature.mid(1, signature.size() - 2).trimmed();
    return signature;
}

} // namespace fd::fees
