// Times the fleet grid against a database holding N generated vehicles:
//   (a) the mariadb command-line client fetching the full-list select into /dev/null,
//   (b) loadAllVehicles filling the grid model (offscreen, with its view attached) until the list
//       is whole: the first 100 rows in the grid, the whole list, and the longest time the
//       window's event loop was held meanwhile,
//   (c) one category list (行车证 正常), the same way,
// several times each, and reports medians, memory and, as the last line, the fill/fetch ratio.
//
//   fleet_bench [N] [--runs R]     (settings from FLEETDESK_CONFIG, as the program reads them)
#include "bench/BenchSupport.h"
#include "common/AppState.h"
#include "common/Cipher.h"
#include "common/DateTime.h"
#include "common/Jobs.h"
#include "db/Database.h"
#include "fleet/FleetList.h"
#include "fleet/FleetStatements.h"
#include "fleet/VehicleListModel.h"
#include "ui/Dialogs.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTableView>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <mysql.h>
#include <vector>

using namespace fd;
using namespace fd::bench;

namespace {

constexpr int kFirstRows = 100;

// One fill of the grid, from its start until the list is whole.
struct Fill {
    double firstMs = -1; // the first kFirstRows rows (or the whole list, when shorter) in the model
    double totalMs = 0;
    double longestHoldMs = 0; // the longest gap between two ticks of a 1 ms timer meanwhile
    double longestCpuMs = 0;  // the most processor time the window thread used between two ticks
    int rows = 0;
};

Fill measureFill(fleet::FleetList& list, const std::function<void()>& start)
{
    Fill fill;
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 lastTick = 0, longest = 0, lastCpu = 0, longestCpu = 0;
    auto check = [&] {
        const qint64 now = clock.nsecsElapsed();
        if (fill.firstMs < 0 && (list.gridRowCount() > kFirstRows || !list.filling()))
            fill.firstMs = static_cast<double>(now) / 1e6;
        if (!list.filling()) {
            fill.totalMs = static_cast<double>(now) / 1e6;
            loop.quit();
        }
    };
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        longest = std::max(longest, now - lastTick);
        longestCpu = std::max(longestCpu, cpu - lastCpu);
        lastTick = now;
        lastCpu = cpu;
    });
    const auto inserted = QObject::connect(list.model(), &QAbstractItemModel::rowsInserted, &loop, check);
    const auto ended = QObject::connect(&list, &fleet::FleetList::listEnded, &loop, check);
    QTimer::singleShot(0, &loop, [&] {
        clock.start();
        lastCpu = threadCpuNs();
        probe.start(1);
        start();
        check();
    });
    loop.exec();
    QObject::disconnect(inserted);
    QObject::disconnect(ended);
    fill.longestHoldMs = static_cast<double>(longest) / 1e6;
    fill.longestCpuMs = static_cast<double>(longestCpu) / 1e6;
    fill.rows = list.gridRowCount() - 1;
    return fill;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    mysql_library_init(0, nullptr, nullptr);
    QApplication app(argc, argv);
    QTextStream out(stdout);

    const BenchArgs benchArgs = readBenchArgs(app.arguments().mid(1), 5);
    const qint64 expected = benchArgs.expected;
    const int runs = benchArgs.runs;

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

    // The result of the full list: rows and bytes (the sum of its field lengths).
    const db::Statement statement = fleet::fullListStatement();
    qint64 rows = 0, resultBytes = 0;
    double storedPeak = 0.0;
    {
        const qint64 before = statusKb("VmRSS");
        resetPeak();
        db::Reply reply = state.dbConnection->run(statement);
        if (!reply.ok || !reply.rows) {
            std::fprintf(stderr, "the full list failed: %s\n", qPrintable(reply.error));
            return 2;
        }
        storedPeak = static_cast<double>(statusKb("VmHWM") - before) * 1024.0;
        rows = reply.rows->rowCount();
        while (reply.rows->next())
            for (int c = 0; c < reply.rows->columnCount(); ++c)
                resultBytes += static_cast<qint64>(reply.rows->size(c));
    }
    out << "vehicles: " << rows << (rows == expected ? "" : "  (expected " + QString::number(expected) + ")") << "\n";
    out << "result: " << resultBytes << " bytes in " << rows << " rows (sum of field lengths, "
        << QString::number(mb(static_cast<double>(resultBytes)), 'f', 1) << " MB)\n";
    out.flush();

    // (a) the command-line client, output thrown away.
    std::vector<double> fetch;
    for (int i = 0; i < runs; ++i) {
        QProcess client;
        client.setStandardOutputFile(QProcess::nullDevice());
        client.setProcessChannelMode(QProcess::SeparateChannels);
        QElapsedTimer t;
        t.start();
        client.start(QStringLiteral("mariadb"),
            {QStringLiteral("--no-defaults"), QStringLiteral("--protocol=TCP"), QStringLiteral("-h") + host,
                QStringLiteral("-P") + QString::number(s.dbPort), QStringLiteral("-u") + user,
                QStringLiteral("-p") + password, QStringLiteral("--default-character-set=gbk"), database,
                QStringLiteral("-e"), statement.renderOffline()});
        if (!client.waitForFinished(600000) || client.exitCode() != 0) {
            std::fprintf(stderr, "mariadb failed: %s\n", client.readAllStandardError().constData());
            return 2;
        }
        fetch.push_back(ms(t));
    }

    // For comparison: the statement and the stored result alone, without the grid.
    std::vector<double> store;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        db::Reply reply = state.dbConnection->run(statement);
        store.push_back(ms(t));
    }

    // (b) the full list into the grid model, a fresh grid each run so every run starts empty.
    std::vector<double> fill, first, hold, cpu, peaks, models;
    SilentDialogs dialogs;
    for (int i = 0; i < runs; ++i) {
        fleet::FleetList list(state, dialogs);
        QTableView view;
        view.resize(858, 593);
        list.attachView(&view);
        view.show();
        const qint64 before = statusKb("VmRSS");
        resetPeak();
        const Fill f = measureFill(list, [&list] { list.loadAllVehicles(); });
        fill.push_back(f.totalMs);
        first.push_back(f.firstMs);
        hold.push_back(f.longestHoldMs);
        cpu.push_back(f.longestCpuMs);
        peaks.push_back(static_cast<double>(statusKb("VmHWM") - before) * 1024.0);
        const auto* model = static_cast<const fleet::VehicleListModel*>(list.model());
        models.push_back(static_cast<double>(model->rows().memoryBytes()));
        if (f.rows != rows) {
            std::fprintf(stderr, "the grid shows %d rows, the result has %lld\n", f.rows, static_cast<long long>(rows));
            return 2;
        }
    }

    // (c) one category list: driving permits still valid.
    std::vector<double> category, categoryFirst, categoryHold, categoryCpu;
    int categoryRows = 0;
    {
        fleet::FleetList list(state, dialogs);
        QTableView view;
        view.resize(858, 593);
        list.attachView(&view);
        view.show();
        for (int i = 0; i < runs; ++i) {
            measureFill(list, [&list] { list.loadAllVehicles(); }); // leave the category first, so each run refills
            const Fill f = measureFill(list, [&list] { list.categoryHandler(5); });
            category.push_back(f.totalMs);
            categoryFirst.push_back(f.firstMs);
            categoryHold.push_back(f.longestHoldMs);
            categoryCpu.push_back(f.longestCpuMs);
            categoryRows = f.rows;
        }
    }

    const double a = median(fetch), b = median(fill), c = median(category);
    const double result = static_cast<double>(resultBytes);
    auto maxOf = [](const std::vector<double>& v) { return QString::number(*std::max_element(v.begin(), v.end()), 'f', 1); };
    out << "(a) mariadb client, full list to /dev/null: median " << QString::number(a, 'f', 1) << " ms  [" << list(fetch)
        << "]\n";
    out << "(b) loadAllVehicles until the list is whole: median " << QString::number(b, 'f', 1) << " ms  [" << list(fill)
        << "]\n";
    out << "    first " << kFirstRows << " rows in the grid:           median " << QString::number(median(first), 'f', 1)
        << " ms, max " << maxOf(first) << " ms\n";
    out << "    longest hold of the event loop:        median " << QString::number(median(hold), 'f', 1) << " ms, max "
        << maxOf(hold) << " ms (own work between ticks max " << maxOf(cpu) << " ms)\n";
    out << "    the statement and stored result alone:  median " << QString::number(median(store), 'f', 1) << " ms  ["
        << list(store) << "]\n";
    out << "(c) category 行车证 正常 (" << categoryRows << " rows):       median " << QString::number(c, 'f', 1) << " ms  ["
        << list(category) << "]\n";
    out << "    first " << kFirstRows << " rows in the grid:           median "
        << QString::number(median(categoryFirst), 'f', 1) << " ms, max " << maxOf(categoryFirst) << " ms\n";
    out << "    longest hold of the event loop:        median " << QString::number(median(categoryHold), 'f', 1)
        << " ms, max " << maxOf(categoryHold) << " ms (own work between ticks max " << maxOf(categoryCpu) << " ms)\n";
    out << "memory: stored result alone (client library) peak +" << QString::number(mb(storedPeak), 'f', 1) << " MB = "
        << QString::number(storedPeak / result, 'f', 2) << " x result\n";
    out << "memory: grid model after the fill " << QString::number(mb(median(models)), 'f', 1) << " MB = "
        << QString::number(median(models) / result, 'f', 2) << " x result\n";
    out << "memory: peak growth during the fill (VmHWM) median +" << QString::number(mb(median(peaks)), 'f', 1)
        << " MB = " << QString::number(median(peaks) / result, 'f', 2) << " x result, max +"
        << QString::number(mb(*std::max_element(peaks.begin(), peaks.end())), 'f', 1) << " MB\n";
    out << "fill/fetch ratio: " << QString::number(b / a, 'f', 2) << "\n";
    out.flush();
    db::dbClose(state.dbConnection);
    waitForAllJobs(30000);
    mysql_library_end();
    return 0;
}
