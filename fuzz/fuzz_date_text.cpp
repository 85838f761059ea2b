// Date texts as the server returns them, read by the one date-text reading and by dbReadField.
// Beyond not crashing: a date either reader accepts is one the text really spells.
#include "common/DateTime.h"
#include "db/FieldConvert.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The leading "year-month-day" of a text with leading zeros dropped ("2016-03-05" -> "2016-3-5"),
// or empty when the text does not start that way.
std::string spelledDate(const std::string& text)
{
    std::string out;
    std::size_t pos = 0;
    for (int field = 0; field < 3; ++field) {
        const std::size_t start = pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
            ++pos;
        if (pos == start)
            return {};
        std::string digits = text.substr(start, pos - start);
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
        out += digits;
        if (field < 2) {
            if (pos >= text.size() || text[pos] != '-')
                return {};
            ++pos;
            out += '-';
        }
    }
    return out;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    const std::string input(text, size);

    fd::datetime::DateTimeParts parts;
    if (fd::datetime::readDateTimeText(text, size, parts)) {
        check(fd::datetime::isValidDate(parts.year, parts.month, parts.day));
        check(spelledDate(input) == fd::datetime::dateText(parts.year, parts.month, parts.day).toStdString());
    }

    for (auto kind : {fd::db::convert::DateKind::DateTime, fd::db::convert::DateKind::Date}) {
        double days = 1.5;
        check(fd::db::convert::toDayNumber(kind, text, size, days));
        if (days == 0.0 || days == fd::datetime::kEmptyDate)
            continue;
        int y = 0, m = 0, d = 0;
        fd::datetime::dateOf(days, y, m, d);
        check(fd::datetime::isValidDate(y, m, d));
        check(spelledDate(input) == fd::datetime::dateText(y, m, d).toStdString());
    }
    for (auto kind : {fd::db::convert::DateKind::Time, fd::db::convert::DateKind::Year}) {
        double days = 1.5;
        check(fd::db::convert::toDayNumber(kind, text, size, days));
    }
    return 0;
}
