#pragma once

#include "import/ImportRun.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

namespace fd::import {

// One row of the preview as the window shows it: the sheet's row number, a text per mapped column
// (the value as it would be stored, or the cell as written where it has a problem), the problems
// and the changed fields marked, and what the import would do with the row.
struct PreviewLine {
    int sheetRow = 0;
    QStringList cells;    // one per mapped column
    QStringList problems; // one per mapped column; empty where the cell has none
    QList<bool> changed;  // one per mapped column: a stored vehicle's value the row changes
    PlannedRow::Kind kind = PlannedRow::Refused;
    QString outcome;
    QString reason;
};

// The preview's column titles: 行, 结果 (what the import would do with the row), then the field of
// each mapped column in the sheet's order.
QStringList previewHeaders(const QStringList& mapping);
// The lines of the planned rows (Empty ones left out); made off the window thread.
std::vector<PreviewLine> previewLines(const std::vector<PlannedRow>& rows, const Sheet& sheet, const QStringList& mapping);

// The preview grid: lines replaced whole, never cell by cell, so that showing them costs the
// window thread one reset. Thread affinity: the window thread.
class PreviewModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    static constexpr int kOutcomeColumn = 1;

    void setLines(QStringList headers, std::vector<PreviewLine> lines);
    const PreviewLine& line(int row) const { return m_lines[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QStringList m_headers;
    std::vector<PreviewLine> m_lines;
};

} // namespace fd::import
