#include "fees/MonthReport.h"

#include "common/Money.h"
#include "db/Connection.h"
#include "fees/Takings.h"

#include <QDateTime>

namespace fd::fees {
namespace {

    void add(MonthLine& to, const MonthLine& from)
    {
        to.payments += from.payments;
        to.paidFen += from.paidFen;
        to.voids += from.voids;
        to.voidedFen += from.voidedFen;
    }

    QStringList cellsOf(const QString& first, const QString& second, const MonthLine& l)
    {
        return { first, second, QString::number(l.payments), money::formatFen(l.paidFen), QString::number(l.voids),
            money::formatFen(l.voidedFen), money::formatFen(l.netFen()) };
    }

} // namespace

bool readMonthTakings(db::Connection& session, const QDate& first, const QDate& last, MonthTakings& out, QString* error)
{
    out = MonthTakings {};
    out.first = first;
    out.last = last;
    db::Reply reply = session.run(takingsStatement(first, last));
    if (!reply.ok) {
        if (error)
            *error = reply.error;
        return false;
    }
    if (!reply.rows)
        return true;
    while (reply.rows->next()) {
        const db::Result& r = *reply.rows;
        const QString clerk = r.text(0), method = r.text(1);
        if (out.lines.empty() || out.lines.back().clerk != clerk || out.lines.back().method != method)
            out.lines.push_back(MonthLine { clerk, method });
        MonthLine line;
        (r.text(2) == QStringLiteral("收费") ? line.payments : line.voids) = r.integer(3);
        (r.text(2) == QStringLiteral("收费") ? line.paidFen : line.voidedFen) = r.integer(4);
        add(out.lines.back(), line);
        add(out.total, line);
    }
    return true;
}

QStringList monthHeaders()
{
    return { QStringLiteral("经办人"), QStringLiteral("收款方式"), QStringLiteral("收费笔数"),
        QStringLiteral("收费金额"), QStringLiteral("作废笔数"), QStringLiteral("作废金额"),
        QStringLiteral("实收金额") };
}

std::vector<ReportLine> monthLines(const MonthTakings& t)
{
    std::vector<ReportLine> out;
    MonthLine clerkTotal;
    for (std::size_t i = 0; i < t.lines.size(); ++i) {
        const MonthLine& l = t.lines[i];
        out.push_back(
            { cellsOf(l.clerk, l.method.isEmpty() ? QStringLiteral("（未填）") : l.method, l), ReportLine::Line });
        add(clerkTotal, l);
        if (i + 1 == t.lines.size() || t.lines[i + 1].clerk != l.clerk) {
            out.push_back({ cellsOf(l.clerk, QStringLiteral("小计"), clerkTotal), ReportLine::Subtotal });
            clerkTotal = MonthLine {};
        }
    }
    out.push_back({ cellsOf(QStringLiteral("合计"), QString(), t.total), ReportLine::Total });
    return out;
}

QDate monthFirst(const QDate& day)
{
    return QDate(day.year(), day.month(), 1);
}
QDate monthLast(const QDate& day)
{
    return monthFirst(day).addMonths(1).addDays(-1);
}

} // namespace fd::fees
