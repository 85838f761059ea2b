// Enciphered settings, their MD5 check and the tool that writes them.
#include "common/Cipher.h"

#include "../support/TestSupport.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace fd;

namespace {

constexpr quint8 kMask = 90;
const QString kKeyA = QStringLiteral("31415926535");
const QString kKeyB = QStringLiteral("27182818284");

struct ToolRun {
    int exitCode = -1;
    QString out;
};

ToolRun runEncipherTool(const QStringList& arguments)
{
    const QString tool = qEnvironmentVariable("FD_ENCIPHER_TOOL");
    EXPECT_FALSE(tool.isEmpty()) << "FD_ENCIPHER_TOOL is not set";
    QProcess p;
    p.start(tool, arguments);
    EXPECT_TRUE(p.waitForFinished(10000)) << tool.toStdString();
    ToolRun run;
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    return run;
}

} // namespace

TEST(Md5, Rfc1321Vectors)
{
    EXPECT_EQ(md5Hex(""), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_EQ(md5Hex("a"), QStringLiteral("0cc175b9c0f1b6a831c399e269772661"));
    EXPECT_EQ(md5Hex("abc"), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    EXPECT_EQ(md5Hex("message digest"), QStringLiteral("f96b697d7cb7938d525a2f31aaf161d0"));
    EXPECT_EQ(md5Hex("abcdefghijklmnopqrstuvwxyz"), QStringLiteral("c3fcd3d76192e4007dfb496cca67e13b"));
    EXPECT_EQ(md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
        QStringLiteral("57edf4a22be3c955ac49da2e2107b67a"));
    // binary input: the digest of the GBK bytes of 车, not of some other encoding
    EXPECT_EQ(md5Hex(QByteArray::fromHex("b3b5")), QStringLiteral("282ba564c1cae863b750a7fae0712053"));
}

TEST(Decipher, ValuesWrittenByTheStackScriptAndByHand)
{
    // The stack's settings were enciphered by its own script, independently of this code.
    const fd::Settings s = fd::test::stackSettings();
    EXPECT_EQ(decipherSetting(s.dbHost, s.settingKeyA, s.xorMask), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(decipherSetting(s.dbUser, s.settingKeyB, s.xorMask), QStringLiteral("fleetdesk"));
    EXPECT_EQ(decipherSetting(s.dbPassword, s.settingKeyB, s.xorMask), QStringLiteral("fleetdesk-2016"));
    EXPECT_EQ(decipherSetting(s.ftpUser, s.settingKeyA, s.xorMask), QStringLiteral("ftpuser"));

    EXPECT_EQ(decipherSetting(QStringLiteral("6B686D746A746A746B4BAF6ED31"), kKeyA, kMask), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(decipherSetting(QStringLiteral("E6E690AF8CFDE98C7A0B0B7A626A6A6A6B68696E6F4BAF6ED31"), kKeyA, kMask),
        QStringLiteral("技术支持 QQ 800012345"));
    // lower-case digits in the body read the same
    EXPECT_EQ(decipherSetting(QStringLiteral("6b686d746a746a746b4BAF6ED31"), kKeyA, kMask), QStringLiteral("127.0.0.1"));
    // a NUL byte ends the text
    EXPECT_EQ(decipherSetting(QStringLiteral("3B385A393EB430FC92A"), kKeyB, kMask), QStringLiteral("ab"));
    // a single trailing digit is a one-digit byte: 6B -> '1', 6 -> 0x06 ^ 0x5A = '\'
    EXPECT_EQ(decipherSetting(QStringLiteral("6B64BAF6ED31"), kKeyA, kMask), QStringLiteral("1\\"));
    // only the check: the empty value
    EXPECT_EQ(decipherSetting(QStringLiteral("4BAF6ED31"), kKeyA, kMask), QString());
}

TEST(Decipher, CheckThatDoesNotMatchTheKeyGivesEmptyText)
{
    const QString good = QStringLiteral("6B686D746A746A746B4BAF6ED31");
    EXPECT_EQ(decipherSetting(good, kKeyB, kMask), QString());
    EXPECT_EQ(decipherSetting(good, QStringLiteral("31415926536"), kMask), QString());
    EXPECT_EQ(decipherSetting(good, QString(), kMask), QString());
    // the check must be upper case
    EXPECT_EQ(decipherSetting(QStringLiteral("6B686D746A746A746B4baf6ed31"), kKeyA, kMask), QString());
    EXPECT_EQ(decipherSetting(good.left(good.size() - 1), kKeyA, kMask), QString());
    EXPECT_EQ(decipherSetting(QStringLiteral("4BAF6ED3"), kKeyA, kMask), QString());
    EXPECT_EQ(decipherSetting(QString(), kKeyA, kMask), QString());
}

TEST(Encipher, RoundTripsAndMatchesTheIndependentForm)
{
    EXPECT_EQ(encipherSetting(QStringLiteral("127.0.0.1"), kKeyA, kMask), QStringLiteral("6B686D746A746A746B4BAF6ED31"));
    for (const QString& plain : {QStringLiteral("fleetdesk-2016"), QStringLiteral("技术支持：縗籠'\"\\"), QString()}) {
        for (quint8 mask : {quint8(0), quint8(90), quint8(255)}) {
            const QString c = encipherSetting(plain, kKeyB, mask);
            EXPECT_EQ(decipherSetting(c, kKeyB, mask), plain) << c.toStdString();
        }
    }
    EXPECT_EQ(encipherSetting(QStringLiteral("车😀"), kKeyA, kMask), QString());
}

TEST(EncipherTool, WritesValuesTheProgramDeciphers)
{
    const ToolRun ascii = runEncipherTool({kKeyA, QStringLiteral("90"), QStringLiteral("127.0.0.1")});
    EXPECT_EQ(ascii.exitCode, 0);
    EXPECT_EQ(ascii.out, QStringLiteral("6B686D746A746A746B4BAF6ED31"));

    const QString chinese = QStringLiteral("郑州市 技术支持");
    const ToolRun gbk = runEncipherTool({kKeyB, QStringLiteral("0x5A"), chinese});
    EXPECT_EQ(gbk.exitCode, 0);
    EXPECT_EQ(decipherSetting(gbk.out, kKeyB, 0x5A), chinese);

    EXPECT_EQ(runEncipherTool({kKeyA, QStringLiteral("90"), QStringLiteral("车😀")}).exitCode, 1);
    EXPECT_EQ(runEncipherTool({kKeyA, QStringLiteral("256"), QStringLiteral("x")}).exitCode, 2);
    EXPECT_EQ(runEncipherTool({kKeyA, QStringLiteral("90")}).exitCode, 2);
}
