#include "ui/ScreenFit.h"

#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWidget>

namespace fd {

QScrollArea* fitToScreen(QWidget* window, const QRect& available)
{
    const QSize design = window->size();
    const QSize room(available.width() - kFrameWidth, available.height() - kFrameHeight);
    if (design.width() <= room.width() && design.height() <= room.height())
        return nullptr;

    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("windowPage"));
    page->setFixedSize(design);
    // Re-parenting hides a widget; only those the window had hidden on purpose stay hidden.
    const QObjectList children = window->children();
    for (QObject* object : children) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || child->isWindow())
            continue;
        const bool hidden = child->isHidden();
        child->setParent(page);
        child->setVisible(!hidden);
    }

    auto* area = new QScrollArea(window);
    area->setObjectName(QStringLiteral("windowScroll"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidget(page);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(area);

    const QSize fitted = design.boundedTo(room);
    window->setMinimumSize(fitted.boundedTo(window->minimumSize()));
    window->resize(fitted);
    // Keep the title bar on the screen.
    QPoint at = window->pos();
    at.setX(qBound(available.left(), at.x(), available.right() - fitted.width() - kFrameWidth + 1));
    at.setY(qBound(available.top(), at.y(), available.bottom() - fitted.height() - kFrameHeight + 1));
    window->move(at);
    return area;
}

QScrollArea* fitToScreen(QWidget* window)
{
    const QScreen* screen = window->screen();
    return screen ? fitToScreen(window, screen->availableGeometry()) : nullptr;
}

} // namespace fd
