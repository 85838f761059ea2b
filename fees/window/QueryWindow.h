#pragma once

#include "common/Jobs.h"
#include "fees/PaymentQuery.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <functional>
#include <memory>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace fd {
namespace ui {
class Dialogs;
}
struct AppState;
}

namespace fd::fees {

struct Receipt;

// The payments of a search as a grid: a voided one in grey with its reason under 状态.
class PaymentModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setList(PaymentList list);
    const PaymentList& list() const { return m_list; }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    PaymentList m_list;
};

// 收费查询: the payments from one day to another, narrowed by clerk, fee kind, method and plate,
// with their totals; the chosen receipt printed again (补打) or voided with a reason (作废, on the
// day it was taken); the list as an Excel workbook. Every statement runs on the database lane.
class QueryWindow : public QDialog {
    Q_OBJECT
public:
    QueryWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent = nullptr);
    ~QueryWindow() override;

    using ReceiptOpener = std::function<void(const Receipt&)>;
    void setReceiptOpener(ReceiptOpener opener) { m_receiptOpener = std::move(opener); }

    PaymentFilter filter() const;
    void search();
    void reprint();
    void voidSelected();
    void exportXlsx();
    const PaymentModel& model() const { return *m_model; }
    QTableView& grid() const { return *m_grid; }
    bool busy() const { return m_job.running(); }

Q_SIGNALS:
    // A search, reprint, void or export has ended.
    void jobEnded();

private:
    const PaymentRow* selectedRow() const;

    AppState& m_state;
    ui::Dialogs& m_dialogs;
    ReceiptOpener m_receiptOpener;
    JobHandle m_job;
    QDateEdit* m_from = nullptr;
    QDateEdit* m_to = nullptr;
    QLineEdit* m_clerk = nullptr;
    QComboBox* m_fee = nullptr;
    QComboBox* m_method = nullptr;
    QLineEdit* m_plate = nullptr;
    QTableView* m_grid = nullptr;
    PaymentModel* m_model = nullptr;
    QLabel* m_totals = nullptr;
};

} // namespace fd::fees
