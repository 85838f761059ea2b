#pragma once

#include "fleet/ListRows.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <memory>

namespace fd::fleet {

// The fleet grid as a table model over plain rows. Model column 0 is the hidden ID, column 1 the
// row number, columns 2-5 file number, plate, owner and phone, then the date columns with their
// band colours (Qt::BackgroundRole, Qt::ForegroundRole). The header texts are the horizontal
// header data; kHeaderLinesRole gives a date header on two lines, its document above "有效日期".
// A list read in parts grows part by part (appendRows), each part one insertion of rows.
// User-interface thread only.
class VehicleListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit VehicleListModel(QObject* parent = nullptr);

    // Cuts the list back to its header: no rows, the given header texts; searchColours picks the
    // darker orange of search results for the rows to come.
    void clear(const QStringList& headers, bool searchColours = false);
    // Shows a new list of one part.
    void setRows(VehicleRows rows, const QStringList& headers, bool searchColours);
    // Adds a part's rows after the rows shown. A part whose date columns are not the list's adds
    // nothing.
    void appendRows(std::shared_ptr<const VehicleRows> part);

    // The rows shown. A copy is a snapshot of the list for work on another thread: it holds the
    // rows while the grid moves on to another list or grows.
    const ListRows& rows() const { return m_rows; }
    const QStringList& headers() const { return m_headers; }
    bool searchColours() const { return m_searchColours; }
    // The text of a cell as the grid shows it.
    QString cellText(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    ListRows m_rows;
    QStringList m_headers;
    bool m_searchColours = false;
};

} // namespace fd::fleet
