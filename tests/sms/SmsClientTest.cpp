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
using namespace Qt::StringLiterals;

TEST(SmsClientRules, UrlsAreThePiecesAroundTheValuesWithOnlyTheTextsEncoded)
{
    const SmsPlatform p {smsSplitTemplate(u"S0@#$%S1@#$%S2@#$%S3@#$%B4@#$%B5"_s), {}};
    EXPECT_EQ(smsBalanceUrl(p, u"u s"_s, u"p&w"_s), u"B4u sB5p&w"_s);
    // Every byte of the message and the suffix is encoded, plain letters, line breaks and UTF-8 alike.
    EXPECT_EQ(smsSendUrl(p, u"u"_s, u"pw"_s, u" 138 "_s, u"a\r\n3－4"_s,
                  u"【x】"_s),
        u"S0uS1pwS2 138 S3%61%0D%0A%33%EF%BC%8D%34%E3%80%90%78%E3%80%91"_s);
    EXPECT_EQ(smsSendUrl(p, u"u"_s, u"pw"_s, u"1"_s, QString(), QString()),
        u"S0uS1pwS21S3"_s);

    // Fewer than six pieces: no URL at all.
    const SmsPlatform five {smsSplitTemplate(u"a@#$%b@#$%c@#$%d@#$%e"_s), {}};
    EXPECT_TRUE(smsBalanceUrl(five, u"u"_s, u"p"_s).isEmpty());
    EXPECT_TRUE(smsSendUrl(five, u"u"_s, u"p"_s, u"1"_s, u"m"_s, {}).isEmpty());
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
    EXPECT_EQ(smsReadBalance(QByteArray("a=0&b=37\xcc\xf5")), u"37条"_s); // GBK reply
}

TEST(SafetyTexts, ValuesMapToTheirTextsAndNothingElse)
{
    // Category * 100 + number, both counted from 1: 33 values have a text, no other value has one.
    int count = 0;
    for (int value = -200; value < 1000; ++value)
        count += safetyText(value).isEmpty() ? 0 : 1;
    EXPECT_EQ(count, 33);
}

class SmsClientPlatform : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset();
        platform.pieces = smsSplitTemplate(stackSettings().smsUrlTemplate);
        platform.http.connectTimeoutSeconds = 2;
        platform.http.totalTimeoutSeconds = 2;
    }
    void TearDown() override { sim.reset(); }
    void reset()
    {
        sim.reset();
        sim.account(u"acme"_s, u"pw1"_s, 5);
    }
    bool check(const QString& password = u"pw1"_s) { return smsCheckAccount(platform, u"acme"_s, password); }
    QString balance() { return smsGetBalance(platform, u"acme"_s, u"pw1"_s); }
    bool send(const QString& phone, const QString& text = u"hello"_s)
    {
        return smsSendMessage(platform, u"acme"_s, u"pw1"_s, phone, text, u"【车队】"_s);
    }

    Simulator sim {stackSettings()};
    SmsPlatform platform;
};

TEST_F(SmsClientPlatform, AccountBalanceAndSendAgainstThePlatform)
{
    EXPECT_TRUE(check());
    EXPECT_FALSE(check(u"wrong"_s));
    EXPECT_FALSE(smsCheckAccount(platform, u"nobody"_s, u"pw1"_s));
    EXPECT_EQ(balance(), u"5"_s);

    // The encoded text, line break included, arrives as it was.
    const QString text = safetyText(203) + u"\r\n"_s + safetyText(402);
    EXPECT_TRUE(send(u"13800000001"_s, text));
    const QList<Received> got = Simulator::received();
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].mobile + u'|' + got[0].content, u"13800000001|"_s + text + u"【车队】"_s);
}

TEST_F(SmsClientPlatform, EveryFaultOfTheSendIsAFailure)
{
    // The fault, and whether the simulator saw the message. A reply that never comes is given up
    // after the time-out.
    const struct {
        const char* fault;
        bool reached;
    } faults[] = {{"refuse=13800000002", true}, {"empty=1", true}, {"error=1", true}, {"hang=1", false}};
    for (const auto& f : faults) {
        SCOPED_TRACE(f.fault);
        reset();
        sim.fault(QString::fromLatin1(f.fault));
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(send(u"13800000002"_s));
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_EQ(Simulator::received().size(), f.reached ? 1 : 0);
        EXPECT_TRUE(check()); // the account check is not affected by faults of the send
    }

    // A balance query that gets an empty body or an error page reads as no account / no balance.
    reset();
    sim.fault(u"empty=1&scope=all"_s);
    EXPECT_FALSE(check());
    sim.fault(u"empty=0&error=1"_s);
    EXPECT_EQ(balance(), QString());
}

} // namespace
} // namespace fd::test
