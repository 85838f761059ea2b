// How long each user action holds the window's event loop, against a running stack holding N
// vehicles (FLEETDESK_CONFIG): login, the full list, a category, a search, an overview cell's
// list, opening a vehicle (modify mode, until its ten thumbnails are in), importing a
// 12-megapixel photo, the .xlsx and CSV exports of the full list and the print preview.
//
// While an action runs, a 1 ms timer ticks on the window thread; the longest gap between two
// ticks is the longest time the event loop was held (a window that answers has gaps of about
// 1 ms). Each action is started from the event loop, as a click is, and measured until its result
// is there (the list whole, the file written, the thumbnails shown) and 200 ms beyond, so that
// work it leaves for later events (paints, results of background work) counts too. On a loaded
// machine a gap also holds time given to other processes: the most processor time the window
// thread used between two ticks tells its own work apart. For the
// lists it also tells when their first 100 rows were in the grid, and compares the full list's
// total time with the mariadb command-line client reading the same statement.
//
//   ui_bench [N] [--runs R]
//
// Every action's driver is one entry of the table in main(): it goes through the windows' public
// operations and controls as a user would, so that it is easy to adapt when an operation moves
// off the window thread and its completion is seen another way.
#include "accounts/LoginWindow.h"
#include "accounts/RememberedLogin.h"
#include "app/MainWindow.h"
#include "bench/BenchSupport.h"
#include "common/AppState.h"
#include "common/DatabaseOptions.h"
#include "common/Jobs.h"
#include "fleet/FleetStatements.h"
#include "net/Http.h"
#include "overview/OverviewCounts.h"
#include "overview/OverviewPage.h"
#include "ui/Look.h"
#include "fleet/CategoryTree.h"
#include "fleet/FleetList.h"
#include "pictures/PictureFiles.h"
#include "vehicles/VehicleColumns.h"
#include "pictures/PictureWindow.h"
#include "printing/PrintPreview.h"
#include "fleet/ShownList.h"
#include "app/VehicleWindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThreadPool>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <mysql.h>
#include <vector>

using namespace fd;
using namespace fd::bench;

namespace {

constexpr int kGoalMs = 100;
// The lists never hold the event loop longer than this, and show their first rows this soon.
constexpr int kListGoalMs = 50;
constexpr int kFirstRowsGoalMs = 100;
constexpr int kFirstRows = 100;
constexpr int kProbeMs = 1;
constexpr int kSettleMs = 200;
constexpr int kTimeoutMs = 120000;

// Answers the file pickers with the paths set before each action; messages go to standard error.
class BenchDialogs final : public ui::Dialogs {
public:
    void message(const QString& text, const QString&) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    int ask(const QString&, Buttons, const QString&) override { return Ok; }
    bool inputText(const QString&, QString&, const QString&) override { return false; }
    QString openFileName(const QString&, const QString&) override { return openPath; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return savePath; }
    QString openPath;
    QString savePath;
};

// One user action. `start` is what the user's click runs; `done` tells when its result is there
// (none: when `start` has returned). `before` brings the windows to where the action begins and
// `after` tidies up; neither is measured. `first` tells when a list's first rows are in.
struct Action {
    const char* name;
    std::function<void()> start;
    std::function<bool()> done;
    std::function<void()> before;
    std::function<void()> after;
    std::function<bool()> first = {};
    int goalMs = kGoalMs;
};

struct Measure {
    double longestGapMs = 0;
    double longestCpuMs = 0; // the most processor time the window thread used between two ticks
    double totalMs = 0;
    double firstMs = -1;
    bool finished = false;
};

Measure measure(const Action& action)
{
    if (action.before)
        action.before();
    Measure m;
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 lastTick = 0, longest = 0, doneAt = -1, firstAt = -1;
    qint64 lastCpu = threadCpuNs(), longestCpu = 0;
    bool returned = false;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        longest = std::max(longest, now - lastTick);
        longestCpu = std::max(longestCpu, cpu - lastCpu);
        lastTick = now;
        lastCpu = cpu;
        if (firstAt < 0 && returned && action.first && action.first())
            firstAt = now;
        if (doneAt < 0 && returned && (!action.done || action.done()))
            doneAt = now;
        if ((doneAt >= 0 && now - doneAt > qint64(kSettleMs) * 1000000) || now > qint64(kTimeoutMs) * 1000000)
            loop.quit();
    });
    QTimer::singleShot(0, &loop, [&] {
        clock.start();
        lastCpu = threadCpuNs();
        probe.start(kProbeMs);
        action.start();
        returned = true;
    });
    loop.exec();
    m.longestGapMs = static_cast<double>(longest) / 1e6;
    m.longestCpuMs = static_cast<double>(longestCpu) / 1e6;
    m.finished = doneAt >= 0;
    m.totalMs = static_cast<double>(m.finished ? doneAt : clock.nsecsElapsed()) / 1e6;
    m.firstMs = firstAt < 0 ? -1.0 : static_cast<double>(firstAt) / 1e6;
    if (action.after)
        action.after();
    return m;
}

