#include "ui/WrappedHeader.h"

#include <QFontMetricsF>
#include <QStyle>
#include <QStyleOptionHeaderV2>
#include <QTextLayout>
#include <algorithm>

namespace fd::ui {

WrappedHeader::WrappedHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    // A wider or narrower column may need another number of lines.
    connect(this, &QHeaderView::sectionResized, this, &WrappedHeader::updateHeight);
    connect(this, &QHeaderView::sectionCountChanged, this, &WrappedHeader::updateHeight);
}

int WrappedHeader::textWidth(int logicalIndex) const
{
    const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
    return std::max(0, sectionSize(logicalIndex) - 2 * margin);
}

QStringList WrappedHeader::shownLines(int logicalIndex) const
{
    if (!model())
        return {};
    QString text = model()->headerData(logicalIndex, orientation(), kHeaderLinesRole).toString();
    if (text.isEmpty())
        text = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
    const qreal width = textWidth(logicalIndex);
    const QFontMetricsF metrics(font());
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (metrics.horizontalAdvance(line) <= width || line.size() < 2) {
            lines << line;
            continue;
        }
        // Too wide: broken where the section ends, between words or, in Chinese, characters.
        QTextLayout layout(line, font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine part = layout.createLine(); part.isValid(); part = layout.createLine()) {
            part.setLineWidth(width);
            lines << line.mid(part.textStart(), part.textLength()).trimmed();
        }
        layout.endLayout();
    }
    return lines;
}

bool WrappedHeader::showsWhole(int logicalIndex) const
{
    const QStringList lines = shownLines(logicalIndex);
    const QFontMetricsF metrics(font());
    const qreal width = textWidth(logicalIndex);
    for (const QString& line : lines)
        if (metrics.horizontalAdvance(line) > width)
            return false;
    return lines.size() <= m_lines;
}

int WrappedHeader::mostLines() const
{
    int most = 1;
    for (int i = 0; i < count(); ++i)
        if (!isSectionHidden(i) && sectionSize(i) > 0)
            most = std::max(most, static_cast<int>(shownLines(i).size()));
    return most;
}

void WrappedHeader::updateHeight()
{
    const int lines = mostLines();
    if (lines == m_lines)
        return;
    m_lines = lines;
    updateGeometry();
    // The view lays its header and viewport out again.
    Q_EMIT geometriesChanged();
}

QSize WrappedHeader::sizeHint() const
{
    QSize hint = QHeaderView::sizeHint();
    QStyleOptionHeaderV2 option;
    initStyleOption(&option);
    option.text = QStringLiteral("X");
    const int oneLine = style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this).height();
    hint.setHeight(std::max(hint.height(), oneLine + (m_lines - 1) * QFontMetrics(font()).lineSpacing()));
    return hint;
}

void WrappedHeader::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const
{
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    option->text = shownLines(logicalIndex).join(QLatin1Char('\n'));
    if (auto* v2 = qstyleoption_cast<QStyleOptionHeaderV2*>(option))
        v2->textElideMode = Qt::ElideNone;
}

} // namespace fd::ui
