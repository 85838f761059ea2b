#include "fees/DataCheck.h"

#include "common/Money.h"
#include "common/Text.h"
#include "db/Connection.h"
#include "fees/Arrears.h"

#include <QStringList>
#include <algorithm>

namespace fd::fees {
namespace {

    const QString kColumnNames[3]
        = { QStringLiteral("应缴费用"), QStringLiteral("已缴费用"), QStringLiteral("还欠费用") };

    QStringList feeFields()
    {
        QStringList fields;
        for (int k = 0; k < kStoredKinds; ++k) {
            const StoredFeeColumns& c = storedFeeColumns(k);
            fields << QLatin1String(c.due) << QLatin1String(c.paid) << QLatin1String(c.owed);
        }
        return fields;
    }

} // namespace

db::Statement dataCheckStatement()
{
    const QStringList fields = feeFields();
    QString sql = QStringLiteral("select ID,danganbianhao,cepaihao,cezuxingming");
    QStringList doubtful;
    for (const QString& f : fields) {
        sql += QLatin1Char(',') + f;
        // What this pattern takes, readAmount reads: at most 13 digits and 2 decimals.
        doubtful << QStringLiteral("%1 not regexp '^([0-9]{1,13}([.][0-9]{1,2})?)?$'").arg(f);
    }
    return db::Statement(sql + QStringLiteral(" from celiangzongbiao where ") + doubtful.join(QStringLiteral(" or ")));
}

bool readUnreadableFees(
    db::Connection& session, std::vector<UnreadableFee>& out, QString* error, const std::atomic_bool* cancelled)
{
    out.clear();
    const QStringList fields = feeFields();
    db::Reply reply = session.stream(dataCheckStatement());
    if (!reply.ok) {
        if (error)
            *error = reply.error;
        return false;
    }
    if (reply.rows) {
        db::Result& r = *reply.rows;
        qint64 seen = 0;
        while (r.next()) {
            if ((++seen & 1023) == 0 && cancelled && cancelled->load()) {
                if (error)
                    *error = QStringLiteral("已取消");
                return false;
            }
            for (int f = 0; f < fields.size(); ++f) {
                const int column = 4 + f;
                if (r.isNull(column))
                    continue;
                const QString stored = text::fromGbk(r.data(column), static_cast<qsizetype>(r.size(column)));
                if (money::readAmount(stored).state != money::Amount::Unreadable)
                    continue;
                UnreadableFee u;
                u.vehicleId = r.integer(0);
                u.fileNumber = r.text(1);
                u.plate = r.text(2);
                u.owner = r.text(3);
                u.fee = arrearsKindName(f / 3);
                u.column = kColumnNames[f % 3];
                u.field = fields[f];
                u.text = stored;
                out.push_back(std::move(u));
            }
        }
        if (r.failed()) {
            if (error)
                *error = r.error();
            return false;
        }
    }
    std::stable_sort(
        out.begin(), out.end(), [](const UnreadableFee& a, const UnreadableFee& b) { return a.plate < b.plate; });
    return true;
}

} // namespace fd::fees
