#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

namespace fd::fees {

// A small table of texts for the fee reports (月报, 收费数据检查): per row its cells, whether it
// is a total (bold) or a heading (grey), whether it is marked (red), and a tooltip. User-interface
// thread.
class LinesModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Row {
        QStringList cells;
        bool bold = false;
        bool heading = false;
        bool red = false;
        QString tip;
        qint64 key = 0; // what the row stands for (a vehicle ID)
    };

    LinesModel(QStringList headers, QList<int> rightAligned, QObject* parent = nullptr);

    void setRows(std::vector<Row> rows);
    const std::vector<Row>& rows() const { return m_rows; }
    const QStringList& headers() const { return m_headers; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QStringList m_headers;
    QList<int> m_right;
    std::vector<Row> m_rows;
};

} // namespace fd::fees
