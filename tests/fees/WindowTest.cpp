// The fee desk's windows driven as a clerk drives them, and the receipt read back from its PDF.
#include "FeesFixture.h"

#include "common/AppState.h"
#include "common/Jobs.h"
#include "fees/Receipt.h"
#include "fees/window/DailyWindow.h"
#include "fees/window/PaymentWindow.h"
#include "fees/window/QueryWindow.h"
#include "fees/window/ReceiptPrint.h"
#include "printing/PrintLayout.h"
#include "support/ScriptedDialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace fd;
using namespace fd::fees;

namespace {

class FeeWindowTest : public FeesTest {
protected:
    void SetUp() override
    {
        FeesTest::SetUp();
        state.dbConnection = test::connectStack(QStringLiteral("fd_fees_test"));
        ASSERT_TRUE(state.dbConnection);
        state.loginUser = QStringLiteral("小王");
        state.settings.companyName = QStringLiteral("平安运输有限公司");
    }
    void TearDown() override { JobLane::database().waitForDone(10000); }

    template <typename T> T* child(QWidget& window, const char16_t* name)
    {
        T* found = window.findChild<T*>(QString::fromUtf16(name));
        EXPECT_TRUE(found) << QString::fromUtf16(name).toStdString();
        return found;
    }

    AppState state;
    test::ScriptedDialogs dialogs;
};

// The text of a receipt as pdftotext reads it back from the PDF the preview would write.
QString receiptPdfText(const Receipt& receipt, ReceiptPaper paper)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("receipt.pdf"));
    const QPageLayout page = receiptPageLayout(paper);
    const QSizeF size = page.fullRect(QPageLayout::Millimeter).size() * 10.0;
    QString error;
    EXPECT_TRUE(printing::savePdf(printing::PrintLayout(receiptSheet(receipt), size, printing::PrintMargins {}), page,
        path, &error))
        << error.toStdString();
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    pdftotext.waitForFinished(10000);
    return QString::fromUtf8(pdftotext.readAllStandardOutput()).remove(QLatin1Char(' '));
}

} // namespace

TEST_F(FeeWindowTest, AYearOfManagementFeeForAnExpiredVehicleEndsInAReceiptWithCapitals)
{
    const QString longAgo = QDate::currentDate().addYears(-1).toString(Qt::ISODate);
    const qint64 id = addVehicle(QStringLiteral("豫A50001"), QStringLiteral("1200"), QStringLiteral("0"), longAgo);
    PaymentWindow window(state, dialogs, id);
    std::optional<Receipt> shown;
    window.setReceiptOpener([&](const Receipt& r) { shown = r; });
    EXPECT_TRUE(child<QLabel>(window, u"标签_车辆")->text().contains(QStringLiteral("豫A50001")));
    EXPECT_TRUE(child<QLabel>(window, u"标签_本期")->text().contains(QStringLiteral("还欠 1200.00")));
    EXPECT_EQ(child<QLineEdit>(window, u"编辑框_交款人")->text(), QStringLiteral("张三"));
    child<QSpinBox>(window, u"数值框_缴费月数")->setValue(12);
    const QString today = QDate::currentDate().addYears(1).toString(QStringLiteral("yyyy-M-d"));
    EXPECT_TRUE(child<QLabel>(window, u"标签_到期日期")->text().contains(QStringLiteral("从今天起算")));
    EXPECT_TRUE(child<QLabel>(window, u"标签_到期日期")->text().contains(today));
    child<QLineEdit>(window, u"编辑框_收款金额")->setText(QStringLiteral("1200"));
    EXPECT_EQ(child<QLabel>(window, u"标签_大写金额")->text(), QStringLiteral("壹仟贰佰元整"));

    QSignalSpy ended(&window, &PaymentWindow::paymentEnded);
    QTest::mouseClick(child<QPushButton>(window, u"按钮_确定"), Qt::LeftButton);
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_TRUE(ended.front().front().toBool()) << dialogs.lastMessage().toStdString();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->company, QStringLiteral("平安运输有限公司"));
    EXPECT_EQ(shown->amountFen, 120000);
    EXPECT_EQ(shown->months, 12);
    EXPECT_FALSE(shown->reprint);
    EXPECT_EQ(value(QStringLiteral("select guanlifeiyouxiaoqi from celiangzongbiao where ID=%1").arg(id)),
        QDate::currentDate().addYears(1).toString(Qt::ISODate));

    const QString text = receiptPdfText(*shown, ReceiptPaper::A5);
    for (const QString& expected : {QStringLiteral("平安运输有限公司"), shown->number, QStringLiteral("豫A50001"),
             QStringLiteral("壹仟贰佰元整"), QStringLiteral("¥1200.00"), QStringLiteral("现金"), QStringLiteral("小王")})
        EXPECT_TRUE(text.contains(expected)) << expected.toStdString() << "\n" << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("补打")));

    // Every later print says 补打, on either page.
    const auto again = printAgain(*session, shown->ledgerId);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->reprint);
    EXPECT_TRUE(receiptPdfText(*again, ReceiptPaper::Form241).contains(QStringLiteral("补打")));
}

