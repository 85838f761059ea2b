// Times the fleet grid against a database holding N generated vehicles:
//   (a) the mariadb command-line client fetching the full-list select into /dev/null,
//   (b) loadAllVehicles filling the grid model (offscreen, with its view attached),
//   (c) one category list (行车证 正常),
// several times each, and reports medians, memory and, as the last line, the fill/fetch ratio.
//
//   fleet_bench [N] [--runs R]     (settings from FLEETDESK_CONFIG, as the program reads them)
#include "bench/BenchSupport.h"
#include "common/AppState.h"
#include "common/DateTime.h"
#include "ui/Dialogs.h"
#include "common/Cipher.h"
#include "db/Legacy.h"
#include "fleet/FleetList.h"
#include "fleet/FleetStatements.h"
#include "fleet/VehicleListModel.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTableView>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <mysql.h>
#include <vector>

using namespace fd;
using namespace fd::bench;

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
    state.appTitle = QStringLiteral("路衡通挂靠运输公司车辆管理软件");
    state.loginDateTime = datetime::nowInSeconds();

    // The result of the full list: rows and bytes (the sum of its field lengths).
    const QString sql = vehicles::fullListStatement();
    qint64 rows = 0, resultBytes = 0;
    double storedPeak = 0.0;
    {
        const qint64 before = statusKb("VmRSS");
        resetPeak();
        if (!db::dbExecute(state.dbConnection, sql)) {
            std::fprintf(stderr, "the full list failed: %s\n", qPrintable(db::dbLastError(state.dbConnection)));
            return 2;
        }
        db::ResultPtr result = db::dbStoreResult(state.dbConnection);
        storedPeak = static_cast<double>(statusKb("VmHWM") - before) * 1024.0;
        rows = db::dbRowCount(result);
        for (qint64 r = 0; r < rows; ++r) {
            for (int c = 0; c < result->columnCount(); ++c)
                resultBytes += static_cast<qint64>(result->size(c));
            result->skipRow();
        }
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
                QStringLiteral("-e"), sql});
        if (!client.waitForFinished(600000) || client.exitCode() != 0) {
            std::fprintf(stderr, "mariadb failed: %s\n", client.readAllStandardError().constData());
            return 2;
        }
        fetch.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }

    // For comparison: the statement and the stored result alone, without the grid.
    std::vector<double> store;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        db::dbExecute(state.dbConnection, sql);
        db::ResultPtr result = db::dbStoreResult(state.dbConnection);
        store.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }

    // (b) the full list into the grid model, a fresh grid each run so every run starts empty.
    std::vector<double> fill, peaks, models;
    SilentDialogs dialogs;
    for (int i = 0; i < runs; ++i) {
        vehicles::FleetList fleet(state, dialogs);
        QTableView view;
        view.resize(858, 593);
        fleet.attachView(&view);
        const qint64 before = statusKb("VmRSS");
        resetPeak();
        QElapsedTimer t;
        t.start();
        fleet.loadAllVehicles();
        fill.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        peaks.push_back(static_cast<double>(statusKb("VmHWM") - before) * 1024.0);
        const auto* model = static_cast<const vehicles::VehicleListModel*>(fleet.model());
        models.push_back(static_cast<double>(model->rows().memoryBytes()));
        if (fleet.gridRowCount() != rows + 1) {
            std::fprintf(stderr, "the grid shows %d rows, the result has %lld\n", fleet.gridRowCount() - 1,
                static_cast<long long>(rows));
            return 2;
        }
    }

    // (c) one category list: driving permits still valid.
    std::vector<double> category;
    int categoryRows = 0;
    {
        vehicles::FleetList fleet(state, dialogs);
        QTableView view;
        fleet.attachView(&view);
        for (int i = 0; i < runs; ++i) {
            fleet.loadAllVehicles(); // leave the category first, so each run refills
            QElapsedTimer t;
            t.start();
            fleet.categoryHandler(5);
            category.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
            categoryRows = fleet.gridRowCount() - 1;
        }
    }

    const double a = median(fetch), b = median(fill), c = median(category);
    const double result = static_cast<double>(resultBytes);
    out << "(a) mariadb client, full list to /dev/null: median " << QString::number(a, 'f', 1) << " ms  [" << list(fetch)
        << "]\n";
    out << "(b) loadAllVehicles into the grid model:     median " << QString::number(b, 'f', 1) << " ms  [" << list(fill)
        << "]\n";
    out << "    of which statement and stored result:    median " << QString::number(median(store), 'f', 1)
        << " ms  [" << list(store) << "]\n";
    out << "(c) category 行车证 正常 (" << categoryRows << " rows):       median " << QString::number(c, 'f', 1)
        << " ms  [" << list(category) << "]\n";
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
    mysql_library_end();
    return 0;
}
