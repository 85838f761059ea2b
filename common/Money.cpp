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

QString capitals(qint64 fen)
{
    static const char16_t kDigits[] = u"零壹贰叁肆伍陆柒捌玖";
    static const char16_t* const kPlaces[] = {u"", u"拾", u"佰", u"仟"};
    // The unit closing each group of four digits, from the lowest: 元 is written after all.
    static const char16_t* const kGroups[] = {u"", u"万", u"亿", u"万"};
    const quint64 magnitude = fen < 0 ? 0 - static_cast<quint64>(fen) : static_cast<quint64>(fen);
    const quint64 yuan = magnitude / 100;
    const int jiao = static_cast<int>(magnitude / 10 % 10);
    const int cents = static_cast<int>(magnitude % 10);

    QString out;
    if (fen < 0)
        out += QStringLiteral("负");
    if (yuan == 0) {
        out += QStringLiteral("零");
    } else {
        const QString digits = QString::number(yuan);
        const int count = static_cast<int>(digits.size());
        bool zeroPending = false; // a zero was passed since the last digit written
        bool groupHasDigit = false;
        bool higherThanYi = false; // a digit above 亿 was written: 亿 follows even after a zero group
        bool written = false;
        for (int i = 0; i < count; ++i) {
            const int position = count - 1 - i; // 0: the units
            const int d = digits[i].digitValue();
            if (d == 0) {
                zeroPending = zeroPending || written;
            } else {
                if (zeroPending)
                    out += QChar(kDigits[0]);
                written = true;
                zeroPending = false;
                out += QChar(kDigits[d]);
                out += QString::fromUtf16(kPlaces[position % 4]);
                groupHasDigit = true;
                if (position >= 12)
                    higherThanYi = true;
            }
            if (position % 4 == 0 && position > 0) {
                const int group = position / 4;
                if (groupHasDigit || (group == 2 && higherThanYi))
                    out += QString::fromUtf16(kGroups[group]);
                groupHasDigit = false;
            }
        }
    }
    out += QStringLiteral("元");
    if (jiao == 0 && cents == 0)
        return out + QStringLiteral("整");
    if (jiao != 0)
        out += QChar(kDigits[jiao]) + QStringLiteral("角");
    else
        out += QChar(kDigits[0]);
    if (cents != 0)
        out += QChar(kDigits[cents]) + QStringLiteral("分");
    return out;
}

} // namespace fd::money
