#include "overview/OverviewStatements.h"

#include "common/DateTime.h"
#include "vehicles/VehicleColumns.h"

namespace fd::overview {
namespace {

// The first day of the month `offset` months from the login month, as written into SQL.
QString monthStart(double loginDateTime, int offset)
{
    int y = 0, m = 0, d = 0;
    datetime::dateOf(loginDateTime, y, m, d);
    const int index = y * 12 + (m - 1) + offset;
    return QStringLiteral("'") + datetime::dateText(index / 12, index % 12 + 1, 1) + QStringLiteral("'");
}

QString fleetCondition(Fleet fleet)
{
    // The server ignores trailing blanks in the comparison, as the counts do.
    const QString gone = QStringLiteral("celiangzuangtai in ('转出','注销')");
    return fleet == Fleet::gone ? gone : QStringLiteral("(celiangzuangtai is null or not ") + gone + QLatin1Char(')');
}

QString listStatement(const QString& c, const QString& condition)
{
    return QStringLiteral("Select ID, danganbianhao, cepaihao,cezuxingming,cezudianhua,") + c
        + QStringLiteral(" from celiangzongbiao Where ") + condition + QStringLiteral(" Order By ") + c
        + QStringLiteral(" desc");
}

// A real calendar day, as datetime::readDateTimeText reads one (the counts, the grid's colours):
// a zero month or day ("2016-05-00", "0000-00-00") or a day past the month's end (a server that
// allows invalid dates) is no date; a date in year 0 with a real month and day is one. The server
// itself compares "2016-05-00" as the day before the first of May.
QString realDate(const QString& c)
{
    return QStringLiteral("Month(%1)>0 and DayOfMonth(%1) between 1 and DayOfMonth(Last_Day(%1))").arg(c);
}

// Dates in the months [from, to) counted from the login month.
QString between(const QString& c, double login, int from, int to)
{
    return QStringLiteral("%1>=%2 and %1<%3 and ").arg(c, monthStart(login, from), monthStart(login, to)) + realDate(c);
}

} // namespace

QString documentHeader(int document)
{
    return vehicles::watchedDateHeader(vehicles::watchedDates().value(document));
}

QString cellStatement(int document, Column column, Fleet fleet, double login)
{
    if (document < 0 || document >= kDocuments)
        return {};
    const QString c = vehicles::watchedDates()[document];
    QString condition;
    // The month bounds follow the bands of the colours: farAhead from two months on, dueNextMonth
    // the next month, dueThisMonth this month, expiredRecently the two months before it. What is
    // no real date is no date, as it is for the counts.
    switch (column) {
    case Column::farAhead:
        condition = QStringLiteral("%1>=%2 and ").arg(c, monthStart(login, 2)) + realDate(c);
        break;
    case Column::dueNextMonth:
        condition = between(c, login, 1, 2);
        break;
    case Column::dueThisMonth:
        condition = between(c, login, 0, 1);
        break;
    case Column::expiredRecently:
        condition = between(c, login, -2, 0);
        break;
    case Column::expiredLong:
        condition = QStringLiteral("%1<%2 and ").arg(c, monthStart(login, -2)) + realDate(c);
        break;
    case Column::noDate:
        condition = QStringLiteral("(%1 is null or not (%2))").arg(c, realDate(c));
        break;
    default:
        return {};
    }
    return listStatement(c, condition + QStringLiteral(" and ") + fleetCondition(fleet));
}

QString monthStatement(int document, int k, double login)
{
    if (document < 0 || document >= kDocuments || k < 0 || k >= kMonths)
        return {};
    const QString c = vehicles::watchedDates()[document];
    return listStatement(c, between(c, login, k, k + 1) + QStringLiteral(" and ") + fleetCondition(Fleet::active));
}

} // namespace fd::overview
