#include "fees/window/FeesWindowParts.h"

#include "ui/ScreenFit.h"

#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTableView>

namespace fd::fees {

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& text)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QTableView* makeTable(QWidget* parent, const QString& name, QAbstractItemModel* model, const int* widths, int count)
{
    auto* table = new QTableView(parent);
    table->setObjectName(name);
    table->setModel(model);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setWordWrap(false);
    table->setAlternatingRowColors(true);
    // Fixed heights and widths: nothing measures a long list.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(22);
    QHeaderView* header = table->horizontalHeader();
    for (int c = 0; c < count; ++c)
        header->resizeSection(c, widths[c]);
    header->setStretchLastSection(true);
    return table;
}

QSize fitToScreen(const QWidget* window, QSize size)
{
    if (const QScreen* screen = window->screen())
        size = size.boundedTo(screen->availableGeometry().size() - QSize(ui::kFrameWidth, ui::kFrameHeight));
    return size;
}

} // namespace fd::fees
