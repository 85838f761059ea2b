#include "vehicles/ExpiryBand.h"

#include "common/DateTime.h"
#include "common/Text.h"

namespace fd::vehicles {

double monthOffset(int year, int month, int loginYear, int loginMonth)
{
    return static_cast<double>(year - loginYear) * 12.0 + static_cast<double>(month - loginMonth);
}

ExpiryBand expiryBand(double offset)
{
    constexpr double eps = text::kTolerance;
    if (offset - 1.0 > eps)
        return ExpiryBand::farAhead;
    if (offset <= eps && -offset <= eps)
        return ExpiryBand::dueThisMonth;
    if (offset < -eps && offset + 2.0 >= -eps)
        return ExpiryBand::expiredRecently;
    if (offset + 2.0 < -eps)
        return ExpiryBand::expiredLong;
    return ExpiryBand::dueNextMonth;
}

ExpiryBand expiryBandOfText(const char* data, std::size_t size, int loginYear, int loginMonth)
{
    datetime::DateTimeParts date;
    if (!datetime::readDateTimeText(data, size, date)) {
        date.year = 100; // the empty date 100-01-01
        date.month = 1;
    }
    return expiryBand(monthOffset(date.year, date.month, loginYear, loginMonth));
}

QColor bandBackground(ExpiryBand band, bool searchColours)
{
    switch (band) {
    case ExpiryBand::farAhead:
        return QColor(0, 255, 0);
    case ExpiryBand::dueNextMonth:
        return searchColours ? QColor(192, 96, 0) : QColor(255, 128, 0);
    case ExpiryBand::dueThisMonth:
        return QColor(255, 0, 0);
    case ExpiryBand::expiredRecently:
        return QColor(128, 0, 0);
    case ExpiryBand::expiredLong:
        return QColor(0, 0, 0);
    }
    return QColor(0, 0, 0);
}

QColor bandForeground(ExpiryBand band)
{
    if (band == ExpiryBand::expiredRecently || band == ExpiryBand::expiredLong)
        return QColor(255, 255, 255);
    return QColor();
}

} // namespace fd::vehicles
