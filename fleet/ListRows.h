#pragma once

#include "fleet/VehicleRows.h"

#include <QColor>
#include <QString>
#include <memory>
#include <vector>

namespace fd::fleet {

// The rows of one list in the parts they were read in, each part never changed once made. A copy
// costs a pointer per part and shares the rows, so a copy is a snapshot: parts added to the list
// later do not change it, and it can be read on any thread while the list grows on its own.
class ListRows {
public:
    explicit ListRows(int dateColumns = 0) : m_dateColumns(dateColumns) {}
    // A list of one part.
    explicit ListRows(std::shared_ptr<const VehicleRows> rows);

    int dateColumns() const { return m_dateColumns; }
    qsizetype size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    int partCount() const { return static_cast<int>(m_parts.size()); }

    // Adds the rows of a part after the others. A part with other date columns, or none, adds
    // nothing (false).
    bool append(std::shared_ptr<const VehicleRows> part);

    // The part holding row r of the list and the row's index within it; none past the rows.
    struct Place {
        const VehicleRows* part = nullptr;
        qsizetype row = 0;
    };
    Place place(qsizetype row) const;

    // Bytes held by the parts, for the memory figures of the benchmark.
    std::size_t memoryBytes() const;

private:
    int m_dateColumns;
    qsizetype m_size = 0;
    std::vector<std::shared_ptr<const VehicleRows>> m_parts;
    std::vector<qsizetype> m_ends; // the row after each part's last
};

// The cells of the fleet grid over a list, by model column: 0 the ID, 1 the row number, 2-5 the
// leading texts, then the dates with the colours of their bands (invalid: the grid's own white
// background or black text). Empty past the rows or columns. Pure functions of the rows, so a
// snapshot of the list can be read on any thread.
QString gridCellText(const ListRows& rows, qsizetype row, int column);
QColor gridCellBackground(const ListRows& rows, qsizetype row, int column, bool searchColours);
QColor gridCellForeground(const ListRows& rows, qsizetype row, int column);

} // namespace fd::fleet
