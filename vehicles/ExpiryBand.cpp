#include "vehicles/ExpiryBand.h"

#include "common/DateTime.h"
#include "common/Text.h"

namespace fd::vehicles {
namespace {

// Reads 1..maxDigits decimal digits at p; false when there is none.
bool readNumber(const char*& p, const char* end, int maxDigits, int& value)
{
    int digits = 0;
    value = 0;
    while (p < end && digits < maxDigits && *p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        ++p;
        ++digits;
    }
    return digits > 0;
}

bool expect(const char*& p, const char* end, char c)
{
    if (p == end || *p != c)
        return false;
    ++p;
    return true;
}

// hh:mm:ss with an optional fraction, nothing after it.
bool validTime(const char* p, const char* end)
{
    int h = 0, m = 0, s = 0;
    if (!readNumber(p, end, 2, h) || !expect(p, end, ':') || !readNumber(p, end, 2, m) || !expect(p, end, ':')
        || !readNumber(p, end, 2, s))
        return false;
    if (h > 23 || m > 59 || s > 59)
        return false;
    if (p < end && *p == '.') {
        ++p;
        int frac = 0;
        if (!readNumber(p, end, 6, frac))
            return false;
    }
    return p == end;
}

} // namespace

bool parseDateText(const char* data, std::size_t size, int& year, int& month, int& day)
{
    if (!data || size == 0)
        return false;
    const char* p = data;
    const char* end = data + size;
    int y = 0, m = 0, d = 0;
    if (!readNumber(p, end, 4, y) || !expect(p, end, '-') || !readNumber(p, end, 2, m) || !expect(p, end, '-')
        || !readNumber(p, end, 2, d))
        return false;
    if (p != end) {
        if (*p != ' ' && *p != 'T')
            return false;
        if (!validTime(p + 1, end))
            return false;
    }
    if (y < 1 || !datetime::isValidDate(y, m, d))
        return false;
    year = y;
    month = m;
    day = d;
    return true;
}

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
    int y = 100, m = 1, d = 1; // the empty date
    if (!parseDateText(data, size, y, m, d)) {
        y = 100;
        m = 1;
    }
    return expiryBand(monthOffset(y, m, loginYear, loginMonth));
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
