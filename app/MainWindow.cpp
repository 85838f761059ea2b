#include "app/MainWindow.h"

#include "app/Texts.h"
#include "backup/BackupRun.h"
#include "backup/window/BackupCommands.h"
#include "common/AppState.h"
#include "ui/Dialogs.h"
#include "ui/RoleGuard.h"
#include "ui/HelpWindow.h"
#include "common/Text.h"
#include "db/Database.h"
#include "db/ProgramTables.h"
#include "overview/OverviewPage.h"
#include "fees/window/ArrearsWindow.h"
#include "fees/window/DataCheckWindow.h"
#include "fees/window/MonthWindow.h"
#include "ui/JobProgress.h"
#include "printing/ExportCommand.h"
#include "fleet/FleetList.h"
#include "import/window/ImportWindow.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QTableView>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <functional>

namespace fd {
namespace {

constexpr int kMinWidth = 1020;
constexpr int kMinHeight = 700;
// Group items of the category tree, collapsed when the window is created.
constexpr int kGroupIndexes[] = {1, 6, 11, 20, 25, 30};

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& text, QRect geometry)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

QTreeWidgetItem* itemAtIndex(QTreeWidget* tree, int index)
{
    // Depth-first order, the root counting as 0.
    int i = 0;
    std::function<QTreeWidgetItem*(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) -> QTreeWidgetItem* {
        if (i++ == index)
            return item;
        for (int c = 0; c < item->childCount(); ++c)
            if (QTreeWidgetItem* found = walk(item->child(c)))
                return found;
        return nullptr;
    };
    for (int t = 0; t < tree->topLevelItemCount(); ++t)
        if (QTreeWidgetItem* found = walk(tree->topLevelItem(t)))
            return found;
    return nullptr;
}

} // namespace

MainWindow::MainWindow(AppState& state, ui::Dialogs& dialogs, MainWindowHooks hooks, QWidget* parent)
    : QMainWindow(parent)
    , m_state(state)
    , m_dialogs(dialogs)
    , m_hooks(std::move(hooks))
{
    setObjectName(QStringLiteral("mainWindow"));
    m_fleet = new fleet::FleetList(state, dialogs, this);
    connect(m_fleet, &fleet::FleetList::captionRequested, this, &QWidget::setWindowTitle);
    buildControls();
    buildMenu();
    move(50, 50);
    resize(kMinWidth, 691);
}

MainWindow::~MainWindow()
{
    db::dbClose(m_state.dbConnection);
}

