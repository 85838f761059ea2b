#include "fees/window/ArrearsModel.h"

#include "common/Money.h"

#include <QColor>

namespace fd::fees {

ArrearsModel::ArrearsModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

QStringList ArrearsModel::headers()
{
    QStringList h { QStringLiteral("档案编号"), QStringLiteral("车牌号"), QStringLiteral("车主姓名"),
        QStringLiteral("车主电话"), QStringLiteral("车辆状态") };
    for (int k = 0; k < kArrearsKinds; ++k)
        h << arrearsKindName(k);
    h << QStringLiteral("合计");
    return h;
}

QString ArrearsModel::cellText(const ArrearsRow& row, int column)
{
    switch (column) {
    case 0:
        return row.fileNumber;
    case 1:
        return row.plate;
    case 2:
        return row.owner;
    case 3:
        return row.phone;
    case 4:
        return row.status;
    case kTotalColumn:
        return money::formatFen(row.totalFen());
    default:
        break;
    }
    if (column >= kFirstKindColumn && column < kTotalColumn)
        return owedText(row.owed[column - kFirstKindColumn]);
    return QString();
}

void ArrearsModel::setArrears(std::shared_ptr<const Arrears> arrears)
{
    beginResetModel();
    m_arrears = std::move(arrears);
    refilter();
    endResetModel();
}

void ArrearsModel::setFilter(int kind, const QString& plate)
{
    beginResetModel();
    m_kind = kind;
    m_plate = plate.trimmed();
    refilter();
    endResetModel();
}

void ArrearsModel::refilter()
{
    m_shown.clear();
    if (!m_arrears)
        return;
    const auto& rows = m_arrears->rows;
    m_shown.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ArrearsRow& r = rows[i];
        if (m_kind >= 0 && m_kind < kArrearsKinds && !r.owed[m_kind].outstanding())
            continue;
        if (!m_plate.isEmpty() && !r.plate.contains(m_plate, Qt::CaseInsensitive))
            continue;
        m_shown.push_back(static_cast<int>(i));
    }
}

const ArrearsRow* ArrearsModel::shownRow(int row) const
{
    if (!m_arrears || row < 0 || row >= static_cast<int>(m_shown.size()))
        return nullptr;
    return &m_arrears->rows[static_cast<std::size_t>(m_shown[static_cast<std::size_t>(row)])];
}

int ArrearsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_shown.size());
}

int ArrearsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kTotalColumn + 1;
}

QVariant ArrearsModel::data(const QModelIndex& index, int role) const
{
    const ArrearsRow* row = index.isValid() ? shownRow(index.row()) : nullptr;
    if (!row || index.column() > kTotalColumn)
        return {};
    const int c = index.column();
    const Owed* owed = c >= kFirstKindColumn && c < kTotalColumn ? &row->owed[c - kFirstKindColumn] : nullptr;
    switch (role) {
    case Qt::DisplayRole:
        return cellText(*row, c);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter | (c >= kFirstKindColumn ? Qt::AlignRight : Qt::AlignLeft));
    case Qt::ForegroundRole:
        if ((owed && owed->state == Owed::Unreadable) || (c == kTotalColumn && row->unreadable()))
            return QColor(0xC0, 0, 0);
        return {};
    case Qt::ToolTipRole:
        if (owed && owed->state == Owed::Unreadable)
            return QStringLiteral("%1的%2「%3」无法识别为金额，未计入合计；请在车辆窗口中改正。")
                .arg(arrearsKindName(c - kFirstKindColumn), owed->column, owed->text);
        if (c == kTotalColumn && row->unreadable())
            return QStringLiteral("合计不含无法识别的金额");
        return {};
    default:
        return {};
    }
}

QVariant ArrearsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        static const QStringList h = headers();
        return section >= 0 && section < h.size() ? h[section] : QVariant();
    }
    return section + 1;
}

} // namespace fd::fees
