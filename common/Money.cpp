#include "common/Money.h"

namespace fd::money {
namespace {

// Full-width ASCII forms and the ideographic space as their ASCII selves; other characters stay.
char16_t narrow(char16_t u)
{
    if (u >= 0xFF01 && u <= 0xFF5E)
        return static_cast<char16_t>(u - 0xFEE0);
    return u == 0x3000 ? u' ' : u;
}

bool isBlank(char16_t u) { return u == u' ' || u == u'\t' || u == u'\r' || u == u'\n'; }
bool isDigit(char16_t u) { return u >= u'0' && u <= u'9'; }

// More digits than this before the point are no fee of a lorry, and would not fit in fen.
constexpr int kMaxWholeDigits = 13;

} // namespace

Amount readAmount(const QString& text)
{
    std::u16string s;
    s.reserve(static_cast<std::size_t>(text.size()));
    for (QChar ch : text)
        s.push_back(narrow(ch.unicode()));
    std::size_t i = 0, end = s.size();
    while (i < end && isBlank(s[i]))
        ++i;
    while (end > i && isBlank(s[end - 1]))
        --end;
    if (i == end)
        return {};
    const Amount unreadable {Amount::Unreadable, 0};
    if (s[end - 1] == u'元') {
        --end;
        while (end > i && isBlank(s[end - 1]))
            --end;
    }
    bool negative = false;
    if (i < end && (s[i] == u'-' || s[i] == u'+')) {
        negative = s[i] == u'-';
        ++i;
    }
    // The whole yuan: digits, or groups of three after a first group of one to three.
    qint64 yuan = 0;
    int digits = 0, group = 0;
    bool grouped = false;
    for (; i < end && (isDigit(s[i]) || s[i] == u','); ++i) {
        if (s[i] == u',') {
            if (digits == 0 || (grouped ? group != 3 : group > 3))
                return unreadable;
            grouped = true;
            group = 0;
            continue;
        }
        if (++digits > kMaxWholeDigits)
            return unreadable;
        ++group;
        yuan = yuan * 10 + (s[i] - u'0');
    }
    if (digits == 0 || (grouped && group != 3))
        return unreadable;
    qint64 fen = 0;
    if (i < end && s[i] == u'.') {
        ++i;
        int decimals = 0;
        for (; i < end && isDigit(s[i]); ++i) {
            if (++decimals > 2)
                return unreadable;
            fen = fen * 10 + (s[i] - u'0');
        }
        if (decimals == 0)
            return unreadable;
        if (decimals == 1)
            fen *= 10;
    }
    if (i != end)
        return unreadable;
    const qint64 total = yuan * 100 + fen;
    return {Amount::Read, negative ? -total : total};
}

QString formatFen(qint64 fen)
{
    const quint64 magnitude = fen < 0 ? 0 - static_cast<quint64>(fen) : static_cast<quint64>(fen);
    return QStringLiteral("%1%2.%3")
        .arg(fen < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 100)
        .arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}

} // namespace fd::money