TEST_F(FeeWindowTest, AnotherOfficesChangeMeanwhileIsShownAndNothingIsWritten)
{
    const qint64 id = addVehicle(QStringLiteral("豫A50002"), QStringLiteral("600"), QStringLiteral("0"));
    PaymentWindow window(state, dialogs, id);
    window.setReceiptOpener([](const Receipt&) { ADD_FAILURE() << "no receipt expected"; });
    child<QLineEdit>(window, u"编辑框_收款金额")->setText(QStringLiteral("100.5"));
    test::mustExecute(session, QStringLiteral("update celiangzongbiao set guanliyingjiaofei='900' where ID=%1").arg(id));
    QSignalSpy ended(&window, &PaymentWindow::paymentEnded);
    window.confirm();
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_FALSE(ended.front().front().toBool());
    EXPECT_TRUE(dialogs.lastMessage().contains(QStringLiteral("其他人刚修改")));
    EXPECT_TRUE(child<QLabel>(window, u"标签_本期")->text().contains(QStringLiteral("应缴 900.00")));
    EXPECT_EQ(value(QStringLiteral("select count(*) from shoufeijilu where leixing='收费'")), QStringLiteral("0"));
}

TEST_F(FeeWindowTest, TheQueryVoidsAReceiptAndTheDailyTakingsShowItApart)
{
    const qint64 id = addVehicle(QStringLiteral("豫A50003"), QStringLiteral("1000"), QStringLiteral("0"));
    for (qint64 fen : {30000, 20000}) {
        PaymentRequest p = request(id, fen);
        ASSERT_EQ(takePayment(*session, p).outcome, PaymentResult::Taken);
    }
    QueryWindow query(state, dialogs);
    QSignalSpy ended(&query, &QueryWindow::jobEnded);
    query.search();
    ASSERT_TRUE(ended.wait(10000));
    ASSERT_EQ(query.model().rowCount(), 2);
    query.grid().selectRow(1);
    dialogs.inputs = {QStringLiteral("重复收费")};
    query.voidSelected();
    ASSERT_TRUE(ended.wait(10000)); // the void
    ASSERT_TRUE(ended.wait(10000)); // the search after it
    EXPECT_TRUE(query.model().list().rows[1].voided);
    EXPECT_EQ(query.findChild<QLabel*>(QStringLiteral("标签_合计"))->text(),
        QStringLiteral("共 2 笔，500.00 元；作废 1 笔，200.00 元；实收 300.00 元"));
    EXPECT_EQ(value(QStringLiteral("select guanliyijiaofei from celiangzongbiao where ID=%1").arg(id)),
        QStringLiteral("300.00"));

    DailyWindow daily(state, dialogs);
    QSignalSpy counted(&daily, &DailyWindow::counted);
    ASSERT_TRUE(counted.wait(10000));
    ASSERT_TRUE(daily.takings());
    EXPECT_EQ(daily.takings()->total.payments, 2);
    EXPECT_EQ(daily.takings()->total.voidedFen, 20000);
    EXPECT_EQ(daily.takings()->total.netFen(), 30000);
    std::optional<Takings> printed;
    daily.setPrinter([&](const Takings& t, const QString& company) {
        printed = t;
        EXPECT_EQ(company, QStringLiteral("平安运输有限公司"));
    });
    QTest::mouseClick(daily.findChild<QPushButton*>(QStringLiteral("按钮_打印")), Qt::LeftButton);
    ASSERT_TRUE(printed);
    EXPECT_EQ(printed->total.netFen(), 30000);
}
