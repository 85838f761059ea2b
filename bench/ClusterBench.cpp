// Two figures of the several-offices set-up, against the stacks bench/run_cluster_bench.sh starts:
//
//   cluster_bench tls [RUNS]       loadAllVehicles filling the grid over TLS and in clear text
//                                  from the same server, alternately; medians and the ratio
//   cluster_bench failover [RUNS]  logged in on node 1 of the cluster, node 1 is killed (a crash),
//                                  then stopped (a shutdown), then frozen (SIGSTOP: a machine that
//                                  vanished without closing its connections) after the session
//                                  has been idle for a while; the time from its end (or freeze)
//                                  to the result of the next full list, against the same list on
//                                  a whole cluster
//
// Settings from FLEETDESK_CONFIG; the failover mode restarts the killed node with tools/stack.sh
// (FD_STACK_SCRIPT, FD_STACK_DIR) between runs.
#include "bench/BenchSupport.h"
#include "common/AppState.h"
#include "common/DateTime.h"
#include "common/Cipher.h"
#include "db/Database.h"
#include "net/Endpoints.h"
#include "ui/Dialogs.h"
#include "fleet/FleetList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTableView>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <mysql.h>
#include <vector>

using namespace fd;
using namespace fd::bench;

namespace {

db::ConnectionPtr connect(const Settings& s, const QString& hosts, bool tls)
{
    Settings copy = s;
    copy.dbTlsRequired = tls;
    db::Connection::Options options = net::endpointsOf(copy).database;
    options.host = hosts;
    QString error;
    auto conn = db::dbConnect(options, &error);
    if (!conn)
        std::fprintf(stderr, "cannot connect: %s\n", qPrintable(error));
    return conn;
}

// Milliseconds that loadAllVehicles takes to fill the grid on this connection.
double fillMs(AppState& state, SilentDialogs& dialogs, QTableView& view)
{
    fleet::FleetList fleet(state, dialogs);
    fleet.attachView(&view);
    QElapsedTimer t;
    t.start();
    fleet.loadAllVehicles();
    waitForList(fleet);
    const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    if (fleet.gridRowCount() < 2)
        std::fprintf(stderr, "the list came back empty\n");
    return ms;
}

int tlsBench(const Settings& s, int runs, QTextStream& out)
{
    const QString hosts = fd::decipherSetting(s.dbHost, s.settingKeyA, s.xorMask);
    SilentDialogs dialogs;
    QTableView view;
    view.resize(1000, 700);
    view.show();
    AppState clear, tls;
    clear.settings = tls.settings = s;
    clear.loginDateTime = tls.loginDateTime = datetime::nowInSeconds();
    clear.dbConnection = connect(s, hosts, false);
    tls.dbConnection = connect(s, hosts, true);
    if (!clear.dbConnection || !tls.dbConnection)
        return 2;
    out << "cipher: " << tls.dbConnection->tlsCipher() << " (clear: \"" << clear.dbConnection->tlsCipher() << "\")\n";
    fillMs(clear, dialogs, view); // warm the server's buffer pool
    std::vector<double> clearMs, tlsMs;
    for (int i = 0; i < runs; ++i) {
        clearMs.push_back(fillMs(clear, dialogs, view));
        tlsMs.push_back(fillMs(tls, dialogs, view));
    }
    out << "fill in clear (ms): " << list(clearMs) << "  median " << QString::number(median(clearMs), 'f', 1) << "\n";
    out << "fill over TLS (ms): " << list(tlsMs) << "  median " << QString::number(median(tlsMs), 'f', 1) << "\n";
    out << "TLS/clear fill ratio: " << QString::number(median(tlsMs) / median(clearMs), 'f', 3) << "\n";
    return 0;
}

qint64 nodePid(const QString& dir, int node)
{
    QFile f(dir + QStringLiteral("/n%1/m.pid").arg(node));
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toLongLong() : 0;
}

bool gone(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return true;
    // The first thread can be a zombie while the others still hold the process's sockets: the
    // node is dead once no thread is left but that one.
    const QByteArray status = f.readAll();
    return (status.contains("State:\tZ") || status.contains("State:\tX")) && status.contains("Threads:\t1\n");
}

enum class Loss { Crash, Shutdown, Freeze };

// Whether the nodes are synced and agree on one view of the cluster within the given seconds (a
// thawed node rejoins by itself, and reports its old state until it notices it was dropped).
bool waitWhole(const QString& hosts, int seconds)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < seconds * 1000) {
        QSet<QByteArray> views;
        bool synced = true;
        for (const QString& host : hosts.split(QLatin1Char(','))) {
            QProcess client;
            client.start(QStringLiteral("mariadb"),
                { QStringLiteral("--no-defaults"), QStringLiteral("--protocol=TCP"), QStringLiteral("-h127.0.0.1"),
                    QStringLiteral("-P") + host.section(QLatin1Char(':'), 1), QStringLiteral("-uroot"),
                    QStringLiteral("-N"), QStringLiteral("--connect-timeout=2"), QStringLiteral("-e"),
                    QStringLiteral("SHOW STATUS WHERE Variable_name IN "
                                   "('wsrep_local_state','wsrep_cluster_size','wsrep_cluster_conf_id')") });
            client.waitForFinished(5000);
            const QByteArray out = client.readAllStandardOutput();
            synced = synced && out.contains("wsrep_local_state\t4")
                && out.contains("wsrep_cluster_size\t" + QByteArray::number(hosts.count(QLatin1Char(',')) + 1));
            views.insert(out.left(out.indexOf("wsrep_local_state")));
        }
        if (synced && views.size() == 1)
            return true;
        QThread::msleep(200);
    }
    return false;
}

