// Column values as the server sends them, through each conversion dbReadField applies. Beyond not
// crashing: integers read as the leading decimal number, saturated at the 64-bit limits.
#include "db/FieldConvert.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace {

// The leading number after blanks and a sign, as a wide value clamped to the 64-bit range.
qint64 referenceInteger(const char* p, std::size_t size)
{
    std::size_t i = 0;
    while (i < size && (p[i] == ' ' || p[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < size && (p[i] == '+' || p[i] == '-'))
        negative = p[i++] == '-';
    __int128 value = 0;
    const __int128 cap = static_cast<__int128>(std::numeric_limits<quint64>::max()) + 1;
    for (; i < size && p[i] >= '0' && p[i] <= '9'; ++i)
        value = std::min<__int128>(value * 10 + (p[i] - '0'), cap);
    if (negative)
        value = -value;
    value = std::max<__int128>(value, std::numeric_limits<qint64>::min());
    value = std::min<__int128>(value, std::numeric_limits<qint64>::max());
    return static_cast<qint64>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    if (fd::db::convert::toInteger(text, size) != referenceInteger(text, size))
        std::abort();
    const double f = fd::db::convert::toFloating(text, size);
    (void)std::isnan(f);
    (void)fd::db::convert::toBoolean(text, size);
    using fd::db::convert::DateKind;
    for (DateKind kind : {DateKind::DateTime, DateKind::Date, DateKind::Time, DateKind::Year, DateKind::Other}) {
        double days = 1.5;
        const bool read = fd::db::convert::toDayNumber(kind, text, size, days);
        if (read == (kind == DateKind::Other) || (!read && days != 1.5) || std::isnan(days))
            std::abort();
    }
    return 0;
}
