// The demo's sample ledger (tools/samplefleet.py --ledger) agrees with the vehicles' fee columns
// by the program's own rule, numbers its receipts without gaps, and leaves texts for the data
// check to find.

#include "ViewsFixture.h"

#include "common/Money.h"
#include "fees/Arrears.h"
#include "fees/DataCheck.h"

#include <QProcess>

namespace fd::test {
namespace {

    class SampleLedgerTest : public ViewsFixture {
    protected:
        QString database() const override { return QStringLiteral("t_fees_sample"); }
    };

    TEST_F(SampleLedgerTest, TheSampleLedgerAgreesWithTheVehiclesColumns)
    {
        QProcess gen;
        gen.start(QStringLiteral("/usr/bin/python3"),
            { sourceDir() + QStringLiteral("/tools/samplefleet.py"), QStringLiteral("300"), QStringLiteral("--ledger"),
                QStringLiteral("--today"), QStringLiteral("2026-03-20") });
        ASSERT_TRUE(gen.waitForFinished(60000));
        ASSERT_EQ(gen.exitCode(), 0) << gen.readAllStandardError().toStdString();
        // The session speaks GBK already: the file's own character set line is left out.
        const QStringList statements = QString::fromUtf8(gen.readAllStandardOutput()).split(QStringLiteral(";\n"));
        for (const QString& s : statements) {
            const QString sql = s.trimmed();
            if (sql.isEmpty() || sql.startsWith(QLatin1String("SET NAMES")))
                continue;
            db::Reply r = session->run(db::Statement::verbatim(sql));
            ASSERT_TRUE(r.ok) << r.error.toStdString() << "\n" << sql.left(200).toStdString();
        }

        fees::Arrears arrears;
        QString error;
        ASSERT_TRUE(fees::readArrears(*session, arrears, &error)) << error.toStdString();
        ASSERT_GT(arrears.rows.size(), 10u);
        // Every figure of a kind with columns is the stored 还欠费用 of the vehicle.
        int compared = 0;
        for (const fees::ArrearsRow& row : arrears.rows) {
            db::Reply stored = session->run(
                db::Statement("select sencehaiqianfei,baoxianhaiqianfei,yinyunzenghaiqianfei,guanlihaiqianfei from "
                              "celiangzongbiao where ID=?")
                    .bind(row.id));
            ASSERT_TRUE(stored.ok && stored.rows);
            for (int k = 0; k < fees::kStoredKinds; ++k) {
                if (row.owed[k].state != fees::Owed::Amount || row.owed[k].fen <= 0)
                    continue;
                const money::Amount owed = money::readAmount(stored.rows->text(k));
                if (k != 2) { // 营运费 has no ledger rows in the sample
                    EXPECT_EQ(owed.state, money::Amount::Read) << row.plate.toStdString();
                    EXPECT_EQ(owed.fen, row.owed[k].fen) << row.plate.toStdString() << " " << k;
                    ++compared;
                }
            }
        }
        EXPECT_GT(compared, 20);
        EXPECT_GT(arrears.unreadableCount(), 0) << "the sample keeps some texts the reader cannot read";

        // Receipt numbers: one per payment, A<year>-000001 upwards without a gap, the sequence kept.
        db::Reply numbers = session->run(
            db::Statement("select count(*),count(distinct shoujuhao),max(cast(substring(shoujuhao,7) as unsigned)),"
                          "(select xuhao from shoujuhaoma where qianzhui='A' and nian=2026) "
                          "from shoufeijilu where leixing='收费' and shoujuhao like 'A2026-%'"));
        ASSERT_TRUE(numbers.ok && numbers.rows);
        EXPECT_GT(numbers.rows->integer(0), 0);
        EXPECT_EQ(numbers.rows->integer(0), numbers.rows->integer(1));
        EXPECT_EQ(numbers.rows->integer(0), numbers.rows->integer(2));
        EXPECT_EQ(numbers.rows->integer(0), numbers.rows->integer(3));
        // Two voids, each pointing at a payment of the same vehicle, fee and amount.
        db::Reply voids
            = session->run(db::Statement("select count(*) from shoufeijilu v join shoufeijilu p on p.ID=v.zuofeiid "
                                         "where v.leixing='作废' and p.leixing='收费' and p.cheliangid=v.cheliangid "
                                         "and p.feiyong=v.feiyong and p.jine=v.jine"));
        ASSERT_TRUE(voids.ok && voids.rows);
        EXPECT_EQ(voids.rows->integer(0), 2);

        std::vector<fees::UnreadableFee> unreadable;
        ASSERT_TRUE(fees::readUnreadableFees(*session, unreadable, &error)) << error.toStdString();
        EXPECT_EQ(static_cast<qint64>(unreadable.size()), arrears.unreadableCount());
    }

} // namespace
} // namespace fd::test
