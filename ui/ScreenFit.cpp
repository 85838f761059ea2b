#include "ui/ScreenFit.h"

#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

namespace fd::ui {
namespace {

const QString kScrollName = QStringLiteral("windowScroll");
const QString kPageName = QStringLiteral("windowPage");
const QString kActionsName = QStringLiteral("windowActions");
// Space above and below the row of actions, and below the page's lowest control.
constexpr int kActionMargin = 8;

// Moves a widget to a new parent where it keeps its place; re-parenting hides a widget, so only
// those the window had hidden on purpose stay hidden.
void moveInto(QWidget* child, QWidget* parent, QPoint at)
{
    const bool hidden = child->isHidden();
    child->setParent(parent);
    child->move(at);
    child->setVisible(!hidden);
}

// Puts the window's controls on a scrolled page and its actions in a row below it.
QScrollArea* wrap(QWidget* window, const QList<QWidget*>& actions)
{
    const QSize design = window->size();
    auto* page = new QWidget;
    page->setObjectName(kPageName);
    int lowest = 0;
    QRect actionsRect;
    const QObjectList children = window->children();
    for (QObject* object : children) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || child->isWindow())
            continue;
        if (actions.contains(child)) {
            actionsRect |= child->geometry();
            continue;
        }
        lowest = std::max(lowest, child->geometry().bottom() + 1);
        moveInto(child, page, child->pos());
    }
    const int pageHeight = actions.isEmpty() ? design.height() : std::min(design.height(), lowest + kActionMargin);
    page->setFixedSize(design.width(), pageHeight);

    auto* area = new QScrollArea(window);
    area->setObjectName(kScrollName);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidget(page);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(area);
    if (!actions.isEmpty()) {
        auto* row = new QWidget(window);
        row->setObjectName(kActionsName);
        row->setFixedHeight(actionsRect.height() + 2 * kActionMargin);
        row->setMinimumWidth(actionsRect.right() + 1 + kActionMargin);
        for (QWidget* action : actions)
            moveInto(action, row, QPoint(action->x(), kActionMargin + action->y() - actionsRect.top()));
        layout->addWidget(row);
    }
    return area;
}

} // namespace

QScrollArea* fitToScreen(QWidget* window, const QRect& available, const QList<QWidget*>& actions)
{
    const QSize room(available.width() - kFrameWidth, available.height() - kFrameHeight);
    auto* area = window->findChild<QScrollArea*>(kScrollName, Qt::FindDirectChildrenOnly);
    if (!area) {
        if (window->width() <= room.width() && window->height() <= room.height())
            return nullptr;
        area = wrap(window, actions);
    }

    // The size that shows the whole page and the actions, and the scroll bars it needs in the room.
    const auto* row = window->findChild<QWidget*>(kActionsName, Qt::FindDirectChildrenOnly);
    const QSize page = area->widget()->size();
    const QSize whole(std::max(page.width(), row ? row->minimumWidth() : 0), page.height() + (row ? row->height() : 0));
    const int bar = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, area);
    bool vertical = whole.height() > room.height();
    const bool horizontal = whole.width() + (vertical ? bar : 0) > room.width();
    if (horizontal)
        vertical = vertical || whole.height() + bar > room.height();
    area->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    area->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    const QSize fitted
        = QSize(whole.width() + (vertical ? bar : 0), whole.height() + (horizontal ? bar : 0)).boundedTo(room);

    window->setMinimumSize(fitted.boundedTo(window->minimumSize()));
    window->resize(fitted);
    // Keep the title bar on the screen.
    QPoint at = window->pos();
    at.setX(qBound(available.left(), at.x(), available.right() - fitted.width() - kFrameWidth + 1));
    at.setY(qBound(available.top(), at.y(), available.bottom() - fitted.height() - kFrameHeight + 1));
    window->move(at);
    return area;
}

QScrollArea* fitToScreen(QWidget* window, const QList<QWidget*>& actions)
{
    const QScreen* screen = window->screen();
    return screen ? fitToScreen(window, screen->availableGeometry(), actions) : nullptr;
}

} // namespace fd::ui
