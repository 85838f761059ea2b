#include "fees/Takings.h"

#include "db/ErrorCodes.h"
#include "fees/PaymentKinds.h"

#include <QDateTime>

namespace fd::fees {

db::Statement takingsStatement(const QDate& from, const QDate& to)
{
    // A void counts for the clerk who voided the receipt (and gave the money back), in the method of
    // the payment; it is read on the index of the row kinds and times.
    return db::Statement("SELECT jingbanren,fangshi,leixing,COUNT(*) AS bishu,SUM(jine) AS jine FROM shoufeijilu"
                         " WHERE shijian>=? AND shijian<? AND leixing IN ('收费','作废')"
                         " GROUP BY jingbanren,fangshi,leixing"
                         " ORDER BY jingbanren,FIELD(fangshi,'现金','银行转账','微信','支付宝','其他'),fangshi")
        .bind(QDateTime(from, QTime(0, 0)))
        .bind(QDateTime(to.addDays(1), QTime(0, 0)));
}

std::optional<Takings> readTakings(db::Connection& session, const QDate& from, const QDate& to, QString* error)
{
    Takings takings;
    takings.from = from;
    takings.to = to;
    const db::Reply reply = session.run(takingsStatement(from, to));
    if (!reply.ok) {
        if (reply.errorCode == db::errors::kNoSuchTable)
            return takings; // nothing was ever taken
        if (error)
            *error = reply.error;
        return std::nullopt;
    }
    if (!reply.rows)
        return takings;
    while (reply.rows->next()) {
        const db::Result& row = *reply.rows;
        const QString clerk = row.text("jingbanren");
        const QString method = row.text("fangshi");
        if (takings.lines.isEmpty() || takings.lines.last().clerk != clerk || takings.lines.last().method != method)
            takings.lines.append(TakingsLine {clerk, method});
        TakingsLine& line = takings.lines.last();
        const int count = static_cast<int>(row.integer("bishu"));
        const qint64 sum = row.integer("jine");
        if (row.text("leixing") == kPaymentRow) {
            line.payments += count;
            line.paidFen += sum;
            takings.total.payments += count;
            takings.total.paidFen += sum;
        } else {
            line.voids += count;
            line.voidedFen += sum;
            takings.total.voids += count;
            takings.total.voidedFen += sum;
        }
    }
    return takings;
}

} // namespace fd::fees
