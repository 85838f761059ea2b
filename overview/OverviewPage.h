#pragma once

#include "common/Jobs.h"
#include "overview/OverviewCounts.h"

#include <QWidget>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

class QChartView;
class QChart;

namespace fd {
namespace ui {
class Dialogs;
}
struct AppState;
}

namespace fd::overview {

// "到期总览": the band table of the seven documents, the twelve-month forecast as stacked bars
// and the management fee due per month. The counts are made on the files lane from one select of
// the dates; the page shows the last counts until new ones arrive. A double-click on a count, or
// a click on a bar, asks for exactly the vehicles it counts (listRequested). User-interface
// thread only.
class OverviewPage : public QWidget {
    Q_OBJECT
public:
    OverviewPage(AppState& state, ui::Dialogs& dialogs, QWidget* parent = nullptr);
    ~OverviewPage() override;

    // Counts again now (the 刷新 button); a count under way is dropped for the new one.
    void refresh();
    // The fleet has changed (a vehicle was saved): counts again now when shown, else when next shown.
    void fleetChanged();
    bool counting() const { return m_job.running(); }
    // The last counts, when there are any.
    const std::optional<Overview>& overview() const { return m_overview; }

    // The commands of the page's row.
    void print();
    void exportXlsx();
    // What a double-click on the table's cell, or a click on a bar segment, lists.
    void openCell(int row, int column);
    void openMonth(int document, int month);

    QTableWidget& table() const { return *m_table; }
    QChart& chart() const;
    // The title line of the print and the export.
    QString title() const;

Q_SIGNALS:
    // Shows these vehicles in the grid: a seven-column list of the given date column.
    void listRequested(const QString& sql, const QString& column, const QString& header);
    // The fee row was double-clicked: show the vehicles that owe fees (欠费车辆).
    void arrearsRequested();
    // New counts are shown.
    void refreshed();
    // An export has ended; true when the file was written.
    void exported(bool written);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showCounts(const Overview& overview);
    void fillTable();
    void fillChart();
    QImage chartImage(QSize size) const;

    AppState& m_state;
    ui::Dialogs& m_dialogs;
    std::optional<Overview> m_overview;
    bool m_stale = true;
    JobHandle m_job;
    JobHandle m_export;

    QPushButton* m_refresh = nullptr;
    QCheckBox* m_showGone = nullptr;
    QLabel* m_status = nullptr;
    QTableWidget* m_table = nullptr;
    QChartView* m_chartView = nullptr;
    QTableWidget* m_fees = nullptr;
    QLabel* m_unreadableFees = nullptr; // how many fee texts are not in the sums, when any
};

} // namespace fd::overview
