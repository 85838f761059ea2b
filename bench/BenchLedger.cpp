#include "bench/BenchLedger.h"

#include <QDate>
#include <cstdio>

namespace fd::bench {
namespace {

bool run(db::Connection& session, const QString& sql)
{
    db::Reply r = session.run(db::Statement::verbatim(sql));
    if (!r.ok)
        std::fprintf(stderr, "failed: %s\n  %s\n", qPrintable(r.error), qPrintable(sql.left(300)));
    return r.ok;
}

} // namespace

// The ledger: row n of the million belongs to vehicle 1 + n mod V; its kind and role follow from
// n div V, so every vehicle has the same pattern: 审车费 due, paid, due again (period 2 open);
// 保险费 due and paid twice; 营运费 and 管理费 due and paid. Times spread over the year before the
// day given, office hours. The rows are made in a table of their own and stored in the order of
// their times, as an office's ledger is written.
bool makeBenchLedger(db::Connection& session, qint64 vehicles, const QDate& today)
{
    db::Reply n = session.run(db::Statement("select count(*) from shoufeijilu"));
    if (n.ok && n.rows && n.rows->integer(0) >= kLedgerRows)
        return true;
    if (!run(session, QStringLiteral("truncate table shoufeijilu"))
        || !run(session, QStringLiteral("drop table if exists bench_ledger"))
        || !run(session, QStringLiteral("create table bench_ledger like shoufeijilu")))
        return false;
    const QString start = today.addDays(-364).toString(Qt::ISODate);
    const QString columns = QStringLiteral(
        "leixing,cheliangid,cepaihao,cezuxingming,feiyong,qijian,jine,fangshi,jiaokuanren,shoujuhao,jingbanren,jiqi,shijian");
    // b = block (0..9): kind and role per block; written a block at a time.
    for (qint64 from = 1; from <= kLedgerRows; from += vehicles) {
        const qint64 to = std::min(kLedgerRows, from + vehicles - 1);
        const QString sql = QStringLiteral(
            "insert into bench_ledger (%5) "
            "select elt(b+1,'应缴','应缴','应缴','应缴','收费','收费','收费','收费','应缴','收费'),"
            "v, concat('豫H',lpad(v,5,'0')), '车主', "
            "elt(b+1,'审车费','保险费','营运费','管理费','审车费','保险费','营运费','管理费','审车费','保险费'),"
            "if(b=8,2,1), if(b<4 or b=8, 300000, 100000 + (v mod 7) * 10000), "
            "if(b between 4 and 7 or b=9, elt(1+(seq div 3) mod 5,'现金','银行转账','微信','支付宝','其他'),''), "
            "'车主', if(b between 4 and 7 or b=9, concat('B',seq), null), "
            "elt(1+seq mod 4,'小王','小李','张会计','刘经理'), 'BENCH', "
            "timestamp('%1') + interval ((seq * 7919) mod 365) day + interval (8*3600 + (seq * 104729) mod 32400) "
            "second "
            "from (select seq, (seq-1) div %2 mod 10 as b, 1 + (seq-1) mod %2 as v from seq_%3_to_%4) s")
                                .arg(start)
                                .arg(vehicles)
                                .arg(from)
                                .arg(to)
                                .arg(columns);
        if (!run(session, sql))
            return false;
    }
    if (!run(session, QStringLiteral("insert into shoufeijilu (%1) select %1 from bench_ledger order by shijian,ID").arg(columns))
        || !run(session, QStringLiteral("drop table bench_ledger")))
        return false;
    // One payment in a thousand voided an hour later by the same clerk (the bench does not keep
    // to the one day a clerk may void on).
    return run(session,
        QStringLiteral(
            "insert into shoufeijilu (leixing,cheliangid,cepaihao,cezuxingming,feiyong,qijian,jine,fangshi,jiaokuanren,"
            "zuofeiid,zuofeiyuanyin,jingbanren,jiqi,shijian) "
            "select "
            "'作废',cheliangid,cepaihao,cezuxingming,feiyong,qijian,jine,fangshi,jiaokuanren,ID,'bench',jingbanren,"
            "jiqi,"
            "shijian + interval 1 hour from shoufeijilu where leixing='收费' and ID mod 1000 = 0"));
}

} // namespace fd::bench
