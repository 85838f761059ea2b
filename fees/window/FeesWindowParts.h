#pragma once

#include <QSize>
#include <QString>
#include <iterator>

class QAbstractItemModel;
class QPushButton;
class QTableView;
class QWidget;

// What the fee windows share in their look: buttons, read-only tables of fixed row height, a
// size within the screen. User-interface thread.
namespace fd::fees {

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& text);
// A read-only table over the model, whole rows selected, fixed row heights, the given widths.
QTableView* makeTable(QWidget* parent, const QString& name, QAbstractItemModel* model, const int* widths, int count);
template <std::size_t N>
QTableView* makeTable(QWidget* parent, const QString& name, QAbstractItemModel* model, const int (&widths)[N])
{
    return makeTable(parent, name, model, widths, static_cast<int>(N));
}
// The size, or less when the screen is smaller.
QSize fitToScreen(const QWidget* window, QSize size);

} // namespace fd::fees
