#pragma once

#include "common/Jobs.h"
#include "vehicles/VehicleHistory.h"

#include <QDialog>
#include <QString>

class QLabel;
class QTableView;

namespace fd {
struct AppState;
}

namespace fd::app {

class HistoryModel;

// 修改记录: every change of one vehicle, newest first, read when the window is created on the
// database lane, on that lane's own session (the window's thread keeps the login's). Controls: the table "表格_修改记录", the line "标签_修改记录" above it (reading,
// how many, or why the read failed), the button "按钮_关闭".
class HistoryWindow final : public QDialog {
    Q_OBJECT
public:
    HistoryWindow(AppState& state, const QString& vehicleId, const QString& plate, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    const HistoryModel& model() const { return *m_model; }
    // The read has ended (shown, or failed: readFailed).
    bool readDone() const { return m_readDone; }
    bool readFailed() const { return m_readFailed; }

Q_SIGNALS:
    // The read has ended and its result is on the screen.
    void historyShown();

private:
    void showHistory(bool ok, const QString& error, std::vector<vehicles::HistoryEntry> entries);

    HistoryModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_status = nullptr;
    JobHandle m_read;
    bool m_readDone = false;
    bool m_readFailed = false;
};

} // namespace fd::app
