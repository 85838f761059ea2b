// Times printing and exporting the full list against a database holding N generated vehicles:
//   (a) 打印 to the first page shown: the shown list taken from the grid, the preview laid out,
//       shown and its first page painted;
//   (b) the memory the preview holds, opened and after paging to the end and back;
//   (c) the PDF of the whole list; (d) the .xlsx; (e) the CSV.
//
//   print_bench [N] [--runs R] [--out DIR]   (settings from FLEETDESK_CONFIG, as the program reads them)
#include "bench/BenchSupport.h"
#include "common/AppState.h"
#include "common/DateTime.h"
#include "db/Cipher.h"
#include "db/Database.h"
#include "ui/Dialogs.h"
#include "vehicles/FleetList.h"
#include "vehicles/ListExport.h"
#include "vehicles/PrintPreview.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
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
    state.dbConnection = db::dbConnect(db::decipherSetting(s.dbHost, s.settingKeyA, s.xorMask),
        db::decipherSetting(s.dbUser, s.settingKeyB, s.xorMask), db::decipherSetting(s.dbPassword, s.settingKeyB, s.xorMask),
        QStringLiteral("yunsugongsi"), s.dbPort, &error);
    if (!state.dbConnection) {
        std::fprintf(stderr, "cannot connect: %s\n", qPrintable(error));
        return 2;
    }
    state.appTitle = QStringLiteral("路衡通挂靠运输公司车辆管理软件");
    state.loginDateTime = datetime::nowInSeconds();

    SilentDialogs dialogs;
    vehicles::FleetList fleet(state, dialogs);
    QTableView view;
    view.resize(858, 593);
    fleet.attachView(&view);
    fleet.loadAllVehicles();
    const int rows = fleet.gridRowCount() - 1;
    out << "vehicles in the grid: " << rows << (rows == expected ? "" : "  (expected " + QString::number(expected) + ")")
        << "\n";
    out.flush();
    const QString title = vehicles::listTitle(state.appTitle, state.loginDateTime);
    auto settings = std::make_shared<QSettings>(QDir(outDir).filePath(QStringLiteral("print.ini")), QSettings::IniFormat);
    auto noDialogs = [](QDialog&) { return int(QDialog::Rejected); };

    // (a) and (b)
    std::vector<double> firstPage, held, paged;
    int pages = 0;
    for (int i = 0; i < runs; ++i) {
        const qint64 before = statusKb("VmRSS");
        QElapsedTimer t;
        t.start();
        vehicles::PrintPreview preview(vehicles::shownList(view, title), dialogs, noDialogs, settings);
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

    // (c) (d) (e): one run each, the files are large.
    vehicles::PrintPreview preview(vehicles::shownList(view, title), dialogs, noDialogs, settings);
    const QString pdf = QDir(outDir).filePath(QStringLiteral("list.pdf"));
    const QString xlsx = QDir(outDir).filePath(QStringLiteral("list.xlsx"));
    const QString csv = QDir(outDir).filePath(QStringLiteral("list.csv"));
    const vehicles::ShownList shown = vehicles::shownList(view, title);
    struct Job {
        const char* name;
        QString path;
        std::function<bool(QString*)> run;
    };
    const std::vector<Job> jobs = {
        {"(c) PDF  ", pdf, [&](QString* e) { return vehicles::savePdf(preview.pages(), preview.printer().pageLayout(), pdf, e); }},
        {"(d) .xlsx", xlsx, [&](QString* e) { return vehicles::saveXlsx(shown, xlsx, e); }},
        {"(e) CSV  ", csv, [&](QString* e) { return vehicles::saveCsv(shown, csv, e); }},
    };
    for (const Job& job : jobs) {
        const qint64 before = statusKb("VmRSS");
        resetPeak();
        QElapsedTimer t;
        t.start();
        QString e;
        if (!job.run(&e)) {
            std::fprintf(stderr, "%s failed: %s\n", job.name, qPrintable(e));
            return 2;
        }
        out << job.name << " of the whole list: " << QString::number(ms(t) / 1000.0, 'f', 2) << " s, "
            << QString::number(QFileInfo(job.path).size() / (1024.0 * 1024.0), 'f', 1) << " MB file, peak memory +"
            << QString::number(static_cast<double>(statusKb("VmHWM") - before) / 1024.0, 'f', 1) << " MB\n";
        out.flush();
    }
    db::dbClose(state.dbConnection);
    mysql_library_end();
    return 0;
}
