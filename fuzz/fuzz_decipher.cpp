// Enciphered settings as a settings file may hold them. The first byte is the XOR mask, the text up
// to the first newline the key, the rest the enciphered value. Beyond not crashing: a body that
// carries the key's check deciphers, and enciphering a value and deciphering it gives it back.
#include "common/Cipher.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const auto mask = static_cast<quint8>(data[0]);
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    const qsizetype newline = rest.indexOf('\n');
    const QString key = QString::fromUtf8(newline < 0 ? rest : rest.left(newline));
    const QString body = newline < 0 ? QString() : QString::fromUtf8(rest.mid(newline + 1));

    // As written, and with the key's check appended (what encipherSetting of nothing gives).
    fd::decipherSetting(body, key, mask);
    const QString check = fd::encipherSetting(QString(), key, mask);
    if (check.isEmpty())
        return 0;
    fd::decipherSetting(body + check, key, mask);

    // The body read as a plain value goes there and back.
    const QString enciphered = fd::encipherSetting(body, key, mask);
    if (!enciphered.isEmpty()) {
        QString expected = body;
        const qsizetype nul = expected.indexOf(QChar(0));
        if (nul >= 0)
            expected.truncate(nul);
        if (fd::decipherSetting(enciphered, key, mask) != expected)
            std::abort();
    }
    return 0;
}
