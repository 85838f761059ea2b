#pragma once

#include "common/Roles.h"

#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <functional>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;

namespace fd {
namespace ui {
class Dialogs;
class HelpWindow;
class JobProgress;
}
struct AppState;
namespace fleet {
class FleetList;
}
namespace overview {
class OverviewPage;
}
namespace fees {
class ArrearsWindow;
class DataCheckWindow;
class MonthWindow;
}

// The windows the main window opens, behind one seam so that a test replaces them and never
// waits on a modal exec().
struct MainWindowHooks {
    // Runs the login modally; false when the user chose to end the program. Used by start() only:
    // the program itself opens the main window behind a login that is already open (Startup).
    std::function<bool()> openLogin;
    // Opens the vehicle window modally; newFlag/modifyFlag and editVehicleId are already set.
    std::function<void()> openVehicleWindow;
    // Opens the mass-send window modally with the main window as owner; the lists are set.
    std::function<void()> openMassSend;
    // Opens the window 自动提醒 modally (menu 车辆管理).
    std::function<void()> openReminders;
    // Prints the shown list.
    std::function<void()> printGrid;
    // 收费登记 of the vehicle currentVehicleId, modally.
    std::function<void()> openPayment;
    // The windows of the menu 收费管理, modally: 收费查询, 日结.
    std::function<void()> openPaymentQuery;
    std::function<void()> openTakings;
    // 切换用户 (menu 文件): the login window again; true when someone logged in.
    std::function<bool()> switchUser;
    // 用户管理 (menu 文件), modally; administrators only.
    std::function<void()> openUsers;
    // Ends the program at once (menu 退出).
    std::function<void()> quit;
};

// The one non-modal window: tool row, category tree, vehicle grid and menu.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(AppState& state, ui::Dialogs& dialogs, MainWindowHooks hooks, QWidget* parent = nullptr);
    ~MainWindow() override;

    void setHooks(MainWindowHooks hooks);
    // The creation sequence: caption, collapsed groups, focus, login, full list. False when the
    // login was cancelled and the program is to end.
    bool start();
    // The creation sequence in two halves, for a login that is already open: what comes before
    // the login (caption, collapsed groups, focus), and what follows a login that was not
    // cancelled (the failed-backup notice, the full list).
    void beforeLogin();
    void afterLogin();

    fleet::FleetList& fleet() const { return *m_fleet; }
    QTableView& grid() const { return *m_grid; }
    overview::OverviewPage& overviewPage() const { return *m_overview; }

    // 到期总览 in place of the grid, or the grid again.
    void showOverview(bool shown);

    // The actions of the tool buttons and menu items.
    void addVehicle();
    void modifyVehicle();
    void openSelectedVehicle(); // double-click on the grid: no selection check
    void startMassSend();
    // 收费 (tool button and the grid's context menu): 收费登记 of the chosen vehicle.
    void takePayment();
    // Records the grid's current row (a button release on the grid) as the vehicle to modify.
    void recordSelection();
    void showAbout();
    void showContact();
    // 帮助 → 使用说明 and F1: the manual in its window, which is made once and shown again.
    void showManual();
    void runSearch();
    // F5 and 刷新: reads the shown list again (the same full list, category or search); with the
    // overview shown, counts it again.
    void refreshList();
    // 文件 → 导出Excel / 导出CSV: the shown list to a file, written off the window thread while
    // a progress dialog shows how far it has come. Closing the window stops it.
    void exportList(bool excel);
    // After a vehicle was saved: the tree's root becomes current and the full list reloads.
    void showFullListAfterSave();
    // 收费管理 → 欠费车辆, 月报, 收费数据检查: each window made once and shown again (and read again).
    fees::ArrearsWindow& showArrears();
    fees::MonthWindow& showMonthReport();
    fees::DataCheckWindow& showFeeDataCheck();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenu();
    // The menu 收费管理: every window of the fee desk that is not about one vehicle.
    void buildFeeMenu();
    // The grid's context menu at a point of its viewport: the row under it becomes the chosen one.
    void showGridMenu(const QPoint& position);
    void onTreeSelectionChanged();
    // Prints the overview, or the grid's list.
    void printGrid();
    // Runs the action now, or, while a list is being read, once it is whole: print, export and
    // mass send work on the whole list, never on the part read so far. A second click while the
    // action waits adds nothing.
    void afterList(const QString& what, std::function<void()> action);
    // Enables the guarded buttons and menu items the logged-in user's role allows; the others are
    // disabled with the reason as their tooltip.
    void applyRole();
    // 文件 → 导入车辆: the import window, over this one.
    void importVehicles();
    // 文件 → 用户管理.
    void manageUsers();
    // Records the given model row's vehicle in currentVehicleId and editVehicleId.
    void recordRow(int modelRow);
    // True, after telling the user and closing the window, when the database was restored from a
    // backup since the login: what the session shows or would save belongs to the replaced register.
    bool restoredSinceLogin();

    AppState& m_state;
    ui::Dialogs& m_dialogs;
    MainWindowHooks m_hooks;
    fleet::FleetList* m_fleet = nullptr;

    QComboBox* m_searchField = nullptr;
    QLineEdit* m_searchText = nullptr;
    QTreeWidget* m_tree = nullptr;
    QTableView* m_grid = nullptr;
    overview::OverviewPage* m_overview = nullptr;
    QPushButton* m_overviewButton = nullptr;
    QPointer<ui::JobProgress> m_export; // the export running, if one does
    QPointer<ui::JobProgress> m_backup; // the backup (文件 → 备份数据库) running, if one does
    QPointer<ui::HelpWindow> m_help;
    QPointer<fees::ArrearsWindow> m_arrears;
    QPointer<fees::MonthWindow> m_monthReport;
    QPointer<fees::DataCheckWindow> m_feeCheck;
    // The buttons and menu items of actions a role may not be allowed, with their permission.
    QList<std::pair<QObject*, Permission>> m_guarded;
    QSet<QString> m_waitingForList; // the actions waiting for the list being read
};

} // namespace fd
