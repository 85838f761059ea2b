#include "printing/PrintLayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace fd::printing {
namespace {

constexpr double kPadding = 8;    // text inset from the cell border
constexpr double kLineWidth = 2;  // grid lines, 0.2 mm
const QColor kHeaderBackground(230, 230, 230);
const QColor kLineColour(96, 96, 96);

QFont printFont(int pixelSize, bool bold = false)
{
    QFont f;
    // Faces whose Chinese glyphs keep their text in the PDF; the first one found is used.
    f.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun")});
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    // Lengths are tenths of a millimetre on every device: no hinting to screen pixels.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

double lineHeight(const QFont& font)
{
    return std::ceil(QFontMetricsF(font).height());
}

} // namespace

PrintLayout::PrintLayout(fleet::ShownList list, QSizeF paper, const PrintMargins& margins)
    : m_list(std::move(list))
    , m_paper(paper)
    , m_margins(margins)
    , m_titleFont(printFont(40, true))
    , m_headerFont(printFont(30, true))
    , m_cellFont(printFont(30))
    , m_footerFont(printFont(28))
{
    m_titleZone = std::max<double>(margins.header, lineHeight(m_titleFont));
    m_footerZone = std::max<double>(margins.footer, lineHeight(m_footerFont));

    // A header text wider than its column wraps onto a second line.
    const QFontMetricsF headerMetrics(m_headerFont);
    int headerLines = 1;
    for (int c = 0; c < m_list.columnCount(); ++c) {
        const double width = m_list.columns[c].width * kUnitsPerPixel;
        m_widths.append(width);
        if (headerMetrics.horizontalAdvance(m_list.header(c)) > width - 2 * kPadding)
            headerLines = 2;
    }
    m_headerHeight = kRowHeight * headerLines;

    // At least one row and one column on every page, however wide the margins: the list is never
    // left out of the pages.
    const double body = paper.height() - margins.top - margins.bottom - m_titleZone - m_footerZone - m_headerHeight - margins.gap;
    m_rowsPerPage = std::max(1, static_cast<int>(std::floor(body / kRowHeight + 1e-9)));
    const int rows = m_list.rowCount();
    m_rowPages = std::max(1, (rows + m_rowsPerPage - 1) / m_rowsPerPage);

    const double width = paper.width() - margins.left - margins.right;
    const int columns = m_list.columnCount();
    // The columns by which a reader matches a continuation page's rows to the first page's.
    QList<int> keys;
    for (int c = 0; c < columns; ++c)
        if (m_list.header(c) == QStringLiteral("序号") || m_list.header(c) == QStringLiteral("车牌号"))
            keys.append(c);
    int next = 0;
    do {
        QList<int> group;
        double used = 0;
        // Continuation pages repeat the key columns already printed, when they leave room for
        // the next column.
        if (next > 0) {
            QList<int> repeat;
            double keyWidth = 0;
            for (int c : keys)
                if (c < next) {
                    repeat.append(c);
                    keyWidth += m_widths[c];
                }
            if (keyWidth + m_widths[next] <= width + 1e-9) {
                group = repeat;
                used = keyWidth;
            }
        }
        const qsizetype repeated = group.size();
        while (next < columns) {
            const bool fits = used + m_widths[next] <= width + 1e-9;
            if (!fits && group.size() > repeated)
                break;
            used += m_widths[next];
            group.append(next++);
            if (!fits) // a column wider than the page has a page of its own
                break;
        }
        m_columnPages.append(group);
    } while (next < columns);
}

PrintLayout::Page PrintLayout::page(int index) const
{
    Page p;
    const int across = columnPages();
    if (index < 0 || index >= pageCount())
        return p;
    const int rowPage = index / across;
    p.columns = m_columnPages[index % across];
    p.firstRow = rowPage * m_rowsPerPage;
    p.rowCount = std::clamp(m_list.rowCount() - p.firstRow, 0, m_rowsPerPage);
    return p;
}

void PrintLayout::paint(QPainter& painter, int index) const
{
    const Page p = page(index);
    if (index < 0 || index >= pageCount())
        return;
    if (m_list.drawing) {
        paintDrawing(painter);
        return;
    }
    painter.save();
    const double left = m_margins.left;
    const double contentWidth = std::max(1.0, m_paper.width() - m_margins.left - m_margins.right);

    painter.setPen(Qt::black);
    painter.setFont(m_titleFont);
    const QRectF titleRect(left, m_margins.top, contentWidth, m_titleZone);
    painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        QFontMetricsF(m_titleFont).elidedText(m_list.title, Qt::ElideRight, contentWidth));

