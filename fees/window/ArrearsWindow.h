#pragma once

#include "common/Jobs.h"

#include <QWidget>

class QComboBox;
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

class ArrearsModel;

// 欠费车辆: the vehicles with an outstanding amount per fee kind, with the totals per kind. The
// list is read on the database lane with a session of its own; the window shows the last list
// until a new one arrives. Controls: 组合框_费用种类 (全部 or one kind), 编辑框_车牌号 (narrows to
// plates holding the text), 按钮_刷新, 按钮_收费 (the selected vehicle), 按钮_导出Excel, the table
// 表格_欠费车辆, 标签_欠费合计 and, when there are any, 标签_无法识别 (the figures not counted).
// A double-click on a row asks for a payment of that vehicle. User-interface thread only.
class ArrearsWindow final : public QWidget {
    Q_OBJECT
public:
    ArrearsWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent = nullptr);
    ~ArrearsWindow() override;

    void refresh();
    // -1: every fee kind; else the list column of one (Arrears.h).
    void setKind(int kind);
    void exportXlsx();
    void askPayment();

    bool reading() const { return m_read.running(); }
    // How many reads have ended (shown, or failed with the reason in the status line).
    int readsEnded() const { return m_readsEnded; }
    ArrearsModel& model() const { return *m_model; }
    QTableView& table() const { return *m_table; }

Q_SIGNALS:
    // A list has been read and is shown (or the read failed: the status line says why).
    void refreshed();
    void exported(bool written);
    // Take a payment of this vehicle; kind is the fee kind's list column, -1 when none was chosen.
    void paymentRequested(qint64 vehicleId, int kind);

private:
    void applyFilter();
    void showTotals();

    AppState& m_state;
    ui::Dialogs& m_dialogs;
    JobHandle m_read;
    int m_readsEnded = 0;
    JobHandle m_export;
    ArrearsModel* m_model = nullptr;
    QComboBox* m_kind = nullptr;
    QLineEdit* m_plate = nullptr;
    QPushButton* m_refresh = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_totals = nullptr;
    QLabel* m_unreadable = nullptr;
};

} // namespace fd::fees
