#include "backup/Encryption.h"

#include <QFile>
#include <QtEndian>
#include <sodium.h>

#include <array>

namespace fd::backup {
namespace {

    constexpr char kMark[] = "FDBKENC"; // 7 bytes, then the version byte
    constexpr qsizetype kMarkSize = 7;
    constexpr quint8 kVersion = 1;
    constexpr qsizetype kChunk = 64 * 1024;
    constexpr qsizetype kSealedChunk = kChunk + crypto_secretstream_xchacha20poly1305_ABYTES;
    // Argon2id at the costs libsodium calls interactive: a key file holds a long random text as a
    // rule, and the program and the daily run should not wait on it. The costs are in the file, so
    // later archives may raise them; a file asking for more than this ceiling is not believed.
    const quint32 kOps = crypto_pwhash_OPSLIMIT_INTERACTIVE;
    const quint32 kMemKiB = crypto_pwhash_MEMLIMIT_INTERACTIVE / 1024;
    constexpr quint32 kMostOps = 16;
    constexpr quint32 kMostMemKiB = 1024 * 1024; // 1 GiB

    // The file's head: mark and version, costs, salt, stream header, then the check of all that
    // keyed with the second half of the derived key.
    constexpr qsizetype kSaltAt = 16;
    constexpr qsizetype kStreamHeaderAt = kSaltAt + crypto_pwhash_SALTBYTES;
    constexpr qsizetype kCheckAt = kStreamHeaderAt + crypto_secretstream_xchacha20poly1305_HEADERBYTES;
    constexpr qsizetype kCheckSize = 32;
    constexpr qsizetype kHeadSize = kCheckAt + kCheckSize;

    bool sodiumReady()
    {
        static const bool ready = sodium_init() >= 0;
        return ready;
    }

    // The stream key and the key of the head's check, both from the passphrase.
    struct Keys {
        std::array<unsigned char, crypto_secretstream_xchacha20poly1305_KEYBYTES> stream {};
        std::array<unsigned char, 32> check {};
        ~Keys()
        {
            sodium_memzero(stream.data(), stream.size());
            sodium_memzero(check.data(), check.size());
        }
    };

    bool deriveKeys(const QByteArray& passphrase, const unsigned char* salt, quint32 ops, quint32 memKiB, Keys* keys)
    {
        std::array<unsigned char, 64> both {};
        const bool ok = crypto_pwhash(both.data(), both.size(), passphrase.constData(),
                            static_cast<unsigned long long>(passphrase.size()), salt, ops,
                            static_cast<size_t>(memKiB) * 1024, crypto_pwhash_ALG_ARGON2ID13)
            == 0;
        std::copy_n(both.begin(), 32, keys->stream.begin());
        std::copy_n(both.begin() + 32, 32, keys->check.begin());
        sodium_memzero(both.data(), both.size());
        return ok;
    }

    void headCheck(const QByteArray& head, const Keys& keys, unsigned char* out)
    {
        crypto_generichash(out, kCheckSize, reinterpret_cast<const unsigned char*>(head.constData()), kCheckAt,
            keys.check.data(), keys.check.size());
    }

    bool openOwnerOnly(QFile& file)
    {
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate, QFileDevice::ReadOwner | QFileDevice::WriteOwner)
            && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

} // namespace

bool isEnciphered(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(kMarkSize) == QByteArray(kMark, kMarkSize);
}

bool readKeyFile(const QString& path, QByteArray* passphrase, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("读不了备份密钥文件 %1：%2").arg(path, file.errorString());
        return false;
    }
    QByteArray text = file.readAll();
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    if (text.isEmpty()) {
        *error = QStringLiteral("备份密钥文件 %1 是空的").arg(path);
        return false;
    }
    *passphrase = text;
    return true;
}

bool encipherFile(const QString& plainPath, const QString& outPath, const QByteArray& passphrase, QString* error)
{
    if (!sodiumReady()) {
        *error = QStringLiteral("加密库无法初始化");
        return false;
    }
    QFile in(plainPath);
    QFile out(outPath);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("读不了 %1：%2").arg(plainPath, in.errorString());
        return false;
    }
    if (!openOwnerOnly(out)) {
        *error = QStringLiteral("写不了 %1：%2").arg(outPath, out.errorString());
        return false;
    }
    QByteArray head(kHeadSize, '\0');
    auto* h = reinterpret_cast<unsigned char*>(head.data());
    std::copy_n(kMark, kMarkSize, head.data());
    h[kMarkSize] = kVersion;
    qToLittleEndian<quint32>(kOps, h + 8);
    qToLittleEndian<quint32>(kMemKiB, h + 12);
    randombytes_buf(h + kSaltAt, crypto_pwhash_SALTBYTES);
    Keys keys;
    if (!deriveKeys(passphrase, h + kSaltAt, kOps, kMemKiB, &keys)) {
        *error = QStringLiteral("由密钥生成加密密钥失败（内存不够？）");
        out.remove();
        return false;
    }
    crypto_secretstream_xchacha20poly1305_state state;
    crypto_secretstream_xchacha20poly1305_init_push(&state, h + kStreamHeaderAt, keys.stream.data());
    headCheck(head, keys, h + kCheckAt);

    bool ok = out.write(head) == head.size();
    QByteArray plain(kChunk, Qt::Uninitialized);
    QByteArray sealed(kSealedChunk, Qt::Uninitialized);
    for (bool last = false; ok && !last;) {
        const qint64 n = in.read(plain.data(), kChunk);
        if (n < 0) {
            ok = false;
            break;
        }
        last = in.atEnd();
        unsigned long long length = 0;
        crypto_secretstream_xchacha20poly1305_push(&state, reinterpret_cast<unsigned char*>(sealed.data()), &length,
            reinterpret_cast<const unsigned char*>(plain.constData()), static_cast<unsigned long long>(n), nullptr, 0,
            last ? crypto_secretstream_xchacha20poly1305_TAG_FINAL : 0);
        ok = out.write(sealed.constData(), static_cast<qint64>(length)) == static_cast<qint64>(length);
    }
    sodium_memzero(plain.data(), plain.size());
    ok = ok && out.flush();
    if (!ok) {
        *error = QStringLiteral("加密写入 %1 没有完成：%2").arg(outPath, in.error() != QFile::NoError ? in.errorString() : out.errorString());
        out.remove();
        return false;
    }
    return true;
}

