#include "fleet/VehicleListModel.h"

#include "ui/WrappedHeader.h"

#include <algorithm>

namespace fd::fleet {
namespace {
// Grid columns before the first date: the ID, the row number and the leading texts.
constexpr int kFirstDateColumn = 2 + VehicleRows::kLeadingTexts;
const QString kValidUntil = QStringLiteral("有效日期");
} // namespace

VehicleListModel::VehicleListModel(QObject* parent) : QAbstractTableModel(parent) {}

void VehicleListModel::clear(const QStringList& headers, bool searchColours)
{
    beginResetModel();
    m_rows = ListRows(std::max(0, static_cast<int>(headers.size()) - kFirstDateColumn));
    m_headers = headers;
    m_searchColours = searchColours;
    endResetModel();
}

void VehicleListModel::setRows(VehicleRows rows, const QStringList& headers, bool searchColours)
{
    beginResetModel();
    m_rows = ListRows(std::max(0, static_cast<int>(headers.size()) - kFirstDateColumn));
    m_rows.append(std::make_shared<const VehicleRows>(std::move(rows)));
    m_headers = headers;
    m_searchColours = searchColours;
    endResetModel();
}

void VehicleListModel::appendRows(std::shared_ptr<const VehicleRows> part)
{
    if (!part || part->empty() || part->dateColumns() != m_rows.dateColumns())
        return;
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(part->size()) - 1);
    m_rows.append(std::move(part));
    endInsertRows();
}

QString VehicleListModel::cellText(int row, int column) const
{
    if (column >= columnCount())
        return {};
    return gridCellText(m_rows, row, column);
}

int VehicleListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int VehicleListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant VehicleListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= columnCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), index.column());
    case Qt::BackgroundRole:
    case Qt::ForegroundRole: {
        const QColor colour = role == Qt::BackgroundRole ? gridCellBackground(m_rows, index.row(), index.column(), m_searchColours)
                                                         : gridCellForeground(m_rows, index.row(), index.column());
        return colour.isValid() ? QVariant(colour) : QVariant();
    }
    default:
        return {};
    }
}

QVariant VehicleListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == ui::kHeaderLinesRole && orientation == Qt::Horizontal && section >= 0 && section < m_headers.size()) {
        // A date header on two lines, the document above "有效日期": 行车证 / 有效日期.
        const QString& header = m_headers[section];
        if (header.size() > kValidUntil.size() && header.endsWith(kValidUntil))
            return QString(header.chopped(kValidUntil.size()) + QLatin1Char('\n') + kValidUntil);
        return header;
    }
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < m_headers.size() ? QVariant(m_headers[section]) : QVariant();
    return QVariant(section + 1);
}

Qt::ItemFlags VehicleListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace fd::vehicles
