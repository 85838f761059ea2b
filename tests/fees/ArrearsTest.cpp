// 欠费车辆 against a fleet whose stored fee texts are written the ways people type them, and a
// ledger with periods, payments and voids (the only record of the fees named apart under 其他):
// every vehicle's figure per fee kind, the totals, and
// that an unreadable text is shown as itself and counted nowhere.

#include "ViewsFixture.h"

#include "fees/Arrears.h"

#include <map>

namespace fd::test {
namespace {

    using fees::Owed;

    enum Kind { Inspection, Insurance, Operating, Management, Other };
    const char* const kFee[] = { "审车费", "保险费", "营运费", "管理费", "其他" };

    struct Entry {
        const char* type; // 应缴, 收费
        int period;
        qint64 fen;
        bool voided = false;
        const char* name = ""; // of a fee under 其他
    };

    struct Case {
        const char* plate;
        Kind kind;
        const char* due; // stored 应缴费用 (kinds with columns)
        const char* paid; // stored 已缴费用
        QList<Entry> entries;
        Owed::State state;
        qint64 fen = 0; // Amount
        const char* text = ""; // Unreadable: the text shown
        const char* column = ""; // Unreadable: which column
    };

    const QList<Case> kCases {
        { "豫H10001", Management, "1,200", "", {}, Owed::Amount, 120000 },
        { "豫H10002", Inspection, "１２００", "200", {}, Owed::Amount, 100000 },
        { "豫H10003", Insurance, "1200元", "1200", {}, Owed::Amount, 0 },
        { "豫H10004", Operating, "一千", "", {}, Owed::Unreadable, 0, "一千", "应缴费用" },
        { "豫H10005", Management, "", "", {}, Owed::Nothing },
        { "豫H10006", Management, "3000", "三千", {}, Owed::Unreadable, 0, "三千", "已缴费用" },
        { "豫H10007", Insurance, " 300 ", "1200.5", {}, Owed::Amount, 30000 - 120050 },
        // For the kinds with vehicle columns the columns hold the open period as payments, voids
        // and new amounts due write them; the ledger rows are their history and are not added again.
        { "豫H10008", Management, "3000.00", "1000.00",
            { { "应缴", 1, 300000 }, { "收费", 1, 100000 }, { "收费", 1, 50000, true } }, Owed::Amount, 200000 },
        // Period 1 paid in full, period 2 opened: only period 2 counts.
        { "豫H10009", Inspection, "2500.00", "0.00",
            { { "应缴", 1, 100000 }, { "收费", 1, 100000 }, { "应缴", 2, 250000 } }, Owed::Amount, 250000 },
        { "豫H10010", Operating, "1200", "200.00", { { "收费", 0, 20000 }, { "收费", 0, 30000, true } }, Owed::Amount,
            100000 },
        { "豫H10011", Other, "", "", { { "应缴", 1, 5000 } }, Owed::Amount, 5000 },
        { "豫H10012", Insurance, "1000.00", "1500.00", { { "应缴", 1, 100000 }, { "收费", 1, 150000 } }, Owed::Amount, -50000 },
        { "豫H10013", Management, "800.00", "0.00", { { "应缴", 1, 80000 }, { "收费", 1, 80000, true } }, Owed::Amount,
            80000 },
        // An amount due entered again in the same period: the last one holds.
        { "豫H10014", Insurance, "600.00", "100.00", { { "应缴", 1, 80000 }, { "应缴", 1, 60000 }, { "收费", 1, 10000 } },
            Owed::Amount, 50000 },
        // Fees named apart under 其他 each owe in their own period, and the list adds them up.
        { "豫H10015", Other, "", "",
            { { "应缴", 1, 5000, false, "停车费" }, { "收费", 1, 2000, false, "停车费" },
                { "应缴", 1, 7000, false, "GPS" }, { "应缴", 2, 9000, false, "GPS" } },
            Owed::Amount, 12000 },
    };

    class ArrearsTest : public ViewsFixture {
    protected:
        QString database() const override { return QStringLiteral("t_fees_arrears"); }
    };