void MainWindow::buildControls()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    central->setAutoFillBackground(true);
    QPalette pal = central->palette();
    pal.setColor(QPalette::Window, QColor(236, 236, 236));
    central->setPalette(pal);
    setCentralWidget(central);

    m_searchField = new QComboBox(central);
    m_searchField->setObjectName(QStringLiteral("组合框1"));
    m_searchField->setEditable(false);
    m_searchField->addItem(QStringLiteral("车牌号"), 1);
    m_searchField->addItem(QStringLiteral("档案编号"), 2);
    m_searchField->addItem(QStringLiteral("车主姓名"), 3);
    m_searchField->setCurrentIndex(0);
    m_searchField->setGeometry(7, 11, 88, 20);

    m_searchText = new QLineEdit(central);
    m_searchText->setObjectName(QStringLiteral("编辑框_车号查询"));
    m_searchText->setGeometry(101, 5, 58, 30);
    m_searchText->installEventFilter(this);

    auto* search = makeButton(central, QStringLiteral("按钮_代码查询"), QStringLiteral("查询"), QRect(161, 3, 50, 32));
    connect(search, &QPushButton::clicked, this, &MainWindow::runSearch);
    auto* add = makeButton(central, QStringLiteral("按钮_新增车辆"), QStringLiteral("新增车辆"), QRect(212, 3, 73, 32));
    connect(add, &QPushButton::clicked, this, &MainWindow::addVehicle);
    m_guarded.append({add, Permission::EditVehicles});
    auto* modify = makeButton(central, QStringLiteral("按钮_修改车辆"), QStringLiteral("修改车辆"), QRect(286, 3, 73, 32));
    connect(modify, &QPushButton::clicked, this, &MainWindow::modifyVehicle);
    auto* mass = makeButton(central, QStringLiteral("按钮_短信群发"), QStringLiteral("短信群发"), QRect(360, 3, 73, 32));
    connect(mass, &QPushButton::clicked, this, &MainWindow::startMassSend);
    m_guarded.append({mass, Permission::SendSms});
    auto* print = makeButton(central, QStringLiteral("按钮_打印"), QStringLiteral("打印"), QRect(434, 3, 73, 32));
    connect(print, &QPushButton::clicked, this, &MainWindow::printGrid);
    m_guarded.append({print, Permission::Print});
    m_overviewButton = makeButton(central, QStringLiteral("按钮_到期总览"), QStringLiteral("到期总览"), QRect(508, 3, 73, 32));
    m_overviewButton->setCheckable(true);
    auto* pay = makeButton(central, QStringLiteral("按钮_收费"), QStringLiteral("收费"), QRect(582, 3, 73, 32));
    connect(pay, &QPushButton::clicked, this, &MainWindow::takePayment);
    m_guarded.append({pay, Permission::TakeFees});
    connect(m_overviewButton, &QPushButton::toggled, this, &MainWindow::showOverview);
    auto* refresh = makeButton(central, QStringLiteral("按钮_刷新"), QStringLiteral("刷新"), QRect(656, 3, 50, 32));
    connect(refresh, &QPushButton::clicked, this, &MainWindow::refreshList);
    auto* refreshKey = new QAction(this);
    refreshKey->setObjectName(QStringLiteral("actionRefresh"));
    refreshKey->setShortcut(QKeySequence(Qt::Key_F5));
    addAction(refreshKey);
    connect(refreshKey, &QAction::triggered, this, &MainWindow::refreshList);

    m_tree = new QTreeWidget(central);
    m_tree->setObjectName(QStringLiteral("树型框1"));
    m_tree->setHeaderHidden(true);
    m_tree->setGeometry(9, 39, 151, 593);
    fleet::FleetList::populateCategoryTree(m_tree);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, &MainWindow::onTreeSelectionChanged);

    m_grid = new QTableView(central);
    m_grid->setObjectName(QStringLiteral("高级表格_车辆具体信息"));
    m_grid->setGeometry(162, 39, 858, 593);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A click on the header row must not move the current row (it keeps the earlier selection).
    m_grid->horizontalHeader()->setSectionsClickable(false);
    m_grid->viewport()->installEventFilter(this);
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_grid, &QWidget::customContextMenuRequested, this, &MainWindow::showGridMenu);
    m_fleet->attachView(m_grid);
    // The overview takes the grid's place while its button is down; what it lists goes to the grid.
    m_overview = new overview::OverviewPage(m_state, m_dialogs, central);
    m_overview->setGeometry(m_grid->geometry());
    m_overview->hide();
    connect(m_overview, &overview::OverviewPage::listRequested, this,
        [this](const QString& sql, const QString& column, const QString& header) {
            showOverview(false);
            if (!restoredSinceLogin())
                m_fleet->loadDateList(sql, column, header);
        });
    connect(m_overview, &overview::OverviewPage::arrearsRequested, this, [this] { showArrears().setKind(3); });
    // A row selected with the keyboard (arrows, Page Up/Down, Home/End) or by a press is the
    // chosen vehicle as much as a clicked one. The selection changes before the current index
    // does, so the row comes from the selection itself. Refills and the focus frame a view puts on
    // its first row select nothing and record nothing.
    connect(m_grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        [this](const QItemSelection& selected) {
            if (!selected.isEmpty())
                recordRow(selected.indexes().constFirst().row());
        });
    // The row under the double-click is the one that opens.
    connect(m_grid, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            recordRow(index.row());
        openSelectedVehicle();
    });
}

