// Times printing and exporting the full list against a database holding N generated vehicles:
//   (a) 打印 to the first page shown: the shown list taken from the grid, the preview laid out,
//       shown and its first page painted;
//   (b) the memory the preview holds, opened and after paging to the end and back;
//   (c) 另存PDF of the whole list; (d) 导出Excel; (e) 导出CSV: each through the program's own
//       command, the work on the files lane while the window's event loop runs; the time to the
//       end, the file, the peak memory and the longest time the event loop was held meanwhile
//       (the longest single event handled, the command's own start included, and the latest
//       tick of a 5 ms timer);
//   (f) the snapshot of the shown list the commands take on the window thread.
//
//   print_bench [N] [--runs R] [--out DIR]   (settings from FLEETDESK_CONFIG, as the program reads them)
#include "bench/BenchSupport.h"
#include "common/AppState.h"
#include "common/Jobs.h"
#include "common/DateTime.h"
#include "common/Cipher.h"
#include "db/Database.h"
#include "ui/Dialogs.h"
#include "printing/ExportCommand.h"
#include "fleet/FleetList.h"
#include "printing/PrintPreview.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <mysql.h>
#include <vector>

using namespace fd;
using namespace fd::bench;

namespace {

// Names the file of the next save dialog; every other dialog as SilentDialogs.
class SaveTo final : public ui::Dialogs {
public:
    void message(const QString& text, const QString&) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    int ask(const QString&, Buttons, const QString&) override { return Ok; }
    bool inputText(const QString&, QString&, const QString&) override { return false; }
    QString openFileName(const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return path; }
    QString path;
};

// Times every event the program handles (outermost deliveries only): the longest one is the
// longest time any handler held the window's event loop.
class TimingApp final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth > 0)
            return QApplication::notify(receiver, event);
        ++m_depth;
        QElapsedTimer clock;
        clock.start();
        const QByteArray name = receiver->metaObject()->className();
        const int type = event->type();
        const bool done = QApplication::notify(receiver, event);
        if (clock.nsecsElapsed() > longest) {
            longest = clock.nsecsElapsed();
            longestWhat = name + " event " + QByteArray::number(type);
        }
        --m_depth;
        return done;
    }
    qint64 longest = 0; // ns
    QByteArray longestWhat;

private:
    int m_depth = 0;
};

