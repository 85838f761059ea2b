#include "common/Cipher.h"

#include "common/Text.h"

#include <QCryptographicHash>
#include <algorithm>

namespace fd {
namespace {

QString checkOf(const QString& key)
{
    const text::GbkResult gbk = text::toGbk(key);
    const QString digest = md5Hex(gbk.ok() ? gbk.bytes : key.toUtf8());
    if (digest.size() != 32)
        return QString();
    return digest.mid(2, 9).toUpper();
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

QString md5Hex(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex()).toLower();
}

QString decipherSetting(const QString& enciphered, const QString& key, quint8 mask)
{
    if (enciphered.size() < 9)
        return QString();
    const QString check = checkOf(key);
    if (check.isEmpty() || enciphered.right(9) != check)
        return QString();
    const QString body = enciphered.left(enciphered.size() - 9);
    QByteArray bytes;
    bytes.reserve(body.size() / 2 + 1);
    for (qsizetype i = 0; i < body.size(); i += 2) {
        int value = 0;
        // a pair is one byte; a single trailing digit is a one-digit number
        for (qsizetype j = i; j < std::min(i + 2, body.size()); ++j) {
            const int d = hexDigit(body.at(j));
            if (d < 0)
                return QString();
            value = value * 16 + d;
        }
        bytes.append(static_cast<char>(static_cast<quint8>(value) ^ mask));
    }
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return text::fromGbk(bytes);
}

QString encipherSetting(const QString& plain, const QString& key, quint8 mask)
{
    const text::GbkResult gbk = text::toGbk(plain);
    if (!gbk.ok())
        return QString();
    QByteArray masked = gbk.bytes;
    for (char& c : masked)
        c = static_cast<char>(static_cast<quint8>(c) ^ mask);
    return QString::fromLatin1(masked.toHex()).toUpper() + checkOf(key);
}

} // namespace fd
