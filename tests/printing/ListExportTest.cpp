// Export of the shown list: the CSV and the .xlsx read back (texts, rows, colours), texts that a
// spreadsheet would run as formulas, files that cannot be written, and a long export that runs
// while the window answers and stops without leaving a file.
#include "PrintFixture.h"

#include "common/Jobs.h"
#include "support/Wait.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTimer>

using namespace fd;
using namespace fd::test;

namespace {

// The rows as CSV (UTF-8 with its mark, CRLF): a field with a comma or a quote is quoted.
QByteArray csvOf(const QList<QStringList>& rows)
{
    QByteArray out("\xEF\xBB\xBF");
    for (const QStringList& row : rows) {
        QStringList fields;
        for (QString f : row)
            fields << (f.contains(u',') || f.contains(u'"') ? u'"' + f.replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"' : f);
        out += fields.join(u',').toUtf8() + "\r\n";
    }
    return out;
}

struct Cell {
    QString text;
    QColor fill, font; // invalid when none
};

// The cells of the workbook's one sheet, from its XML.
QList<QList<Cell>> readXlsx(const QString& path)
{
    auto part = [&](const char* name) { return QString::fromUtf8(runTool(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QString::fromLatin1(name)})); };
    auto all = [](const QString& pattern, const QString& text) { return QRegularExpression(pattern).globalMatch(text); };
    const QString styles = part("xl/styles.xml");
    // The colour of each fill and font, and the fill and font of each cell format.
    auto colours = [&](const QString& tag, const QString& colourTag) {
        QList<QColor> out;
        for (const QString& f : styles.section(QStringLiteral("<%1s").arg(tag), 1).section(QStringLiteral("</%1s>").arg(tag), 0, 0).split(QStringLiteral("<%1>").arg(tag)).mid(1)) {
            const QString rgb = QRegularExpression(colourTag + QStringLiteral(" rgb=\"\\w\\w(\\w+)\"")).match(f).captured(1);
            out << (rgb.isEmpty() ? QColor() : QColor(u'#' + rgb));
        }
        return out;
    };
    const QList<QColor> fills = colours(QStringLiteral("fill"), QStringLiteral("fgColor")), fonts = colours(QStringLiteral("font"), QStringLiteral("<color"));
    QList<Cell> formats;
    for (const auto& m : all(QStringLiteral("<xf [^>]*fontId=\"(\\d+)\" fillId=\"(\\d+)\""), styles.section(QStringLiteral("<cellXfs"), 1)))
        formats << Cell {QString(), fills.value(m.captured(2).toInt()), fonts.value(m.captured(1).toInt())};

    QList<QList<Cell>> rows;
    for (const auto& row : all(QStringLiteral("<row [^>]*>(.*?)</row>"), part("xl/worksheets/sheet1.xml"))) {
        QList<Cell> cells;
        for (const auto& c : all(QStringLiteral("<c r=\"([A-Z])\\d+\"(?: s=\"(\\d+)\")?[^>]*?(?:/>|>(?:<v>|<is><t[^>]*>)(.*?)<)"), row.captured(1))) {
            const int col = c.captured(1).at(0).unicode() - 'A';
            cells.resize(std::max<qsizetype>(cells.size(), col + 1));
            Cell& cell = cells[col];
            cell = formats.value(c.captured(2).toInt());
            cell.text = c.captured(3).replace(QLatin1String("&lt;"), QLatin1String("<")).replace(QLatin1String("&gt;"), QLatin1String(">"))
                            .replace(QLatin1String("&quot;"), QLatin1String("\"")).replace(QLatin1String("&amp;"), QLatin1String("&"));
        }
        rows << cells;
    }
    return rows;
}

class ListExportTest : public PrintFixture {};

TEST_F(ListExportTest, CsvAndWorkbookHoldExactlyTheShownList)
{
    insertBands(); // every band, black fills with white text among them
    const QString formulaOwner = QStringLiteral("=HYPERLINK(\"http://x\",\"a,b\")");
    insert({QStringLiteral("Q1"), QStringLiteral("豫A19999"), formulaOwner, QStringLiteral("1,2\"3"), allDates(std::nullopt)});
    const std::pair<const char*, std::function<void()>> cases[] = {{"full list", [this] { fleet->loadAllVehicles(); }},
        {"search", [this] { ASSERT_TRUE(fleet->searchVehicles(1, QStringLiteral("豫A1000"))); }},
        {"category", [this] { fleet->categoryHandler(3); }}};
    for (const auto& [name, show] : cases) {
        SCOPED_TRACE(name);
        show();
        ASSERT_TRUE(test::waitForList(*fleet));
        // The shown grid, the header first and the ID left out.
        QList<QStringList> expected(gridRows());
        for (int r = 0; r < gridRows(); ++r)
            for (int c = 1; c < fleet->model()->columnCount(); ++c)
                expected[r] << cell(r, c);
        // Named through the menu's command: the suffix is added to a bare name.
        dialogs.fileNames = {dir.filePath(QStringLiteral("list")), dir.filePath(QStringLiteral("list"))};
        ASSERT_TRUE(exportList(printing::ExportFormat::csv));
        ASSERT_TRUE(exportList(printing::ExportFormat::xlsx));

        const auto sheet = readXlsx(dir.filePath(QStringLiteral("list.xlsx")));
        ASSERT_EQ(sheet.size(), expected.size());
        for (int r = 0; r < expected.size(); ++r)
            for (int col = 0; col < expected[r].size(); ++col) {
                const Cell got = sheet[r].value(col);
                EXPECT_EQ(got.text, expected[r][col]) << r << "," << col;
                if (r > 0) {
                    EXPECT_EQ(got.fill, background(r, col + 1)) << r << "," << col;
                    EXPECT_TRUE(!foreground(r, col + 1).isValid() || got.font == foreground(r, col + 1)) << r << "," << col;
                }
            }

        // In the CSV the formula-like owner starts with an apostrophe; nothing else changes.
        const int owner = expected[0].indexOf(QStringLiteral("车主姓名"));
        for (QStringList& row : expected)
            if (owner >= 0 && row[owner] == formulaOwner)
                row[owner].prepend(u'\'');
        QFile csv(dir.filePath(QStringLiteral("list.csv")));
        ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(csv.readAll()), QString::fromUtf8(csvOf(expected)));
        dialogs.clear();
    }
}

