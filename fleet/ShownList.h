#pragma once

#include "fleet/ListRows.h"

#include <QColor>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

class QPainter;
class QRectF;
class QTableView;

namespace fd::fleet {

// One column of the list as the grid shows it: the model column, its width on screen and its
// header text.
struct ShownColumn {
    int modelColumn = 0;
    int width = 0; // pixels
    QString header;
};

// What the vehicle grid shows at one moment: the visible columns in their screen order (the
// hidden ID column left out), the header texts, the cell texts and colours. A snapshot: it holds
// the grid's rows (shared, never changed, so taking it costs no copy of them) and a later list in
// the grid, or more rows of a list still being read, do not change it. It is only read, on any
// thread: printing and the exports work on it off the window thread.
struct ShownList {
    ListRows rows;
    bool searchColours = false;
    QList<ShownColumn> columns;
    // The line printed above the table: the program's caption and the login date.
    QString title;
    // A page drawn whole instead of rows (the overview's table and chart): painted below the
    // title into the given area, in tenths of a millimetre. It must draw from its own copies only,
    // since printing calls it on the files lane.
    std::function<void(QPainter&, const QRectF&)> drawing;

    int rowCount() const { return static_cast<int>(rows.size()); }
    int columnCount() const { return static_cast<int>(columns.size()); }
    QString header(int column) const { return columns[column].header; }
    QString text(int row, int column) const;
    // Invalid when the cell keeps the grid's own white background or black text.
    QColor background(int row, int column) const;
    QColor foreground(int row, int column) const;
};

// The list the fleet grid's view shows: its rows, its visible columns with their widths and
// headers, in screen order. The view shows the fleet's model (an empty list otherwise).
ShownList shownList(const QTableView& view, const QString& title);

// The title line: the caption and the login date (2016-05-31).
QString listTitle(const QString& appTitle, double loginDateTime);

} // namespace fd::fleet
