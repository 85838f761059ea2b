#include "overview/OverviewExport.h"

#include "common/Money.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <xlsxwriter.h>

namespace fd::overview {
namespace {

lxw_color_t rgb(const QColor& c)
{
    return static_cast<lxw_color_t>((c.red() << 16) | (c.green() << 8) | c.blue());
}

} // namespace

bool saveOverviewXlsx(const Overview& o, bool withGone, const QString& title, const QString& path, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("无法写入文件 %1：%2").arg(QDir::toNativeSeparators(path), why);
        return false;
    };
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    const QByteArray partName = QFile::encodeName(part);
    lxw_workbook* book = workbook_new(partName.constData());
    if (!book)
        return fail(QStringLiteral("无法创建文件"));
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    lxw_format* money2 = workbook_add_format(book);
    format_set_num_format(money2, "0.00");
    const QByteArray tableName = QStringLiteral("到期总览").toUtf8();
    const QByteArray forecastName = QStringLiteral("到期预测").toUtf8();
    auto put = [](lxw_worksheet* sheet, int row, int col, const QString& text, lxw_format* f = nullptr) {
        worksheet_write_string(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), text.toUtf8().constData(), f);
    };
    auto number = [](lxw_worksheet* sheet, int row, int col, double value) {
        worksheet_write_number(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), value, nullptr);
    };

    // The band table: a title line, the header, seven rows per fleet shown.
    lxw_worksheet* table = workbook_add_worksheet(book, tableName.constData());
    put(table, 0, 0, title, bold);
    put(table, 1, 0, QStringLiteral("证件"), bold);
    for (int c = 0; c < kColumns; ++c)
        put(table, 1, c + 1, columnTitle(static_cast<Column>(c)), bold);
    put(table, 1, kColumns + 1, QStringLiteral("合计"), bold);
    worksheet_set_column(table, 0, 0, 18, nullptr);
    worksheet_set_column(table, 1, kColumns + 1, 12, nullptr);
    int row = 2;
    for (int f = 0; f < (withGone ? 2 : 1); ++f) {
        const Fleet fleet = static_cast<Fleet>(f);
        for (int d = 0; d < kDocuments; ++d, ++row) {
            put(table, row, 0, documentTitle(d) + (f ? QStringLiteral("（转出/注销）") : QString()));
            for (int c = 0; c < kColumns; ++c)
                number(table, row, c + 1, static_cast<double>(o.count(fleet, d, static_cast<Column>(c))));
            number(table, row, kColumns + 1, static_cast<double>(o.rowTotal(fleet, d)));
        }
    }

    // The forecast: months down, documents across, the month's total and the fee due.
    lxw_worksheet* forecast = workbook_add_worksheet(book, forecastName.constData());
    put(forecast, 0, 0, QStringLiteral("月份"), bold);
    for (int d = 0; d < kDocuments; ++d)
        put(forecast, 0, d + 1, documentTitle(d), bold);
    put(forecast, 0, kDocuments + 1, QStringLiteral("合计"), bold);
    put(forecast, 0, kDocuments + 2, QStringLiteral("应收管理费"), bold);
    put(forecast, 0, kDocuments + 3, QStringLiteral("无法识别的金额"), bold);
    worksheet_set_column(forecast, 0, kDocuments + 3, 11, nullptr);
    for (int k = 0; k < kMonths; ++k) {
        put(forecast, k + 1, 0, o.monthTitle(k));
        for (int d = 0; d < kDocuments; ++d)
            number(forecast, k + 1, d + 1, static_cast<double>(o.forecast[k][d]));
        number(forecast, k + 1, kDocuments + 1, static_cast<double>(o.monthTotal(k)));
        // The sum as the screen shows it, two decimals, read back as a number by the spreadsheet.
        worksheet_write_number(forecast, static_cast<lxw_row_t>(k + 1), static_cast<lxw_col_t>(kDocuments + 2),
            money::formatFen(o.feeFen[k]).toDouble(), money2);
        number(forecast, k + 1, kDocuments + 3, static_cast<double>(o.feeUnreadable[k]));
    }
    lxw_chart* chart = workbook_add_chart(book, LXW_CHART_COLUMN_STACKED);
    for (int d = 0; d < kDocuments; ++d) {
        lxw_chart_series* series = chart_add_series(chart, nullptr, nullptr);
        chart_series_set_categories(series, forecastName.constData(), 1, 0, kMonths, 0);
        chart_series_set_values(series, forecastName.constData(), 1, static_cast<lxw_col_t>(d + 1), kMonths,
            static_cast<lxw_col_t>(d + 1));
        chart_series_set_name_range(series, forecastName.constData(), 0, static_cast<lxw_col_t>(d + 1));
        lxw_chart_fill fill {};
        fill.color = rgb(documentColour(d));
        chart_series_set_fill(series, &fill);
    }
    const QByteArray chartTitle = QStringLiteral("未来十二个月到期证件").toUtf8();
    chart_title_set_name(chart, chartTitle.constData());
    chart_legend_set_position(chart, LXW_CHART_LEGEND_BOTTOM);
    lxw_chart_options place {};
    place.x_scale = 2.0;
    place.y_scale = 1.5;
    worksheet_insert_chart_opt(forecast, static_cast<lxw_row_t>(kMonths + 3), 0, chart, &place);

    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR) {
        QFile::remove(part);
        return fail(QString::fromUtf8(lxw_strerror(closed)));
    }
    // The chosen name only for a whole file; rename replaces an older one in one step.
    if (std::rename(partName.constData(), QFile::encodeName(path).constData()) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(part);
        return fail(why);
    }
    return true;
}

} // namespace fd::overview
