#include "vehicles/VehicleListModel.h"

#include "ui/WrappedHeader.h"

#include <algorithm>

namespace fd::vehicles {
namespace {
// Grid columns before the first text cell: the ID and the row number.
constexpr int kFirstTextColumn = 2;
constexpr int kFirstDateColumn = kFirstTextColumn + VehicleRows::kLeadingTexts;
const QString kValidUntil = QStringLiteral("有效日期");
} // namespace

VehicleListModel::VehicleListModel(QObject* parent) : QAbstractTableModel(parent) {}

void VehicleListModel::clear(const QStringList& headers)
{
    beginResetModel();
    m_rows = VehicleRows(std::max(0, static_cast<int>(headers.size()) - kFirstDateColumn));
    m_headers = headers;
    m_searchColours = false;
    endResetModel();
}

void VehicleListModel::setRows(VehicleRows rows, const QStringList& headers, bool searchColours)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_headers = headers;
    m_searchColours = searchColours;
    endResetModel();
}

QString VehicleListModel::cellText(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= columnCount())
        return {};
    if (column == 0)
        return QString::number(m_rows.id(row));
    if (column == 1)
        return QString::number(row + 1);
    const int k = column - kFirstTextColumn;
    if (k >= m_rows.textColumns())
        return {};
    return m_rows.text(row, k);
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
        const int dateIndex = index.column() - kFirstDateColumn;
        if (dateIndex < 0 || dateIndex >= m_rows.dateColumns())
            return {};
        const ExpiryBand band = m_rows.band(index.row(), dateIndex);
        const QColor colour = role == Qt::BackgroundRole ? bandBackground(band, m_searchColours) : bandForeground(band);
        return colour.isValid() ? QVariant(colour) : QVariant();
    }
    default:
        return {};
    }
}

QVariant VehicleListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == kHeaderLinesRole && orientation == Qt::Horizontal && section >= 0 && section < m_headers.size()) {
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
