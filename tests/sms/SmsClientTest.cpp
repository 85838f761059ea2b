// The platform client: URL forms, encoding, reply readings, and the requests against the simulator
// with each of its fault switches.
#include "Simulator.h"
#include "sms/SafetyTexts.h"
#include "sms/SmsClient.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace fd::test {
namespace {

using namespace fd::sms;

SmsPlatform letters()
{
    return {smsSplitTemplate(QStringLiteral("S0@#$%S1@#$%S2@#$%S3@#$%B4@#$%B5")), {}};
}

TEST(SmsClientRules, UrlsAreThePiecesAroundTheValuesWithOnlyTheTextsEncoded)
{
    const SmsPlatform p = letters();
    EXPECT_EQ(smsBalanceUrl(p, QStringLiteral("u s"), QStringLiteral("p&w")), QStringLiteral("B4u sB5p&w"));
    EXPECT_EQ(smsSendUrl(p, QStringLiteral("u"), QStringLiteral("pw"), QStringLiteral(" 138 "), QStringLiteral("abc"),
                  QStringLiteral("【x】")),
        QStringLiteral("S0uS1pwS2 138 S3%61%62%63%E3%80%90%78%E3%80%91"));
    EXPECT_EQ(smsSendUrl(p, QStringLiteral("u"), QStringLiteral("pw"), QStringLiteral("1"), QString(), QString()),
        QStringLiteral("S0uS1pwS21S3"));
    EXPECT_EQ(smsEncodeText(QStringLiteral("a\r\nb")), QStringLiteral("%61%0D%0A%62"));
    EXPECT_EQ(smsEncodeText(QStringLiteral("3－4")), QStringLiteral("%33%EF%BC%8D%34"));
    EXPECT_EQ(smsEncodeText(QString()), QString());

    // Fewer than six pieces: no URL at all.
    const SmsPlatform five {smsSplitTemplate(QStringLiteral("a@#$%b@#$%c@#$%d@#$%e")), {}};
    EXPECT_FALSE(five.complete());
    EXPECT_TRUE(smsBalanceUrl(five, QStringLiteral("u"), QStringLiteral("p")).isEmpty());
    EXPECT_TRUE(smsSendUrl(five, QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("1"), QStringLiteral("m"), {}).isEmpty());
}

TEST(SmsClientRules, RepliesAreReadByPosition)
{
    const struct {
        const char* reply;
        const char* balance;
        bool accepted;
    } cases[] = {
        {"a=0&b=37", "37", false},
        {"result=0&balance=12=9", "12", true},
        {"result=0", "", true},
        {"result=1&msg=x", "x", false},
        {"result=-1&msg=x", "x", false}, // the minus sign is no acceptance
        {"ok", "", false},               // shorter than eight bytes
        {"", "", false},                 // unreachable, time-out
        {"<!DOCTYPE html><html>", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        EXPECT_EQ(smsReadBalance(QByteArray(c.reply)), QString::fromUtf8(c.balance));
        EXPECT_EQ(smsReadSendReply(QByteArray(c.reply)), c.accepted);
    }
    EXPECT_EQ(smsReadBalance(QByteArray("a=0&b=37\xcc\xf5")), QStringLiteral("37条")); // GBK reply
}

TEST(SafetyTexts, ValuesMapToTheirTextsAndNothingElse)
{
    int count = 0, shortest = 1000, longest = 0;
    for (int category = 1; category <= 7; ++category)
        for (int n = 1; n < 100 && !safetyText(category * 100 + n).isEmpty(); ++n) {
            const QString t = safetyText(category * 100 + n);
            ++count;
            shortest = std::min(shortest, static_cast<int>(t.size()));
            longest = std::max(longest, static_cast<int>(t.size()));
            EXPECT_FALSE(t.contains(QLatin1Char('\'')) || t.contains(QLatin1Char('\\')) || t.contains(QLatin1Char('\n')));
        }
    EXPECT_EQ(count, 33);
    EXPECT_EQ(shortest, 21);
    EXPECT_EQ(longest, 74);
    EXPECT_EQ(safetyText(403).size(), 21);
    EXPECT_EQ(safetyText(702).size(), 74);
    for (int none : {0, 100, 105, 206, 410, 800, -101})
        EXPECT_TRUE(safetyText(none).isEmpty()) << none;
}

class SmsClientPlatform : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim.reset();
        sim.account(QStringLiteral("acme"), QStringLiteral("pw1"), 5);
        platform.pieces = smsSplitTemplate(settings.smsUrlTemplate);
        platform.http.connectTimeoutSeconds = 2;
        platform.http.totalTimeoutSeconds = 2;
    }
    void TearDown() override { sim.reset(); }

    bool send(const QString& phone, const QString& text = QStringLiteral("hello"))
    {
        return smsSendMessage(platform, QStringLiteral("acme"), QStringLiteral("pw1"), phone, text, QStringLiteral("【车队】"));
    }

