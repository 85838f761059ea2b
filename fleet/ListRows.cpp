#include "fleet/ListRows.h"

#include <algorithm>
#include <optional>

namespace fd::fleet {

ListRows::ListRows(std::shared_ptr<const VehicleRows> rows) : m_dateColumns(rows ? rows->dateColumns() : 0)
{
    append(std::move(rows));
}

bool ListRows::append(std::shared_ptr<const VehicleRows> part)
{
    if (!part || part->empty() || part->dateColumns() != m_dateColumns)
        return false;
    m_size += part->size();
    m_ends.push_back(m_size);
    m_parts.push_back(std::move(part));
    return true;
}

ListRows::Place ListRows::place(qsizetype row) const
{
    if (row < 0 || row >= m_size)
        return {};
    // The first part ending after the row.
    const auto end = std::upper_bound(m_ends.begin(), m_ends.end(), row);
    const auto i = static_cast<std::size_t>(end - m_ends.begin());
    const qsizetype first = i == 0 ? 0 : m_ends[i - 1];
    return {m_parts[i].get(), row - first};
}

std::size_t ListRows::memoryBytes() const
{
    std::size_t bytes = sizeof(*this) + m_parts.capacity() * sizeof(m_parts.front()) + m_ends.capacity() * sizeof(qsizetype);
    for (const auto& part : m_parts)
        bytes += part->memoryBytes();
    return bytes;
}

namespace {
// Grid columns before the first text cell: the ID and the row number.
constexpr int kFirstTextColumn = 2;
constexpr int kFirstDateColumn = kFirstTextColumn + VehicleRows::kLeadingTexts;

// The band of a date cell, or none when the cell holds no date.
std::optional<vehicles::ExpiryBand> bandOf(const ListRows& rows, qsizetype row, int column)
{
    const int k = column - kFirstDateColumn;
    if (k < 0 || k >= rows.dateColumns())
        return std::nullopt;
    const ListRows::Place at = rows.place(row);
    if (!at.part)
        return std::nullopt;
    return at.part->band(at.row, k);
}
} // namespace

QString gridCellText(const ListRows& rows, qsizetype row, int column)
{
    const ListRows::Place at = rows.place(row);
    if (!at.part || column < 0)
        return {};
    if (column == 0)
        return QString::number(at.part->id(at.row));
    if (column == 1)
        return QString::number(row + 1);
    const int k = column - kFirstTextColumn;
    if (k >= at.part->textColumns())
        return {};
    return at.part->text(at.row, k);
}

QColor gridCellBackground(const ListRows& rows, qsizetype row, int column, bool searchColours)
{
    const auto band = bandOf(rows, row, column);
    return band ? vehicles::bandBackground(*band, searchColours) : QColor();
}

QColor gridCellForeground(const ListRows& rows, qsizetype row, int column)
{
    const auto band = bandOf(rows, row, column);
    return band ? vehicles::bandForeground(*band) : QColor();
}

} // namespace fd::fleet
