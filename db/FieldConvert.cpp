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

namespace {

// Reads an unsigned decimal field; returns false when there is no digit.
bool readNumber(const std::string& s, std::size_t& pos, long long& out)
{
    std::size_t start = pos;
    long long v = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
        if (v < 1000000000LL)
            v = v * 10 + (s[pos] - '0');
        ++pos;
    }
    out = v;
    return pos > start;
}

} // namespace

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
    // year-month-day, then optionally hour:minute:second (a fraction of a second is ignored)
    long long y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    std::size_t pos = 0;
    bool ok = readNumber(text, pos, y) && pos < text.size() && text[pos++] == '-' && readNumber(text, pos, mo)
        && pos < text.size() && text[pos++] == '-' && readNumber(text, pos, d);
    if (ok && pos < text.size()) {
        if (text[pos] == ' ' || text[pos] == 'T') {
            ++pos;
            ok = readNumber(text, pos, h) && pos < text.size() && text[pos++] == ':' && readNumber(text, pos, mi)
                && pos < text.size() && text[pos++] == ':' && readNumber(text, pos, sec);
            if (ok && pos < text.size() && text[pos] == '.') {
                ++pos;
                long long ignored = 0;
                readNumber(text, pos, ignored);
            }
            ok = ok && pos == text.size();
        } else {
            ok = false;
        }
    }
    // Each field is checked while it is still wide: a month of 4294967297 must not become 1.
    const bool valid = ok && y <= 9999 && mo <= 12 && d <= 31
        && datetime::isValidDate(static_cast<int>(y), static_cast<int>(mo), static_cast<int>(d)) && h <= 23 && mi <= 59
        && sec <= 59;
    if (!valid) {
        days = datetime::kEmptyDate;
        return true;
    }
    days = datetime::toDayNumber(static_cast<int>(y), static_cast<int>(mo), static_cast<int>(d), static_cast<int>(h),
        static_cast<int>(mi), static_cast<int>(sec));
    return true;
}

} // namespace fd::db::convert
