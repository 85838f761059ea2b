#include "sms/SendStatusModel.h"

namespace fd::sms {

int SendStatusModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int SendStatusModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant SendStatusModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || role != Qt::DisplayRole)
        return {};
    const Row& r = m_rows[index.row()];
    switch (index.column()) {
    case 0:
        return r.number;
    case 1:
        return r.plate;
    case 2:
        return r.phone;
    case 3:
        return r.status;
    default:
        return {};
    }
}

QVariant SendStatusModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QString headers[kColumns]
        = { QStringLiteral("序号"), QStringLiteral("车牌号"), QStringLiteral("手机号"), QStringLiteral("状态") };
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns)
        return {};
    return headers[section];
}

void SendStatusModel::append(const Row& row)
{
    const int at = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), at, at);
    m_rows.append(row);
    endInsertRows();
}

} // namespace fd::sms
