#include "fleet/FleetStatements.h"

#include "common/DateTime.h"
#include "vehicles/VehicleColumns.h"

namespace fd::fleet {

db::Statement fullListStatement()
{
    static const QString sql = QStringLiteral("Select ID, danganbianhao, cepaihao,cezuxingming,cezudianhua,")
        + vehicles::listedDates().join(QLatin1Char(',')) + QStringLiteral(" from celiangzongbiao Order By ")
        + vehicles::watchedDateColumn(vehicles::WatchedDate::DrivingPermit) + QStringLiteral(" desc");
    return db::Statement(sql);
}

db::Statement searchStatement(int fieldValue, const QString& searchText)
{
    static const QString select = QStringLiteral("SELECT ID,danganbianhao,cepaihao,cezuxingming,cezudianhua,")
        + vehicles::listedDates().join(QLatin1Char(',')) + QStringLiteral(" FROM celiangzongbiao WHERE ");
    QString condition;
    switch (fieldValue) {
    case 1:
        condition = QStringLiteral("cepaihao  like ?");
        break;
    case 2:
        condition = QStringLiteral("danganbianhao  like ?");
        break;
    case 3:
        condition = QStringLiteral(" cezuxingming  like ?");
        break;
    default:
        return {};
    }
    const QString percent = QStringLiteral("%");
    return db::Statement(select + condition).bind(percent + likePattern(searchText) + percent);
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

db::Statement categoryStatement(const QString& c, int categoryCode, double loginDateTime)
{
    const CategoryDates dates = categoryDates(loginDateTime);
    // The column is one of the program's own watched date columns; the dates are values.
    auto statement = [&c](const char* condition) {
        return db::Statement(QStringLiteral("Select ID, danganbianhao, cepaihao,cezuxingming,cezudianhua,%1 from celiangzongbiao Where ")
                                 .arg(c)
            + QString::fromLatin1(condition).arg(c) + QStringLiteral("Order By %1 desc").arg(c));
    };
    switch (categoryCode) {
    case 1:
        return statement("Date(%1)>=?").bind(dates.t0);
    case 2:
        return statement("Date(%1)<=?or %1 is null ").bind(dates.t0);
    case 3:
        return statement("Date(%1)>=?and Date(%1)<=? ").bind(dates.f1).bind(dates.f2);
    case 4:
        return statement(" Date(%1)>=?and Date(%1)<=? ").bind(dates.f0).bind(dates.f1);
    default:
        return {};
    }
}

} // namespace fd::fleet
