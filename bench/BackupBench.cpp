// A backup of a large register with its proof, and its restore, timed; meanwhile an office saves a
// vehicle every 100 ms and each save's time is taken. The database of the settings
// (FLEETDESK_CONFIG) gets a ledger of a million rows first when it has none; the pictures are what
// the FTP folder holds (bench/run_backup_bench.sh puts them there).
//
//   backup_bench BACKUP_PROGRAM OUT_DIR
#include "bench/BenchLedger.h"
#include "bench/BenchSupport.h"
#include "common/Settings.h"
#include "db/Database.h"
#include "db/ProgramTables.h"
#include "net/Endpoints.h"
#include "vehicles/VehicleHistory.h"
#include "vehicles/VehicleStore.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <mysql.h>
#include <vector>

using namespace fd;
using namespace fd::bench;

namespace {

struct Timed {
    double seconds = 0;
    int exitCode = -1;
    QString output; // each line with the second of the run it came at
    std::vector<double> savesMs;
    // The saves over 100 ms: the second of the run each started at, and its length: read beside
    // the program's lines, they tell which step of the run held the office back.
    std::vector<std::pair<double, double>> slowSaves;
};

// Runs the program with the arguments; while it runs, saves one vehicle every 100 ms.
Timed runWhileSaving(const QString& program, const QStringList& args, const db::ConnectionPtr& conn, const QString& id)
{
    Timed timed;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return timed;
    const vehicles::ChangeAuthor author {QStringLiteral("bench"), QStringLiteral("bench-host")};
    int n = 0;
    QByteArray pending;
    auto takeOutput = [&] {
        pending += p.readAll();
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1))
            timed.output += QStringLiteral("    [%1 s] %2\n").arg(ms(t) / 1000.0, 6, 'f', 1).arg(QString::fromUtf8(pending.left(end)));
    };
    while (!p.waitForFinished(100)) {
        takeOutput();
        const vehicles::VehicleRecord read = vehicles::readVehicle(conn, id);
        vehicles::VehicleValues values = vehicles::storedValues(read);
        values.insert(QStringLiteral("jibenbeizu"), QStringLiteral("backup-bench-%1").arg(++n));
        QElapsedTimer s;
        s.start();
        const double at = ms(t) / 1000.0;
        const vehicles::SaveResult saved = vehicles::saveVehicle(conn, read, values, id, author);
        if (saved.outcome == vehicles::SaveResult::Written) {
            timed.savesMs.push_back(ms(s));
            if (timed.savesMs.back() > 100)
                timed.slowSaves.emplace_back(at, timed.savesMs.back());
        } else
            std::fprintf(stderr, "a save failed during the run: %s\n", qPrintable(saved.error));
    }
    timed.seconds = ms(t) / 1000.0;
    timed.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    takeOutput();
    if (!pending.isEmpty())
        timed.output += QStringLiteral("    [%1 s] %2\n").arg(timed.seconds, 6, 'f', 1).arg(QString::fromUtf8(pending));
    return timed;
}

void report(QTextStream& out, const char* what, const Timed& t)
{
    out << what << ": " << QString::number(t.seconds, 'f', 1) << " s, exit status " << t.exitCode << "\n";
    if (!t.savesMs.empty())
        out << "    saves meanwhile: " << t.savesMs.size() << ", median "
            << QString::number(median(t.savesMs), 'f', 1) << " ms, longest "
            << QString::number(*std::max_element(t.savesMs.begin(), t.savesMs.end()), 'f', 1) << " ms\n";
    if (!t.slowSaves.empty()) {
        out << "    saves over 100 ms (second of the run: length):";
        for (const auto& [at, length] : t.slowSaves)
            out << " " << QString::number(at, 'f', 1) << ": " << QString::number(length, 'f', 0) << " ms";
        out << "\n";
    }
    out << t.output;
}

} // namespace

int main(int argc, char** argv)
{
    mysql_library_init(0, nullptr, nullptr);
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: backup_bench BACKUP_PROGRAM OUT_DIR\n");
        return 2;
    }
    const QString program = args.at(1), outDir = args.at(2);
    Settings settings;
    if (!settings.load(Settings::defaultPath())) {
        std::fprintf(stderr, "no settings file: set FLEETDESK_CONFIG\n");
        return 2;
    }
    QString error;
    DatabaseOptions options = net::endpointsOf(settings).database;
    options.readTimeoutSeconds = 600; // the ledger's making
    db::ConnectionPtr conn = db::dbConnect(options, &error);
    if (!conn || !db::ensureProgramTables(*conn, &error)) {
        std::fprintf(stderr, "cannot connect: %s\n", qPrintable(error));
        return 2;
    }
    db::Reply count = conn->run(db::Statement("select count(*),min(ID) from celiangzongbiao"));
    const qint64 vehicles = count.rows ? count.rows->integer(0) : 0;
    const QString id = count.rows ? count.rows->text(1) : QString();
    QElapsedTimer made;
    made.start();
    // The ledger's load and the restored database's removal are the administrator's.
    const db::ConnectionPtr admin = adminSession(options);
    if (vehicles <= 0 || !admin || !makeBenchLedger(*admin, vehicles, QDate::currentDate()))
        return 2;
    db::Reply rows = conn->run(db::Statement("select count(*) from shoufeijilu"));
    out << "vehicles: " << vehicles << ", ledger rows: " << (rows.rows ? rows.rows->integer(0) : 0)
        << " (made or found in " << QString::number(ms(made) / 1000, 'f', 1) << " s)\n";
    out.flush();

    QDir().mkpath(outDir);
    const Timed backup = runWhileSaving(program, {QStringLiteral("--out"), outDir}, conn, id);
    report(out, "backup with its proof", backup);
    const QStringList archives = QDir(outDir).entryList({QStringLiteral("fleetdesk-*.tar.zst")}, QDir::Files, QDir::Time);
    if (backup.exitCode != 0 || archives.isEmpty())
        return 1;
    const QString archive = QDir(outDir).filePath(archives.first());
    out << "archive: " << QString::number(mb(static_cast<double>(QFileInfo(archive).size())), 'f', 1) << " MB\n";
    out.flush();

    const QString restoredPictures = outDir + QStringLiteral("/restored-pictures");
    QDir(restoredPictures).removeRecursively();
    admin->run(db::Statement("DROP DATABASE IF EXISTS yunsugongsi_bench_restore"));
    const Timed restore = runWhileSaving(program,
        {QStringLiteral("--restore"), archive, QStringLiteral("--into"), QStringLiteral("yunsugongsi_bench_restore"),
            QStringLiteral("--pictures-into"), restoredPictures},
        conn, id);
    report(out, "restore into a new database", restore);
    out << "pictures restored: " << QDir(restoredPictures).entryList(QDir::Files).size() << "\n";
    admin->run(db::Statement("DROP DATABASE IF EXISTS yunsugongsi_bench_restore"));
    out.flush();
    return restore.exitCode == 0 ? 0 : 1;
}
