#include "sms/SmsClient.h"

#include "common/Text.h"

namespace fd::sms {

QStringList smsSplitTemplate(const QString& urlTemplate)
{
    return urlTemplate.split(kPieceSeparator);
}

QString smsEncodeText(const QString& text)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = text.toUtf8();
    QString out;
    out.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        out.append(QLatin1Char('%'));
        out.append(QLatin1Char(hex[b >> 4]));
        out.append(QLatin1Char(hex[b & 0x0F]));
    }
    return out;
}

QString smsBalanceUrl(const SmsPlatform& platform, const QString& user, const QString& password)
{
    if (!platform.complete())
        return QString();
    const QStringList& p = platform.pieces;
    return p[4] + user + p[5] + password;
}

QString smsSendUrl(const SmsPlatform& platform, const QString& user, const QString& password, const QString& phone,
    const QString& message, const QString& suffix)
{
    if (!platform.complete())
        return QString();
    const QStringList& p = platform.pieces;
    return p[0] + user + p[1] + password + p[2] + phone + p[3] + smsEncodeText(message) + smsEncodeText(suffix);
}

QString smsReadBalance(const QByteArray& reply)
{
    const QStringList parts = text::fromGbk(reply).split(QLatin1Char('='));
    return parts.size() >= 3 ? parts[2] : QString();
}

bool smsReadSendReply(const QByteArray& reply)
{
    return reply.size() >= 8 && reply[7] == '0';
}

bool smsCheckAccount(const SmsPlatform& platform, const QString& user, const QString& password)
{
    const QString url = smsBalanceUrl(platform, user, password);
    return !url.isEmpty() && !net::httpGet(url, platform.http).isEmpty();
}

QString smsGetBalance(const SmsPlatform& platform, const QString& user, const QString& password)
{
    const QString url = smsBalanceUrl(platform, user, password);
    return url.isEmpty() ? QString() : smsReadBalance(net::httpGet(url, platform.http));
}

bool smsSendMessage(const SmsPlatform& platform, const QString& user, const QString& password, const QString& phone,
    const QString& message, const QString& suffix)
{
    const QString url = smsSendUrl(platform, user, password, phone, message, suffix);
    return !url.isEmpty() && smsReadSendReply(net::httpGet(url, platform.http));
}

} // namespace fd::sms