void MainWindow::buildMenu()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("文件"));
    file->setObjectName(QStringLiteral("menuFile"));
    file->setToolTipsVisible(true);
    const auto guarded = [this](QAction* action, Permission permission) {
        m_guarded.append({action, permission});
        return action;
    };
    connect(guarded(file->addAction(QStringLiteral("打印")), Permission::Print), &QAction::triggered, this,
        &MainWindow::printGrid);
    connect(guarded(file->addAction(QStringLiteral("导入车辆")), Permission::EditVehicles), &QAction::triggered, this,
        &MainWindow::importVehicles);
    connect(guarded(file->addAction(QStringLiteral("导出Excel")), Permission::Print), &QAction::triggered, this,
        [this] { exportList(true); });
    connect(guarded(file->addAction(QStringLiteral("导出CSV")), Permission::Print), &QAction::triggered, this,
        [this] { exportList(false); });
    QAction* users = guarded(file->addAction(QStringLiteral("用户管理")), Permission::ManageUsers);
    users->setObjectName(QStringLiteral("actionUsers"));
    connect(users, &QAction::triggered, this, &MainWindow::manageUsers);
    QAction* backupNow = guarded(file->addAction(QStringLiteral("备份数据库")), Permission::Backups);
    backupNow->setObjectName(QStringLiteral("actionBackup"));
    connect(backupNow, &QAction::triggered, this, [this] {
        if (restoredSinceLogin() || (m_backup && m_backup->running()))
            return;
        m_backup = backup::backupFromProgram(m_state, m_dialogs, this);
    });
    QAction* restore = guarded(file->addAction(QStringLiteral("恢复数据库")), Permission::Backups);
    restore->setObjectName(QStringLiteral("actionRestore"));
    connect(restore, &QAction::triggered, this, [this] {
        if (!restoredSinceLogin())
            backup::restoreFromProgram(m_state, m_dialogs, this, [this] { restoredSinceLogin(); });
    });
    QAction* switchUser = file->addAction(QStringLiteral("切换用户"));
    switchUser->setObjectName(QStringLiteral("actionSwitchUser"));
    connect(switchUser, &QAction::triggered, this, [this] {
        // Another clerk takes over this PC: a login of its own, and the buttons of their role.
        if (m_hooks.switchUser && m_hooks.switchUser())
            afterLogin();
    });
    connect(file->addAction(QStringLiteral("退出")), &QAction::triggered, this, [this] {
        if (m_hooks.quit)
            m_hooks.quit();
    });
    QMenu* vehicles = menuBar()->addMenu(QStringLiteral("车辆管理"));
    vehicles->setObjectName(QStringLiteral("menuVehicles"));
    vehicles->setToolTipsVisible(true);
    connect(guarded(vehicles->addAction(QStringLiteral("新增车辆")), Permission::EditVehicles), &QAction::triggered,
        this, &MainWindow::addVehicle);
    connect(vehicles->addAction(QStringLiteral("修改车辆")), &QAction::triggered, this, &MainWindow::modifyVehicle);
    connect(guarded(vehicles->addAction(QStringLiteral("短信群发")), Permission::SendSms), &QAction::triggered, this,
        &MainWindow::startMassSend);
    connect(vehicles->addAction(QStringLiteral("自动提醒")), &QAction::triggered, this, [this] {
        if (m_hooks.openReminders)
            m_hooks.openReminders();
    });
    buildFeeMenu();
    QMenu* help = menuBar()->addMenu(QStringLiteral("帮助"));
    help->setObjectName(QStringLiteral("menuHelp"));
    QAction* manual = help->addAction(QStringLiteral("使用说明"));
    manual->setObjectName(QStringLiteral("actionManual"));
    manual->setShortcut(QKeySequence(Qt::Key_F1));
    // F1 wherever the focus is in the program, unless a modal window blocks the main window.
    manual->setShortcutContext(Qt::ApplicationShortcut);
    addAction(manual);
    connect(manual, &QAction::triggered, this, &MainWindow::showManual);
    connect(help->addAction(QStringLiteral("联系我们")), &QAction::triggered, this, &MainWindow::showContact);
    connect(help->addAction(QStringLiteral("关于软件")), &QAction::triggered, this, &MainWindow::showAbout);
}

