#pragma once

#include <QColor>
#include <QList>
#include <QString>

class QAbstractItemModel;
class QTableView;

namespace fd::vehicles {

// One column of the list as the grid shows it: the model column and its width on screen.
struct ShownColumn {
    int modelColumn = 0;
    int width = 0; // pixels
};

// What the vehicle grid shows at one moment, read through its model: the visible columns in
// their screen order (the hidden ID column left out), the header texts, the cell texts and
// colours. Printing and the exports read the list only through this, and never change it.
struct ShownList {
    const QAbstractItemModel* model = nullptr;
    QList<ShownColumn> columns;
    // The line printed above the table: the program's caption and the login date.
    QString title;

    int rowCount() const;
    int columnCount() const { return static_cast<int>(columns.size()); }
    QString header(int column) const;
    QString text(int row, int column) const;
    // Invalid when the cell keeps the grid's own white background or black text.
    QColor background(int row, int column) const;
    QColor foreground(int row, int column) const;
};

// The list a grid view shows: its model, its visible columns with their widths, in screen order.
ShownList shownList(const QTableView& view, const QString& title);

// The title line: the caption and the login date (2016-05-31).
QString listTitle(const QString& appTitle, double loginDateTime);

} // namespace fd::vehicles