// One failover: logged in on node 1, node 1 is killed (SIGKILL: a crash), stopped (SIGTERM: a
// shutdown) or frozen (SIGSTOP, after the session has been idle past its check); the
// milliseconds from its end or freeze to the next full list's result, or -1.
double failoverOnce(const Settings& s, Loss loss, double* normalListMs, QTextStream& out)
{
    const bool crash = loss == Loss::Crash;
    const QString dir = qEnvironmentVariable("FD_STACK_DIR");
    const QString script = qEnvironmentVariable("FD_STACK_SCRIPT");
    SilentDialogs dialogs;
    AppState state;
    state.settings = s;
    state.loginDateTime = datetime::nowInSeconds();
    state.dbConnection = connect(s, fd::decipherSetting(s.dbHost, s.settingKeyA, s.xorMask), true);
    if (!state.dbConnection)
        return -1;
    const QString first = state.dbConnection->serverAddress();
    fleet::FleetList fleet(state, dialogs);
    fleet.loadAllVehicles();
    waitForList(fleet);
    QElapsedTimer normal;
    normal.start();
    fleet.loadAllVehicles();
    waitForList(fleet);
    *normalListMs = static_cast<double>(normal.nsecsElapsed()) / 1e6;
    if (fleet.gridRowCount() < 2) {
        std::fprintf(stderr, "the list before the failover failed on %s: %s\n", qPrintable(first),
            qPrintable(state.dbConnection->keptReply().error));
        return -1;
    }
    const qint64 pid = nodePid(dir, 1);
    if (pid <= 0)
        return -1;
    if (loss == Loss::Freeze) {
        // The office reads the list for a while, and meanwhile the node's machine vanishes.
        QThread::msleep(static_cast<unsigned long>(db::Connection::Options().idleCheckSeconds) * 1000 + 200);
        ::kill(static_cast<pid_t>(pid), SIGSTOP);
    } else if (crash) {
        ::kill(static_cast<pid_t>(pid), SIGKILL);
        while (!gone(pid))
            QThread::usleep(200);
    } else if (QProcess::execute(
                   QStringLiteral("bash"), { script, QStringLiteral("node-stop"), dir, QStringLiteral("1") })
        != 0) {
        return -1;
    }
    QElapsedTimer sinceEnd; // the node is gone from here on
    sinceEnd.start();
    fleet.loadAllVehicles();
    waitForList(fleet);
    const double ms = static_cast<double>(sinceEnd.nsecsElapsed()) / 1e6;
    const QString now = state.dbConnection->serverAddress();
    static const char* const what[] = { "  killed: ", "  stopped: ", "  frozen: " };
    out << what[static_cast<int>(loss)] << first << "; the next list (" << fleet.gridRowCount() - 1
        << " vehicles) came from " << now << " after " << QString::number(ms, 'f', 1) << " ms\n";
    out.flush();
    const bool movedOn = now != first && fleet.gridRowCount() >= 2;
    if (!movedOn)
        std::fprintf(stderr, "the list did not move on: %s\n", qPrintable(state.dbConnection->keptReply().error));
    state.dbConnection.reset();
    if (loss == Loss::Freeze) {
        ::kill(static_cast<pid_t>(pid), SIGCONT);
        if (!waitWhole(fd::decipherSetting(s.dbHost, s.settingKeyA, s.xorMask), 120)) {
            std::fprintf(stderr, "node 1 did not sync again after the freeze\n");
            return -1;
        }
        return movedOn ? ms : -1;
    }
    if (QProcess::execute(QStringLiteral("bash"), { script, QStringLiteral("node-start"), dir, QStringLiteral("1") })
        != 0)
        return -1;
    return movedOn ? ms : -1;
}

int failoverBench(const Settings& s, int runs, QTextStream& out)
{
    std::vector<double> crashMs, stopMs, freezeMs, normalMs;
    for (int run = 0; run < runs; ++run) {
        double normal = 0.0;
        const double crash = failoverOnce(s, Loss::Crash, &normal, out);
        normalMs.push_back(normal);
        const double stop = failoverOnce(s, Loss::Shutdown, &normal, out);
        normalMs.push_back(normal);
        const double freeze = failoverOnce(s, Loss::Freeze, &normal, out);
        normalMs.push_back(normal);
        if (crash < 0 || stop < 0 || freeze < 0)
            return 1;
        crashMs.push_back(crash);
        stopMs.push_back(stop);
        freezeMs.push_back(freeze);
    }
    out << "the same list with every node up (ms): median " << QString::number(median(normalMs), 'f', 1) << "\n";
    out << "shutdown to the next list's result (ms): " << list(stopMs) << "  median "
        << QString::number(median(stopMs), 'f', 1) << "\n";
    out << "death to the next list's result (ms): " << list(crashMs) << "  median "
        << QString::number(median(crashMs), 'f', 1) << " (connect time-out "
        << db::Connection::Options().connectTimeoutSeconds << " s)\n";
    out << "freeze to the next list's result (ms): " << list(freezeMs) << "  median "
        << QString::number(median(freezeMs), 'f', 1) << " (goal 15000; alive check "
        << db::Connection::Options().aliveCheckMs << " ms after " << db::Connection::Options().idleCheckSeconds
        << " s idle)\n";
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    mysql_library_init(0, nullptr, nullptr);
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);
    const int runs = std::max(1, args.value(1, QStringLiteral("5")).toInt());
    Settings s;
    if (!s.load(Settings::defaultPath())) {
        std::fprintf(stderr, "no settings file: set FLEETDESK_CONFIG\n");
        return 2;
    }
    if (mode == QLatin1String("tls"))
        return tlsBench(s, runs, out);
    if (mode == QLatin1String("failover"))
        return failoverBench(s, runs, out);
    std::fprintf(stderr, "usage: cluster_bench tls|failover [RUNS]\n");
    return 2;
}
