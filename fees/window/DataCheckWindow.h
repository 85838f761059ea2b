#pragma once

#include "common/Jobs.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTableView;

namespace fd {
namespace ui {
class Dialogs;
}
struct AppState;
}

namespace fd::fees {

class LinesModel;

// 收费数据检查: every stored fee text that cannot be read as an amount, one line each (档案编号,
// 车牌号, 车主姓名, 费用, 项目, 内容), for a person to put right in the vehicle window. Read on the
// database lane with a session of its own. Controls: 按钮_刷新, 按钮_修改车辆, the table
// 表格_收费数据检查 and the line 标签_状态. A double-click (or 修改车辆) asks for the vehicle window of
// the line's vehicle. User-interface thread only.
class DataCheckWindow final : public QWidget {
    Q_OBJECT
public:
    DataCheckWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent = nullptr);
    ~DataCheckWindow() override;

    void refresh();
    void editVehicle();
    bool reading() const { return m_read.running(); }
    // How many reads have ended (shown, or failed with the reason in the status line).
    int readsEnded() const { return m_readsEnded; }
    LinesModel& model() const { return *m_model; }
    QTableView& table() const { return *m_table; }

Q_SIGNALS:
    void refreshed();
    // Open the vehicle window of this vehicle (its ID).
    void vehicleRequested(qint64 vehicleId);

private:
    AppState& m_state;
    ui::Dialogs& m_dialogs;
    JobHandle m_read;
    int m_readsEnded = 0;
    LinesModel* m_model = nullptr;
    QPushButton* m_refresh = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_status = nullptr;
};

} // namespace fd::fees
