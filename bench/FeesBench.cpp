// The fee views on a large register: N vehicles (the stack's sample fleet) and a ledger of about
// a million rows made here on the server (a year of amounts due, payments in five methods by
// four clerks, one payment in a thousand voided):
//   (a) 欠费车辆 read as its window's job reads it (both statements and the merge),
//   (b) a day's takings (日结: per clerk and method, the voids apart),
//   (c) a month of the payment search (收费查询: every payment of the month with its void mark),
//   (d) the 欠费车辆 and 月报 windows opened with the event loop running: the longest hold of the
//       loop (the largest gap between the ticks of a 1 ms timer) until the list was shown.
// Several times each; medians.

#include "bench/BenchLedger.h"
#include "bench/BenchSupport.h"
#include "common/AppState.h"
#include "common/DateTime.h"
#include "common/Jobs.h"
#include "common/Settings.h"
#include "db/Connection.h"
#include "fees/Arrears.h"
#include "fees/LedgerSchema.h"
#include "fees/MonthReport.h"
#include "fees/window/ArrearsWindow.h"
#include "fees/window/DailyWindow.h"
#include "fees/window/PaymentWindow.h"
#include "fees/window/QueryWindow.h"
#include "fees/window/ReceiptPrint.h"
#include "fees/window/MonthWindow.h"
#include "net/Endpoints.h"

#include <QApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <mysql.h>

using namespace fd;
using namespace fd::bench;

namespace {

// The payment search of a month, as its window reads it; the payments listed, -1 on failure.
qint64 readPaymentMonth(db::Connection& session, const QDate& first)
{
    fees::PaymentFilter filter;
    filter.from = first;
    filter.to = first.addMonths(1).addDays(-1);
    QString error;
    const std::optional<fees::PaymentList> list = fees::queryPayments(session, filter, &error);
    if (!list) {
        std::fprintf(stderr, "month: %s\n", qPrintable(error));
        return -1;
    }
    return static_cast<qint64>(list->rows.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    mysql_library_init(0, nullptr, nullptr);
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const BenchArgs args = readBenchArgs(app.arguments().mid(1), 5);

    AppState state;
    if (!state.settings.load(Settings::defaultPath())) {
        std::fprintf(stderr, "no settings file: set FLEETDESK_CONFIG\n");
        return 2;
    }
    QString error;
    DatabaseOptions options = net::endpointsOf(state.settings).database;
    options.readTimeoutSeconds = 600; // the ledger's making
    state.dbConnection = db::Connection::open(options, &error);
    if (!state.dbConnection) {
        std::fprintf(stderr, "cannot connect: %s\n", qPrintable(error));
        return 2;
    }
    db::Connection& session = *state.dbConnection;
    state.appTitle = QStringLiteral("bench");
    state.loginDateTime = datetime::nowInSeconds();
    const QDate today = QDate::currentDate();
    if (!fees::ensureLedgerTables(session, &error))
        return 2;
    db::Reply count = session.run(db::Statement("select count(*) from celiangzongbiao"));
    const qint64 vehicles = count.rows ? count.rows->integer(0) : 0;
    if (vehicles <= 0)
        return 2;
    QElapsedTimer made;
    made.start();
    if (!makeBenchLedger(session, vehicles, today))
        return 2;
    db::Reply rows = session.run(db::Statement("select count(*),sum(leixing='收费') from shoufeijilu"));
    out << "vehicles: " << vehicles << ", ledger rows: " << rows.rows->integer(0) << " (payments "
        << rows.rows->integer(1) << "), made or found in " << QString::number(ms(made) / 1000, 'f', 1) << " s\n";
    out.flush();

    std::vector<double> arrearsMs, dayMs, monthMs;
    qint64 owing = 0, dayLines = 0, monthRows = 0;
    for (int i = 0; i < args.runs; ++i) {
        QElapsedTimer t;
        t.start();
        fees::Arrears a;
        if (!fees::readArrears(session, a, &error)) {
            std::fprintf(stderr, "arrears: %s\n", qPrintable(error));
            return 2;
        }
        arrearsMs.push_back(ms(t));
        owing = static_cast<qint64>(a.rows.size());

        const QDate day = today.addDays(-1 - 30 * i);
        t.restart();
        fees::MonthTakings takings;
        if (!fees::readMonthTakings(session, day, day, takings, &error)) {
            std::fprintf(stderr, "day: %s\n", qPrintable(error));
            return 2;
        }
        dayMs.push_back(ms(t));
        dayLines = takings.total.payments;

        t.restart();
        monthRows = readPaymentMonth(session, fees::monthFirst(today.addMonths(-1 - i)));
        monthMs.push_back(ms(t));
        if (monthRows < 0)
            return 2;
    }

    // The windows, with a 1 ms timer ticking on the window thread.
    SilentDialogs dialogs;
    QElapsedTimer sinceTick;
    double longest = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        longest = std::max(longest, ms(sinceTick));
        sinceTick.restart();
    });
    ticker.start();
    std::vector<double> arrearsShown, arrearsHold, monthShown, monthHold;
    auto measure = [&](auto& window, std::vector<double>& shown, std::vector<double>& hold) {
        using W = std::remove_reference_t<decltype(window)>;
        QSignalSpy refreshed(&window, &W::refreshed);
        app.processEvents();
        sinceTick.start();
        longest = 0;
        QElapsedTimer t;
        t.start();
        window.refresh();
        if (!refreshed.wait(60000))
            return false;
        shown.push_back(ms(t));
        app.processEvents(); // the paint of the new list
        longest = std::max(longest, ms(sinceTick));
        hold.push_back(longest);
        return true;
    };
    {
        fees::ArrearsWindow arrears(state, dialogs);
        arrears.show();
        QSignalSpy first(&arrears, &fees::ArrearsWindow::refreshed);
        first.wait(60000);
        fees::MonthWindow month(state, dialogs);
        month.show();
        QSignalSpy firstMonth(&month, &fees::MonthWindow::refreshed);
        firstMonth.wait(60000);
        for (int i = 0; i < args.runs; ++i)
            if (!measure(arrears, arrearsShown, arrearsHold) || !measure(month, monthShown, monthHold))
                return 2;
    }