void MainWindow::buildFeeMenu()
{
    QMenu* fees = menuBar()->addMenu(QStringLiteral("收费管理"));
    fees->setObjectName(QStringLiteral("menuFees"));
    const std::pair<const char16_t*, std::function<void()> MainWindowHooks::*> items[] = {
        {u"收费查询", &MainWindowHooks::openPaymentQuery},
        {u"日结", &MainWindowHooks::openTakings},
    };
    for (const auto& [text, hook] : items)
        connect(fees->addAction(QString::fromUtf16(text)), &QAction::triggered, this, [this, hook] {
            if (!restoredSinceLogin() && m_hooks.*hook)
                (m_hooks.*hook)();
        });
    connect(fees->addAction(QStringLiteral("欠费车辆")), &QAction::triggered, this, [this] { showArrears(); });
    connect(fees->addAction(QStringLiteral("月报")), &QAction::triggered, this, [this] { showMonthReport(); });
    connect(fees->addAction(QStringLiteral("收费数据检查")), &QAction::triggered, this, [this] { showFeeDataCheck(); });
}

void MainWindow::showGridMenu(const QPoint& position)
{
    const QModelIndex index = m_grid->indexAt(position);
    if (!index.isValid())
        return;
    m_grid->selectRow(index.row());
    recordRow(index.row());
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("gridMenu"));
    menu.setToolTipsVisible(true);
    QAction* pay = menu.addAction(QStringLiteral("收费"));
    ui::guardControl(pay, m_state, Permission::TakeFees);
    connect(pay, &QAction::triggered, this, &MainWindow::takePayment);
    connect(menu.addAction(QStringLiteral("修改车辆")), &QAction::triggered, this, &MainWindow::openSelectedVehicle);
    menu.exec(m_grid->viewport()->mapToGlobal(position));
}

void MainWindow::takePayment()
{
    if (text::isEqual(text::toNumber(m_state.currentVehicleId), 0.0)) {
        m_dialogs.message(app::texts::kSelectVehicleFirst);
        return;
    }
    if (restoredSinceLogin() || !ui::allowedByRole(m_state, Permission::TakeFees, m_dialogs))
        return;
    if (m_hooks.openPayment)
        m_hooks.openPayment();
}

// The fee windows are made once, over the main window, and read again when shown again.
template <typename W> W& showFeeWindow(QPointer<W>& window, AppState& state, ui::Dialogs& dialogs, QWidget* parent,
    const std::function<void(W&)>& made)
{
    if (!window) {
        window = new W(state, dialogs, parent);
        made(*window);
    } else {
        window->refresh();
    }
    window->show();
    window->raise();
    window->activateWindow();
    return *window;
}

fees::ArrearsWindow& MainWindow::showArrears()
{
    return showFeeWindow<fees::ArrearsWindow>(m_arrears, m_state, m_dialogs, this, [this](fees::ArrearsWindow& w) {
        // 收费 on a line of the list takes that vehicle's payment; the list is read again after it.
        connect(&w, &fees::ArrearsWindow::paymentRequested, this, [this, &w](qint64 id, int) {
            if (restoredSinceLogin() || !m_hooks.openPayment)
                return;
            m_state.currentVehicleId = QString::number(id);
            m_hooks.openPayment();
            w.refresh();
        });
    });
}

fees::MonthWindow& MainWindow::showMonthReport()
{
    return showFeeWindow<fees::MonthWindow>(m_monthReport, m_state, m_dialogs, this, [](fees::MonthWindow&) {});
}

fees::DataCheckWindow& MainWindow::showFeeDataCheck()
{
    return showFeeWindow<fees::DataCheckWindow>(m_feeCheck, m_state, m_dialogs, this, [this](fees::DataCheckWindow& w) {
        // The vehicle window of the line's vehicle, as a double-click on the grid opens it.
        connect(&w, &fees::DataCheckWindow::vehicleRequested, this, [this](qint64 id) {
            m_state.currentVehicleId = m_state.editVehicleId = QString::number(id);
            openSelectedVehicle();
        });
    });
}

void MainWindow::setHooks(MainWindowHooks hooks)
{
    m_hooks = std::move(hooks);
}

bool MainWindow::start()
{
    beforeLogin();
    if (m_hooks.openLogin && !m_hooks.openLogin())
        return false;
    afterLogin();
    return true;
}

void MainWindow::beforeLogin()
{
    setWindowTitle(m_state.appTitle);
    for (int index : kGroupIndexes)
        if (QTreeWidgetItem* item = itemAtIndex(m_tree, index))
            item->setExpanded(false);
    m_searchText->setFocus();
}

