// 月报 equals the ledger: the month's payments and voids per clerk and method, a payment on the
// day it was taken and a void on the day it was made, nothing from the months around it.

#include "ViewsFixture.h"

#include "fees/MonthReport.h"

namespace fd::test {
namespace {

    using fees::MonthLine;

    class MonthReportTest : public ViewsFixture {
    protected:
        QString database() const override { return QStringLiteral("t_fees_month"); }
    };

    TEST_F(MonthReportTest, TheMonthsTakingsPerClerkAndMethodWithTheVoidsApart)
    {
        const qint64 car = vehicle(QStringLiteral("豫H30001"));
        const QString fee = QStringLiteral("管理费");
        const QString wang = QStringLiteral("小王"), li = QStringLiteral("小李");
        const QString cash = QStringLiteral("现金"), wechat = QStringLiteral("微信"), bank = QStringLiteral("银行转账");
        const QString pay = QStringLiteral("收费");
        auto at = [](int month, int day, int h, int m, int s) {
            return QDateTime(QDate(2026, month, day), QTime(h, m, s));
        };
        // In March 2026, from its first second to its last.
        ledger(pay, car, fee, 0, 120000, wang, cash, at(3, 1, 0, 0, 0));
        ledger(pay, car, fee, 0, 5, wang, cash, at(3, 31, 23, 59, 59));
        ledger(pay, car, fee, 0, 30050, wang, wechat, at(3, 15, 9, 0, 0));
        ledger(pay, car, fee, 0, 99999999, li, bank, at(3, 20, 9, 0, 0));
        // Li's payment voided by Wang the same day; a February payment voided on the first of March.
        const qint64 voided = ledger(pay, car, fee, 0, 7000, li, cash, at(3, 20, 10, 0, 0));
        voidPayment(voided, car, fee, 0, 7000, cash, wang, at(3, 20, 11, 0, 0));
        const qint64 february = ledger(pay, car, fee, 0, 333, li, wechat, at(2, 28, 18, 0, 0));
        voidPayment(february, car, fee, 0, 333, wechat, li, at(3, 1, 8, 0, 0));
        // What is due is no taking; the months around are not this one.
        ledger(QStringLiteral("应缴"), car, fee, 1, 500000, wang, QString(), at(3, 10, 9, 0, 0));
        ledger(pay, car, fee, 1, 111, wang, cash, at(2, 28, 23, 59, 59));
        ledger(pay, car, fee, 1, 222, wang, cash, at(4, 1, 0, 0, 0));

        fees::MonthTakings t;
        QString error;
        const QDate day(2026, 3, 17);
        ASSERT_TRUE(fees::readMonthTakings(*session, fees::monthFirst(day), fees::monthLast(day), t, &error))
            << error.toStdString();
        // By clerk (in the server's order of the names), then in the order of the methods.
        std::vector<MonthLine> lines { { li, cash, 1, 7000, 0, 0 }, { li, bank, 1, 99999999, 0, 0 },
            { li, wechat, 0, 0, 1, 333 }, { wang, cash, 2, 120005, 1, 7000 }, { wang, wechat, 1, 30050, 0, 0 } };
        if (!t.lines.empty() && t.lines.front().clerk == wang)
            std::rotate(lines.begin(), lines.begin() + 3, lines.end());
        EXPECT_EQ(t.lines, lines);
        EXPECT_EQ(t.total, (MonthLine { QString(), QString(), 5, 7000 + 99999999 + 120005 + 30050, 2, 7333 }));

        // The printed lines: each clerk's 小计 and the 合计, the voids apart and taken off.
        const std::vector<fees::ReportLine> printed = fees::monthLines(t);
        auto find = [&](const QString& first, const QString& second) -> QStringList {
            for (const auto& l : printed)
                if (l.cells[0] == first && l.cells[1] == second)
                    return l.cells;
            return {};
        };
        EXPECT_EQ(find(wang, QStringLiteral("小计")),
            (QStringList { wang, QStringLiteral("小计"), QStringLiteral("3"), QStringLiteral("1500.55"),
                QStringLiteral("1"), QStringLiteral("70.00"), QStringLiteral("1430.55") }));
        EXPECT_EQ(find(QStringLiteral("合计"), QString()),
            (QStringList { QStringLiteral("合计"), QString(), QStringLiteral("5"), QStringLiteral("1001570.54"),
                QStringLiteral("2"), QStringLiteral("73.33"), QStringLiteral("1001497.21") }));
    }

    TEST_F(MonthReportTest, AMonthWithoutPaymentsHasOnlyAZeroTotal)
    {
        fees::MonthTakings t;
        QString error;
        ASSERT_TRUE(fees::readMonthTakings(*session, QDate(2026, 2, 1), QDate(2026, 2, 28), t, &error));
        EXPECT_TRUE(t.lines.empty());
        const auto lines = fees::monthLines(t);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].cells[6], QStringLiteral("0.00"));
    }

} // namespace
} // namespace fd::test
