#include "fees/TableXlsx.h"

#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <memory>
#include <xlsxwriter.h>

namespace fd::fees {
namespace {

    QString cannotWrite(const QString& path, const QString& why)
    {
        return QStringLiteral("无法写入文件 %1：%2").arg(path, why);
    }

} // namespace

bool saveTableXlsx(const XlsxTable& table, const QString& path, QString* error)
{
    // libxlsxwriter writes to a name of its own: the workbook is made in a private folder, then
    // copied to the chosen name through a QSaveFile.
    QTemporaryDir work;
    if (!work.isValid()) {
        if (error)
            *error = cannotWrite(path, work.errorString());
        return false;
    }
    const QString tempPath = work.filePath(QStringLiteral("table.xlsx"));
    const QByteArray tempName = QFile::encodeName(tempPath);
    const QByteArray tempDir = QFile::encodeName(work.path());
    lxw_workbook_options options {};
    options.tmpdir = const_cast<char*>(tempDir.constData());
    lxw_workbook* book = workbook_new_opt(tempName.constData(), &options);
    lxw_worksheet* sheet = book ? workbook_add_worksheet(book, nullptr) : nullptr;
    if (!sheet) {
        if (book)
            workbook_close(book);
        if (error)
            *error = cannotWrite(path, QStringLiteral("无法建立工作簿"));
        return false;
    }
    auto format = [&](bool bold, bool right, bool red, bool border) {
        lxw_format* f = workbook_add_format(book);
        if (bold)
            format_set_bold(f);
        if (right)
            format_set_align(f, LXW_ALIGN_RIGHT);
        if (red)
            format_set_font_color(f, 0xC00000);
        if (border)
            format_set_border(f, LXW_BORDER_THIN);
        return f;
    };
    // [bold][right][red]
    lxw_format* formats[2][2][2];
    for (int b = 0; b < 2; ++b)
        for (int r = 0; r < 2; ++r)
            for (int d = 0; d < 2; ++d)
                formats[b][r][d] = format(b, r, d, true);
    lxw_format* titleFormat = format(true, false, false, false);
    lxw_format* headerFormat = format(true, false, false, true);
    format_set_bg_color(headerFormat, 0xE6E6E6);

    lxw_error failed = worksheet_write_string(sheet, 0, 0, table.title.toUtf8().constData(), titleFormat);
    const int columns = static_cast<int>(table.headers.size());
    for (int c = 0; c < columns && !failed; ++c) {
        const auto col = static_cast<lxw_col_t>(c);
        failed = worksheet_set_column(sheet, col, col, c < table.widths.size() ? table.widths[c] : 12, nullptr);
        if (!failed)
            failed = worksheet_write_string(sheet, 1, col, table.headers[c].toUtf8().constData(), headerFormat);
    }
    worksheet_freeze_panes(sheet, 2, 0);
    lxw_row_t row = 2;
    for (const XlsxTable::Row& r : table.rows) {
        for (int c = 0; c < columns && !failed; ++c) {
            const QString text = c < r.cells.size() ? r.cells[c] : QString();
            const auto col = static_cast<lxw_col_t>(c);
            lxw_format* f = formats[r.bold][table.rightAligned.contains(c)][r.red];
            bool isNumber = false;
            const qint64 n = table.numbers.contains(c) ? text.toLongLong(&isNumber) : 0;
            if (text.isEmpty())
                failed = worksheet_write_blank(sheet, row, col, f);
            else if (isNumber)
                failed = worksheet_write_number(sheet, row, col, static_cast<double>(n), f);
            else
                failed = worksheet_write_string(sheet, row, col, text.toUtf8().constData(), f);
        }
        ++row;
    }
    const lxw_error closed = workbook_close(book);
    if (failed || closed) {
        if (error)
            *error = cannotWrite(path, QString::fromUtf8(lxw_strerror(failed ? failed : closed)));
        return false;
    }
    QFile in(tempPath);
    QSaveFile out(path);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly) || out.write(in.readAll()) != in.size()
        || !out.commit()) {
        if (error)
            *error = cannotWrite(path, out.errorString());
        return false;
    }
    return true;
}

} // namespace fd::fees
