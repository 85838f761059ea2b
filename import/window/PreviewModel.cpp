#include "import/window/PreviewModel.h"

#include "vehicles/VehicleColumns.h"

#include <QColor>

namespace fd::import {
namespace {

const QColor kProblem(255, 205, 205);
const QColor kNew(220, 245, 220);
const QColor kChanged(255, 244, 204);

} // namespace

QStringList previewHeaders(const QStringList& mapping)
{
    QStringList labels {QStringLiteral("行"), QStringLiteral("结果")};
    for (const QString& field : mapping)
        if (const vehicles::VehicleColumn* column = field.isEmpty() ? nullptr : vehicles::findColumn(field))
            labels << vehicles::fieldName(*column);
    return labels;
}

std::vector<PreviewLine> previewLines(const std::vector<PlannedRow>& rows, const Sheet& sheet, const QStringList& mapping)
{
    std::vector<PreviewLine> lines;
    lines.reserve(rows.size());
    for (const PlannedRow& p : rows) {
        if (p.kind == PlannedRow::Empty)
            continue;
        PreviewLine line;
        line.sheetRow = p.sheetRow;
        line.kind = p.kind;
        line.reason = p.reason;
        const Row& cells = sheet.rows[static_cast<std::size_t>(p.sheetRow)];
        for (int col = 0; col < mapping.size(); ++col) {
            const QString& field = mapping.at(col);
            if (field.isEmpty() || !vehicles::findColumn(field))
                continue;
            const auto problem = p.converted.problems.constFind(col);
            if (problem != p.converted.problems.cend()) {
                line.cells << (static_cast<std::size_t>(col) < cells.size() ? cells[static_cast<std::size_t>(col)].display()
                                                                              : QString());
                line.problems << *problem;
                line.changed << false;
            } else {
                line.cells << p.converted.values.value(field);
                line.problems << QString();
                line.changed << (p.kind == PlannedRow::Changed && p.changedFields.contains(field));
            }
        }
        switch (p.kind) {
        case PlannedRow::New: line.outcome = QStringLiteral("新车辆"); break;
        case PlannedRow::Changed: line.outcome = QStringLiteral("修改 %1 项").arg(p.changedFields.size()); break;
        case PlannedRow::Unchanged: line.outcome = QStringLiteral("未变"); break;
        case PlannedRow::Skipped: line.outcome = QStringLiteral("已有，跳过"); break;
        case PlannedRow::Refused: line.outcome = QStringLiteral("未导入：") + p.reason; break;
        case PlannedRow::Empty: break;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

void PreviewModel::setLines(QStringList headers, std::vector<PreviewLine> lines)
{
    beginResetModel();
    m_headers = std::move(headers);
    m_lines = std::move(lines);
    endResetModel();
}

int PreviewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
}

int PreviewModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant PreviewModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const PreviewLine& l = line(index.row());
    const int c = index.column();
    const bool outcome = c == kOutcomeColumn;
    const int cell = c - 2; // the mapped column, from column 2 on
    const bool inCells = cell >= 0 && cell < l.cells.size();
    switch (role) {
    case Qt::DisplayRole:
        if (c == 0)
            return QString::number(l.sheetRow + 1);
        if (outcome)
            return l.outcome;
        return inCells ? l.cells.at(cell) : QString();
    case Qt::ToolTipRole:
        if (outcome)
            return l.reason.isEmpty() ? QVariant() : QVariant(l.reason);
        return inCells && !l.problems.at(cell).isEmpty() ? QVariant(l.problems.at(cell)) : QVariant();
    case Qt::BackgroundRole:
        if (outcome) {
            switch (l.kind) {
            case PlannedRow::New: return kNew;
            case PlannedRow::Changed: return kChanged;
            case PlannedRow::Refused: return kProblem;
            default: return {};
            }
        }
        if (inCells && !l.problems.at(cell).isEmpty())
            return kProblem;
        if (inCells && l.changed.at(cell))
            return kChanged;
        return {};
    default:
        return {};
    }
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_headers.size())
        return m_headers.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace fd::import
