// Export of the shown list: the CSV and the .xlsx read back (texts, rows, colours, widths), texts
// that a spreadsheet would run as formulas, and files that cannot be written.
#include "PrintFixture.h"

#include "vehicles/ExportCommand.h"
#include "vehicles/ListExport.h"

#include <QDir>
#include <QFile>
#include <QMap>

using namespace fd;
using namespace fd::test;

namespace {

// RFC 4180 reading: rows of fields.
QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"'))
                field += text[++i];
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                field += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return rows;
}

QString xmlText(QString s)
{
    return s.replace(QLatin1String("&lt;"), QLatin1String("<")).replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\"")).replace(QLatin1String("&amp;"), QLatin1String("&"));
}

struct Sheet {
    QList<QStringList> rows;           // cell texts (numbers as written)
    QList<QList<QColor>> fills;        // background of each cell, invalid when none
    QList<QList<QColor>> fonts;        // text colour of each cell, invalid when the default
    QList<double> widths;              // per column
};

QColor argb(const QString& s)
{
    return s.isEmpty() ? QColor() : QColor(QStringLiteral("#") + s.right(6));
}

// The one sheet of the workbook, from its XML.
Sheet readXlsx(const QString& path)
{
    const QString sheetXml = QString::fromUtf8(runTool(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("xl/worksheets/sheet1.xml")}));
    const QString styles = QString::fromUtf8(runTool(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("xl/styles.xml")}));
    QList<QColor> fillColours, fontColours;
    const QString fillsXml = styles.section(QStringLiteral("<fills"), 1).section(QStringLiteral("</fills>"), 0, 0);
    for (const QString& f : fillsXml.split(QStringLiteral("<fill>")).mid(1))
        fillColours << argb(QRegularExpression(QStringLiteral("fgColor rgb=\"(\\w+)\"")).match(f).captured(1));
    const QString fontsXml = styles.section(QStringLiteral("<fonts"), 1).section(QStringLiteral("</fonts>"), 0, 0);
    for (const QString& f : fontsXml.split(QStringLiteral("<font>")).mid(1))
        fontColours << argb(QRegularExpression(QStringLiteral("<color rgb=\"(\\w+)\"")).match(f).captured(1));
    QList<QPair<int, int>> xfs; // fill, font of each cell format
    const QString xfsXml = styles.section(QStringLiteral("<cellXfs"), 1).section(QStringLiteral("</cellXfs>"), 0, 0);
    for (const QRegularExpressionMatch& m : QRegularExpression(QStringLiteral("<xf [^>]*fontId=\"(\\d+)\" fillId=\"(\\d+)\"")).globalMatch(xfsXml))
        xfs << qMakePair(m.captured(2).toInt(), m.captured(1).toInt());

    Sheet sheet;
    for (const QRegularExpressionMatch& m : QRegularExpression(QStringLiteral("<col [^>]*width=\"([\\d.]+)\"")).globalMatch(sheetXml))
        sheet.widths << m.captured(1).toDouble();
    const QRegularExpression cellRe(QStringLiteral("<c r=\"([A-Z]+)\\d+\"(?: s=\"(\\d+)\")?(?: t=\"\\w+\")?(?:/>|>(.*?)</c>)"));
    for (const QRegularExpressionMatch& row : QRegularExpression(QStringLiteral("<row [^>]*>(.*?)</row>")).globalMatch(sheetXml)) {
        QStringList texts;
        QList<QColor> fills, fonts;
        for (const QRegularExpressionMatch& c : cellRe.globalMatch(row.captured(1))) {
            const int column = c.captured(1).at(0).unicode() - 'A';
            while (texts.size() <= column) {
                texts << QString();
                fills << QColor();
                fonts << QColor();
            }
            const QString body = c.captured(3);
            const QString t = QRegularExpression(QStringLiteral("<t[^>]*>(.*)</t>")).match(body).captured(1);
            texts[column] = xmlText(t.isEmpty() ? QRegularExpression(QStringLiteral("<v>(.*)</v>")).match(body).captured(1) : t);
            const int s = c.captured(2).isEmpty() ? 0 : c.captured(2).toInt();
            fills[column] = s < xfs.size() ? fillColours.value(xfs[s].first) : QColor();
            fonts[column] = s < xfs.size() ? fontColours.value(xfs[s].second) : QColor();
        }
        sheet.rows << texts;
        sheet.fills << fills;
        sheet.fonts << fonts;
    }
    return sheet;
}

class ListExportTest : public PrintFixture {
protected:
    // The shown grid as rows of texts, the header first, the ID left out.
    QList<QStringList> shownTexts() const
    {
        QList<QStringList> out;
        for (int r = 0; r < gridRows(); ++r) {
            QStringList row;
            for (int c = 1; c < fleet->model()->columnCount(); ++c)
                row << cell(r, c);
            out << row;
        }
        return out;
    }
};