// Runs start() from the event loop and the loop until finished() says so; the longest event
// handled meanwhile and the latest tick of a 5 ms timer, in ms.
struct Hold {
    double longestEvent = 0;
    QByteArray what;
    double latestTick = 0;
};
Hold runInLoop(TimingApp& app, const std::function<void()>& start, const std::function<bool()>& finished)
{
    QElapsedTimer clock;
    qint64 last = 0, latest = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        latest = std::max(latest, now - last - 5000000);
        last = now;
    });
    clock.start();
    probe.start(5);
    app.longest = 0;
    app.longestWhat.clear();
    QTimer::singleShot(0, start);
    while (!finished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    probe.stop();
    return {app.longest / 1e6, app.longestWhat, latest / 1e6};
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    mysql_library_init(0, nullptr, nullptr);
    TimingApp app(argc, argv);
    QTextStream out(stdout);

    qint64 expected = 100000;
    int runs = 5;
    QString outDir;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--out") && i + 1 < args.size())
            outDir = args[++i];
        else
            expected = args[i].toLongLong();
    }
    QTemporaryDir temp;
    if (outDir.isEmpty())
        outDir = temp.path();
    QDir().mkpath(outDir);

    AppState state;
    if (!state.settings.load(Settings::defaultPath())) {
        std::fprintf(stderr, "no settings file: set FLEETDESK_CONFIG\n");
        return 2;
    }
    const Settings& s = state.settings;
    QString error;
    state.dbConnection = db::dbConnect(fd::decipherSetting(s.dbHost, s.settingKeyA, s.xorMask),
        fd::decipherSetting(s.dbUser, s.settingKeyB, s.xorMask), fd::decipherSetting(s.dbPassword, s.settingKeyB, s.xorMask),
        QStringLiteral("yunsugongsi"), s.dbPort, &error);
    if (!state.dbConnection) {
        std::fprintf(stderr, "cannot connect: %s\n", qPrintable(error));
        return 2;
    }
    state.appTitle = kProgramTitle;
    state.loginDateTime = datetime::nowInSeconds();

    SilentDialogs dialogs;
    fleet::FleetList fleet(state, dialogs);
    QTableView view;
    view.resize(858, 593);
    fleet.attachView(&view);
    fleet.loadAllVehicles();
    waitForList(fleet);
    const int rows = fleet.gridRowCount() - 1;
    out << "vehicles in the grid: " << rows << (rows == expected ? "" : "  (expected " + QString::number(expected) + ")")
        << "\n";
    out.flush();
    const QString title = fleet::listTitle(state.appTitle, state.loginDateTime);
    auto settings = std::make_shared<QSettings>(QDir(outDir).filePath(QStringLiteral("print.ini")), QSettings::IniFormat);
    auto noDialogs = [](QDialog&) { return int(QDialog::Rejected); };

    // (a) and (b)
    std::vector<double> firstPage, held, paged;
    int pages = 0;
    for (int i = 0; i < runs; ++i) {
        const qint64 before = statusKb("VmRSS");
        QElapsedTimer t;
        t.start();
        printing::PrintPreview preview(fleet::shownList(view, title), dialogs, noDialogs, settings);
        preview.show();
        QWidget* sheet = preview.findChild<QWidget*>(QStringLiteral("pageSheet"));
        const QPixmap shot = sheet->grab(); // the first page painted, as the screen gets it
        firstPage.push_back(ms(t));
        held.push_back(static_cast<double>(statusKb("VmRSS") - before) / 1024.0);
        pages = preview.pages().pageCount();
        for (int k = 0; k < 20; ++k) {
            preview.nextPage();
            sheet->grab();
        }
        preview.showPage(pages - 1);
        sheet->grab();
        preview.showPage(0);
        sheet->grab();
        paged.push_back(static_cast<double>(statusKb("VmRSS") - before) / 1024.0);
        if (shot.isNull())
            return 2;
    }
    out << "(a) 打印 to first page shown: median " << QString::number(median(firstPage), 'f', 1) << " ms  ["
        << list(firstPage) << "]  (" << pages << " pages)\n";
    out << "(b) preview memory (VmRSS growth): opened [" << list(held) << "] MB, after 21 more pages painted ["
        << list(paged) << "] MB\n";
    out.flush();

    // (c) (d) (e): one run each, the files are large. The grid and the preview are shown, as the
    // user sees them.
    view.show();
    SaveTo saveTo;
    printing::PrintPreview preview(fleet::shownList(view, title), saveTo, noDialogs, settings);
    preview.show();
    { // their first paint is the opening's cost, not the commands'
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 500)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    const QString pdf = QDir(outDir).filePath(QStringLiteral("list.pdf"));
    const QString xlsx = QDir(outDir).filePath(QStringLiteral("list.xlsx"));
    const QString csv = QDir(outDir).filePath(QStringLiteral("list.csv"));
    bool ended = false, written = false;
    QObject::connect(&preview, &printing::PrintPreview::outputEnded, [&](bool w) {
        ended = true;
        written = w;
    });
    auto exportTo = [&](printing::ExportFormat format) {
        return [&, format] {
            printing::exportShownList(fleet::shownList(view, title), saveTo, format, &view, [&](bool w) {
                ended = true;
                written = w;
            });
        };
    };
    struct Job {
        const char* name;
        QString path;
        std::function<void()> start;
    };
    const std::vector<Job> jobs = {
        {"(c) PDF  ", pdf, [&] { preview.saveAsPdf(); }},
        {"(d) .xlsx", xlsx, exportTo(printing::ExportFormat::xlsx)},
        {"(e) CSV  ", csv, exportTo(printing::ExportFormat::csv)},
    };
    for (const Job& job : jobs) {
        saveTo.path = job.path;
        ended = written = false;
        const qint64 before = statusKb("VmRSS");
        resetPeak();
        QElapsedTimer t;
        t.start();
        const Hold hold = runInLoop(app, job.start, [&] { return ended; });
        const double took = ms(t);
        if (!written) {
            std::fprintf(stderr, "%s failed\n", job.name);
            return 2;
        }
        out << job.name << " of the whole list: " << QString::number(took / 1000.0, 'f', 2) << " s, "
            << QString::number(QFileInfo(job.path).size() / (1024.0 * 1024.0), 'f', 1) << " MB file, peak memory +"
            << QString::number(static_cast<double>(statusKb("VmHWM") - before) / 1024.0, 'f', 1)
            << " MB; event loop held at most " << QString::number(hold.longestEvent, 'f', 1) << " ms (longest event: " << hold.what << "), "
            << QString::number(hold.latestTick, 'f', 1) << " ms (latest 5 ms tick)\n";
        out.flush();
    }

    // (f)
    std::vector<double> snapshots;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const fleet::ShownList shown = fleet::shownList(view, title);
        snapshots.push_back(ms(t));
        if (shown.rowCount() != rows)
            return 2;
    }
    out << "(f) snapshot of the shown list on the window thread: median " << QString::number(median(snapshots), 'f', 3)
        << " ms\n";
    waitForAllJobs(60000);
    db::dbClose(state.dbConnection);
    mysql_library_end();
    return 0;
}
