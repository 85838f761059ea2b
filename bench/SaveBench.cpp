// The checked save of one vehicle (only the changed columns written, on the condition that they
// still hold what the form read, the history rows in the same transaction) against the plain
// update of all 67 columns, on the database the settings name (FLEETDESK_CONFIG): the median of
// RUNS saves each, one column changed every time, the kinds alternating. Also the checked save of
// a row another office has changed meanwhile (read locked and compared column by column). Then the
// read of a history of 1 000 entries.
//
//   save_bench [RUNS]        RUNS defaults to 50
#include "bench/BenchSupport.h"
#include "common/AppState.h"
#include "common/Settings.h"
#include "db/Database.h"
#include "db/ProgramTables.h"
#include "net/Endpoints.h"
#include "vehicles/VehicleHistory.h"
#include "vehicles/VehicleStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <cstdio>
#include <mysql.h>
#include <vector>

using namespace fd;
using namespace fd::bench;

namespace {

constexpr int kHistoryEntries = 1000;

QString firstValue(const db::ConnectionPtr& conn, const QString& sql)
{
    const db::Reply reply = conn->run(db::Statement(sql));
    return reply.ok && reply.rows ? reply.rows->text(0) : QString();
}

} // namespace

int main(int argc, char** argv)
{
    mysql_library_init(0, nullptr, nullptr);
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int runs = app.arguments().value(1, QStringLiteral("50")).toInt();

    Settings settings;
    if (!settings.load(Settings::defaultPath())) {
        std::fprintf(stderr, "no settings file: set FLEETDESK_CONFIG\n");
        return 2;
    }
    QString error;
    db::ConnectionPtr conn = db::dbConnect(net::endpointsOf(settings).database, &error);
    if (!conn || !db::ensureProgramTables(*conn, &error)) {
        std::fprintf(stderr, "cannot connect: %s\n", qPrintable(error));
        return 2;
    }
    out << "server: " << conn->serverAddress() << "\n";
    const QString id = firstValue(conn, QStringLiteral("SELECT min(ID) FROM celiangzongbiao"));
    if (id.isEmpty()) {
        std::fprintf(stderr, "no vehicle in the database\n");
        return 2;
    }
    const vehicles::ChangeAuthor author { QStringLiteral("bench"), QStringLiteral("bench-host") };
    const QString column = QStringLiteral("cezudianhua");

    // One warm-up of each kind; then alternating, the form's read (when the window opened) untimed.
    std::vector<double> plainMs, checkedMs, readMs, comparedMs;
    for (int i = -1; i < runs; ++i) {
        vehicles::VehicleValues values = vehicles::storedValues(vehicles::readVehicle(conn, id));
        values.insert(column, QStringLiteral("plain-%1").arg(i));
        QElapsedTimer t;
        t.start();
        if (const vehicles::WriteResult plain = vehicles::updateVehicle(conn, values, id); !plain.ok()) {
            std::fprintf(stderr, "plain update failed: %s\n", qPrintable(plain.error));
            return 1;
        }
        if (i >= 0)
            plainMs.push_back(ms(t));

        t.restart();
        const vehicles::VehicleRecord read = vehicles::readVehicle(conn, id);
        if (i >= 0)
            readMs.push_back(ms(t));
        values = vehicles::storedValues(read);
        values.insert(column, QStringLiteral("checked-%1").arg(i));
        t.restart();
        const vehicles::SaveResult saved = vehicles::saveVehicle(conn, read, values, id, author);
        if (saved.outcome != vehicles::SaveResult::Written) {
            std::fprintf(stderr, "checked save failed: %s\n", qPrintable(saved.error));
            return 1;
        }
        if (i >= 0)
            checkedMs.push_back(ms(t));

        // Another office saves the same phone number first: the row no longer holds what the form
        // read, so the save reads it locked, finds both sides agree there, and writes the remark.
        const vehicles::VehicleRecord before = vehicles::readVehicle(conn, id);
        values = vehicles::storedValues(before);
        values.insert(column, QStringLiteral("compared-%1").arg(i));
        values.insert(QStringLiteral("jibenbeizu"), QStringLiteral("compared-%1").arg(i));
        vehicles::VehicleValues theirs = vehicles::storedValues(before);
        theirs.insert(column, QStringLiteral("compared-%1").arg(i));
        if (vehicles::saveVehicle(conn, before, theirs, id, author).outcome != vehicles::SaveResult::Written) {
            std::fprintf(stderr, "the other office's save failed\n");
            return 1;
        }
        t.restart();
        const vehicles::SaveResult compared = vehicles::saveVehicle(conn, before, values, id, author);
        if (compared.outcome != vehicles::SaveResult::Written) {
            std::fprintf(stderr, "compared save failed: %s\n", qPrintable(compared.error));
            return 1;
        }
        if (i >= 0)
            comparedMs.push_back(ms(t));
    }
    out << "plain update (ms): median " << QString::number(median(plainMs), 'f', 2) << "  " << list(plainMs) << "\n";
    out << "checked save (ms): median " << QString::number(median(checkedMs), 'f', 2) << "  " << list(checkedMs)
        << "\n";
    out << "checked save of a row changed meanwhile (ms): median " << QString::number(median(comparedMs), 'f', 2)
        << "  " << list(comparedMs) << "\n";
    // What one round trip with the row costs: the form's read.
    out << "the form's read of the row (ms): median " << QString::number(median(readMs), 'f', 2) << "\n";

    // A history of 1 000 entries on another vehicle (or a made-up ID when there is only one).
    QString other = firstValue(conn, QStringLiteral("SELECT max(ID) FROM celiangzongbiao"));
    if (other == id)
        other = QString::number(id.toLongLong() + 1000000);
    conn->run(db::Statement("DELETE FROM xiugaijilu WHERE cheliangid=?").bind(other.toLongLong()));
    QString insert = QStringLiteral("INSERT INTO xiugaijilu (cheliangid,caozuo,yonghu,jiqi,shijian,ziduan,jiuzhi,xinzhi) VALUES ");
    for (int i = 0; i < kHistoryEntries; ++i)
        insert += QStringLiteral("%1(%2,'修改','张三','office-pc',NOW() - INTERVAL %3 MINUTE,'cezudianhua','1380000%4','1390000%4')")
                      .arg(i ? QStringLiteral(",") : QString(), other)
                      .arg(i)
                      .arg(i, 4, 10, QLatin1Char('0'));
    if (const db::Reply written = conn->run(db::Statement(insert)); !written.ok) {
        std::fprintf(stderr, "cannot write the history: %s\n", qPrintable(written.error));
        return 1;
    }
    std::vector<double> historyMs;
    for (int i = -1; i < 20; ++i) {
        QElapsedTimer t;
        t.start();
        const auto history = vehicles::readHistory(conn, other, &error);
        if (!history || history->size() != static_cast<std::size_t>(kHistoryEntries)) {
            std::fprintf(stderr, "history read failed: %s\n", qPrintable(error));
            return 1;
        }
        if (i >= 0)
            historyMs.push_back(ms(t));
    }
    conn->run(db::Statement("DELETE FROM xiugaijilu WHERE cheliangid=?").bind(other.toLongLong()));
    out << "history of " << kHistoryEntries << " read (ms): median " << QString::number(median(historyMs), 'f', 2)
        << "\n";
    // Each checked save right after its plain update: the median of the pairs' ratios shrugs off
    // the load of other programs, which comes and goes over the run.
    std::vector<double> pairRatios;
    for (std::size_t i = 0; i < plainMs.size(); ++i)
        pairRatios.push_back(checkedMs[i] / plainMs[i]);
    out << "checked/plain ratio of the pairs: median " << QString::number(median(pairRatios), 'f', 2) << "\n";
    out << "checked/plain save ratio: " << QString::number(median(checkedMs) / median(plainMs), 'f', 2) << "\n";
    return 0;
}
