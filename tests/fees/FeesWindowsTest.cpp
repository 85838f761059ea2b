// The fee windows as a person sees them: 欠费车辆 shows an unreadable text as itself, marked and
// left out of the totals, and leads to a payment; 收费数据检查 lists the text and leads to the
// vehicle; 月报 prints what the ledger holds.

#include "support/AdminState.h"
#include "ViewsFixture.h"

#include "common/AppState.h"
#include "common/DateTime.h"
#include "fees/window/ArrearsModel.h"
#include "fees/window/ArrearsWindow.h"
#include "fees/window/DataCheckWindow.h"
#include "fees/window/LinesModel.h"
#include "fees/window/MonthWindow.h"
#include "fleet/ShownList.h"
#include "support/ScriptedDialogs.h"
#include "support/Wait.h"

#include <QColor>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace fd::test {
namespace {

    class FeesWindowsTest : public ViewsFixture {
    protected:
        QString database() const override { return QStringLiteral("t_fees_windows"); }
        void SetUp() override
        {
            ViewsFixture::SetUp();
            state.dbConnection = connectStack(database());
            state.appTitle = QStringLiteral("运输公司车辆管理");
            state.loginUser = QStringLiteral("小王");
            state.loginDateTime = datetime::toDayNumber(2026, 3, 20, 9, 0, 0);
            owing = vehicle(
                QStringLiteral("豫H40001"), { { QStringLiteral("guanliyingjiaofei"), QStringLiteral("1,200") } });
            unreadable = vehicle(QStringLiteral("豫H40002"),
                { { QStringLiteral("senceyingjiaofei"), QStringLiteral("一千") },
                    { QStringLiteral("guanliyingjiaofei"), QStringLiteral("300") } });
            vehicle(QStringLiteral("豫H40003"),
                { { QStringLiteral("guanliyingjiaofei"), QStringLiteral("500") },
                    { QStringLiteral("guanliyijiaofei"), QStringLiteral("500元") } });
        }
        template <typename W> void waitRead(W& window) { FD_WAIT_TRUE(window.readsEnded() > 0, 10000); }
        static QString cell(const QAbstractItemModel& m, int row, int column, int role = Qt::DisplayRole)
        {
            return m.data(m.index(row, column), role).toString();
        }

        AppState state = fd::test::adminState();
        ScriptedDialogs dialogs;
        qint64 owing = 0, unreadable = 0;
    };

