#include "accounts/PasswordHash.h"

#include <sodium.h>

namespace fd::accounts {
namespace {

    // Three passes over 32 MiB: 80–100 ms on the office's PCs (measured on a loaded 2-core machine).
    constexpr unsigned long long kOpsLimit = 3;
    constexpr std::size_t kMemLimit = 32u * 1024u * 1024u;
    constexpr int kMinimumLength = 8;

    bool sodiumReady()
    {
        static const bool ready = sodium_init() >= 0;
        return ready;
    }

} // namespace

QString hashPassword(const QString& password)
{
    if (!sodiumReady())
        return QString();
    const QByteArray bytes = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, bytes.constData(), static_cast<unsigned long long>(bytes.size()), kOpsLimit, kMemLimit)
        != 0)
        return QString();
    return QString::fromLatin1(out);
}

bool verifyPassword(const QString& password, const QString& storedHash)
{
    if (storedHash.isEmpty() || !sodiumReady())
        return false;
    const QByteArray hash = storedHash.toLatin1();
    const QByteArray bytes = password.toUtf8();
    return crypto_pwhash_str_verify(hash.constData(), bytes.constData(), static_cast<unsigned long long>(bytes.size()))
        == 0;
}

QString newPasswordProblem(const QString& userName, const QString& newPassword)
{
    if (newPassword.size() < kMinimumLength)
        return QStringLiteral("新密码至少需要%1个字符。").arg(kMinimumLength);
    if (newPassword.compare(userName, Qt::CaseInsensitive) == 0)
        return QStringLiteral("新密码不能与用户名相同。");
    return QString();
}

} // namespace fd::accounts
