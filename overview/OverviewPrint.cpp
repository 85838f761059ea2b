#include "overview/OverviewPrint.h"

#include "common/Money.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

namespace fd::overview {
namespace {

QFont printFont(int size, bool bold = false)
{
    QFont f;
    f.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun")});
    f.setPixelSize(size);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

const QColor kLine(96, 96, 96);
const QColor kHeader(230, 230, 230);

// The colours of a count cell: the band's own, as in the grid, for a cell that counts anything.
void cellColours(Column column, qint64 n, QColor& background, QColor& text)
{
    background = Qt::white;
    text = Qt::black;
    if (n <= 0)
        return;
    const vehicles::ExpiryBand band = column == Column::farAhead ? vehicles::ExpiryBand::farAhead
        : column == Column::dueNextMonth                      ? vehicles::ExpiryBand::dueNextMonth
        : column == Column::dueThisMonth                      ? vehicles::ExpiryBand::dueThisMonth
        : column == Column::expiredRecently                   ? vehicles::ExpiryBand::expiredRecently
                                                              : vehicles::ExpiryBand::expiredLong;
    background = vehicles::bandBackground(band, false);
    const QColor fg = vehicles::bandForeground(band);
    if (fg.isValid())
        text = fg;
}

} // namespace

void paintOverview(QPainter& painter, const QRectF& area, const Overview& o, bool withGone, const QImage& chart)
{
    painter.save();
    const QFont headerFont = printFont(28, true);
    const QFont cellFont = printFont(28);
    const double rowHeight = 60;
    const int columns = kColumns + 2; // document, six counts, total
    const double firstWidth = area.width() * 0.22;
    const double width = (area.width() - firstWidth) / (columns - 1);
    auto cellRect = [&](int c, double y) {
        return QRectF(c == 0 ? area.left() : area.left() + firstWidth + (c - 1) * width, y, c == 0 ? firstWidth : width, rowHeight);
    };
    auto drawCell = [&](const QRectF& r, const QString& text, const QColor& bg, const QColor& fg, Qt::Alignment align) {
        painter.fillRect(r, bg);
        painter.setPen(QPen(kLine, 2));
        painter.drawRect(r);
        painter.setPen(fg);
        painter.drawText(r.adjusted(8, 0, -8, 0), align | Qt::AlignVCenter | Qt::TextSingleLine, text);
    };

    double y = area.top();
    painter.setFont(headerFont);
    drawCell(cellRect(0, y), QStringLiteral("证件"), kHeader, Qt::black, Qt::AlignLeft);
    for (int c = 0; c < kColumns; ++c)
        drawCell(cellRect(c + 1, y), columnTitle(static_cast<Column>(c)), kHeader, Qt::black, Qt::AlignCenter);
    drawCell(cellRect(kColumns + 1, y), QStringLiteral("合计"), kHeader, Qt::black, Qt::AlignCenter);
    y += rowHeight;
    painter.setFont(cellFont);
    for (int f = 0; f < (withGone ? 2 : 1); ++f) {
        const Fleet fleet = static_cast<Fleet>(f);
        for (int d = 0; d < kDocuments; ++d, y += rowHeight) {
            drawCell(cellRect(0, y), documentTitle(d) + (f ? QStringLiteral("（转出/注销）") : QString()), Qt::white, Qt::black, Qt::AlignLeft);
            for (int c = 0; c < kColumns; ++c) {
                const qint64 n = o.count(fleet, d, static_cast<Column>(c));
                QColor bg, fg;
                cellColours(static_cast<Column>(c), n, bg, fg);
                drawCell(cellRect(c + 1, y), QString::number(n), bg, fg, Qt::AlignRight);
            }
            drawCell(cellRect(kColumns + 1, y), QString::number(o.rowTotal(fleet, d)), Qt::white, Qt::black, Qt::AlignRight);
        }
    }

    // The fee due per month closes the page; the chart takes the room between.
    const QString unreadable = unreadableFeesNote(o);
    const double feeHeight = (unreadable.isEmpty() ? 2 : 3) * rowHeight;
    y += rowHeight / 2;
    const QRectF chartArea(area.left(), y, area.width(), std::max(0.0, area.bottom() - feeHeight - rowHeight / 2 - y));
    if (!chart.isNull() && chartArea.height() > 0) {
        QSizeF size = chart.size();
        size.scale(chartArea.size(), Qt::KeepAspectRatio);
        const QRectF target(chartArea.left() + (chartArea.width() - size.width()) / 2, chartArea.top(), size.width(), size.height());
        painter.drawImage(target, chart);
    }
    y = area.bottom() - feeHeight;
    const double monthWidth = (area.width() - firstWidth) / kMonths;
    auto feeRect = [&](int k, double top) {
        return k < 0 ? QRectF(area.left(), top, firstWidth, rowHeight)
                     : QRectF(area.left() + firstWidth + k * monthWidth, top, monthWidth, rowHeight);
    };
    painter.setFont(printFont(22, true));
    drawCell(feeRect(-1, y), QStringLiteral("月份"), kHeader, Qt::black, Qt::AlignLeft);
    for (int k = 0; k < kMonths; ++k) {
        int year = 0, month = 0;
        o.month(k, year, month);
        drawCell(feeRect(k, y), QStringLiteral("%1-%2").arg(year % 100, 2, 10, QLatin1Char('0')).arg(month), kHeader, Qt::black, Qt::AlignCenter);
    }
    y += rowHeight;
    painter.setFont(printFont(22));
    drawCell(feeRect(-1, y), QStringLiteral("应收管理费"), Qt::white, Qt::black, Qt::AlignLeft);
    for (int k = 0; k < kMonths; ++k)
        drawCell(feeRect(k, y), money::formatFen(o.feeFen[k]), Qt::white, Qt::black, Qt::AlignRight);
    if (!unreadable.isEmpty()) {
        y += rowHeight;
        painter.setPen(Qt::black);
        painter.drawText(QRectF(area.left(), y, area.width(), rowHeight).adjusted(8, 0, -8, 0),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, unreadable);
    }
    painter.restore();
}

} // namespace fd::overview
