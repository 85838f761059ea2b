#include "db/FieldConvert.h"

#include "common/DateTime.h"

#include <charconv>
#include <limits>
#include <string>

namespace fd::db::convert {

qint64 toInteger(const char* data, std::size_t size)
{
    std::size_t i = 0;
    while (i < size && (data[i] == ' ' || data[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < size && (data[i] == '+' || data[i] == '-')) {
        negative = data[i] == '-';
        ++i;
    }
    quint64 value = 0;
    bool overflow = false;
    for (; i < size && data[i] >= '0' && data[i] <= '9'; ++i) {
        const quint64 digit = static_cast<quint64>(data[i] - '0');
        if (value > (std::numeric_limits<quint64>::max() - digit) / 10)
            overflow = true;
        else
            value = value * 10 + digit;
    }
    const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1 : quint64(std::numeric_limits<qint64>::max());
    if (overflow || value > limit)
        value = limit;
    if (negative)
        return value == limit ? std::numeric_limits<qint64>::min() : -static_cast<qint64>(value);
    return static_cast<qint64>(value);
}

double toFloating(const char* data, std::size_t size)
{
    std::size_t i = 0;
    while (i < size && (data[i] == ' ' || data[i] == '\t'))
        ++i;
    if (i < size && data[i] == '+')
        ++i;
    double value = 0.0;
    const auto r = std::from_chars(data + i, data + size, value, std::chars_format::general);
    return r.ec == std::errc() ? value : 0.0;
}

bool toBoolean(const char* data, std::size_t size)
{
    return !(size > 0 && data[0] == '0');
}

bool toDayNumber(DateKind kind, const char* data, std::size_t size, double& days)
{
    std::string text(data, size);
    switch (kind) {
    case DateKind::DateTime: break;
    case DateKind::Date: text += " 0:0:0"; break;
    case DateKind::Time: text = "2000-1-1 " + text; break;
    case DateKind::Year: text = text.substr(0, 4) + "-1-1 0:0:0"; break;
    case DateKind::Other: return false;
    }
    if (text.size() < 5 || text[4] != '-') {
        days = 0.0;
        return true;
    }
    datetime::DateTimeParts t;
    if (!datetime::readDateTimeText(text.data(), text.size(), t)) {
        days = datetime::kEmptyDate;
        return true;
    }
    days = datetime::toDayNumber(t.year, t.month, t.day, t.hour, t.minute, t.second);
    return true;
}

} // namespace fd::db::convert
