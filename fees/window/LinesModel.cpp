#include "fees/window/LinesModel.h"

#include <QColor>
#include <QFont>

namespace fd::fees {

LinesModel::LinesModel(QStringList headers, QList<int> rightAligned, QObject* parent)
    : QAbstractTableModel(parent)
    , m_headers(std::move(headers))
    , m_right(std::move(rightAligned))
{
}

void LinesModel::setRows(std::vector<Row> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int LinesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int LinesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant LinesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return index.column() < row.cells.size() ? row.cells[index.column()] : QString();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(
            Qt::AlignVCenter | (m_right.contains(index.column()) ? Qt::AlignRight : Qt::AlignLeft));
    case Qt::FontRole:
        if (row.bold || row.heading) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return {};
    case Qt::ForegroundRole:
        return row.red ? QVariant(QColor(0xC0, 0, 0)) : QVariant();
    case Qt::BackgroundRole:
        return row.heading ? QVariant(QColor(0xE6, 0xE6, 0xE6)) : QVariant();
    case Qt::ToolTipRole:
        return row.tip.isEmpty() ? QVariant() : QVariant(row.tip);
    default:
        return {};
    }
}

QVariant LinesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < m_headers.size() ? m_headers[section] : QVariant();
    return section + 1;
}

} // namespace fd::fees