    const QPen line(kLineColour, kLineWidth);
    double y = m_margins.top + m_titleZone;
    double x = left;
    painter.setFont(m_headerFont);
    for (int c : p.columns) {
        const QRectF cell(x, y, m_widths[c], m_headerHeight);
        painter.fillRect(cell, kHeaderBackground);
        painter.setPen(line);
        painter.drawRect(cell);
        painter.setPen(Qt::black);
        painter.drawText(cell.adjusted(kPadding / 2, 0, -kPadding / 2, 0), Qt::AlignCenter | Qt::TextWrapAnywhere, m_list.header(c));
        x += m_widths[c];
    }
    y += m_headerHeight + m_margins.gap;

    painter.setFont(m_cellFont);
    const QFontMetricsF metrics(m_cellFont);
    for (int r = p.firstRow; r < p.firstRow + p.rowCount; ++r) {
        x = left;
        for (int c : p.columns) {
            const QRectF cell(x, y, m_widths[c], kRowHeight);
            const QColor background = m_list.background(r, c);
            if (background.isValid())
                painter.fillRect(cell, background);
            painter.setPen(line);
            painter.drawRect(cell);
            const QColor foreground = m_list.foreground(r, c);
            painter.setPen(foreground.isValid() ? foreground : QColor(Qt::black));
            const QRectF inner = cell.adjusted(kPadding, 0, -kPadding, 0);
            painter.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                metrics.elidedText(m_list.text(r, c), Qt::ElideRight, inner.width()));
            x += m_widths[c];
        }
        y += kRowHeight;
    }

    painter.setPen(Qt::black);
    painter.setFont(m_footerFont);
    const QRectF footerRect(left, m_paper.height() - m_margins.bottom - m_footerZone, contentWidth, m_footerZone);
    painter.drawText(footerRect, Qt::AlignCenter | Qt::TextSingleLine,
        QStringLiteral("第 %1 页 / 共 %2 页").arg(index + 1).arg(pageCount()));
    painter.restore();
}

void PrintLayout::paintDrawing(QPainter& painter) const
{
    painter.save();
    const double left = m_margins.left;
    const double contentWidth = std::max(1.0, m_paper.width() - m_margins.left - m_margins.right);
    painter.setPen(Qt::black);
    painter.setFont(m_titleFont);
    painter.drawText(QRectF(left, m_margins.top, contentWidth, m_titleZone), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        QFontMetricsF(m_titleFont).elidedText(m_list.title, Qt::ElideRight, contentWidth));
    const double top = m_margins.top + m_titleZone + m_margins.gap;
    const double bottom = m_paper.height() - m_margins.bottom - m_footerZone;
    m_list.drawing(painter, QRectF(left, top, contentWidth, std::max(1.0, bottom - top)));
    painter.restore();
}

} // namespace fd::printing

#include <QDir>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPdfWriter>
#include <QSaveFile>

namespace fd::printing {

bool renderPages(QPainter& painter, QPagedPaintDevice& device, int dpi, const PrintLayout& layout,
    const PageProgress& progress)
{
    const double scale = dpi / 254.0;
    const int total = layout.pageCount();
    for (int i = 0; i < total; ++i) {
        if (i > 0 && !device.newPage())
            return false;
        painter.save();
        painter.scale(scale, scale);
        layout.paint(painter, i);
        painter.restore();
        if (!painter.isActive())
            return false;
        if (progress && !progress(i + 1, total))
            return false;
    }
    return true;
}

bool savePdf(const PrintLayout& layout, const QPageLayout& paper, const QString& path, QString* error,
    const PageProgress& progress)
{
    bool stopped = false;
    const PageProgress watch = [&](int done, int total) {
        stopped = progress && !progress(done, total);
        return !stopped;
    };
    QSaveFile file(path);
    auto fail = [&](const QString& why) {
        file.cancelWriting();
        if (error)
            *error = QStringLiteral("无法写入文件 %1：%2").arg(QDir::toNativeSeparators(path), why);
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    constexpr int kDpi = 600;
    bool drawn = false;
    {
        QPdfWriter pdf(&file);
        pdf.setResolution(kDpi);
        pdf.setCreator(QStringLiteral("fleetdesk"));
        pdf.setTitle(layout.list().title);
        pdf.setPageLayout(QPageLayout(paper.pageSize(), paper.orientation(), QMarginsF()));
        QPainter painter;
        drawn = painter.begin(&pdf) && renderPages(painter, pdf, kDpi, layout, watch);
        if (painter.isActive())
            drawn = painter.end() && drawn;
    }
    if (stopped) {
        file.cancelWriting();
        if (error)
            error->clear();
        return false;
    }
    if (!drawn)
        return fail(QStringLiteral("页面无法写出"));
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

} // namespace fd::printing