    TEST_F(ArrearsTest, FiguresAndTotalsFollowTheLedgerAndTheStoredTexts)
    {
        std::map<QString, const Case*> byPlate;
        std::array<qint64, fees::kArrearsKinds> fen {}, owing {}, unreadable {};
        for (const Case& c : kCases) {
            QList<std::pair<QString, QString>> texts;
            if (c.kind != Other) {
                const auto& columns = fees::storedFeeColumns(c.kind);
                texts = { { QLatin1String(columns.due), QString::fromUtf8(c.due) },
                    { QLatin1String(columns.paid), QString::fromUtf8(c.paid) } };
            }
            const qint64 id = vehicle(QString::fromUtf8(c.plate), texts);
            for (const Entry& e : c.entries) {
                const QString fee = QString::fromUtf8(kFee[c.kind]);
                const qint64 row = ledger(QString::fromUtf8(e.type), id, fee, e.period, e.fen, QStringLiteral("小王"),
                    QStringLiteral("现金"), QDateTime(QDate(2026, 3, 10), QTime(10, 0)), std::nullopt,
                    QString::fromUtf8(e.name));
                if (e.voided)
                    voidPayment(row, id, fee, e.period, e.fen);
            }
            byPlate[QString::fromUtf8(c.plate)] = &c;
            if (c.state == Owed::Unreadable)
                ++unreadable[c.kind];
            else if (c.state == Owed::Amount && c.fen > 0) {
                fen[c.kind] += c.fen;
                ++owing[c.kind];
            }
        }
        // Another vehicle's ledger rows never count for this one.
        ledger(QStringLiteral("应缴"), 999999, QStringLiteral("管理费"), 1, 700000);

        fees::Arrears arrears;
        QString error;
        ASSERT_TRUE(fees::readArrears(*session, arrears, &error)) << error.toStdString();

        std::set<QString> listed;
        for (const fees::ArrearsRow& row : arrears.rows) {
            SCOPED_TRACE(row.plate.toStdString());
            listed.insert(row.plate);
            ASSERT_TRUE(byPlate.count(row.plate));
            const Case& c = *byPlate[row.plate];
            for (int k = 0; k < fees::kArrearsKinds; ++k) {
                const Owed& o = row.owed[k];
                if (k != c.kind) {
                    EXPECT_EQ(o.state, Owed::Nothing) << k;
                    continue;
                }
                EXPECT_EQ(o.state, c.state);
                if (c.state == Owed::Amount) {
                    EXPECT_EQ(o.fen, c.fen);
                }
                if (c.state == Owed::Unreadable) {
                    EXPECT_EQ(o.text, QString::fromUtf8(c.text));
                    EXPECT_EQ(o.column, QString::fromUtf8(c.column));
                    EXPECT_EQ(fees::owedText(o), QString::fromUtf8(c.text) + QStringLiteral("（无法识别）"));
                    EXPECT_EQ(row.totalFen(), 0) << "an unreadable text counts as no amount";
                }
            }
        }
        // Listed: exactly the vehicles owing something or holding an unreadable figure.
        for (const Case& c : kCases) {
            const bool expected = c.state == Owed::Unreadable || (c.state == Owed::Amount && c.fen > 0);
            EXPECT_EQ(listed.count(QString::fromUtf8(c.plate)) == 1, expected) << c.plate;
        }
        EXPECT_EQ(arrears.fen, fen);
        EXPECT_EQ(arrears.vehicles, owing);
        EXPECT_EQ(arrears.unreadable, unreadable);
        qint64 all = 0;
        for (qint64 f : fen)
            all += f;
        EXPECT_EQ(arrears.totalFen(), all);
    }

    TEST_F(ArrearsTest, AFailedReadSaysWhy)
    {
        ASSERT_TRUE(session->run(db::Statement("drop table shoufeijilu")).ok);
        fees::Arrears arrears;
        QString error;
        EXPECT_FALSE(fees::readArrears(*session, arrears, &error));
        EXPECT_TRUE(error.contains(QStringLiteral("shoufeijilu"))) << error.toStdString();
    }

} // namespace
} // namespace fd::test
