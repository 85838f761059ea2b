#include "ui/CutTextTips.h"

#include "ui/WrappedHeader.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QHelpEvent>
#include <QStyle>
#include <QTableView>
#include <QToolTip>

namespace fd::ui {
namespace {

QHeaderView* headerOf(QAbstractItemView* view, QWidget* area)
{
    auto* table = qobject_cast<QTableView*>(view);
    if (!table)
        return nullptr;
    for (QHeaderView* header : {table->horizontalHeader(), table->verticalHeader()}) {
        if (header && header->viewport() == area)
            return header;
    }
    return nullptr;
}

// Whether a text drawn in a box of the given width, less the margins on either side, is cut. The
// width is measured as the text is laid out, in fractions of a pixel: 73.2 does not fit in 73.
bool isCut(const QString& text, const QFont& font, int width, int margin)
{
    return !text.isEmpty() && QFontMetricsF(font).horizontalAdvance(text) > width - 2 * margin;
}

} // namespace

CutTextTips::CutTextTips(QAbstractItemView* view) : QObject(view), m_view(view) {}

CutTextTips* CutTextTips::install(QAbstractItemView* view)
{
    auto* tips = new CutTextTips(view);
    view->viewport()->installEventFilter(tips);
    if (auto* table = qobject_cast<QTableView*>(view)) {
        table->horizontalHeader()->viewport()->installEventFilter(tips);
        table->verticalHeader()->viewport()->installEventFilter(tips);
    }
    return tips;
}

QString CutTextTips::tipAt(QWidget* area, const QPoint& pos) const
{
    if (!m_view->model())
        return QString();
    if (area == m_view->viewport()) {
        const QModelIndex index = m_view->indexAt(pos);
        if (!index.isValid())
            return QString();
        const QString text = index.data(Qt::DisplayRole).toString();
        // The item delegate keeps this margin on either side of a cell's text.
        const int margin = m_view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_view) + 1;
        QFont font = m_view->font();
        const QVariant cellFont = index.data(Qt::FontRole);
        if (cellFont.canConvert<QFont>())
            font = cellFont.value<QFont>();
        // The visual rectangle is the one the delegate draws in (a table's grid line already off).
        return isCut(text, font, m_view->visualRect(index).width(), margin) ? text : QString();
    }
    if (QHeaderView* header = headerOf(m_view, area)) {
        const int section = header->logicalIndexAt(pos);
        if (section < 0)
            return QString();
        const QString text = m_view->model()->headerData(section, header->orientation(), Qt::DisplayRole).toString();
        if (auto* wrapped = qobject_cast<WrappedHeader*>(header))
            return wrapped->showsWhole(section) ? QString() : text;
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        const int size = header->orientation() == Qt::Horizontal ? header->sectionSize(section) : header->width();
        return isCut(text, header->font(), size, margin) ? text : QString();
    }
    return QString();
}

bool CutTextTips::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    auto* area = qobject_cast<QWidget*>(watched);
    auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = area ? tipAt(area, help->pos()) : QString();
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), tip, area);
    return true;
}

} // namespace fd::ui
