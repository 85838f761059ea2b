// Importing 10 000 vehicles from an .xlsx in the 导入车辆 window: from opening the file until the
// preview and its counts are shown, the import itself, and the longest the window's event loop
// was held meanwhile (a 5 ms timer's largest gap). Needs FLEETDESK_CONFIG (the stack's settings).
#include "bench/BenchSupport.h"
#include "common/AppState.h"
#include "common/Jobs.h"
#include "common/Settings.h"
#include "import/window/ImportWindow.h"
#include "net/Endpoints.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <mysql.h>
#include <xlsxwriter.h>

using namespace fd;

namespace {

// Own headers, dates in several forms (date cells, texts), a few rows with problems.
void writeSheet(const QByteArray& path, int rows, int firstPlate)
{
    lxw_workbook* wb = workbook_new(path.constData());
    lxw_worksheet* ws = workbook_add_worksheet(wb, "车辆");
    lxw_format* date = workbook_add_format(wb);
    format_set_num_format(date, "yyyy\"年\"m\"月\"d\"日\"");
    const char* headers[] = {"序号", "号牌号码", "档案号", "车主", "手机", "行驶证到期", "营运证有效期", "保险到期", "状态", "备注"};
    for (int c = 0; c < 10; ++c)
        worksheet_write_string(ws, 0, static_cast<lxw_col_t>(c), headers[c], nullptr);
    for (int r = 1; r <= rows; ++r) {
        const auto row = static_cast<lxw_row_t>(r);
        const int n = firstPlate + r;
        worksheet_write_number(ws, row, 0, r, nullptr);
        const QByteArray plate = (r % 61 == 0 ? QStringLiteral("豫H%1").arg(n % 100) : QStringLiteral("豫H%1").arg(n, 5, 10, QLatin1Char('0'))).toUtf8();
        worksheet_write_string(ws, row, 1, plate.constData(), nullptr);
        worksheet_write_string(ws, row, 2, QByteArray("IM-" + QByteArray::number(n)).constData(), nullptr);
        worksheet_write_string(ws, row, 3, "车主某某", nullptr);
        worksheet_write_string(ws, row, 4, QByteArray("139 " + QByteArray::number(10000000 + n)).constData(), nullptr);
        if (r % 97 == 0)
            worksheet_write_string(ws, row, 5, "月底", nullptr);
        else
            worksheet_write_number(ws, row, 5, 43000 + r % 1000, date);
        worksheet_write_string(ws, row, 6, QByteArray("2021/" + QByteArray::number(1 + r % 12) + "/15").constData(), nullptr);
        worksheet_write_string(ws, row, 7, QByteArray("2022年" + QByteArray::number(1 + r % 12) + "月3日").constData(), nullptr);
        worksheet_write_string(ws, row, 8, "正常", nullptr);
        worksheet_write_string(ws, row, 9, "导入测试", nullptr);
    }
    workbook_close(wb);
}

} // namespace

int main(int argc, char** argv)
{
    mysql_library_init(0, nullptr, nullptr);
    int rc = 0;
    {
        QApplication app(argc, argv);
        const int rows = app.arguments().value(1, QStringLiteral("10000")).toInt();
        // A file of one's own instead of the generated one; IMPORT_SHOTS=DIR saves the window
        // after the preview, the import and the undo as PNG pictures there.
        const QString ownFile = app.arguments().value(2);
        const QString shots = qEnvironmentVariable("IMPORT_SHOTS");
        auto shoot = [&shots](QWidget& w, const char* name) {
            if (!shots.isEmpty())
                w.grab().save(shots + QStringLiteral("/import-%1.png").arg(QString::fromLatin1(name)));
        };
        Settings settings;
        if (!settings.load(Settings::defaultPath())) {
            std::fprintf(stderr, "no settings file: set FLEETDESK_CONFIG\n");
            return 2;
        }
        QString error;
        AppState state;
        state.dbConnection = db::Connection::open(net::endpointsOf(settings).database, &error);
        if (!state.dbConnection) {
            std::fprintf(stderr, "cannot connect: %s\n", qPrintable(error));
            return 2;
        }
        state.loginUser = QStringLiteral("bench");
        QTemporaryDir dir;
        const QByteArray path = dir.filePath(QStringLiteral("fleet.xlsx")).toUtf8();
        if (ownFile.isEmpty())
            writeSheet(path, rows, 50000);

        bench::SilentDialogs dialogs;
        import::ImportWindow window(state, dialogs);
        window.show();
        // The longest gap between the ticks, and the most processor time the window thread used
        // within one gap: a gap longer than that is time the machine gave to other threads.
        QElapsedTimer gap;
        double longest = 0, longestCpu = 0;
        qint64 lastCpu = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, &tick, [&] {
            const qint64 cpu = bench::threadCpuNs();
            longest = std::max(longest, bench::ms(gap));
            longestCpu = std::max(longestCpu, static_cast<double>(cpu - lastCpu) / 1e6);
            lastCpu = cpu;
            gap.restart();
        });
        QTest::qWait(100);
        gap.start();
        lastCpu = bench::threadCpuNs();
        tick.start();

        QElapsedTimer t;
        t.start();
        window.openFile(ownFile.isEmpty() ? QString::fromUtf8(path) : ownFile);
        if (!QTest::qWaitFor([&] { return window.idle(); }, 600000))
            std::fprintf(stderr, "the window did not finish\n");
        const double previewMs = bench::ms(t);
        const double previewHeld = longest;
        const double previewHeldCpu = longestCpu;
        if (auto* preview = window.findChild<QTableView*>(QStringLiteral("preview"))) {
            // The first refused row in sight, its problem cells marked.
            const QAbstractItemModel* model = preview->model();
            for (int r = 0; r < model->rowCount(); ++r) {
                if (model->index(r, 1).data().toString().startsWith(QStringLiteral("未导入"))) {
                    preview->scrollTo(model->index(r, 1), QAbstractItemView::PositionAtCenter);
                    break;
                }
            }
        }
        shoot(window, "preview");
        std::printf("rows: %d\npreview: %.0f ms (%s)\n", rows, previewMs, qPrintable(window.countsText()));

        longest = 0;
        longestCpu = 0;
        t.restart();
        QTest::mouseClick(window.findChild<QWidget*>(QStringLiteral("import")), Qt::LeftButton);
        if (!QTest::qWaitFor([&] { return window.idle(); }, 600000))
            std::fprintf(stderr, "the window did not finish\n");
        const double importMs = bench::ms(t);
        std::printf("import: %.0f ms (%s)\n", importMs, qPrintable(window.reportText().section(QLatin1Char('\n'), 0, 0)));
        shoot(window, "report");
        if (!shots.isEmpty()) {
            QTest::mouseClick(window.findChild<QWidget*>(QStringLiteral("undo")), Qt::LeftButton);
            if (!QTest::qWaitFor([&] { return window.idle(); }, 600000))
                std::fprintf(stderr, "the undo did not finish\n");
            shoot(window, "undo");
        }
        std::printf("event loop held at most: preview %.1f ms, import %.1f ms\n", previewHeld, longest);
        std::printf("window thread's processor time within one gap at most: preview %.1f ms, import %.1f ms\n",
            previewHeldCpu, longestCpu);
        tick.stop();
        waitForAllJobs(60000);
        rc = previewMs < 2000 && importMs < 15000 && std::max(previewHeld, longest) <= 50 ? 0 : 1;
    }
    mysql_library_end();
    return rc;
}
