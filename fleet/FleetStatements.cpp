#include "fleet/FleetStatements.h"

#include "common/DateTime.h"
#include "vehicles/VehicleColumns.h"

namespace fd::vehicles {

QString fullListStatement()
{
    static const QString sql = QStringLiteral("Select ID, danganbianhao, cepaihao,cezuxingming,cezudianhua,")
        + listedDates().join(QLatin1Char(',')) + QStringLiteral(" from celiangzongbiao Order By ")
        + watchedDateColumn(WatchedDate::DrivingPermit) + QStringLiteral(" desc");
    return sql;
}

QString searchStatement(int fieldValue, const QString& escapedPattern)
{
    static const QString select = QStringLiteral("SELECT ID,danganbianhao,cepaihao,cezuxingming,cezudianhua,")
        + listedDates().join(QLatin1Char(',')) + QStringLiteral(" FROM celiangzongbiao WHERE ");
    QString condition;
    switch (fieldValue) {
    case 1:
        condition = QStringLiteral("cepaihao  like '%");
        break;
    case 2:
        condition = QStringLiteral("danganbianhao  like '%");
        break;
    case 3:
        condition = QStringLiteral(" cezuxingming  like '%");
        break;
    default:
        return {};
    }
    return select + condition + escapedPattern + QStringLiteral("%'");
}

QString likePattern(const QString& searchText)
{
    QString pattern = searchText;
    pattern.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    return pattern;
}

CategoryDates categoryDates(double loginDateTime)
{
    int y = 0, m = 0, d = 0;
    datetime::dateOf(loginDateTime, y, m, d);
    auto firstOf = [](int year, int month) {
        return QString::number(year) + QLatin1Char('-') + QString::number(month) + QLatin1String("-01");
    };
    auto nextMonth = [](int& year, int& month) {
        if (++month > 12) {
            month = 1;
            ++year;
        }
    };
    CategoryDates dates;
    dates.t0 = datetime::dateText(y, m, d);
    dates.f0 = firstOf(y, m);
    nextMonth(y, m);
    dates.f1 = firstOf(y, m);
    nextMonth(y, m);
    dates.f2 = firstOf(y, m);
    return dates;
}

QString categoryStatement(const QString& c, int categoryCode, double loginDateTime)
{
    const CategoryDates dates = categoryDates(loginDateTime);
    const QString s = QStringLiteral("Select ID, danganbianhao, cepaihao,cezuxingming,cezudianhua,");
    const QString from = QStringLiteral(" from celiangzongbiao Where ");
    const QString order = QStringLiteral("Order By ") + c + QStringLiteral(" desc");
    switch (categoryCode) {
    case 1:
        return s + c + from + QStringLiteral("Date(") + c + QStringLiteral(")>='") + dates.t0 + QStringLiteral("'") + order;
    case 2:
        return s + c + from + QStringLiteral("Date(") + c + QStringLiteral(")<='") + dates.t0 + QStringLiteral("'or ") + c
            + QStringLiteral(" is null ") + order;
    case 3:
        return s + c + from + QStringLiteral("Date(") + c + QStringLiteral(")>='") + dates.f1 + QStringLiteral("'and Date(")
            + c + QStringLiteral(")<='") + dates.f2 + QStringLiteral("' ") + order;
    case 4:
        return s + c + from + QStringLiteral(" Date(") + c + QStringLiteral(")>='") + dates.f0
            + QStringLiteral("'and Date(") + c + QStringLiteral(")<='") + dates.f1 + QStringLiteral("' ") + order;
    default:
        return {};
    }
}

} // namespace fd::vehicles