QTreeWidgetItem* treeItemOfValue(QTreeWidget* tree, int value, bool group = false)
{
    QTreeWidgetItem* found = nullptr;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
        if (!found && item->data(0, Qt::UserRole).toInt() == value && (!group || item->childCount() > 0))
            found = item;
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i));
    return found;
}

QAction* menuAction(QMainWindow& window, const QString& text)
{
    for (QAction* menu : window.menuBar()->actions())
        if (menu->menu())
            for (QAction* action : menu->menu()->actions())
                if (action->text() == text)
                    return action;
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    mysql_library_init(0, nullptr, nullptr);
    net::globalInit();
    QApplication app(argc, argv);
    ui::applyProgramLook(app);
    QTextStream out(stdout);

    const bench::BenchArgs benchArgs = bench::readBenchArgs(app.arguments().mid(1), 3);
    const qint64 expected = benchArgs.expected;
    const int runs = benchArgs.runs;

    AppState state;
    if (!state.settings.load(Settings::defaultPath())) {
        std::fprintf(stderr, "no settings file: set FLEETDESK_CONFIG\n");
        return 2;
    }
    QTemporaryDir temp;
    const QString photo = QDir(temp.path()).filePath(QStringLiteral("photo.jpg"));
    benchPhoto().save(photo, "JPG", 92);
    out << "12 MP photo: " << QFileInfo(photo).size() << " bytes\n";
    out.flush();

    BenchDialogs dialogs;
    std::unique_ptr<accounts::LoginWindow> login;
    std::unique_ptr<app::VehicleWindow> vehicle;
    std::unique_ptr<pictures::PictureWindow> picture;

    MainWindow main(state, dialogs, {});
    MainWindowHooks hooks;
    // The vehicle window and the print preview open as the program opens them, but without a
    // modal loop of their own: the preview is shown, its first page painted, and closed.
    hooks.openVehicleWindow = [&] {
        vehicle = std::make_unique<app::VehicleWindow>(state, dialogs, [&main] { main.showFullListAfterSave(); });
        vehicle->show();
    };
    hooks.printGrid = [&] {
        printing::printList(fleet::shownList(main.grid(), fleet::listTitle(state.appTitle, state.loginDateTime)),
            dialogs, &main, [](QDialog& preview) {
                preview.show();
                if (auto* sheet = preview.findChild<QWidget*>(QStringLiteral("pageSheet")))
                    sheet->grab();
                return int(QDialog::Rejected);
            });
    };
    main.setHooks(hooks);
    main.show();

    auto* tree = main.findChild<QTreeWidget*>(QStringLiteral("树型框1"));
    auto* searchText = main.findChild<QLineEdit*>(QStringLiteral("编辑框_车号查询"));
    auto* searchButton = main.findChild<QPushButton*>(QStringLiteral("按钮_代码查询"));
    auto* printButton = main.findChild<QPushButton*>(QStringLiteral("按钮_打印"));
    QAction* exportXlsx = menuAction(main, QStringLiteral("导出Excel"));
    QAction* exportCsv = menuAction(main, QStringLiteral("导出CSV"));
    if (!tree || !searchText || !searchButton || !printButton || !exportXlsx || !exportCsv) {
        std::fprintf(stderr, "the main window lacks a control the benchmark drives\n");
        return 2;
    }
    auto select = [tree](int value, bool group = false) { tree->setCurrentItem(treeItemOfValue(tree, value, group)); };
    auto search = [&](const QString& text) {
        searchText->setText(text);
        searchButton->click();
    };
    auto fileWritten = [](const QString& path) { return QFileInfo(path).size() > 0; };
    const QString xlsx = QDir(temp.path()).filePath(QStringLiteral("list.xlsx"));
    const QString csv = QDir(temp.path()).filePath(QStringLiteral("list.csv"));
    const QStringList thumbnailKinds = pictures::thumbnailFetchOrder();

    fleet::FleetList& fleetList = main.fleet();
    auto listDone = [&fleetList] { return !fleetList.filling(); };
    auto firstRows = [&fleetList] { return fleetList.gridRowCount() > kFirstRows || !fleetList.filling(); };
    auto whole = [&fleetList] { waitForList(fleetList); };
    // An overview cell with many vehicles: the driving permits valid for two months and more.
    const int permits = static_cast<int>(vehicles::WatchedDate::DrivingPermit);

    const std::vector<Action> actions = {
        {"login",
            [&] {
                login = std::make_unique<accounts::LoginWindow>(
                    state, dialogs, accounts::RememberedLogin(QDir(temp.path()).filePath(QStringLiteral("login.ini"))));
                login->show();
                login->login();
            },
            [&] { return login->result() == QDialog::Accepted; }, nullptr,
            [&] { login.reset(); }},
        {"full list", [&] { select(fleet::kRootItemValue); }, listDone, [&] { select(0, true); }, nullptr, firstRows,
            kListGoalMs},
        {"category 行车证 正常", [&] { select(5); }, listDone,
            [&] {
                select(fleet::kRootItemValue);
                whole();
            },
            nullptr, firstRows, kListGoalMs},
        {"search 豫H1", [&] { search(QStringLiteral("豫H1")); }, listDone, nullptr, nullptr, firstRows, kListGoalMs},
        {"overview cell list (行车证, far ahead)",
            [&] { main.overviewPage().openCell(permits, static_cast<int>(overview::Column::farAhead)); }, listDone, nullptr,
            nullptr, firstRows, kListGoalMs},
        {"open a vehicle (modify, 10 thumbnails)", [&] { main.modifyVehicle(); },
            [&] {
                return vehicle && std::all_of(thumbnailKinds.begin(), thumbnailKinds.end(),
                    [&](const QString& kind) { return !vehicle->thumbnailBytes(kind).isEmpty(); });
            },
            [&] {
                search(QStringLiteral("豫H00000"));
                whole();
                main.grid().selectRow(0);
            },
            [&] { vehicle.reset(); }},
        {"import a 12 MP photo",
            [&] {
                picture = std::make_unique<pictures::PictureWindow>(
                    state, dialogs, QStringLiteral("行车证1"), QStringLiteral("豫H00000"), QByteArray());
                picture->show();
                picture->importPicture();
            },
            [&] { return picture && !picture->importing() && !picture->shownBytes().isEmpty(); },
            [&] { dialogs.openPath = photo; },
            [&] { picture.reset(); }},
        {".xlsx export of the full list", [&] { exportXlsx->trigger(); }, [&] { return fileWritten(xlsx); },
            [&] {
                select(fleet::kRootItemValue);
                whole();
                QFile::remove(xlsx);
                dialogs.savePath = xlsx;
            },
            nullptr},
        {"CSV export of the full list", [&] { exportCsv->trigger(); }, [&] { return fileWritten(csv); },
            [&] {
                QFile::remove(csv);
                dialogs.savePath = csv;
            },
            nullptr},
        {"print preview of the full list", [&] { printButton->click(); }, nullptr, nullptr, nullptr},
    };

    std::vector<std::vector<Measure>> results(actions.size());
    for (int run = 0; run < runs; ++run) {
        for (std::size_t a = 0; a < actions.size(); ++a) {
            results[a].push_back(measure(actions[a]));
            if (a == 0 && !state.dbConnection) {
                std::fprintf(stderr, "the login failed\n");
                return 2;
            }
            if (a == 1 && run == 0) {
                const int rows = main.fleet().gridRowCount() - 1;
                out << "vehicles in the grid: " << rows
                    << (rows == expected ? "" : "  (expected " + QString::number(expected) + ")") << "\n";
                out.flush();
            }
        }
    }

    // The mariadb command-line client reading the full list's statement, output thrown away.
    std::vector<double> client;
    {
        const DatabaseOptions options = state.dbConnection->options();
        const QString host = options.host.section(QLatin1Char(','), 0, 0);
        const QString port = host.contains(QLatin1Char(':')) ? host.section(QLatin1Char(':'), 1) : QString::number(options.port);
        for (int run = 0; run < runs; ++run) {
            QProcess mariadb;
            mariadb.setStandardOutputFile(QProcess::nullDevice());
            QElapsedTimer t;
            t.start();
            mariadb.start(QStringLiteral("mariadb"),
                {QStringLiteral("--no-defaults"), QStringLiteral("--protocol=TCP"), QStringLiteral("-h") + host.section(QLatin1Char(':'), 0, 0),
                    QStringLiteral("-P") + port, QStringLiteral("-u") + options.user, QStringLiteral("-p") + options.password,
                    QStringLiteral("--default-character-set=gbk"), options.database, QStringLiteral("-e"),
                    fleet::fullListStatement().renderOffline()});
            if (!mariadb.waitForFinished(600000) || mariadb.exitCode() != 0) {
                std::fprintf(stderr, "mariadb failed: %s\n", mariadb.readAllStandardError().constData());
                break;
            }
            client.push_back(ms(t));
        }
    }

    out << "longest hold of the event loop per action (" << runs << " runs; goal: " << kGoalMs << " ms, lists "
        << kListGoalMs << " ms; first = the first " << kFirstRows << " rows of a list in the grid, goal " << kFirstRowsGoalMs
        << " ms; total = from the click to the result):\n";
    QStringList over, late;
    for (std::size_t a = 0; a < actions.size(); ++a) {
        std::vector<double> gaps, cpus, totals, firsts;
        bool finished = true;
        for (const Measure& m : results[a]) {
            gaps.push_back(m.longestGapMs);
            cpus.push_back(m.longestCpuMs);
            totals.push_back(m.totalMs);
            if (m.firstMs >= 0)
                firsts.push_back(m.firstMs);
            finished = finished && m.finished;
        }
        const double worst = *std::max_element(gaps.begin(), gaps.end());
        const double latest = firsts.empty() ? 0.0 : *std::max_element(firsts.begin(), firsts.end());
        out << QStringLiteral("  %1 hold median %2 ms, max %3 ms  [%4]   own work between ticks max %5 ms"
                              "   total median %6 ms%7%8\n")
                   .arg(QString::fromUtf8(actions[a].name).leftJustified(40),
                       QString::number(median(gaps), 'f', 1).rightJustified(8),
                       QString::number(worst, 'f', 1).rightJustified(8), list(gaps),
                       QString::number(*std::max_element(cpus.begin(), cpus.end()), 'f', 1),
                       QString::number(median(totals), 'f', 1).rightJustified(8),
                       firsts.empty() ? QString()
                                      : QStringLiteral("   first rows median %1 ms, max %2 ms")
                                            .arg(QString::number(median(firsts), 'f', 1), QString::number(latest, 'f', 1)),
                       finished ? QString() : QStringLiteral("  (did not finish within %1 s)").arg(kTimeoutMs / 1000));
        if (worst > actions[a].goalMs)
            over << QString::fromUtf8(actions[a].name);
        if (actions[a].first && latest > kFirstRowsGoalMs)
            late << QString::fromUtf8(actions[a].name);
    }
    out << "actions holding the event loop longer than their goal: " << over.size() << " of " << actions.size()
        << (over.isEmpty() ? QString() : QStringLiteral(" (") + over.join(QStringLiteral(", ")) + QStringLiteral(")"))
        << "\n";
    out << "lists whose first rows came later than " << kFirstRowsGoalMs << " ms: " << late.size()
        << (late.isEmpty() ? QString() : QStringLiteral(" (") + late.join(QStringLiteral(", ")) + QStringLiteral(")")) << "\n";
    if (!client.empty()) {
        std::vector<double> fullList;
        for (const Measure& m : results[1])
            fullList.push_back(m.totalMs);
        out << "mariadb client, the full list's statement to /dev/null: median " << QString::number(median(client), 'f', 1)
            << " ms  [" << list(client) << "]\n";
        out << "full list total / mariadb client: " << QString::number(median(fullList) / median(client), 'f', 2) << "\n";
    }
    out.flush();

    vehicle.reset();
    picture.reset();
    waitForAllJobs(30000);
    QThreadPool::globalInstance()->waitForDone();
    mysql_library_end();
    return 0;
}