    Settings settings = stackSettings();
    Simulator sim {settings};
    SmsPlatform platform;
};

TEST_F(SmsClientPlatform, AccountBalanceAndSendAgainstThePlatform)
{
    EXPECT_TRUE(smsCheckAccount(platform, QStringLiteral("acme"), QStringLiteral("pw1")));
    EXPECT_FALSE(smsCheckAccount(platform, QStringLiteral("acme"), QStringLiteral("wrong")));
    EXPECT_FALSE(smsCheckAccount(platform, QStringLiteral("nobody"), QStringLiteral("pw1")));
    EXPECT_EQ(smsGetBalance(platform, QStringLiteral("acme"), QStringLiteral("pw1")), QStringLiteral("5"));

    const QString text = safetyText(203) + QStringLiteral("\r\n") + safetyText(402);
    EXPECT_TRUE(send(QStringLiteral("13800000001"), text));
    EXPECT_FALSE(smsSendMessage(platform, QStringLiteral("acme"), QStringLiteral("bad"), QStringLiteral("13800000001"),
        QStringLiteral("x"), QString())); // result=-1
    EXPECT_EQ(smsGetBalance(platform, QStringLiteral("acme"), QStringLiteral("pw1")), QStringLiteral("4"));

    const QList<Received> got = Simulator::received();
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0].mobile, QStringLiteral("13800000001"));
    EXPECT_EQ(got[0].content, text + QStringLiteral("【车队】"));
    EXPECT_EQ(got[1].result, QStringLiteral("-1"));

    // A platform that is not there and a template that is incomplete send nothing and accept nothing.
    SmsPlatform nowhere = platform;
    nowhere.pieces = smsSplitTemplate(QStringLiteral("http://127.0.0.1:1/s?u=@#$%&p=@#$%&m=@#$%&c=@#$%http://127.0.0.1:1/b?u=@#$%&p="));
    EXPECT_FALSE(smsCheckAccount(nowhere, QStringLiteral("acme"), QStringLiteral("pw1")));
    EXPECT_FALSE(smsSendMessage(nowhere, QStringLiteral("acme"), QStringLiteral("pw1"), QStringLiteral("1"), {}, {}));
    SmsPlatform cut = platform;
    cut.pieces = cut.pieces.mid(0, 5);
    EXPECT_FALSE(smsSendMessage(cut, QStringLiteral("acme"), QStringLiteral("pw1"), QStringLiteral("13800000001"), {}, {}));
    EXPECT_EQ(Simulator::received().size(), 2);
}

TEST_F(SmsClientPlatform, EveryFaultOfTheSendIsAFailure)
{
    // query, whether the simulator saw the message
    const struct {
        const char* fault;
        bool reached;
    } faults[] = {
        {"refuse=13800000002", true},
        {"empty=1", true},
        {"error=1", true},
        {"hang=1", false},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.fault);
        sim.reset();
        sim.account(QStringLiteral("acme"), QStringLiteral("pw1"), 5);
        sim.fault(QString::fromLatin1(f.fault));
        EXPECT_FALSE(send(QStringLiteral("13800000002")));
        EXPECT_EQ(Simulator::received().size(), f.reached ? 1 : 0);
        // The account check is not affected by faults of the send.
        EXPECT_TRUE(smsCheckAccount(platform, QStringLiteral("acme"), QStringLiteral("pw1")));
    }
    // Only the refused number is refused.
    sim.reset();
    sim.account(QStringLiteral("acme"), QStringLiteral("pw1"), 5);
    sim.fault(QStringLiteral("refuse=13800000002"));
    EXPECT_TRUE(send(QStringLiteral("13800000003")));

    // A balance query that gets an empty body or an error page reads as no account / no balance.
    sim.fault(QStringLiteral("refuse=&empty=1&scope=all"));
    EXPECT_FALSE(smsCheckAccount(platform, QStringLiteral("acme"), QStringLiteral("pw1")));
    sim.fault(QStringLiteral("empty=0&error=1"));
    EXPECT_EQ(smsGetBalance(platform, QStringLiteral("acme"), QStringLiteral("pw1")), QString());
}

TEST_F(SmsClientPlatform, ASlowReplyIsWaitedForAndAHungOneGivenUpAfterTheTimeOut)
{
    sim.fault(QStringLiteral("slow=700"));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(send(QStringLiteral("13800000004")));
    EXPECT_GE(clock.elapsed(), 650);

    sim.fault(QStringLiteral("slow=0&hang=1"));
    clock.restart();
    EXPECT_FALSE(send(QStringLiteral("13800000004")));
    EXPECT_GE(clock.elapsed(), 1900);
    EXPECT_LT(clock.elapsed(), 5000);
}

} // namespace
} // namespace fd::test
