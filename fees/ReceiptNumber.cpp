#include "fees/ReceiptNumber.h"

namespace fd::fees {

QString receiptNumberText(const QString& prefix, int year, int sequence)
{
    return QStringLiteral("%1%2-%3").arg(prefix).arg(year).arg(sequence, 6, 10, QLatin1Char('0'));
}

std::optional<QString> takeReceiptNumber(db::Transaction& tx, const QString& prefix, int year, db::Reply* failure)
{
    db::Reply reply = tx.runAll({
        db::Statement("INSERT INTO shoujuhaoma (qianzhui,nian,xuhao) VALUES (?,?,1)"
                      " ON DUPLICATE KEY UPDATE xuhao=xuhao+1")
            .bind(prefix)
            .bind(year),
        db::Statement("SELECT xuhao FROM shoujuhaoma WHERE qianzhui=? AND nian=?").bind(prefix).bind(year),
    });
    if (!reply.ok || !reply.rows || !reply.rows->hasRow()) {
        if (reply.ok)
            reply.error = QStringLiteral("没有读到收据号");
        if (failure)
            *failure = std::move(reply);
        return std::nullopt;
    }
    return receiptNumberText(prefix, year, static_cast<int>(reply.rows->integer(0)));
}

} // namespace fd::fees
