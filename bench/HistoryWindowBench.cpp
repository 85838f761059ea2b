// 修改记录 on a vehicle with a long history: from the click (the window created) until the table
// holds every entry and has been painted, the history read from the database off the window
// thread. Also, apart, the read alone and the window's fill and paint of entries already read.
//
//   history_window_bench [ENTRIES] [--runs R]     (settings from FLEETDESK_CONFIG)
//
// The vehicle is added once and changed until its history holds ENTRIES rows (default 1000).
#include "accounts/Accounts.h"
#include "app/HistoryModel.h"
#include "app/HistoryWindow.h"
#include "bench/BenchSupport.h"
#include "common/AppState.h"
#include "common/Jobs.h"
#include "db/Database.h"
#include "db/ProgramTables.h"
#include "vehicles/VehicleColumns.h"
#include "vehicles/VehicleHistory.h"
#include "vehicles/VehicleStore.h"

#include <QApplication>
#include <QDateTime>
#include <QSignalSpy>
#include <QTableView>
#include <QTextStream>
#include <cstdio>
#include <mysql.h>

using namespace fd;
using namespace fd::bench;
using namespace fd::vehicles;
using fd::app::HistoryModel;
using fd::app::HistoryWindow;

namespace {

// Adds a vehicle and saves it until its history holds the entries; returns its ID, empty on failure.
QString vehicleWithHistory(const db::ConnectionPtr& connection, const QString& plate, int entries)
{
    const ChangeAuthor author {QStringLiteral("bench"), QStringLiteral("bench-host")};
    // As the form adds one: every date box holds a date.
    VehicleValues values {{QStringLiteral("cepaihao"), plate}, {QStringLiteral("danganbianhao"), plate},
        {QStringLiteral("cezuxingming"), QStringLiteral("车主")}, {QStringLiteral("celiangzuangtai"), QStringLiteral("正常")}};
    for (const VehicleColumn& column : vehicleColumns())
        if (column.form == ColumnForm::Date)
            values.insert(column.name, QStringLiteral("2000-1-1"));
    SaveResult added = addVehicle(connection, values, author);
    if (added.outcome != SaveResult::Written) {
        std::fprintf(stderr, "add failed: %s\n", qPrintable(added.error));
        return {};
    }
    const QString id = added.stored.texts.value(QStringLiteral("ID"));
    auto history = readHistory(connection, id);
    int count = history ? static_cast<int>(history->size()) : 0;
    VehicleRecord read = readVehicle(connection, id);
    for (int i = 0; count < entries; ++i) {
        VehicleValues values;
        values.insert(QStringLiteral("cezuxingming"), QStringLiteral("车主%1").arg(i));
        values.insert(QStringLiteral("jibenbeizu"), QStringLiteral("第%1次修改的备注\n第二行").arg(i));
        const SaveResult saved = saveVehicle(connection, read, values, id, author);
        if (saved.outcome != SaveResult::Written) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(saved.error));
            return {};
        }
        read = saved.stored;
        history = readHistory(connection, id);
        count = history ? static_cast<int>(history->size()) : count;
    }
    return id;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    mysql_library_init(0, nullptr, nullptr);
    int status = 0;
    {
        QApplication app(argc, argv);
        QTextStream out(stdout);
        int entries = 1000;
        int runs = 10;
        const QStringList given = app.arguments().mid(1);
        for (int i = 0; i < given.size(); ++i) {
            if (given[i] == QLatin1String("--runs") && i + 1 < given.size())
                runs = std::max(1, given[++i].toInt());
            else
                entries = std::max(1, given[i].toInt());
        }

        AppState state;
        if (!state.settings.load(Settings::defaultPath())) {
            std::fprintf(stderr, "no settings file: set FLEETDESK_CONFIG\n");
            return 2;
        }
        state.dbConnection = accounts::connectForLogin(state.settings);
        if (!state.dbConnection || !db::ensureProgramTables(*state.dbConnection, nullptr)) {
            std::fprintf(stderr, "cannot connect or create the history table\n");
            return 2;
        }
        const QString plate = QStringLiteral("豫H") + QString::number(QDateTime::currentSecsSinceEpoch() % 1000000);
        QElapsedTimer prepare;
        prepare.start();
        const QString id = vehicleWithHistory(state.dbConnection, plate, entries);
        if (id.isEmpty())
            return 2;
        out << "vehicle " << plate << " with " << entries << " history entries made in " << ms(prepare) << " ms\n";

        std::vector<double> shown, read, fill;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer t;
            t.start();
            {
                HistoryWindow window(state, id, plate);
                QSignalSpy done(&window, &HistoryWindow::historyShown);
                window.show();
                if (!window.readDone() && !done.wait(30000)) {
                    std::fprintf(stderr, "the history was not shown\n");
                    return 2;
                }
                window.findChild<QTableView*>()->viewport()->repaint();
                shown.push_back(ms(t));
                if (window.readFailed() || window.model().rowCount() < entries) {
                    std::fprintf(stderr, "the window shows %d entries\n", window.model().rowCount());
                    status = 1;
                }
            }
            t.restart();
            auto history = readHistory(state.dbConnection, id);
            read.push_back(ms(t));
            t.restart();
            HistoryModel model;
            model.setEntries(std::move(*history));
            QTableView view;
            view.resize(1000, 500);
            view.setModel(&model);
            view.show();
            view.viewport()->repaint();
            fill.push_back(ms(t));
        }
        out << "read alone, ms: " << list(read) << "  median " << median(read) << "\n";
        out << "fill and paint alone, ms: " << list(fill) << "  median " << median(fill) << "\n";
        out << "修改记录 shown, ms: " << list(shown) << "\n";
        out << "history of " << entries << " entries shown in: " << median(shown) << " ms (median of " << runs
            << ", goal 100 ms)\n";
        db::dbClose(state.dbConnection);
        waitForAllJobs(10000);
    }
    mysql_library_end();
    return status;
}
