#pragma once

#include <QByteArray>
#include <QString>

// Enciphered settings: upper-case hexadecimal of the value's GBK bytes, each XORed with a
// one-byte mask, followed by a 9-character check taken from the MD5 digest of the key text.
namespace fd {

// 32 lower-case hexadecimal digits of the MD5 digest; empty on failure.
QString md5Hex(const QByteArray& bytes);
// The plain value, or the empty text when the check does not match the key text.
QString decipherSetting(const QString& enciphered, const QString& key, quint8 mask);
// The inverse, for the tool that writes settings files. Empty when the value has a character GBK
// cannot hold.
QString encipherSetting(const QString& plain, const QString& key, quint8 mask);

} // namespace fd
