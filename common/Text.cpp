#include "common/Text.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <iconv.h>

namespace fd::text {
namespace {

// An iconv descriptor is not safe to share between threads; each thread keeps its own.
struct Converter {
    iconv_t cd;
    Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool valid() const { return cd != reinterpret_cast<iconv_t>(-1); }
};

Converter& encoder()
{
    thread_local Converter c("GBK", "UTF-16LE");
    return c;
}

Converter& decoder()
{
    thread_local Converter c("UTF-16LE", "GBK");
    return c;
}

bool isAscii(const char* data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i)
        if (static_cast<unsigned char>(data[i]) >= 0x80)
            return false;
    return true;
}

} // namespace

GbkResult toGbk(const QString& text)
{
    GbkResult result;
    const qsizetype n = text.size();
    bool ascii = true;
    for (QChar ch : text)
        if (ch.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        result.bytes = text.toLatin1();
        return result;
    }
    Converter& c = encoder();
    if (!c.valid()) {
        result.badIndex = 0;
        return result;
    }
    iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
    result.bytes.resize(n * 2 + 8);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text.utf16()));
    size_t inLeft = static_cast<size_t>(n) * 2;
    char* out = result.bytes.data();
    size_t outLeft = static_cast<size_t>(result.bytes.size());
    while (inLeft > 0) {
        size_t r = iconv(c.cd, &in, &inLeft, &out, &outLeft);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                const qsizetype used = out - result.bytes.data();
                result.bytes.resize(result.bytes.size() * 2);
                out = result.bytes.data() + used;
                outLeft = static_cast<size_t>(result.bytes.size() - used);
                continue;
            }
            // EILSEQ (no GBK form) or EINVAL (a lone surrogate at the end)
            const qsizetype consumed = static_cast<qsizetype>(static_cast<size_t>(n) * 2 - inLeft) / 2;
            result.badIndex = static_cast<int>(consumed);
            result.bytes.clear();
            return result;
        }
    }
    result.bytes.resize(out - result.bytes.data());
    return result;
}

QString fromGbk(const char* data, qsizetype size)
{
    if (size <= 0)
        return QString();
    if (isAscii(data, size))
        return QString::fromLatin1(data, size);
    Converter& c = decoder();
    if (!c.valid())
        return QString::fromLatin1(data, size);
    iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
    QString result;
    result.resize(size); // GBK never needs more code units than bytes
    char* in = const_cast<char*>(data);
    size_t inLeft = static_cast<size_t>(size);
    char* outStart = reinterpret_cast<char*>(result.data());
    char* out = outStart;
    size_t outLeft = static_cast<size_t>(size) * 2;
    while (inLeft > 0) {
        size_t r = iconv(c.cd, &in, &inLeft, &out, &outLeft);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                break; // cannot happen: see the size above
            // an invalid or truncated sequence: show it as U+FFFD and go on after its first byte
            if (outLeft < 2)
                break;
            out[0] = static_cast<char>(0xFD);
            out[1] = static_cast<char>(0xFF);
            out += 2;
            outLeft -= 2;
            ++in;
            --inLeft;
        }
    }
    result.resize((out - outStart) / 2);
    return result;
}

qsizetype gbkLength(const QString& text)
{
    const GbkResult r = toGbk(text);
    return r.ok() ? r.bytes.size() : -1;
}

QString trimSpaces(const QString& text)
{
    auto isSpace = [](QChar c) { return c == u' ' || c == QChar(0x3000); };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpace(text.at(begin)))
        ++begin;
    while (end > begin && isSpace(text.at(end - 1)))
        --end;
    if (begin == 0 && end == text.size())
        return text;
    return text.mid(begin, end - begin);
}

double toNumber(const QString& text)
{
    QByteArray ascii;
    ascii.reserve(text.size());
    for (QChar ch : text) {
        char16_t u = ch.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E) // full-width ASCII forms
            u = static_cast<char16_t>(u - 0xFEE0);
        else if (u == 0x3000)
            u = u' ';
        if (u >= 0x80)
            break;
        ascii.append(static_cast<char>(u));
    }
    // Only a plain decimal number counts: no hexadecimal, infinity or NaN spellings.
    qsizetype i = 0;
    while (i < ascii.size() && (ascii[i] == ' ' || ascii[i] == '\t'))
        ++i;
    qsizetype j = i;
    if (j < ascii.size() && (ascii[j] == '+' || ascii[j] == '-'))
        ++j;
    qsizetype digits = 0;
    while (j < ascii.size() && ascii[j] >= '0' && ascii[j] <= '9') {
        ++j;
        ++digits;
    }
    if (j < ascii.size() && ascii[j] == '.') {
        ++j;
        while (j < ascii.size() && ascii[j] >= '0' && ascii[j] <= '9') {
            ++j;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    if (j < ascii.size() && (ascii[j] == 'e' || ascii[j] == 'E')) {
        qsizetype k = j + 1;
        if (k < ascii.size() && (ascii[k] == '+' || ascii[k] == '-'))
            ++k;
        if (k < ascii.size() && ascii[k] >= '0' && ascii[k] <= '9') {
            while (k < ascii.size() && ascii[k] >= '0' && ascii[k] <= '9')
                ++k;
            j = k;
        }
    }
    const QByteArray number = ascii.mid(i, j - i);
    return number.toDouble(); // C locale, whatever the process locale is
}

int compareBytes(const QString& a, const QString& b)
{
    const GbkResult ga = toGbk(a);
    const GbkResult gb = toGbk(b);
    const QByteArray& x = ga.ok() ? ga.bytes : a.toUtf8();
    const QByteArray& y = gb.ok() ? gb.bytes : b.toUtf8();
    const qsizetype n = std::min(x.size(), y.size());
    const int c = n > 0 ? std::memcmp(x.constData(), y.constData(), static_cast<size_t>(n)) : 0;
    if (c != 0)
        return c < 0 ? -1 : 1;
    return x.size() < y.size() ? -1 : (x.size() > y.size() ? 1 : 0);
}

} // namespace fd::text
