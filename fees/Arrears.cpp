#include "fees/Arrears.h"

#include "common/Money.h"
#include "common/Text.h"
#include "db/Connection.h"

#include <algorithm>
#include <optional>

namespace fd::fees {
namespace {

    const StoredFeeColumns kColumns[kStoredKinds] = {
        { "senceyingjiaofei", "senceyijiaofei", "sencehaiqianfei" },
        { "baoxianyingjiaofei", "baoxianyijiaofei", "baoxianhaiqianfei" },
        { "yinyunzengyingjiaofei", "yinyunzengyijiaofei", "yinyunzenghaiqianfei" },
        { "guanliyingjiaofei", "guanliyijiaofei", "guanlihaiqianfei" },
    };

    // The vehicle statement's columns: the identifying texts, then due and paid per stored kind.
    enum VehicleColumn { cId, cFile, cPlate, cOwner, cPhone, cStatus, cFirstFee };

    QString cell(const db::Result& r, int column)
    {
        return r.isNull(column) ? QString() : text::fromGbk(r.data(column), static_cast<qsizetype>(r.size(column)));
    }

    struct PeriodRow {
        qint64 vehicle = 0;
        int kind = 0; // list column
        OpenPeriod period;
    };

} // namespace

QString arrearsKindName(int kind)
{
    static const QString names[kArrearsKinds] = { QStringLiteral("审车费"), QStringLiteral("保险费"),
        QStringLiteral("营运费"), QStringLiteral("管理费"), QStringLiteral("其他") };
    return kind >= 0 && kind < kArrearsKinds ? names[kind] : QString();
}

const StoredFeeColumns& storedFeeColumns(int kind)
{
    return kColumns[std::clamp(kind, 0, kStoredKinds - 1)];
}

Owed owedOf(const OpenPeriod* ledger, const QString& dueText, const QString& paidText)
{
    Owed out;
    if (ledger && ledger->period > 0) {
        out.state = Owed::Amount;
        out.fen = (ledger->hasDue ? ledger->dueFen : 0) - ledger->paidFen;
        return out;
    }
    // Period 0: what was stored before the ledger, and the payments taken on it since.
    const money::Amount due = money::readAmount(dueText);
    const money::Amount paid = money::readAmount(paidText);
    if (due.state == money::Amount::Unreadable || paid.state == money::Amount::Unreadable) {
        out.state = Owed::Unreadable;
        const bool dueBad = due.state == money::Amount::Unreadable;
        out.text = dueBad ? dueText : paidText;
        out.column = dueBad ? QStringLiteral("应缴费用") : QStringLiteral("已缴费用");
        return out;
    }
    if (due.state == money::Amount::Empty && paid.state == money::Amount::Empty && !ledger)
        return out;
    out.state = Owed::Amount;
    out.fen = due.fen - paid.fen - (ledger ? ledger->paidFen : 0);
    return out;
}

qint64 ArrearsRow::totalFen() const
{
    qint64 sum = 0;
    for (const Owed& o : owed)
        if (o.state == Owed::Amount && o.fen > 0)
            sum += o.fen;
    return sum;
}

bool ArrearsRow::unreadable() const
{
    return std::any_of(owed.begin(), owed.end(), [](const Owed& o) { return o.state == Owed::Unreadable; });
}

qint64 Arrears::totalFen() const
{
    qint64 sum = 0;
    for (qint64 f : fen)
        sum += f;
    return sum;
}

qint64 Arrears::unreadableCount() const
{
    qint64 n = 0;
    for (qint64 u : unreadable)
        n += u;
    return n;
}

void Arrears::add(ArrearsRow row)
{
    bool keep = false;
    for (int k = 0; k < kArrearsKinds; ++k) {
        const Owed& o = row.owed[k];
        if (o.state == Owed::Unreadable) {
            ++unreadable[k];
            keep = true;
        } else if (o.outstanding()) {
            fen[k] += o.fen;
            ++vehicles[k];
            keep = true;
        }
    }
    if (keep)
        rows.push_back(std::move(row));
}

void Arrears::sort()
{
    std::stable_sort(
        rows.begin(), rows.end(), [](const ArrearsRow& a, const ArrearsRow& b) { return a.plate < b.plate; });
}

db::Statement arrearsVehiclesStatement()
{
    QString sql = QStringLiteral("select ID,danganbianhao,cepaihao,cezuxingming,cezudianhua,celiangzuangtai");
    for (const StoredFeeColumns& c : kColumns)
        sql += QStringLiteral(",%1,%2").arg(QLatin1String(c.due), QLatin1String(c.paid));
    return db::Statement(sql + QStringLiteral(" from celiangzongbiao order by ID"));
}

db::Statement openPeriodsStatement()
{
    // Only the fees named apart under 其他 have no vehicle columns: the four fee kinds with columns
    // are read from them (every payment and void writes them for the open period). The open period
    // of each vehicle and fee name is found on the index (feiyong, cheliangid, qitamingcheng,
    // qijian); only its rows are read. Its amount due is its last 应缴 row, and a payment counts
    // unless a void points at it.
    return db::Statement(QStringLiteral(
        "select l.cheliangid,field(l.feiyong,'审车费','保险费','营运费','管理费','其他') as k,max(l.qijian) as q,"
        "cast(substring_index(group_concat(if(l.leixing='应缴',l.jine,null) order by l.ID desc),',',1) as signed) as "
        "due,"
        "sum(l.leixing='应缴') as dues,"
        "sum(if(l.leixing='收费' and v.ID is null,l.jine,0)) as paid "
        "from (select cheliangid,feiyong,qitamingcheng,max(qijian) as qijian from shoufeijilu "
        "where feiyong='其他' group by cheliangid,feiyong,qitamingcheng) o "
        "join shoufeijilu l on l.cheliangid=o.cheliangid and l.feiyong=o.feiyong and l.qitamingcheng=o.qitamingcheng "
        "and l.qijian=o.qijian "
        "left join shoufeijilu v on v.zuofeiid=l.ID "
        "group by l.cheliangid,l.feiyong,l.qitamingcheng order by l.cheliangid"));
}

bool readArrears(db::Connection& session, Arrears& out, QString* error, const std::atomic_bool* cancelled)
{
    out = Arrears {};
    auto stopped = [&] { return cancelled && cancelled->load(); };
    db::Reply periods = session.run(openPeriodsStatement());
    if (!periods.ok) {
        if (error)
            *error = periods.error;
        return false;
    }
    std::vector<PeriodRow> open;
    if (periods.rows) {
        open.reserve(static_cast<std::size_t>(periods.rows->rowCount()));
        while (periods.rows->next()) {
            const db::Result& r = *periods.rows;
            PeriodRow p;
            p.vehicle = r.integer(0);
            p.kind = static_cast<int>(r.integer(1)) - 1;
            if (p.kind < 0)
                continue; // a fee name the list does not know
            p.period.period = static_cast<int>(r.integer(2));
            p.period.dueFen = r.integer(3);
            p.period.hasDue = r.integer(4) > 0;
            p.period.paidFen = r.integer(5);
            open.push_back(p);
        }
    }
    periods.rows.reset();
    if (stopped())
        return false;

    db::Reply vehicles = session.stream(arrearsVehiclesStatement());
    if (!vehicles.ok) {
        if (error)
            *error = vehicles.error;
        return false;
    }
    std::size_t next = 0;
    qint64 seen = 0;
    if (vehicles.rows) {
        db::Result& r = *vehicles.rows;
        while (r.next()) {
            if ((++seen & 1023) == 0 && stopped())
                return false;
            ArrearsRow row;
            row.id = r.integer(cId);
            while (next < open.size() && open[next].vehicle < row.id)
                ++next; // ledger rows of a vehicle no longer in the register
            // The fees named apart under 其他 are added together: each owes in its own period.
            std::array<std::optional<OpenPeriod>, kArrearsKinds> ledger {};
            for (; next < open.size() && open[next].vehicle == row.id; ++next) {
                const OpenPeriod& p = open[next].period;
                std::optional<OpenPeriod>& to = ledger[open[next].kind];
                if (!to) {
                    to = p;
                    continue;
                }
                to->period = std::max(to->period, p.period);
                to->dueFen += p.hasDue ? p.dueFen : 0;
                to->hasDue = to->hasDue || p.hasDue;
                to->paidFen += p.paidFen;
            }
            bool shown = false;
            for (int k = 0; k < kArrearsKinds; ++k) {
                const OpenPeriod* period = ledger[k] ? &*ledger[k] : nullptr;
                if (k < kStoredKinds)
                    row.owed[k] = owedOf(period, cell(r, cFirstFee + 2 * k), cell(r, cFirstFee + 2 * k + 1));
                else
                    row.owed[k] = owedOf(period, QString(), QString());
                shown = shown || row.owed[k].outstanding();
            }
            if (!shown)
                continue;
            row.fileNumber = cell(r, cFile);
            row.plate = cell(r, cPlate);
            row.owner = cell(r, cOwner);
            row.phone = cell(r, cPhone);
            row.status = cell(r, cStatus);
            out.add(std::move(row));
        }
        if (r.failed()) {
            if (error)
                *error = r.error();
            return false;
        }
    }
    out.sort();
    return true;
}

QString owedText(const Owed& owed)
{
    switch (owed.state) {
    case Owed::Unreadable:
        return QStringLiteral("%1（无法识别）").arg(owed.text);
    case Owed::Amount:
        return owed.fen > 0 ? money::formatFen(owed.fen) : QString();
    case Owed::Nothing:
        break;
    }
    return QString();
}

} // namespace fd::fees
