#include "app/HistoryModel.h"

#include "vehicles/VehicleColumns.h"

#include <QHash>

namespace fd::app {
namespace {

const QStringList kHeaders = {QStringLiteral("时间"), QStringLiteral("用户"), QStringLiteral("机器"),
    QStringLiteral("操作"), QStringLiteral("项目"), QStringLiteral("原值"), QStringLiteral("新值")};

// A remark of several lines on one line of the table.
QString oneLine(const QString& value)
{
    if (!value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')))
        return value;
    QString line = value;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" ↵ "));
    line.replace(QLatin1Char('\n'), QStringLiteral(" ↵ "));
    line.replace(QLatin1Char('\r'), QStringLiteral(" ↵ "));
    return line;
}

} // namespace

void HistoryModel::setEntries(std::vector<vehicles::HistoryEntry> entries)
{
    beginResetModel();
    m_entries = std::move(entries);
    m_fields.clear();
    m_fields.reserve(static_cast<qsizetype>(m_entries.size()));
    QHash<QString, QString> names;
    for (const vehicles::HistoryEntry& entry : m_entries) {
        auto known = names.constFind(entry.column);
        if (known == names.constEnd()) {
            // A column the program does not know (written by a newer version) shows by its name.
            const vehicles::VehicleColumn* column = vehicles::findColumn(entry.column);
            known = names.insert(entry.column, column ? vehicles::fieldName(*column) : entry.column);
        }
        m_fields.append(*known);
    }
    endResetModel();
}

int HistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    if (role == Qt::ToolTipRole && index.column() != OldColumn && index.column() != NewColumn)
        return {};
    const vehicles::HistoryEntry& entry = m_entries[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case TimeColumn: return entry.time;
    case UserColumn: return entry.user;
    case HostColumn: return entry.host;
    case ActionColumn: return entry.action;
    case FieldColumn: return m_fields.at(index.row());
    case OldColumn: return role == Qt::DisplayRole ? oneLine(entry.oldValue) : entry.oldValue;
    case NewColumn: return role == Qt::DisplayRole ? oneLine(entry.newValue) : entry.newValue;
    default: return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kHeaders.size())
        return kHeaders.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace fd::app
