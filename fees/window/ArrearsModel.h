#pragma once

#include "fees/Arrears.h"

#include <QAbstractTableModel>
#include <memory>
#include <vector>

namespace fd::fees {

// The rows of 欠费车辆: 档案编号, 车牌号, 车主姓名, 车主电话, 车辆状态, then the outstanding amount
// per fee kind and their 合计. An unreadable figure shows its stored text, marked and red, with a
// tooltip saying which text it is. The list can be narrowed to one fee kind and to plates
// holding a text. User-interface thread; the arrears are shared, never changed.
class ArrearsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kFirstKindColumn = 5;
    static constexpr int kTotalColumn = kFirstKindColumn + kArrearsKinds;

    explicit ArrearsModel(QObject* parent = nullptr);

    void setArrears(std::shared_ptr<const Arrears> arrears);
    // kind: -1 every vehicle with something outstanding, else only those owing that kind.
    void setFilter(int kind, const QString& plate);
    const Arrears* arrears() const { return m_arrears.get(); }
    // The row of the list shown at a position.
    const ArrearsRow* shownRow(int row) const;
    // The positions in arrears()->rows of the rows shown, in order.
    const std::vector<int>& shownIndexes() const { return m_shown; }
    std::shared_ptr<const Arrears> sharedArrears() const { return m_arrears; }

    static QStringList headers();
    static QString cellText(const ArrearsRow& row, int column);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void refilter();

    std::shared_ptr<const Arrears> m_arrears;
    std::vector<int> m_shown;
    int m_kind = -1;
    QString m_plate;
};

} // namespace fd::fees
