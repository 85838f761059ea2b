// Enciphered archives without servers: what goes in comes out, and a wrong passphrase, a changed
// byte, a cut file or bytes after its end are refused with nothing written out.
#include "backup/Encryption.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace fd::backup;

namespace {

const QByteArray kPassphrase = QByteArrayLiteral("correct horse 电池 staple");
constexpr qsizetype kChunk = 64 * 1024;
constexpr qsizetype kHead = 88;     // mark, version, costs, salt, stream header, check
constexpr qsizetype kSealed = kChunk + 17; // a chunk with its tag

QByteArray randomBytes(qsizetype n)
{
    QByteArray bytes(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        bytes[i] = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

TEST(Encryption, WhatIsEncipheredComesBackByteForByte)
{
    QTemporaryDir work;
    // Around the chunk size: an empty file, a part chunk, exactly one, one and a byte, several.
    for (const qsizetype size : { qsizetype(0), qsizetype(1), kChunk - 1, kChunk, kChunk + 1, 3 * kChunk + 517 }) {
        const QByteArray plain = randomBytes(size);
        const QString in = work.filePath(QStringLiteral("plain")), sealed = work.filePath(QStringLiteral("sealed")),
                      back = work.filePath(QStringLiteral("back"));
        ASSERT_TRUE(writeFile(in, plain));
        QString error;
        ASSERT_TRUE(encipherFile(in, sealed, kPassphrase, &error)) << size << ": " << error.toStdString();
        EXPECT_TRUE(isEnciphered(sealed)) << size;
        EXPECT_FALSE(isEnciphered(in)) << size;
        const QByteArray stored = readFile(sealed);
        EXPECT_FALSE(size > 64 && stored.contains(plain.mid(size / 2, 32))) << size << ": the plain text shows";
        EXPECT_EQ(QFile(sealed).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
        ASSERT_TRUE(decipherFile(sealed, back, kPassphrase, &error)) << size << ": " << error.toStdString();
        EXPECT_EQ(readFile(back), plain) << size;
    }
}

TEST(Encryption, SameArchiveTwiceDiffersInEveryByteOfItsCipherText)
{
    // A fresh salt and stream header each time: two backups of the same data share no key stream.
    QTemporaryDir work;
    const QString in = work.filePath(QStringLiteral("plain"));
    ASSERT_TRUE(writeFile(in, QByteArray(1000, 'x')));
    QString error;
    ASSERT_TRUE(encipherFile(in, work.filePath(QStringLiteral("a")), kPassphrase, &error));
    ASSERT_TRUE(encipherFile(in, work.filePath(QStringLiteral("b")), kPassphrase, &error));
    const QByteArray a = readFile(work.filePath(QStringLiteral("a"))), b = readFile(work.filePath(QStringLiteral("b")));
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(a.left(16), b.left(16)); // mark, version and costs
    EXPECT_NE(a.mid(16, 16), b.mid(16, 16)); // salt
    EXPECT_NE(a.mid(kHead), b.mid(kHead));
}

TEST(Encryption, DamagedOrForeignFilesAreRefusedAndNothingIsWritten)
{
    QTemporaryDir work;
    const QByteArray plain = randomBytes(2 * kChunk + 100);
    const QString in = work.filePath(QStringLiteral("plain")), sealedPath = work.filePath(QStringLiteral("sealed"));
    ASSERT_TRUE(writeFile(in, plain));
    QString error;
    ASSERT_TRUE(encipherFile(in, sealedPath, kPassphrase, &error));
    const QByteArray sealed = readFile(sealedPath);
    ASSERT_EQ(sealed.size(), kHead + 2 * kSealed + 100 + 17);

    auto flipped = [&](qsizetype at) {
        QByteArray b = sealed;
        b[at] = static_cast<char>(b.at(at) ^ 0x01);
        return b;
    };
    // A costs field asking for 4 TiB of memory: refused before any is taken.
    QByteArray greedy = sealed;
    greedy[12] = greedy[13] = greedy[14] = greedy[15] = static_cast<char>(0xFF);
    const struct {
        const char* what;
        QByteArray bytes;
        QByteArray passphrase;
        const char* says;
    } cases[] = {
        { "wrong passphrase", sealed, QByteArrayLiteral("correct horse 电池 stapler"), "密钥不对" },
        { "empty passphrase", sealed, QByteArray(), "密钥不对" },
        { "byte of the salt changed", flipped(20), kPassphrase, "密钥不对" },
        { "byte of the check changed", flipped(kHead - 1), kPassphrase, "密钥不对" },
        { "byte of the stream header changed", flipped(40), kPassphrase, "密钥不对" },
        { "byte of the first chunk changed", flipped(kHead + 5), kPassphrase, "损坏" },
        { "byte of the middle chunk's tag changed", flipped(kHead + kSealed + 1), kPassphrase, "损坏" },
        { "last byte changed", flipped(sealed.size() - 1), kPassphrase, "损坏" },
        { "costs beyond reason", greedy, kPassphrase, "损坏" },
        { "version unknown", flipped(7), kPassphrase, "不认识" },
        { "cut in the head", sealed.left(50), kPassphrase, "截断" },
        { "cut inside the last chunk", sealed.left(sealed.size() - 30), kPassphrase, "不完整" },
        { "cut at a chunk's end", sealed.left(kHead + kSealed), kPassphrase, "截断" },
        { "cut after the head", sealed.left(kHead), kPassphrase, "截断" },
        { "bytes after the end", sealed + QByteArray(17, 'x'), kPassphrase, "损坏" },
        { "a plain archive", plain, kPassphrase, "不是加密的" },
        { "empty file", QByteArray(), kPassphrase, "不是加密的" },
    };
    for (const auto& c : cases) {
        const QString damaged = work.filePath(QStringLiteral("damaged")), out = work.filePath(QStringLiteral("out"));
        ASSERT_TRUE(writeFile(damaged, c.bytes));
        QFile::remove(out);
        error.clear();
        EXPECT_FALSE(decipherFile(damaged, out, c.passphrase, &error)) << c.what;
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.says))) << c.what << ": " << error.toStdString();
        EXPECT_FALSE(QFile::exists(out)) << c.what;
    }
}

TEST(Encryption, KeyFileIsItsTextWithoutTheLineEnd)
{
    QTemporaryDir work;
    const struct {
        QByteArray content;
        bool ok;
        QByteArray passphrase;
    } cases[] = {
        { "secret\n", true, "secret" },
        { "secret\r\n", true, "secret" },
        { " spaced secret \n\n", true, " spaced secret " },
        { "\n", false, {} },
        { "", false, {} },
    };
    for (const auto& c : cases) {
        const QString path = work.filePath(QStringLiteral("key"));
        ASSERT_TRUE(writeFile(path, c.content));
        QByteArray passphrase;
        QString error;
        EXPECT_EQ(readKeyFile(path, &passphrase, &error), c.ok) << c.content.toStdString();
        if (c.ok)
            EXPECT_EQ(passphrase, c.passphrase);
        else
            EXPECT_TRUE(error.contains(QStringLiteral("空"))) << error.toStdString();
    }
    QByteArray passphrase;
    QString error;
    EXPECT_FALSE(readKeyFile(work.filePath(QStringLiteral("missing")), &passphrase, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("读不了"))) << error.toStdString();
}

} // namespace
