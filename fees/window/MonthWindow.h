#pragma once

#include "common/Jobs.h"
#include "fees/MonthReport.h"

#include <QWidget>
#include <optional>

class QDateEdit;
class QLabel;
class QPushButton;
class QTableView;

namespace fd {
namespace ui {
class Dialogs;
}
struct AppState;
}

namespace fd::fleet {
struct ShownList;
}

namespace fd::fees {

class LinesModel;

// 月报: a month's takings per clerk and method with 小计 and 合计, the voids apart.
// Read on the database lane with a session of its own. Controls: 日期框_月份, 按钮_刷新, 按钮_打印
// (the print preview), 按钮_导出Excel, the table 表格_月报 and the line 标签_状态. User-interface
// thread only.
class MonthWindow final : public QWidget {
    Q_OBJECT
public:
    MonthWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent = nullptr);
    ~MonthWindow() override;

    // Shows the month of the day.
    void setMonth(const QDate& day);
    void refresh();
    void print();
    void exportXlsx();
    // The page the print preview shows: the title and the report drawn whole.
    fleet::ShownList printedPage() const;

    bool reading() const { return m_read.running(); }
    // How many reads have ended (shown, or failed with the reason in the status line).
    int readsEnded() const { return m_readsEnded; }
    const std::optional<MonthTakings>& takings() const { return m_takings; }
    LinesModel& model() const { return *m_model; }

Q_SIGNALS:
    void refreshed();
    void exported(bool written);

private:
    QString title() const;

    AppState& m_state;
    ui::Dialogs& m_dialogs;
    JobHandle m_read;
    int m_readsEnded = 0;
    JobHandle m_export;
    std::optional<MonthTakings> m_takings;
    LinesModel* m_model = nullptr;
    QDateEdit* m_month = nullptr;
    QPushButton* m_refresh = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_status = nullptr;
};

} // namespace fd::fees
