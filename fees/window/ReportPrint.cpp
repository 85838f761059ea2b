#include "fees/window/ReportPrint.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

namespace fd::fees {
namespace {

    QFont printFont(double size, bool bold)
    {
        QFont f;
        f.setFamilies(
            { QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun") });
        f.setPixelSize(std::max(8, static_cast<int>(size)));
        f.setBold(bold);
        f.setHintingPreference(QFont::PreferNoHinting);
        return f;
    }

} // namespace

void paintReport(QPainter& painter, const QRectF& area, const QStringList& headers,
    const std::vector<ReportLine>& lines, const QList<double>& shares, const QList<int>& rightAligned,
    const QString& footer)
{
    painter.save();
    const int rows = static_cast<int>(lines.size()) + 1 + (footer.isEmpty() ? 0 : 2);
    const double rowHeight = std::min(60.0, area.height() / std::max(1, rows));
    const double fontSize = rowHeight * 0.47;
    double total = 0;
    for (double s : shares)
        total += s;
    QList<double> widths;
    for (int c = 0; c < headers.size(); ++c)
        widths << area.width() * (c < shares.size() && total > 0 ? shares[c] / total : 1.0 / headers.size());
    auto drawRow = [&](const QStringList& cells, double y, const QColor& background, bool bold) {
        painter.setFont(printFont(fontSize, bold));
        double x = area.left();
        for (int c = 0; c < widths.size(); ++c) {
            const QRectF cell(x, y, widths[c], rowHeight);
            painter.fillRect(cell, background);
            painter.setPen(QPen(QColor(96, 96, 96), 2));
            painter.drawRect(cell);
            painter.setPen(Qt::black);
            const Qt::Alignment align = Qt::AlignVCenter | (rightAligned.contains(c) ? Qt::AlignRight : Qt::AlignLeft);
            painter.drawText(
                cell.adjusted(10, 0, -10, 0), align | Qt::TextSingleLine, c < cells.size() ? cells[c] : QString());
            x += widths[c];
        }
    };
    double y = area.top();
    drawRow(headers, y, QColor(230, 230, 230), true);
    y += rowHeight;
    for (const ReportLine& line : lines) {
        drawRow(line.cells, y, line.kind == ReportLine::Total ? QColor(242, 242, 242) : QColor(Qt::white),
            line.kind != ReportLine::Line);
        y += rowHeight;
    }
    if (!footer.isEmpty()) {
        painter.setFont(printFont(fontSize, false));
        painter.setPen(Qt::black);
        painter.drawText(
            QRectF(area.left(), y + rowHeight, area.width(), rowHeight), Qt::AlignLeft | Qt::AlignVCenter, footer);
    }
    painter.restore();
}

} // namespace fd::fees
