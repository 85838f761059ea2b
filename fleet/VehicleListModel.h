#pragma once

#include "fleet/VehicleRows.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <memory>

namespace fd::vehicles {

// The fleet grid as a table model over plain rows. Model column 0 is the hidden ID, column 1 the
// row number, columns 2-5 file number, plate, owner and phone, then the date columns with their
// band colours (Qt::BackgroundRole, Qt::ForegroundRole). The header texts are the horizontal
// header data; kHeaderLinesRole gives a date header on two lines, its document above "有效日期". User-interface thread only.
class VehicleListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit VehicleListModel(QObject* parent = nullptr);

    // Cuts the list back to its header: no rows, the given header texts.
    void clear(const QStringList& headers);
    // Shows a new list; searchColours picks the darker orange of search results.
    void setRows(VehicleRows rows, const QStringList& headers, bool searchColours);

    const VehicleRows& rows() const { return *m_rows; }
    // The rows themselves, never changed once shown: a snapshot of the list for work on another
    // thread holds them while the grid moves on to another list.
    std::shared_ptr<const VehicleRows> sharedRows() const { return m_rows; }
    bool searchColours() const { return m_searchColours; }
    // The text of a cell as the grid shows it.
    QString cellText(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::shared_ptr<const VehicleRows> m_rows;
    QStringList m_headers;
    bool m_searchColours = false;
};

} // namespace fd::vehicles