bool decipherFile(const QString& inPath, const QString& plainPath, const QByteArray& passphrase, QString* error)
{
    if (!sodiumReady()) {
        *error = QStringLiteral("加密库无法初始化");
        return false;
    }
    QFile in(inPath);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("读不了备份文件 %1：%2").arg(inPath, in.errorString());
        return false;
    }
    const QByteArray head = in.read(kHeadSize);
    const auto* h = reinterpret_cast<const unsigned char*>(head.constData());
    if (head.size() < kMarkSize + 1 || !head.startsWith(QByteArray(kMark, kMarkSize))) {
        *error = QStringLiteral("%1 不是加密的备份文件").arg(inPath);
        return false;
    }
    if (h[kMarkSize] != kVersion) {
        *error = QStringLiteral("备份文件 %1 的加密格式（第 %2 版）本程序不认识").arg(inPath).arg(h[kMarkSize]);
        return false;
    }
    if (head.size() < kHeadSize) {
        *error = QStringLiteral("备份文件 %1 不完整（文件头被截断）").arg(inPath);
        return false;
    }
    const quint32 ops = qFromLittleEndian<quint32>(h + 8);
    const quint32 memKiB = qFromLittleEndian<quint32>(h + 12);
    const QString damaged = QStringLiteral("备份文件 %1 已损坏或被改动过，不能使用").arg(inPath);
    if (ops < crypto_pwhash_OPSLIMIT_MIN || ops > kMostOps || memKiB < crypto_pwhash_MEMLIMIT_MIN / 1024
        || memKiB > kMostMemKiB) {
        *error = damaged;
        return false;
    }
    Keys keys;
    if (!deriveKeys(passphrase, h + kSaltAt, ops, memKiB, &keys)) {
        *error = QStringLiteral("由密钥生成解密密钥失败（内存不够？）");
        return false;
    }
    std::array<unsigned char, kCheckSize> check {};
    headCheck(head, keys, check.data());
    if (sodium_memcmp(check.data(), h + kCheckAt, kCheckSize) != 0) {
        *error = QStringLiteral("备份文件 %1 解不开：密钥不对（或文件头已损坏）").arg(inPath);
        return false;
    }
    crypto_secretstream_xchacha20poly1305_state state;
    if (crypto_secretstream_xchacha20poly1305_init_pull(&state, h + kStreamHeaderAt, keys.stream.data()) != 0) {
        *error = damaged;
        return false;
    }
    QFile out(plainPath);
    if (!openOwnerOnly(out)) {
        *error = QStringLiteral("写不了 %1：%2").arg(plainPath, out.errorString());
        return false;
    }
    QByteArray sealed(kSealedChunk, Qt::Uninitialized);
    QByteArray plain(kChunk, Qt::Uninitialized);
    QString why;
    for (bool final = false; why.isEmpty() && !final;) {
        const qint64 n = in.read(sealed.data(), kSealedChunk);
        if (n < 0) {
            why = QStringLiteral("读不了备份文件 %1：%2").arg(inPath, in.errorString());
            break;
        }
        if (n == 0) {
            why = QStringLiteral("备份文件 %1 不完整（被截断）").arg(inPath);
            break;
        }
        unsigned long long length = 0;
        unsigned char tag = 0;
        if (n < crypto_secretstream_xchacha20poly1305_ABYTES
            || crypto_secretstream_xchacha20poly1305_pull(&state, reinterpret_cast<unsigned char*>(plain.data()), &length,
                   &tag, reinterpret_cast<const unsigned char*>(sealed.constData()), static_cast<unsigned long long>(n),
                   nullptr, 0)
                != 0) {
            // A cut inside the last chunk fails its tag like a changed byte does.
            why = in.atEnd() && n < kSealedChunk ? QStringLiteral("备份文件 %1 已损坏或不完整，不能使用").arg(inPath) : damaged;
            break;
        }
        final = tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL;
        if (final && !in.atEnd())
            why = damaged; // something after the end
        else if (out.write(plain.constData(), static_cast<qint64>(length)) != static_cast<qint64>(length))
            why = QStringLiteral("写不了 %1：%2").arg(plainPath, out.errorString());
    }
    sodium_memzero(plain.data(), plain.size());
    if (why.isEmpty() && !out.flush())
        why = QStringLiteral("写不了 %1：%2").arg(plainPath, out.errorString());
    if (!why.isEmpty()) {
        out.remove();
        *error = why;
        return false;
    }
    return true;
}

} // namespace fd::backup
