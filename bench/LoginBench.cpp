// From 登录 on the login window to the main window's full list, as the program runs it: the
// program's start (Startup) with the login window, the main window opened behind it and the real
// login check against the running stack (FLEETDESK_CONFIG). The clock starts at the click on 登录
// (what Return does) and gives the time until the check is done (the login window answered), the
// first rows of the full list are in the grid and the list is whole. One login per process, as in
// the program: bench/run_login_bench.sh starts it once per run.
//
//   login_bench [N]      N: the vehicles expected in the full list (default 100000)
//
// Then the cost of a role check (fd::permits), in nanoseconds per call, where the program has
// roles.
#include "app/MainWindow.h"
#include "app/ProgramParts.h"
#include "app/Startup.h"
#include "bench/BenchSupport.h"
#include "common/AppState.h"
#include "fleet/FleetList.h"
#include "ui/Look.h"

#if __has_include("common/Roles.h")
#include "common/Roles.h"
#define FD_BENCH_ROLES 1
#endif

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <cstdio>

using namespace fd;

namespace {

constexpr int kFirstRows = 100;
constexpr int kWaitForMainWindowMs = 5000;
constexpr qint64 kTimeoutMs = 120000;

#ifdef FD_BENCH_ROLES
// ns per call of fd::permits over every role and permission, the result kept so the calls stay.
double permitsNs()
{
    constexpr Role roles[] = {Role::None, Role::Admin, Role::Clerk, Role::Cashier, Role::Reader};
    constexpr int kPermissions = static_cast<int>(Permission::Backups) + 1;
    constexpr int kRounds = 200000;
    volatile int allowed = 0;
    QElapsedTimer t;
    t.start();
    for (int round = 0; round < kRounds; ++round)
        for (Role role : roles)
            for (int p = 0; p < kPermissions; ++p)
                allowed = allowed + (permits(role, static_cast<Permission>(p)) ? 1 : 0);
    const double ns = static_cast<double>(t.nsecsElapsed());
    return ns / (double(kRounds) * std::size(roles) * kPermissions);
}
#endif

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ui::applyProgramLook(app);
    QTextStream out(stdout);
    const qint64 expected = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 100000;

    AppState state;
    if (!state.settings.load(Settings::defaultPath())) {
        std::fprintf(stderr, "no settings file: set FLEETDESK_CONFIG\n");
        return 2;
    }
    bench::SilentDialogs dialogs;
    QTemporaryDir temp; // no remembered login: the boxes hold admin and its password
    ProgramParts parts;
    Startup startup(state, dialogs, accounts::RememberedLogin(QDir(temp.path()).filePath(QStringLiteral("n.ini"))),
        [&parts](QString*) {
            parts.start();
            return static_cast<ProgramModule*>(&parts);
        });

    // The click once the main window is open behind the login window, as a user's comes.
    QElapsedTimer clock;
    qint64 checkedAt = -1;
    qint64 checkCpu = -1; // the window thread's processor time for the check: less moved by a busy machine
    QElapsedTimer waited;
    waited.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        if (!parts.mainWindow() && waited.elapsed() < kWaitForMainWindowMs)
            return;
        poll.stop();
        if (!parts.mainWindow())
            std::fprintf(stderr, "the main window did not open behind the login window\n");
        auto* login = QApplication::activeModalWidget();
        auto* button = login ? login->findChild<QPushButton*>(QStringLiteral("按钮_登录")) : nullptr;
        if (!button) {
            std::fprintf(stderr, "no login window with 登录\n");
            QApplication::exit(2);
            return;
        }
        const qint64 cpu = bench::threadCpuNs();
        clock.start();
        button->click();
        checkedAt = clock.nsecsElapsed();
        checkCpu = bench::threadCpuNs() - cpu;
    });
    poll.start(5);
    if (startup.run() != Startup::Outcome::LoggedIn || !state.dbConnection || !parts.mainWindow()) {
        std::fprintf(stderr, "the login failed\n");
        return 2;
    }

    fleet::FleetList& list = parts.mainWindow()->fleet();
    qint64 firstAt = -1, wholeAt = -1;
    while (wholeAt < 0 && clock.elapsed() < kTimeoutMs) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        const qint64 now = clock.nsecsElapsed();
        if (firstAt < 0 && (list.gridRowCount() > kFirstRows || !list.filling()))
            firstAt = now;
        if (!list.filling())
            wholeAt = now;
    }
    const int rows = list.gridRowCount() - 1; // the grid's last row is the totals
    out << QStringLiteral("login check %1 ms, first %2 rows %3 ms, whole list %4 ms (%5 vehicles%6); "
                          "processor time of the check %7 ms\n")
               .arg(QString::number(double(checkedAt) / 1e6, 'f', 1), QString::number(kFirstRows),
                   QString::number(double(firstAt) / 1e6, 'f', 1), QString::number(double(wholeAt) / 1e6, 'f', 1),
                   QString::number(rows), rows == expected ? QString() : QStringLiteral(", expected %1").arg(expected),
                   QString::number(double(checkCpu) / 1e6, 'f', 1));
#ifdef FD_BENCH_ROLES
    out << QStringLiteral("role check (fd::permits): %1 ns per call\n").arg(permitsNs(), 0, 'f', 2);
#endif
    out.flush();
    if (ProgramModule* module = startup.module())
        module->shutdown();
    return wholeAt < 0 ? 1 : 0;
}
