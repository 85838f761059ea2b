// The overview on a large fleet:
//   (a) the mariadb command-line client fetching the seven date columns into /dev/null,
//   (b) the band table and the forecast computed by the program: the select of the dates with
//       every row counted as it arrives (as the page's job does), and for comparison the same
//       rows first stored whole and then counted,
//   (c) opening the 到期总览 page with the window's event loop running: the longest time the loop
//       was held (the largest gap between the ticks of a 1 ms timer) until the counts were shown,
//       and the time to that moment.
// Several times each; medians, and as the last line the compute/fetch ratio.

#include "bench/BenchSupport.h"
#include "common/AppState.h"
#include "common/DateTime.h"
#include "common/Jobs.h"
#include "common/Settings.h"
#include "common/Cipher.h"
#include "db/Database.h"
#include "overview/OverviewCounts.h"
#include "overview/OverviewPage.h"
#include "vehicles/VehicleColumns.h"

#include <QApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <mysql.h>

using namespace fd;
using namespace fd::bench;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    mysql_library_init(0, nullptr, nullptr);
    QApplication app(argc, argv);
    QTextStream out(stdout);
    int runs = 5;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i)
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());

    AppState state;
    if (!state.settings.load(Settings::defaultPath())) {
        std::fprintf(stderr, "no settings file: set FLEETDESK_CONFIG\n");
        return 2;
    }
    const Settings& s = state.settings;
    const QString host = fd::decipherSetting(s.dbHost, s.settingKeyA, s.xorMask);
    const QString user = fd::decipherSetting(s.dbUser, s.settingKeyB, s.xorMask);
    const QString password = fd::decipherSetting(s.dbPassword, s.settingKeyB, s.xorMask);
    const QString database = QStringLiteral("yunsugongsi");
    QString error;
    state.dbConnection = db::dbConnect(host, user, password, database, s.dbPort, &error);
    if (!state.dbConnection) {
        std::fprintf(stderr, "cannot connect: %s\n", qPrintable(error));
        return 2;
    }
    state.appTitle = kProgramTitle;
    state.loginDateTime = datetime::nowInSeconds();

    // (a) the client fetching the seven dates, output thrown away.
    const QString dates = QStringLiteral("Select ") + vehicles::watchedDates().join(QLatin1Char(',')) + QStringLiteral(" from celiangzongbiao");
    std::vector<double> fetch;
    for (int i = 0; i < runs; ++i) {
        QProcess client;
        client.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer t;
        t.start();
        client.start(QStringLiteral("mariadb"),
            {QStringLiteral("--no-defaults"), QStringLiteral("--protocol=TCP"), QStringLiteral("-h") + host,
                QStringLiteral("-P") + QString::number(s.dbPort), QStringLiteral("-u") + user,
                QStringLiteral("-p") + password, QStringLiteral("--default-character-set=gbk"), database,
                QStringLiteral("-e"), dates});
        if (!client.waitForFinished(600000) || client.exitCode() != 0) {
            std::fprintf(stderr, "mariadb failed: %s\n", client.readAllStandardError().constData());
            return 2;
        }
        fetch.push_back(ms(t));
    }

    // (b) the program's computation, as the page's job runs it, and with the rows stored first.
    std::vector<double> compute, stored;
    qint64 vehicles = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        QString why;
        const std::optional<overview::Overview> o =
            overview::readOverview(*state.dbConnection, state.loginDateTime, nullptr, &why);
        if (!o) {
            std::fprintf(stderr, "the select failed: %s\n", qPrintable(why));
            return 2;
        }
        compute.push_back(ms(t));
        vehicles = o->vehicles[0] + o->vehicles[1];

        t.restart();
        db::Reply whole = state.dbConnection->run(db::Statement(overview::overviewStatement()));
        if (!whole.ok || !whole.rows) {
            std::fprintf(stderr, "the select failed: %s\n", qPrintable(whole.error));
            return 2;
        }
        overview::countOverview(*whole.rows, state.loginDateTime);
        stored.push_back(ms(t));
    }

    // (c) opening the page while a 1 ms timer ticks on the window thread.
    SilentDialogs dialogs;
    overview::OverviewPage page(state, dialogs);
    page.resize(1000, 700);
    std::vector<double> holds, shown;
    QElapsedTimer sinceTick;
    double longest = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        longest = std::max(longest, ms(sinceTick));
        sinceTick.restart();
    });
    ticker.start();
    for (int i = 0; i < runs; ++i) {
        page.hide();
        page.fleetChanged(); // counted again when next shown
        QSignalSpy refreshed(&page, &overview::OverviewPage::refreshed);
        app.processEvents();
        sinceTick.start();
        longest = 0;
        QElapsedTimer t;
        t.start();
        page.show();
        if (!refreshed.wait(60000)) {
            std::fprintf(stderr, "the page showed no counts\n");
            return 2;
        }
        shown.push_back(ms(t));
        app.processEvents(); // the paint of the new counts
        longest = std::max(longest, ms(sinceTick));
        holds.push_back(longest);
    }

    const double a = median(fetch), b = median(compute);
    out << "vehicles: " << vehicles << "\n";
    out << "(a) mariadb client, seven dates to /dev/null:   median " << QString::number(a, 'f', 1) << " ms  [" << list(fetch) << "]\n";
    out << "(b) band table and forecast computed:          median " << QString::number(b, 'f', 1) << " ms  [" << list(compute) << "]\n";
    out << "    rows stored whole, then counted:           median " << QString::number(median(stored), 'f', 1) << " ms  [" << list(stored) << "]\n";
    out << "(c) opening 到期总览, counts shown after:         median " << QString::number(median(shown), 'f', 1) << " ms  [" << list(shown) << "]\n";
    out << "    longest hold of the event loop meanwhile:  median " << QString::number(median(holds), 'f', 1) << " ms  [" << list(holds) << "]\n";
    out << "compute/fetch ratio: " << QString::number(b / a, 'f', 2) << "\n";
    out.flush();
    db::dbClose(state.dbConnection);
    waitForAllJobs(10000);
    mysql_library_end();
    return 0;
}