void MainWindow::applyRole()
{
    for (const auto& [control, permission] : m_guarded) {
        if (auto* action = qobject_cast<QAction*>(control))
            ui::guardControl(action, m_state, permission);
        else if (auto* widget = qobject_cast<QWidget*>(control))
            ui::guardControl(widget, m_state, permission);
    }
}

void MainWindow::importVehicles()
{
    if (restoredSinceLogin() || !ui::allowedByRole(m_state, Permission::EditVehicles, m_dialogs))
        return;
    auto* window = new import::ImportWindow(m_state, m_dialogs, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // The list shows the vehicles the import brought in.
    connect(window, &QDialog::finished, this, &MainWindow::refreshList);
    window->open();
}

void MainWindow::manageUsers()
{
    if (restoredSinceLogin() || !ui::allowedByRole(m_state, Permission::ManageUsers, m_dialogs))
        return;
    if (m_hooks.openUsers)
        m_hooks.openUsers();
}

void MainWindow::afterLogin()
{
    applyRole();
    // The outcome of the login is not checked: without a connection the list is the header only.
    if (m_state.dbConnection) {
        const backup::LastBackup last = backup::lastBackup(m_state.dbConnection);
        if (last.known && !last.ok)
            m_dialogs.message(QStringLiteral("最近一次备份失败\n时间：%1\n原因：%2")
                                  .arg(last.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), last.reason));
        m_state.restoreAtLogin = db::lastRestore(m_state.dbConnection).id;
    }
    m_fleet->loadAllVehicles();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    const int w = std::max(width(), kMinWidth);
    const int h = std::max(height(), kMinHeight);
    if (w != width() || h != height())
        resize(w, h); // snaps back; the layout below already uses the corrected size
    m_grid->resize(w - 185, h - 105);
    m_overview->resize(m_grid->size());
    m_tree->resize(m_tree->width(), h - 105);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_searchText && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            runSearch();
            return true;
        }
    }
    if (watched == m_grid->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            recordSelection();
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_export) // its file is not made
        m_export->stop();
    db::dbClose(m_state.dbConnection);
    QMainWindow::closeEvent(event);
}

void MainWindow::recordSelection()
{
    const QModelIndex current = m_grid->currentIndex();
    if (current.isValid())
        recordRow(current.row());
    m_state.editVehicleId = m_state.currentVehicleId;
}

void MainWindow::recordRow(int modelRow)
{
    // Row 0 of the grid is its header; model row r is grid row r + 1.
    m_state.currentVehicleId = m_fleet->gridText(modelRow + 1, 0);
    m_state.editVehicleId = m_state.currentVehicleId;
}

void MainWindow::addVehicle()
{
    if (restoredSinceLogin() || !ui::allowedByRole(m_state, Permission::EditVehicles, m_dialogs))
        return;
    m_state.modifyFlag = 0;
    m_state.newFlag = 1;
    if (m_hooks.openVehicleWindow)
        m_hooks.openVehicleWindow();
}

void MainWindow::modifyVehicle()
{
    if (text::isEqual(text::toNumber(m_state.currentVehicleId), 0.0)) {
        m_dialogs.message(app::texts::kSelectVehicleFirst);
        return;
    }
    openSelectedVehicle();
}

void MainWindow::openSelectedVehicle()
{
    if (restoredSinceLogin())
        return;
    m_state.modifyFlag = 1;
    m_state.newFlag = 0;
    if (m_hooks.openVehicleWindow)
        m_hooks.openVehicleWindow();
}

void MainWindow::printGrid()
{
    if (!ui::allowedOrRefused(m_state, Permission::Print, m_dialogs))
        return;
    if (m_overview->isVisible()) {
        m_overview->print();
        return;
    }
    afterList(QStringLiteral("print"), [this] {
        if (m_hooks.printGrid)
            m_hooks.printGrid();
    });
}

void MainWindow::afterList(const QString& what, std::function<void()> action)
{
    if (!m_fleet->filling()) {
        action();
        return;
    }
    if (m_waitingForList.contains(what))
        return;
    m_waitingForList.insert(what);
    m_fleet->whenComplete(this, [this, what, action = std::move(action)] {
        m_waitingForList.remove(what);
        action();
    });
}

