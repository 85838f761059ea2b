#include "printing/ListExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QTemporaryDir>
#include <memory>
#include <xlsxwriter.h>
#include <zlib.h>

namespace fd::printing {
namespace {

QString cannotWrite(const QString& path, const QString& why)
{
    return QStringLiteral("无法写入文件 %1：%2").arg(QDir::toNativeSeparators(path), why);
}

QByteArray csvField(const QString& text)
{
    QString t = text;
    if (!t.isEmpty() && (t[0] == QLatin1Char('=') || t[0] == QLatin1Char('+') || t[0] == QLatin1Char('-') || t[0] == QLatin1Char('@')))
        t.prepend(QLatin1Char('\''));
    if (t.contains(QLatin1Char(',')) || t.contains(QLatin1Char('"')) || t.contains(QLatin1Char('\n')) || t.contains(QLatin1Char('\r'))) {
        t.replace(QLatin1String("\""), QLatin1String("\"\""));
        t = QLatin1Char('"') + t + QLatin1Char('"');
    }
    return t.toUtf8();
}

// Rows between two reports of progress.
constexpr int kReportEvery = 512;

// Tells the progress every kReportEvery rows and at the end; false when it asks to stop.
bool tell(const RowProgress& progress, qint64 done, qint64 total)
{
    return !progress || (done % kReportEvery != 0 && done != total) || progress(done, total);
}

// A stop asked by the progress: nothing written, no error.
bool stopped(QSaveFile* file, QString* error)
{
    if (file)
        file->cancelWriting();
    if (error)
        error->clear();
    return false;
}

// Commits what was written into a QSaveFile; the target keeps its old content on failure.
bool commit(QSaveFile& file, bool written, const QString& path, QString* error)
{
    if (written && file.commit())
        return true;
    const QString why = file.errorString();
    file.cancelWriting();
    if (error)
        *error = cannotWrite(path, why);
    return false;
}

struct WorkbookDeleter {
    void operator()(lxw_workbook* wb) const
    {
        // Closing writes the file; a workbook that is given up is closed into its temporary folder.
        workbook_close(wb);
    }
};

lxw_color_t rgb(const QColor& c)
{
    const auto value = static_cast<lxw_color_t>((c.red() << 16) | (c.green() << 8) | c.blue());
    // 0 means "no colour" to the library; black has a value of its own.
    return value == 0 ? static_cast<lxw_color_t>(LXW_COLOR_BLACK) : value;
}

// Excel column width in characters for a width in screen pixels (7 pixels a character, 5 of padding).
double excelWidth(int pixels)
{
    return std::max(0.0, (pixels - 5) / 7.0);
}

quint32 le32(const QByteArray& b, qsizetype at)
{
    if (at < 0 || at + 4 > b.size())
        return 0;
    const auto* p = reinterpret_cast<const uchar*>(b.constData() + at);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 le16(const QByteArray& b, qsizetype at)
{
    if (at < 0 || at + 2 > b.size())
        return 0;
    const auto* p = reinterpret_cast<const uchar*>(b.constData() + at);
    return static_cast<quint16>(p[0] | p[1] << 8);
}

// The number of <row> elements in the first sheet of a finished workbook, or -1 when it cannot be
// read. libxlsxwriter keeps the rows of a long sheet in a temporary file whose write errors it does
// not report: a full disk there gives a valid workbook that lacks rows. Counting them back is the
// only sure check.
qint64 sheetRows(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray zip = file.readAll();
    const qsizetype end = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0)
        return -1;
    const quint16 entries = le16(zip, end + 10);
    qsizetype at = le32(zip, end + 16);
    for (int i = 0; i < entries && le32(zip, at) == 0x02014b50; ++i) {
        const quint16 method = le16(zip, at + 10);
        const quint32 packed = le32(zip, at + 20);
        const quint16 nameLength = le16(zip, at + 28);
        const qsizetype next = at + 46 + nameLength + le16(zip, at + 30) + le16(zip, at + 32);
        const QByteArray name = zip.mid(at + 46, nameLength);
        const qsizetype local = le32(zip, at + 42);
        if (name != "xl/worksheets/sheet1.xml") {
            at = next;
            continue;
        }
        const qsizetype data = local + 30 + le16(zip, local + 26) + le16(zip, local + 28);
        if (method != Z_DEFLATED || data + packed > zip.size())
            return -1;
        z_stream z {};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            return -1;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.constData() + data));
        z.avail_in = packed;
        QByteArray chunk(1 << 16, Qt::Uninitialized);
        QByteArray tail; // the end of the previous chunk, for a tag cut in two
        qint64 rows = 0;
        int rc = Z_OK;
        while (rc == Z_OK) {
            z.next_out = reinterpret_cast<Bytef*>(chunk.data());
            z.avail_out = static_cast<uInt>(chunk.size());
            rc = inflate(&z, Z_NO_FLUSH);
            const QByteArray text = tail + chunk.left(chunk.size() - static_cast<qsizetype>(z.avail_out));
            for (qsizetype p = text.indexOf("<row "); p >= 0; p = text.indexOf("<row ", p + 1))
                ++rows;
            // Keep the last four bytes: a "<row " split over two chunks is counted once, in the next.
            const qsizetype keep = std::min<qsizetype>(4, text.size());
            tail = text.right(keep);
        }
        inflateEnd(&z);
        return rc == Z_STREAM_END ? rows : -1;
    }
    return -1;
}

} // namespace