TEST_F(ListExportTest, CsvAndWorkbookHoldExactlyTheShownList)
{
    insertBands();
    const QString formulaOwner = QStringLiteral("=HYPERLINK(\"http://x\",\"a,b\")");
    insert({QStringLiteral("Q1"), QStringLiteral("豫A19999"), formulaOwner, QStringLiteral("1,2\"3"), allDates(std::nullopt)});
    struct Case {
        const char* name;
        std::function<void()> show;
    };
    const std::vector<Case> cases = {{"full list", [this] { fleet->loadAllVehicles(); }},
        {"search", [this] { ASSERT_TRUE(fleet->searchVehicles(1, QStringLiteral("豫A1000"))); }},
        {"category", [this] { fleet->categoryHandler(3); }}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.show();
        QList<QStringList> expected = shownTexts();
        const int owner = expected[0].indexOf(QStringLiteral("车主姓名"));
        // Named through the menu's command: the suffix is added to a bare name.
        dialogs.fileNames = {dir.filePath(QStringLiteral("list")), dir.filePath(QStringLiteral("list"))};
        ASSERT_TRUE(vehicles::exportShownList(shown(), dialogs, vehicles::ExportFormat::csv));
        ASSERT_TRUE(vehicles::exportShownList(shown(), dialogs, vehicles::ExportFormat::xlsx));

        QFile csvFile(dir.filePath(QStringLiteral("list.csv")));
        ASSERT_TRUE(csvFile.open(QIODevice::ReadOnly));
        const QByteArray csv = csvFile.readAll();
        EXPECT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
        QList<QStringList> csvRows = parseCsv(QString::fromUtf8(csv.mid(3)));
        // The formula-like owner is written with a leading apostrophe and nothing else changes.
        for (QStringList& row : csvRows)
            if (row.value(owner) == QLatin1Char('\'') + formulaOwner)
                row[owner] = formulaOwner;
        EXPECT_EQ(csvRows, expected);

        const Sheet sheet = readXlsx(dir.filePath(QStringLiteral("list.xlsx")));
        ASSERT_EQ(sheet.rows.size(), expected.size());
        for (int r = 0; r < expected.size(); ++r) {
            QStringList row = sheet.rows[r];
            while (row.size() < expected[r].size())
                row << QString();
            EXPECT_EQ(row, expected[r]) << r;
            for (int col = 0; r > 0 && col < expected[r].size(); ++col) {
                const QModelIndex index = fleet->model()->index(r - 1, col + 1);
                EXPECT_EQ(sheet.fills[r].value(col), index.data(Qt::BackgroundRole).value<QColor>()) << r << "," << col;
                const QColor text = index.data(Qt::ForegroundRole).value<QColor>();
                if (text.isValid()) {
                    EXPECT_EQ(sheet.fonts[r].value(col), text) << r << "," << col;
                }
            }
        }
        ASSERT_EQ(sheet.widths.size(), expected[0].size());
        EXPECT_LT(sheet.widths[0], sheet.widths[1]); // 序号 narrow, as on screen
        dialogs.clear();
    }
}

TEST_F(ListExportTest, AFileThatCannotBeWrittenIsReportedAndLeavesNothingBehind)
{
    for (int i = 0; i < 400; ++i)
        insert({QStringLiteral("X%1").arg(i), QStringLiteral("豫G%1").arg(50000 + i), QStringLiteral("车主%1").arg(i),
            QStringLiteral("13500000000"), allDates(QStringLiteral("2016-07-09"))});
    fleet->loadAllVehicles();
    for (const auto format : {vehicles::ExportFormat::csv, vehicles::ExportFormat::xlsx}) {
        const QString suffix = format == vehicles::ExportFormat::csv ? QStringLiteral(".csv") : QStringLiteral(".xlsx");
        const QString target = dir.filePath(QStringLiteral("old") + suffix);
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("earlier export");
        old.close();

        dialogs.clear();
        dialogs.fileNames = {dir.filePath(QStringLiteral("missing/list") + suffix), target};
        EXPECT_FALSE(vehicles::exportShownList(shown(), dialogs, format));
        {
            FileSizeLimit limit(8 * 1024); // the disk fills up part-way
            EXPECT_FALSE(vehicles::exportShownList(shown(), dialogs, format)) << suffix.toStdString();
        }
        const QStringList errors = [&] {
            QStringList out;
            for (const auto& s : dialogs.shown)
                if (s.kind == QLatin1String("error") && s.caption == QStringLiteral("错误"))
                    out << s.text;
            return out;
        }();
        ASSERT_EQ(errors.size(), 2);
        EXPECT_TRUE(errors[0].contains(QStringLiteral("missing"))) << errors[0].toStdString();
        EXPECT_TRUE(errors[1].contains(QStringLiteral("old") + suffix)) << errors[1].toStdString();
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), QByteArray("earlier export"));
        old.close();
    }
    // Nothing else was left in the folder: no temporary files, no missing folder made.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        (QStringList {QStringLiteral("old.csv"), QStringLiteral("old.xlsx")}));
}

} // namespace
