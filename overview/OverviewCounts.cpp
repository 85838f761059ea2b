#include "overview/OverviewCounts.h"

#include "common/DateTime.h"
#include "common/Money.h"
#include "common/Text.h"
#include "db/Connection.h"
#include "vehicles/VehicleColumns.h"

#include <atomic>
#include <cstring>

namespace fd::overview {
namespace {

// 转出 and 注销 in GBK.
constexpr char kTransferred[] = "\xD7\xAA\xB3\xF6";
constexpr char kCancelled[] = "\xD7\xA2\xCF\xFA";

bool sameBytes(const char* data, std::size_t size, const char* word)
{
    // The server compares texts without their trailing blanks; so does the count.
    while (size > 0 && data[size - 1] == ' ')
        --size;
    return size == std::strlen(word) && std::memcmp(data, word, size) == 0;
}

} // namespace

Column columnOfBand(vehicles::ExpiryBand band)
{
    switch (band) {
    case vehicles::ExpiryBand::farAhead:
        return Column::farAhead;
    case vehicles::ExpiryBand::dueNextMonth:
        return Column::dueNextMonth;
    case vehicles::ExpiryBand::dueThisMonth:
        return Column::dueThisMonth;
    case vehicles::ExpiryBand::expiredRecently:
        return Column::expiredRecently;
    case vehicles::ExpiryBand::expiredLong:
        break;
    }
    return Column::expiredLong;
}

QString columnTitle(Column column)
{
    switch (column) {
    case Column::expiredLong:
        return QStringLiteral("过期三月以上");
    case Column::expiredRecently:
        return QStringLiteral("过期一两月");
    case Column::dueThisMonth:
        return QStringLiteral("本月到期");
    case Column::dueNextMonth:
        return QStringLiteral("下月到期");
    case Column::farAhead:
        return QStringLiteral("两月以后");
    case Column::noDate:
        return QStringLiteral("无日期");
    }
    return {};
}

QString documentTitle(int document)
{
    static const QStringList titles {QStringLiteral("行车证"), QStringLiteral("营运证"), QStringLiteral("主车保险"),
        QStringLiteral("挂车保险"), QStringLiteral("资格证"), QStringLiteral("驾驶证"), QStringLiteral("管理费")};
    return titles.value(document);
}

QColor documentColour(int document)
{
    static const QColor colours[kDocuments] = {QColor(31, 119, 180), QColor(255, 127, 14), QColor(44, 160, 44),
        QColor(214, 39, 40), QColor(148, 103, 189), QColor(140, 86, 75), QColor(227, 119, 194)};
    return document >= 0 && document < kDocuments ? colours[document] : QColor(Qt::gray);
}

qint64 Overview::rowTotal(Fleet fleet, int document) const
{
    qint64 sum = 0;
    for (qint64 n : counts[static_cast<int>(fleet)][document])
        sum += n;
    return sum;
}

qint64 Overview::monthTotal(int k) const
{
    qint64 sum = 0;
    for (qint64 n : forecast[k])
        sum += n;
    return sum;
}

void Overview::month(int k, int& year, int& m) const
{
    const int index = loginYear * 12 + (loginMonth - 1) + k;
    year = index / 12;
    m = index % 12 + 1;
}

QString Overview::monthTitle(int k) const
{
    int y = 0, m = 0;
    month(k, y, m);
    return QStringLiteral("%1年%2月").arg(y).arg(m);
}

qint64 Overview::unreadableFees() const
{
    qint64 sum = 0;
    for (qint64 n : feeUnreadable)
        sum += n;
    return sum;
}

QString unreadableFeesNote(const Overview& o)
{
    const qint64 n = o.unreadableFees();
    return n > 0 ? QStringLiteral("无法识别的金额 %1 条，未计入应收管理费").arg(n) : QString();
}

QString overviewStatement()
{
    return QStringLiteral("Select celiangzuangtai,guanliyingjiaofei,") + vehicles::watchedDates().join(QLatin1Char(','))
        + QStringLiteral(" from celiangzongbiao");
}

void addVehicle(Overview& o, const VehicleDates& v)
{
    const bool gone = v.status
        && (sameBytes(v.status, v.statusSize, kTransferred) || sameBytes(v.status, v.statusSize, kCancelled));
    const int fleet = gone ? 1 : 0;
    ++o.vehicles[fleet];
    for (int d = 0; d < kDocuments; ++d) {
        datetime::DateTimeParts date;
        if (!v.dates[d] || !datetime::readDateTimeText(v.dates[d], v.dateSizes[d], date)) {
            ++o.counts[fleet][d][static_cast<int>(Column::noDate)];
            continue;
        }
        const double offset = vehicles::monthOffset(date.year, date.month, o.loginYear, o.loginMonth);
        ++o.counts[fleet][d][static_cast<int>(columnOfBand(vehicles::expiryBand(offset)))];
        if (gone || offset < 0 || offset >= kMonths)
            continue;
        const int k = static_cast<int>(offset);
        ++o.forecast[k][d];
        if (d == static_cast<int>(vehicles::WatchedDate::ManagementFee) && v.fee) {
            const money::Amount fee = money::readAmount(text::fromGbk(v.fee, static_cast<qsizetype>(v.feeSize)));
            if (fee.state == money::Amount::Read) {
                o.feeFen[k] += fee.fen;
                ++o.feeVehicles[k];
            } else if (fee.state == money::Amount::Unreadable) {
                ++o.feeUnreadable[k];
            }
        }
    }
}

Overview emptyOverview(double loginDateTime)
{
    Overview o;
    int day = 0;
    datetime::dateOf(loginDateTime, o.loginYear, o.loginMonth, day);
    return o;
}

Overview countOverview(db::Result& result, double loginDateTime, const std::atomic_bool* cancelled)
{
    Overview o = emptyOverview(loginDateTime);
    const int status = result.columnIndex("celiangzuangtai");
    const int fee = result.columnIndex("guanliyingjiaofei");
    int dates[kDocuments];
    for (int d = 0; d < kDocuments; ++d)
        dates[d] = result.columnIndex(vehicles::watchedDates()[d]);
    qint64 n = 0;
    while (result.next()) {
        if (cancelled && (++n & 0xFFF) == 0 && cancelled->load())
            break;
        VehicleDates v;
        if (status >= 0 && !result.isNull(status)) {
            v.status = result.data(status);
            v.statusSize = result.size(status);
        }
        if (fee >= 0 && !result.isNull(fee)) {
            v.fee = result.data(fee);
            v.feeSize = result.size(fee);
        }
        for (int d = 0; d < kDocuments; ++d)
            if (dates[d] >= 0 && !result.isNull(dates[d])) {
                v.dates[d] = result.data(dates[d]);
                v.dateSizes[d] = result.size(dates[d]);
            }
        addVehicle(o, v);
    }
    return o;
}

std::optional<Overview> readOverview(
    db::Connection& session, double loginDateTime, const std::atomic_bool* cancelled, QString* error)
{
    db::Reply reply = session.stream(db::Statement(overviewStatement()));
    if (!reply.ok) {
        if (error)
            *error = reply.error;
        return std::nullopt;
    }
    if (!reply.rows) // no rows at all: an empty fleet
        return emptyOverview(loginDateTime);
    Overview o = countOverview(*reply.rows, loginDateTime, cancelled);
    if (reply.rows->failed()) {
        if (error)
            *error = reply.rows->error();
        return std::nullopt;
    }
    if (cancelled && cancelled->load())
        return std::nullopt;
    return o;
}

} // namespace fd::overview
