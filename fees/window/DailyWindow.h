#pragma once

#include "common/Jobs.h"
#include "fees/Takings.h"

#include <QDialog>
#include <functional>
#include <optional>

class QDateEdit;
class QLabel;
class QStandardItemModel;
class QTableView;

namespace fd {
namespace ui {
class Dialogs;
}
struct AppState;
}

namespace fd::fees {

// 日结: the takings of a day per clerk and method, voids apart, with the total; printed through the
// print preview with lines to sign for 交款人, 收款人 and 复核人. Read on the database lane.
class DailyWindow : public QDialog {
    Q_OBJECT
public:
    DailyWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent = nullptr);
    ~DailyWindow() override;

    using Printer = std::function<void(const Takings&, const QString& company)>;
    void setPrinter(Printer printer) { m_printer = std::move(printer); }

    void setDay(const QDate& day);
    void count();
    void print();
    const std::optional<Takings>& takings() const { return m_takings; }
    bool busy() const { return m_job.running(); }

Q_SIGNALS:
    void counted();

private:
    AppState& m_state;
    ui::Dialogs& m_dialogs;
    Printer m_printer;
    JobHandle m_job;
    std::optional<Takings> m_takings;
    QString m_company;
    QDateEdit* m_day = nullptr;
    QTableView* m_grid = nullptr;
    QStandardItemModel* m_model = nullptr;
    QLabel* m_total = nullptr;
};

} // namespace fd::fees
