// 收费数据检查: every stored fee text the money reader cannot read is listed with its vehicle,
// fee and column; the texts it reads (however they are written) are not.

#include "ViewsFixture.h"

#include "fees/DataCheck.h"

namespace fd::test {
namespace {

    struct Text {
        const char* text;
        bool unreadable;
    };

    // Each text goes into a column of its own vehicle, round the twelve fee columns.
    const QList<Text> kTexts {
        { "1200", false },
        { "1,200", false },
        { "１２００", false },
        { "1200元", false },
        { "1200.5", false },
        { " 300 ", false },
        { "", false },
        { "0", false },
        { "1234567890123", false },
        { "1,200.50", false },
        { "一千", true },
        { "1200/年", true },
        { "12.345", true },
        { "1,20", true },
        { "12345678901234", true },
        { ".", true },
        { "1200.", true },
        { "约1000", true },
        { "--5", true },
    };

    const char* const kFields[] = { "senceyingjiaofei", "senceyijiaofei", "sencehaiqianfei", "baoxianyingjiaofei",
        "baoxianyijiaofei", "baoxianhaiqianfei", "yinyunzengyingjiaofei", "yinyunzengyijiaofei", "yinyunzenghaiqianfei",
        "guanliyingjiaofei", "guanliyijiaofei", "guanlihaiqianfei" };
    const char* const kFees[] = { "审车费", "保险费", "营运费", "管理费" };
    const char* const kColumns[] = { "应缴费用", "已缴费用", "还欠费用" };

    class DataCheckTest : public ViewsFixture {
    protected:
        QString database() const override { return QStringLiteral("t_fees_check"); }
    };

    TEST_F(DataCheckTest, ListsExactlyTheTextsTheMoneyReaderCannotRead)
    {
        struct Expected {
            QString plate, fee, column, text;
            bool operator<(const Expected& o) const
            {
                return std::tie(plate, fee, column) < std::tie(o.plate, o.fee, o.column);
            }
            bool operator==(const Expected&) const = default;
        };
        std::vector<Expected> expected;
        for (int i = 0; i < kTexts.size(); ++i) {
            const int f = i % 12;
            const QString plate = QStringLiteral("豫K%1").arg(20000 + i);
            const QString text = QString::fromUtf8(kTexts[i].text);
            vehicle(plate, { { QString::fromLatin1(kFields[f]), text } });
            if (kTexts[i].unreadable)
                expected.push_back(
                    { plate, QString::fromUtf8(kFees[f / 3]), QString::fromUtf8(kColumns[f % 3]), text });
        }
        // A vehicle with two unreadable texts is listed twice; NULL columns are no texts.
        vehicle(QStringLiteral("豫K29999"),
            { { QStringLiteral("guanliyingjiaofei"), QStringLiteral("一年三千") },
                { QStringLiteral("baoxianhaiqianfei"), QStringLiteral("待定") } });
        expected.push_back({ QStringLiteral("豫K29999"), QStringLiteral("管理费"), QStringLiteral("应缴费用"),
            QStringLiteral("一年三千") });
        expected.push_back({ QStringLiteral("豫K29999"), QStringLiteral("保险费"), QStringLiteral("还欠费用"),
            QStringLiteral("待定") });

        std::vector<fees::UnreadableFee> found;
        QString error;
        ASSERT_TRUE(fees::readUnreadableFees(*session, found, &error)) << error.toStdString();
        std::vector<Expected> got;
        for (const fees::UnreadableFee& u : found) {
            got.push_back({ u.plate, u.fee, u.column, u.text });
            EXPECT_GT(u.vehicleId, 0);
            EXPECT_EQ(u.fileNumber, QStringLiteral("DA-") + u.plate);
        }
        std::sort(expected.begin(), expected.end());
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, expected);
    }

} // namespace
} // namespace fd::test