    TEST_F(FeesWindowsTest, ArrearsShowsTheUnreadableTextMarkedAndLeadsToAPayment)
    {
        fees::ArrearsWindow window(state, dialogs);
        waitRead(window);
        const fees::ArrearsModel& m = window.model();
        ASSERT_EQ(m.rowCount(), 2);
        const int inspection = fees::ArrearsModel::kFirstKindColumn, management = inspection + 3;
        EXPECT_EQ(cell(m, 0, 1), QStringLiteral("豫H40001"));
        EXPECT_EQ(cell(m, 0, management), QStringLiteral("1200.00"));
        EXPECT_EQ(cell(m, 1, inspection), QStringLiteral("一千（无法识别）"));
        EXPECT_EQ(m.data(m.index(1, inspection), Qt::ForegroundRole).value<QColor>(), QColor(0xC0, 0, 0));
        EXPECT_TRUE(cell(m, 1, inspection, Qt::ToolTipRole).contains(QStringLiteral("应缴费用")));
        EXPECT_EQ(cell(m, 1, fees::ArrearsModel::kTotalColumn), QStringLiteral("300.00"));
        auto* totals = window.findChild<QLabel*>(QStringLiteral("标签_欠费合计"));
        auto* marked = window.findChild<QLabel*>(QStringLiteral("标签_无法识别"));
        ASSERT_TRUE(totals && marked);
        EXPECT_TRUE(totals->text().contains(QStringLiteral("合计 1500.00 元"))) << totals->text().toStdString();
        EXPECT_TRUE(marked->text().contains(QStringLiteral("无法识别的金额 1 条"))) << marked->text().toStdString();

        // One fee kind: only the vehicles owing it.
        window.setKind(0);
        ASSERT_EQ(m.rowCount(), 1);
        EXPECT_EQ(cell(m, 0, 1), QStringLiteral("豫H40002"));
        window.setKind(-1);

        QSignalSpy pay(&window, &fees::ArrearsWindow::paymentRequested);
        QTableView& table = window.table();
        window.show();
        const QRect cellRect = table.visualRect(m.index(0, management));
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, cellRect.center());
        QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, cellRect.center());
        ASSERT_EQ(pay.count(), 1);
        EXPECT_EQ(pay.first().at(0).toLongLong(), owing);
        EXPECT_EQ(pay.first().at(1).toInt(), 3);
    }

    TEST_F(FeesWindowsTest, DataCheckListsTheTextAndLeadsToTheVehicle)
    {
        fees::DataCheckWindow window(state, dialogs);
        waitRead(window);
        const fees::LinesModel& m = window.model();
        ASSERT_EQ(m.rowCount(), 1);
        EXPECT_EQ(cell(m, 0, 1), QStringLiteral("豫H40002"));
        EXPECT_EQ(cell(m, 0, 3), QStringLiteral("审车费"));
        EXPECT_EQ(cell(m, 0, 4), QStringLiteral("应缴费用"));
        EXPECT_EQ(cell(m, 0, 5), QStringLiteral("一千"));
        QSignalSpy edit(&window, &fees::DataCheckWindow::vehicleRequested);
        window.editVehicle();
        EXPECT_EQ(edit.count(), 0) << "nothing chosen yet";
        EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("请先选择一行。"));
        window.table().selectRow(0);
        window.editVehicle();
        ASSERT_EQ(edit.count(), 1);
        EXPECT_EQ(edit.first().at(0).toLongLong(), unreadable);
    }

    TEST_F(FeesWindowsTest, TheMonthReportPrintsTheLedgersTakings)
    {
        const QString fee = QStringLiteral("管理费");
        ledger(QStringLiteral("收费"), owing, fee, 0, 120000, QStringLiteral("小王"), QStringLiteral("现金"),
            QDateTime(QDate(2026, 3, 2), QTime(9, 0)));
        const qint64 voided = ledger(QStringLiteral("收费"), owing, fee, 0, 4550, QStringLiteral("小王"),
            QStringLiteral("微信"), QDateTime(QDate(2026, 3, 3), QTime(9, 0)));
        voidPayment(voided, owing, fee, 0, 4550, QStringLiteral("微信"), QStringLiteral("小王"),
            QDateTime(QDate(2026, 3, 3), QTime(9, 30)));
        fees::MonthWindow window(state, dialogs);
        waitRead(window);
        ASSERT_TRUE(window.takings().has_value());
        EXPECT_EQ(window.takings()->total.paidFen, 124550);
        EXPECT_EQ(window.takings()->total.voidedFen, 4550);

        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("月报.pdf"));
        {
            const fleet::ShownList page = window.printedPage();
            ASSERT_TRUE(page.drawing);
            EXPECT_TRUE(page.title.contains(QStringLiteral("2026年3月")));
            QPdfWriter writer(pdf);
            writer.setResolution(254);
            QPainter painter(&writer);
            page.drawing(painter, QRectF(0, 0, writer.width(), writer.height()));
        }
        QProcess text;
        text.start(QStringLiteral("pdftotext"), { QStringLiteral("-layout"), pdf, QStringLiteral("-") });
        ASSERT_TRUE(text.waitForFinished());
        const QStringList printed = QString::fromUtf8(text.readAllStandardOutput()).split(QLatin1Char('\n'));
        auto line = [&](const QString& first) {
            for (const QString& l : printed)
                if (l.simplified().startsWith(first))
                    return l.simplified();
            return QString();
        };
        EXPECT_EQ(line(QStringLiteral("合计")), QStringLiteral("合计 2 1245.50 1 45.50 1200.00"))
            << printed.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(line(QStringLiteral("小王 微信")), QStringLiteral("小王 微信 1 45.50 1 45.50 0.00")) << printed.join(QLatin1Char('\n')).toStdString();
    }

} // namespace
} // namespace fd::test