    // 收费查询 of a month and 日结 of a day as their windows read them; 收费登记's 确定 until the
    // receipt's preview has been drawn.
    std::vector<double> queryShown, queryHold, dayShown, dayHold, receiptShown, receiptHold;
    auto held = [&](const std::function<void()>& start, const std::function<bool()>& wait, std::vector<double>& shown,
                    std::vector<double>& hold) {
        app.processEvents();
        sinceTick.start();
        longest = 0;
        QElapsedTimer t;
        t.start();
        start();
        if (!wait())
            return false;
        app.processEvents();
        shown.push_back(ms(t));
        longest = std::max(longest, ms(sinceTick));
        hold.push_back(longest);
        return true;
    };
    {
        fees::QueryWindow query(state, dialogs);
        query.show();
        fees::DailyWindow daily(state, dialogs);
        daily.show();
        QSignalSpy dailyFirst(&daily, &fees::DailyWindow::counted);
        dailyFirst.wait(60000);
        for (int i = 0; i < args.runs; ++i) {
            const QDate first = fees::monthFirst(today.addMonths(-2 - i));
            query.findChild<QDateEdit*>(QStringLiteral("日期框_起始日期"))->setDate(first);
            query.findChild<QDateEdit*>(QStringLiteral("日期框_截止日期"))->setDate(first.addMonths(1).addDays(-1));
            QSignalSpy ended(&query, &fees::QueryWindow::jobEnded);
            if (!held([&] { query.search(); }, [&] { return ended.wait(60000); }, queryShown, queryHold))
                return 2;
            QSignalSpy counted(&daily, &fees::DailyWindow::counted);
            if (!held([&] { daily.setDay(today.addDays(-40 - 30 * i)); }, [&] { return counted.wait(60000); }, dayShown,
                    dayHold))
                return 2;
        }
        for (int i = 0; i < args.runs; ++i) {
            fees::PaymentWindow pay(state, dialogs, 1 + i);
            pay.show();
            app.processEvents();
            pay.findChild<QLineEdit*>(QStringLiteral("编辑框_收款金额"))->setText(QStringLiteral("100"));
            bool drawn = false;
            pay.setReceiptOpener([&](const fees::Receipt& receipt) {
                fees::showReceipt(receipt, state.settings, dialogs, &pay, [&](QDialog& preview) {
                    preview.show();
                    app.processEvents();
                    preview.repaint();
                    drawn = true;
                    return 0;
                });
            });
            QSignalSpy ended(&pay, &fees::PaymentWindow::paymentEnded);
            if (!held([&] { pay.confirm(); }, [&] { return ended.count() > 0 || ended.wait(60000); }, receiptShown,
                    receiptHold)
                || !drawn) {
                std::fprintf(stderr, "payment: %s %s\n", qPrintable(pay.result().error), qPrintable(pay.result().details));
                return 2;
            }
        }
    }

    auto line = [&](const char* what, const std::vector<double>& v) {
        out << what << " median " << QString::number(median(v), 'f', 1) << " ms  [" << list(v) << "]\n";
    };
    out << "(a) 欠费车辆 read, " << owing << " vehicles owing:\n";
    line("    statements and merge:                  ", arrearsMs);
    out << "(b) a day's takings (日结), " << dayLines << " payments:\n";
    line("    grouped statement:                     ", dayMs);
    out << "(c) a month of 收费查询, " << monthRows << " payments:\n";
    line("    statement and rows read:               ", monthMs);
    out << "(d) windows with the event loop running:\n";
    line("    欠费车辆 shown after:                   ", arrearsShown);
    line("    longest hold of the loop meanwhile:    ", arrearsHold);
    line("    月报 shown after:                       ", monthShown);
    line("    longest hold of the loop meanwhile:    ", monthHold);
    line("    收费查询 of a month shown after:        ", queryShown);
    line("    longest hold of the loop meanwhile:    ", queryHold);
    line("    日结 of a day shown after:               ", dayShown);
    line("    longest hold of the loop meanwhile:    ", dayHold);
    line("    收费登记 确定 to the receipt's preview:  ", receiptShown);
    line("    longest hold of the loop meanwhile:    ", receiptHold);
    out.flush();
    state.dbConnection.reset();
    waitForAllJobs(10000);
    mysql_library_end();
    return 0;
}
