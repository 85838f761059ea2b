#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

namespace fd::reminders {

// Rows of texts under a header: the plan and the history of the reminder window.
class TextTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TextTableModel(QStringList headers, QObject* parent = nullptr);
    void setRows(std::vector<QStringList> rows);
    void appendRow(QStringList row);
    const std::vector<QStringList>& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QStringList m_headers;
    std::vector<QStringList> m_rows;
};

} // namespace fd::reminders