TEST_F(ListExportTest, AFileThatCannotBeWrittenIsReportedAndLeavesNothingBehind)
{
    insertMany(400, QStringLiteral("豫G"), 50000, QStringLiteral("2016-07-09"));
    fleet->loadAllVehicles();
    ASSERT_TRUE(test::waitForList(*fleet));
    for (const auto format : {printing::ExportFormat::csv, printing::ExportFormat::xlsx}) {
        const QString suffix = format == printing::ExportFormat::csv ? QStringLiteral(".csv") : QStringLiteral(".xlsx");
        QFile old(dir.filePath(QStringLiteral("old") + suffix));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("earlier export") > 0);
        old.close();
        dialogs.clear();
        dialogs.fileNames = {dir.filePath(QStringLiteral("missing/list") + suffix), old.fileName()};
        EXPECT_FALSE(exportList(format));
        // The disk fills up part-way; libxlsxwriter does not report the rows it could not keep.
        withFileSizeLimit(8 * 1024, [&] { EXPECT_FALSE(exportList(format)) << suffix.toStdString(); });
        const QStringList errors = dialogs.messages();
        ASSERT_EQ(errors.size(), 2);
        EXPECT_TRUE(errors[0].contains(QStringLiteral("missing"))) << errors[0].toStdString();
        EXPECT_TRUE(errors[1].contains(QStringLiteral("old") + suffix)) << errors[1].toStdString();
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), QByteArray("earlier export"));
        old.close();
    }
    // Nothing else was left in the folder: no temporary files, no missing folder made.
    EXPECT_EQ(files(), (QStringList {QStringLiteral("old.csv"), QStringLiteral("old.xlsx")}));
}

TEST_F(ListExportTest, ALongExportLeavesTheWindowAnsweringAndStopsWithoutAFile)
{
    constexpr int kRows = 30000;
    insertSeries(kRows, QStringLiteral("豫K"), 10000, QStringLiteral("2016-07-09"));
    fleet->loadAllVehicles();
    ASSERT_TRUE(test::waitForList(*fleet));
    ASSERT_EQ(gridRows(), kRows + 1);
    view->show();

    // Written to its end: a timer of the window keeps firing meanwhile, and the progress dialog
    // over the window follows the rows.
    dialogs.fileNames = {dir.filePath(QStringLiteral("full.xlsx"))};
    QTimer tick;
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    int ticks = 0, progressSeen = 0;
    QPointer<ui::JobProgress> running;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
        ++ticks;
        if (running && running->value() > 0 && running->value() < kRows)
            progressSeen = running->value();
    });
    clock.start();
    tick.start(20);
    std::optional<bool> written;
    running = printing::exportShownList(shown(), dialogs, printing::ExportFormat::xlsx, view.get(), [&](bool w) { written = w; });
    ASSERT_TRUE(running);
    ASSERT_TRUE(QTest::qWaitFor([&] { return written.has_value(); }, 120000));
    const int ticksDuringExport = ticks;
    tick.stop();
    EXPECT_TRUE(*written);
    EXPECT_GE(ticksDuringExport, 3);
    EXPECT_LT(longest, 400) << "the window was held " << longest << " ms";
    EXPECT_GT(progressSeen, 0);
    EXPECT_EQ(runTool(QStringLiteral("unzip"), {QStringLiteral("-p"), dir.filePath(QStringLiteral("full.xlsx")), QStringLiteral("xl/worksheets/sheet1.xml")})
                  .count("<row "),
        kRows + 1);
    FD_WAIT_TRUE(running.isNull(), 5000); // the dialog went with the export

    // Stopped with 取消 part-way: no file made, the earlier file of that name as it was, no message.
    for (const auto format : {printing::ExportFormat::xlsx, printing::ExportFormat::csv}) {
        const QString name = format == printing::ExportFormat::xlsx ? QStringLiteral("old.xlsx") : QStringLiteral("old.csv");
        SCOPED_TRACE(name.toStdString());
        QFile old(dir.filePath(name));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("earlier export") > 0);
        old.close();
        dialogs.clear();
        dialogs.fileNames = {old.fileName()};
        bool finished = false;
        QPointer<ui::JobProgress> progress = printing::exportShownList(shown(), dialogs, format, view.get(), [&](bool) { finished = true; });
        // The CSV is quick: stopped at once, where the workbook is stopped once rows are written.
        ASSERT_TRUE(format == printing::ExportFormat::csv || progressReported(progress));
        progress->findChild<QPushButton*>()->click();
        EXPECT_TRUE(progress.isNull() || progress->isHidden());
        ASSERT_TRUE(JobLane::files().waitForDone(60000));
        QCoreApplication::processEvents();
        EXPECT_FALSE(finished);
        EXPECT_TRUE(dialogs.messages().isEmpty());
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), QByteArray("earlier export"));
        old.close();
    }
    EXPECT_EQ(files(), (QStringList {QStringLiteral("full.xlsx"), QStringLiteral("old.csv"), QStringLiteral("old.xlsx")}));
}

} // namespace
