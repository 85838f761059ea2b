#include "fees/PaymentLedger.h"

#include "vehicles/VehicleHistory.h"

namespace fd::fees {

db::Statement vehicleStatement(qint64 vehicleId, FeeKind kind, bool forUpdate)
{
    QString columns = QStringLiteral("NOW() AS xianzai,cepaihao,cezuxingming,cezudianhua,") + kManagementExpiry;
    if (const auto c = feeColumns(kind))
        for (const QString& column : {c->due, c->paid, c->owed, c->date, c->clerk})
            columns += QLatin1Char(',') + column;
    return db::Statement(QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM celiangzongbiao WHERE ID=?")
        + (forUpdate ? QStringLiteral(" FOR UPDATE") : QString()))
        .bind(vehicleId);
}

VehicleFees vehicleFeesOf(const db::Result& row, qint64 vehicleId, FeeKind kind, const QString& otherName)
{
    VehicleFees fees;
    fees.found = true;
    fees.id = vehicleId;
    fees.kind = kind;
    fees.otherName = otherName;
    fees.serverTime = row.dateTime("xianzai");
    fees.plate = row.text("cepaihao");
    fees.owner = row.text("cezuxingming");
    fees.phone = row.text("cezudianhua");
    QStringList columns {kManagementExpiry};
    if (const auto c = feeColumns(kind))
        columns << c->due << c->paid << c->owed << c->date << c->clerk;
    for (const QString& column : columns) {
        QString value = row.text(row.columnIndex(column));
        // A date the server keeps as zeros is no date.
        if (value.startsWith(QLatin1String("0000-00-00")))
            value.clear();
        fees.columns.insert(column, value);
    }
    return fees;
}

db::Statement periodStatement(qint64 vehicleId, FeeKind kind, const QString& otherName, int period)
{
    const QString fee = feeName(kind);
    const QString name = kind == FeeKind::Other ? otherName : QString();
    db::Statement s("SELECT p.qijian,"
                    " (SELECT d.jine FROM shoufeijilu d WHERE d.cheliangid=? AND d.feiyong=? AND d.qitamingcheng=?"
                    " AND d.qijian=p.qijian AND d.leixing='应缴' ORDER BY d.ID DESC LIMIT 1) AS yingjiao,"
                    " (SELECT COALESCE(SUM(s.jine),0) FROM shoufeijilu s WHERE s.cheliangid=? AND s.feiyong=?"
                    " AND s.qitamingcheng=? AND s.qijian=p.qijian AND s.leixing='收费'"
                    " AND NOT EXISTS (SELECT 1 FROM shoufeijilu z WHERE z.zuofeiid=s.ID)) AS yijiao");
    s.bind(vehicleId).bind(fee).bind(name).bind(vehicleId).bind(fee).bind(name);
    if (period >= 0)
        return s.append(db::Statement(" FROM (SELECT ? AS qijian) p").bind(period));
    return s.append(db::Statement(" FROM (SELECT COALESCE(MAX(qijian),0) AS qijian FROM shoufeijilu"
                                  " WHERE cheliangid=? AND feiyong=? AND qitamingcheng=?) p")
            .bind(vehicleId)
            .bind(fee)
            .bind(name));
}

FeeStatus statusOf(const db::Result* row, const VehicleFees& vehicle)
{
    FeeStatus status;
    qint64 ledgerPaid = 0;
    bool ledgerDue = false;
    qint64 due = 0;
    if (row && row->hasRow()) {
        status.period = static_cast<int>(row->integer("qijian"));
        ledgerDue = !row->isNull(row->columnIndex("yingjiao"));
        due = row->integer("yingjiao");
        ledgerPaid = row->integer("yijiao");
    }
    const auto columns = feeColumns(vehicle.kind);
    if (status.period == 0 && columns) {
        status.due = Figure::stored(vehicle.columns.value(columns->due));
        status.paid = Figure::stored(vehicle.columns.value(columns->paid));
        if (status.paid.readable)
            status.paid.fen += ledgerPaid;
        return status;
    }
    if (columns && status.period > 0) {
        const Figure stored = Figure::stored(vehicle.columns.value(columns->due));
        if (stored.readable && stored.fen != (ledgerDue ? due : 0)) {
            status.period += 1;
            status.due = stored;
            status.paid = Figure::of(0);
            status.dueFromVehicle = true;
            return status;
        }
    }
    status.due = Figure::of(ledgerDue ? due : 0);
    status.paid = Figure::of(ledgerPaid);
    return status;
}

} // namespace fd::fees