void MainWindow::startMassSend()
{
    if (!ui::allowedOrRefused(m_state, Permission::SendSms, m_dialogs))
        return;
    if (m_fleet->filling()) {
        afterList(QStringLiteral("massSend"), [this] { startMassSend(); });
        return;
    }
    m_state.smsPlates.clear();
    m_state.smsPhones.clear();
    m_state.smsExpiryDates.clear();
    const int n = m_fleet->gridRowCount();
    for (int r = 1; r < n; ++r) {
        m_state.smsPhones.append(m_fleet->gridText(r, 5));
        m_state.smsPlates.append(m_fleet->gridText(r, 3));
        m_state.smsExpiryDates.append(m_fleet->gridText(r, 6));
    }
    if (m_state.smsPlates.isEmpty() || m_state.smsPhones.isEmpty()) {
        m_dialogs.message(app::texts::kNoPhonesToSend);
        return;
    }
    if (m_hooks.openMassSend)
        m_hooks.openMassSend();
}

void MainWindow::showAbout()
{
    m_dialogs.message(app::texts::kAboutText, app::texts::kAboutCaption);
}

void MainWindow::showContact()
{
    m_dialogs.message(app::texts::kContactText + m_state.settings.supportContact + QStringLiteral("。"), app::texts::kContactCaption);
}

void MainWindow::showManual()
{
    if (!m_help) {
        const QString folder = ui::manualFolder();
        if (folder.isEmpty()) {
            QStringList looked;
            for (const QString& f : ui::manualFolders())
                looked.append(QDir::toNativeSeparators(f));
            m_dialogs.message(app::texts::kManualMissing + looked.join(QLatin1Char('\n')));
            return;
        }
        m_help = new ui::HelpWindow(folder, this);
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

bool MainWindow::restoredSinceLogin()
{
    if (!m_state.dbConnection)
        return false;
    if (m_state.restoreAtLogin < 0) { // connected otherwise than by the login: from now on
        m_state.restoreAtLogin = db::lastRestore(m_state.dbConnection).id;
        return false;
    }
    if (!ui::refusedAfterRestore(m_state, m_dialogs))
        return false;
    close();
    return true;
}

void MainWindow::runSearch()
{
    if (restoredSinceLogin())
        return;
    m_fleet->searchVehicles(m_searchField->currentData().toInt(), m_searchText->text());
}

void MainWindow::exportList(bool excel)
{
    if (!ui::allowedOrRefused(m_state, Permission::Print, m_dialogs))
        return;
    if (m_fleet->filling()) {
        afterList(excel ? QStringLiteral("xlsx") : QStringLiteral("csv"), [this, excel] { exportList(excel); });
        return;
    }
    if (m_export && m_export->running())
        return;
    const QString title = fleet::listTitle(m_state.appTitle, m_state.loginDateTime);
    m_export = printing::exportShownList(fleet::shownList(*m_grid, title), m_dialogs,
        excel ? printing::ExportFormat::xlsx : printing::ExportFormat::csv, this);
}

void MainWindow::refreshList()
{
    if (m_overview->isVisible()) {
        m_overview->refresh();
        return;
    }
    if (restoredSinceLogin())
        return;
    m_fleet->reload();
}

void MainWindow::onTreeSelectionChanged()
{
    const QTreeWidgetItem* item = m_tree->currentItem();
    showOverview(false);
    if (restoredSinceLogin())
        return;
    m_fleet->categoryHandler(item ? item->data(0, Qt::UserRole).toInt() : 0);
}

void MainWindow::showFullListAfterSave()
{
    if (m_tree->topLevelItemCount() > 0) {
        const QSignalBlocker block(m_tree);
        m_tree->setCurrentItem(m_tree->topLevelItem(0));
    }
    if (restoredSinceLogin())
        return;
    m_fleet->loadAllVehicles();
    m_overview->fleetChanged();
}

void MainWindow::showOverview(bool shown)
{
    {
        const QSignalBlocker block(m_overviewButton);
        m_overviewButton->setChecked(shown);
    }
    m_grid->setVisible(!shown);
    m_overview->setVisible(shown);
}

} // namespace fd
