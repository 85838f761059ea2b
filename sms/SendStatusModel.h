#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

namespace fd::sms {

// The rows of the send status grid: 序号, 车牌号, 手机号, 状态 ("成功" or "失败"). Rows are only
// ever appended while the window is open.
class SendStatusModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Row {
        QString number, plate, phone, status;
    };
    static constexpr int kColumns = 4;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void append(const Row& row);
    const QList<Row>& rows() const { return m_rows; }

private:
    QList<Row> m_rows;
};

} // namespace fd::sms
