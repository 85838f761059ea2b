#pragma once

#include "vehicles/VehicleHistory.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

namespace fd::app {

// The rows of a vehicle's history, in the order given (newest first): time, user, machine, kind
// of change, the field by its Chinese name (a picture by its caption) and the old and new value.
// A value shows on one line; its tooltip holds it whole.
class HistoryModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TimeColumn, UserColumn, HostColumn, ActionColumn, FieldColumn, OldColumn, NewColumn, ColumnCount };

    explicit HistoryModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void setEntries(std::vector<vehicles::HistoryEntry> entries);
    const std::vector<vehicles::HistoryEntry>& entries() const { return m_entries; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<vehicles::HistoryEntry> m_entries;
    QStringList m_fields; // per entry, the field's name for the user
};

} // namespace fd::app