bool writeCsv(const fleet::ShownList& list, QIODevice& out, const RowProgress& progress)
{
    QByteArray line("\xEF\xBB\xBF");
    const int columns = list.columnCount();
    for (int c = 0; c < columns; ++c) {
        if (c > 0)
            line += ',';
        line += csvField(list.header(c));
    }
    line += "\r\n";
    if (out.write(line) != line.size())
        return false;
    const int rows = list.rowCount();
    for (int r = 0; r < rows; ++r) {
        line.clear();
        for (int c = 0; c < columns; ++c) {
            if (c > 0)
                line += ',';
            line += csvField(list.text(r, c));
        }
        line += "\r\n";
        if (out.write(line) != line.size() || !tell(progress, r + 1, rows))
            return false;
    }
    return true;
}

bool saveCsv(const fleet::ShownList& list, const QString& path, QString* error, const RowProgress& progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = cannotWrite(path, file.errorString());
        return false;
    }
    bool stop = false;
    const bool written = writeCsv(list, file, [&](qint64 done, qint64 total) {
        stop = progress && !progress(done, total);
        return !stop;
    });
    if (stop)
        return stopped(&file, error);
    return commit(file, written, path, error);
}

bool saveXlsx(const fleet::ShownList& list, const QString& path, QString* error, const RowProgress& progress)
{
    // libxlsxwriter writes to a file name of its own: the workbook is made in a private temporary
    // folder and then copied to the chosen name through a QSaveFile.
    QTemporaryDir work;
    if (!work.isValid()) {
        if (error)
            *error = cannotWrite(path, work.errorString());
        return false;
    }
    const QByteArray tempName = QFile::encodeName(work.filePath(QStringLiteral("list.xlsx")));
    const QByteArray tempDir = QFile::encodeName(work.path());
    lxw_workbook_options options {};
    options.constant_memory = LXW_TRUE; // rows go straight to disk: memory stays flat on long lists
    options.tmpdir = const_cast<char*>(tempDir.constData());
    std::unique_ptr<lxw_workbook, WorkbookDeleter> workbook(workbook_new_opt(tempName.constData(), &options));
    lxw_worksheet* sheet = workbook ? workbook_add_worksheet(workbook.get(), nullptr) : nullptr;
    if (!sheet) {
        if (error)
            *error = cannotWrite(path, QStringLiteral("无法建立工作簿"));
        return false;
    }

    lxw_format* headerFormat = workbook_add_format(workbook.get());
    format_set_bold(headerFormat);
    format_set_bg_color(headerFormat, 0xE6E6E6);
    format_set_border(headerFormat, LXW_BORDER_THIN);
    lxw_format* plain = workbook_add_format(workbook.get());
    format_set_border(plain, LXW_BORDER_THIN);
    // One format per colour pair, made the first time a cell needs it.
    QHash<quint64, lxw_format*> colourFormats;
    auto formatFor = [&](const QColor& background, const QColor& foreground) -> lxw_format* {
        if (!background.isValid() && !foreground.isValid())
            return plain;
        const quint64 key = (quint64(background.isValid() ? rgb(background) | 0x1000000u : 0) << 32)
            | (foreground.isValid() ? rgb(foreground) | 0x1000000u : 0);
        lxw_format*& f = colourFormats[key];
        if (!f) {
            f = workbook_add_format(workbook.get());
            format_set_border(f, LXW_BORDER_THIN);
            if (background.isValid()) {
                format_set_pattern(f, LXW_PATTERN_SOLID);
                format_set_bg_color(f, rgb(background));
            }
            if (foreground.isValid())
                format_set_font_color(f, rgb(foreground));
        }
        return f;
    };

    const int columns = list.columnCount();
    lxw_error failed = LXW_NO_ERROR;
    for (int c = 0; c < columns && !failed; ++c) {
        failed = worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
            excelWidth(list.columns[c].width), nullptr);
        if (!failed)
            failed = worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), list.header(c).toUtf8().constData(), headerFormat);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    // The row numbers stay numbers, so that the sheet sorts back into the list's order.
    QList<bool> numbered;
    for (int c = 0; c < columns; ++c)
        numbered.append(list.header(c) == QStringLiteral("序号"));
    const int rows = list.rowCount();
    bool stop = false;
    for (int r = 0; r < rows && !failed; ++r) {
        if ((stop = !tell(progress, r, rows)))
            break;
        const auto row = static_cast<lxw_row_t>(r + 1);
        for (int c = 0; c < columns && !failed; ++c) {
            const QString text = list.text(r, c);
            lxw_format* format = formatFor(list.background(r, c), list.foreground(r, c));
            const auto col = static_cast<lxw_col_t>(c);
            bool isNumber = false;
            const qint64 number = numbered[c] ? text.toLongLong(&isNumber) : 0;
            if (text.isEmpty())
                failed = format == plain ? LXW_NO_ERROR : worksheet_write_blank(sheet, row, col, format);
            else if (isNumber)
                failed = worksheet_write_number(sheet, row, col, static_cast<double>(number), format);
            else
                failed = worksheet_write_string(sheet, row, col, text.toUtf8().constData(), format);
        }
    }
    lxw_workbook* wb = workbook.release();
    const lxw_error closed = workbook_close(wb);
    // The last report comes once the workbook is closed: closing it zips every row.
    if (stop || !tell(progress, rows, rows))
        return stopped(nullptr, error);
    if (failed || closed) {
        if (error)
            *error = cannotWrite(path, QString::fromUtf8(lxw_strerror(failed ? failed : closed)));
        return false;
    }

    if (sheetRows(work.filePath(QStringLiteral("list.xlsx"))) != qint64(rows) + 1) {
        if (error)
            *error = cannotWrite(path, QStringLiteral("临时文件写入失败，磁盘可能已满"));
        return false;
    }

    QFile made(work.filePath(QStringLiteral("list.xlsx")));
    QSaveFile file(path);
    if (!made.open(QIODevice::ReadOnly) || !file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = cannotWrite(path, made.isOpen() ? file.errorString() : made.errorString());
        return false;
    }
    bool written = true;
    while (written && !made.atEnd()) {
        if (progress && !progress(rows, rows))
            return stopped(&file, error);
        const QByteArray chunk = made.read(1 << 20);
        written = !chunk.isEmpty() && file.write(chunk) == chunk.size();
    }
    if (progress && !progress(rows, rows))
        return stopped(&file, error);
    return commit(file, written, path, error);
}

} // namespace fd::printing
