#include "reminders/window/ReminderWindow.h"

#include "common/AppState.h"
#include "common/DateTime.h"
#include "db/ThreadSession.h"
#include "reminders/ReminderHistory.h"
#include "reminders/DailyRun.h"
#include "reminders/ReminderRun.h"
#include "reminders/ReminderSetup.h"
#include "reminders/RunClaim.h"
#include "reminders/window/TextTableModel.h"
#include "ui/Dialogs.h"
#include "ui/RoleGuard.h"
#include "vehicles/VehicleColumns.h"

#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <optional>

namespace fd::reminders {
namespace {

    enum RuleColumn { DocumentColumn, NameColumn, ActionColumn, DaysColumn, AfterColumn, EnabledColumn };

    struct PlanResult {
        bool ok = false;
        QString error;
        ReminderPlan plan;
    };

    QString planStatus(const PlanEntry& e)
    {
        if (e.status == PlanEntry::Status::AlreadySent)
            return QStringLiteral("已处理：") + e.earlierResult;
        if (e.status == PlanEntry::Status::Send && e.earlierResult == kNotSentResult)
            return statusText(e.status) + QStringLiteral("（上次未发出）");
        return statusText(e.status);
    }

    QStringList planRow(const PlanEntry& e, const QString& signature)
    {
        return {e.plate, e.owner, e.phone, e.document, e.expiryText, stageText(e.stage), planStatus(e),
            e.message + signature};
    }

    QString progressText(int sent, int failed, int remaining)
    {
        return QStringLiteral("已发送%1条，失败%2条，剩余%3条").arg(sent).arg(failed).arg(remaining);
    }

    // The options of the window's session, copied on the window's thread for a worker's session of
    // its own; none while no session is open.
    std::optional<db::Connection::Options> sessionOptions(const AppState& state)
    {
        if (!state.dbConnection)
            return std::nullopt;
        return state.dbConnection->options();
    }

    // The calling worker thread's own session; empty, with the reason, when there is none.
    db::ConnectionPtr workerSession(const std::optional<db::Connection::Options>& options, QString& error)
    {
        if (!options) {
            error = QStringLiteral("没有连接数据库");
            return nullptr;
        }
        QString why;
        db::ConnectionPtr session = db::threadSession(*options, &why);
        if (!session)
            error = QStringLiteral("连接不上数据库：%1").arg(why);
        return session;
    }

} // namespace

ReminderWindow::ReminderWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_dialogs(dialogs)
    , m_stopFlag(std::make_shared<std::atomic_bool>(false))
{
    setObjectName(QStringLiteral("自动提醒"));
    setWindowTitle(QStringLiteral("自动提醒"));
    m_today = [] {
        const QDate d = QDate::currentDate();
        return datetime::daysFromCivil(d.year(), d.month(), d.day());
    };
    buildControls();
    loadRules();
    refreshPlan();
    refreshHistory();
}

ReminderWindow::~ReminderWindow()
{
    // A run in progress ends after the message on its way; its stage still gets its result.
    m_stopFlag->store(true);
}

void ReminderWindow::buildControls()
{
    resize(900, 560);
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("选项卡_自动提醒"));

    // Rules.
    auto* rulesPage = new QWidget;
    m_rulesTable = new QTableWidget(0, 6, rulesPage);
    m_rulesTable->setObjectName(QStringLiteral("表格_提醒规则"));
    m_rulesTable->setHorizontalHeaderLabels({QStringLiteral("证件"), QStringLiteral("短信中的名称"),
        QStringLiteral("请及时"), QStringLiteral("提前天数"), QStringLiteral("过期次日提醒"), QStringLiteral("启用")});
    m_rulesTable->horizontalHeader()->setStretchLastSection(true);
    m_signature = new QLineEdit(rulesPage);
    m_signature->setObjectName(QStringLiteral("编辑框_短信后缀"));
    auto* save = new QPushButton(QStringLiteral("保存规则"), rulesPage);
    save->setObjectName(QStringLiteral("按钮_保存规则"));
    ui::guardControl(save, m_state, Permission::EditRules);
    connect(save, &QPushButton::clicked, this, [this] {
        if (saveRules())
            refreshPlan();
    });
    auto* signatureRow = new QHBoxLayout;
    signatureRow->addWidget(new QLabel(QStringLiteral("短信后缀（公司名称，如【某某运输】）："), rulesPage));
    signatureRow->addWidget(m_signature, 1);
    signatureRow->addWidget(save);
    auto* rulesLayout = new QVBoxLayout(rulesPage);
    rulesLayout->addWidget(m_rulesTable);
    rulesLayout->addWidget(new QLabel(QStringLiteral("提前天数用逗号分开，如 30,7；0 表示到期当天。"
                                                     "每个阶段只发一次，错过的日子在下一次运行时补发最近的一个阶段。"),
        rulesPage));
    rulesLayout->addLayout(signatureRow);
    tabs->addTab(rulesPage, QStringLiteral("提醒规则"));

    // Today's plan and the run.
    auto* planPage = new QWidget;
    m_planModel = new TextTableModel({QStringLiteral("车牌号"), QStringLiteral("车主姓名"), QStringLiteral("手机号"),
                                         QStringLiteral("证件"), QStringLiteral("有效日期"), QStringLiteral("阶段"),
                                         QStringLiteral("状态"), QStringLiteral("短信内容")},
        this);
    m_planView = new QTableView(planPage);
    m_planView->setObjectName(QStringLiteral("表格_今日计划"));
    m_planView->setModel(m_planModel);
    m_planView->horizontalHeader()->setStretchLastSection(true);
    m_planLabel = new QLabel(planPage);
    m_planLabel->setObjectName(QStringLiteral("标签_今日计划"));
    m_progress = new QLabel(planPage);
    m_progress->setObjectName(QStringLiteral("标签_发送进度"));
    auto* refresh = new QPushButton(QStringLiteral("刷新"), planPage);
    refresh->setObjectName(QStringLiteral("按钮_刷新计划"));
    connect(refresh, &QPushButton::clicked, this, &ReminderWindow::refreshPlan);
    m_run = new QPushButton(QStringLiteral("立即发送"), planPage);
    m_run->setObjectName(QStringLiteral("按钮_立即发送"));
    ui::guardControl(m_run, m_state, Permission::SendSms);
    connect(m_run, &QPushButton::clicked, this, &ReminderWindow::runNow);
    m_stop = new QPushButton(QStringLiteral("停止"), planPage);
    m_stop->setObjectName(QStringLiteral("按钮_停止"));
    m_stop->setEnabled(false);
    connect(m_stop, &QPushButton::clicked, this, &ReminderWindow::stopRun);
    auto* planButtons = new QHBoxLayout;
    planButtons->addWidget(m_planLabel, 1);
    planButtons->addWidget(refresh);
    planButtons->addWidget(m_run);
    planButtons->addWidget(m_stop);
    auto* planLayout = new QVBoxLayout(planPage);
    planLayout->addWidget(m_planView);
    planLayout->addWidget(m_progress);
    planLayout->addLayout(planButtons);
    tabs->addTab(planPage, QStringLiteral("今日计划"));

    // History.
    auto* historyPage = new QWidget;
    m_historyModel = new TextTableModel({QStringLiteral("登记时间"), QStringLiteral("车牌号"), QStringLiteral("手机号"),
                                            QStringLiteral("证件"), QStringLiteral("有效日期"), QStringLiteral("阶段"),
                                            QStringLiteral("结果"), QStringLiteral("发送电脑"), QStringLiteral("短信内容")},
        this);
    auto* historyView = new QTableView(historyPage);
    historyView->setObjectName(QStringLiteral("表格_发送记录"));
    historyView->setModel(m_historyModel);
    historyView->horizontalHeader()->setStretchLastSection(true);
    m_filter = new QLineEdit(historyPage);
    m_filter->setObjectName(QStringLiteral("编辑框_车牌过滤"));
    m_filter->setPlaceholderText(QStringLiteral("车牌号"));
    connect(m_filter, &QLineEdit::returnPressed, this, &ReminderWindow::refreshHistory);
    auto* query = new QPushButton(QStringLiteral("查询"), historyPage);
    query->setObjectName(QStringLiteral("按钮_查询记录"));
    connect(query, &QPushButton::clicked, this, &ReminderWindow::refreshHistory);
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel(QStringLiteral("车牌号："), historyPage));
    filterRow->addWidget(m_filter, 1);
    filterRow->addWidget(query);
    auto* historyLayout = new QVBoxLayout(historyPage);
    historyLayout->addLayout(filterRow);
    historyLayout->addWidget(historyView);
    tabs->addTab(historyPage, QStringLiteral("发送记录"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
}

void ReminderWindow::setTodaySource(std::function<qint64()> today)
{
    m_today = std::move(today);
    refreshPlan();
}

void ReminderWindow::setToday(qint64 day)
{
    setTodaySource([day] { return day; });
}

void ReminderWindow::loadRules()
{
    QString error;
    if (!ensureDefaultRules(m_state.dbConnection, &error) || !reminders::loadRules(m_state.dbConnection, m_rules, &error)) {
        m_dialogs.detailedMessage(QStringLiteral("读取提醒规则失败！"), error);
        m_rules = defaultRules();
    }
    m_rulesTable->setRowCount(static_cast<int>(m_rules.rules.size()));
    for (int r = 0; r < static_cast<int>(m_rules.rules.size()); ++r) {
        const ReminderRule& rule = m_rules.rules[static_cast<std::size_t>(r)];
        QString header = vehicles::watchedDateHeader(rule.column);
        auto* doc = new QTableWidgetItem(header.isEmpty() ? rule.column : header);
        doc->setFlags(Qt::ItemIsEnabled);
        doc->setData(Qt::UserRole, rule.column);
        m_rulesTable->setItem(r, DocumentColumn, doc);
        m_rulesTable->setItem(r, NameColumn, new QTableWidgetItem(rule.document));
        m_rulesTable->setItem(r, ActionColumn, new QTableWidgetItem(rule.action));
        m_rulesTable->setItem(r, DaysColumn, new QTableWidgetItem(daysText(rule.daysBefore)));
        for (const auto& [column, on] : {std::pair {AfterColumn, rule.afterExpiry}, std::pair {EnabledColumn, rule.enabled}}) {
            auto* box = new QTableWidgetItem;
            box->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            box->setCheckState(on ? Qt::Checked : Qt::Unchecked);
            m_rulesTable->setItem(r, column, box);
        }
    }
    m_signature->setText(m_rules.signature);
}

bool ReminderWindow::saveRules()
{
    if (!ui::allowedOrRefused(m_state, Permission::EditRules, m_dialogs))
        return false;
    ReminderRules edited = m_rules;
    for (int r = 0; r < m_rulesTable->rowCount(); ++r) {
        ReminderRule& rule = edited.rules[static_cast<std::size_t>(r)];
        rule.document = m_rulesTable->item(r, NameColumn)->text().trimmed();
        rule.action = m_rulesTable->item(r, ActionColumn)->text().trimmed();
        if (!parseDays(m_rulesTable->item(r, DaysColumn)->text(), rule.daysBefore)) {
            m_dialogs.message(QStringLiteral("“%1”的提前天数应为0到366之间不重复的整数，用逗号分开，如 30,7。")
                                  .arg(m_rulesTable->item(r, DocumentColumn)->text()));
            return false;
        }
        rule.afterExpiry = m_rulesTable->item(r, AfterColumn)->checkState() == Qt::Checked;
        rule.enabled = m_rulesTable->item(r, EnabledColumn)->checkState() == Qt::Checked;
        if (rule.document.isEmpty()) {
            m_dialogs.message(QStringLiteral("“%1”在短信中的名称不能为空。").arg(m_rulesTable->item(r, DocumentColumn)->text()));
            return false;
        }
    }
    edited.signature = m_signature->text();
    QString error;
    if (!reminders::saveRules(m_state.dbConnection, edited, &error)) {
        m_dialogs.detailedMessage(QStringLiteral("提醒规则没有保存！"), error);
        return false;
    }
    m_rules = edited;
    loadRules(); // shows the rules as stored (days sorted)
    m_dialogs.message(QStringLiteral("提醒规则已保存。"));
    return true;
}

void ReminderWindow::refreshPlan()
{
    if (sending())
        return;
    m_planJob.cancel();
    m_planning = true;
    m_planLabel->setText(QStringLiteral("正在计划…"));
    m_run->setEnabled(false);
    const std::optional<db::Connection::Options> options = sessionOptions(m_state);
    const qint64 today = m_today();
    m_planJob = startJob(
        JobLane::database(), this,
        [options, today](JobControl&) {
            PlanResult r;
            if (const db::ConnectionPtr session = workerSession(options, r.error))
                r.ok = planReminders(session, today, r.plan, &r.error);
            return r;
        },
        [this](PlanResult r) {
            m_planning = false;
            const bool runAfter = std::exchange(m_runAfterPlan, false);
            if (!r.ok) {
                m_planLabel->setText(QStringLiteral("计划失败"));
                m_dialogs.detailedMessage(QStringLiteral("读取车辆或提醒规则失败！"), r.error);
                return;
            }
            m_plan = std::move(r.plan);
            showPlan();
            if (runAfter)
                runNow();
        });
}

void ReminderWindow::showPlan()
{
    std::vector<QStringList> rows;
    for (const PlanEntry& e : m_plan.entries)
        rows.push_back(planRow(e, m_plan.rules.signature));
    m_planModel->setRows(std::move(rows));
    int y = 0, m = 0, d = 0;
    datetime::civilFromDays(m_plan.today, y, m, d);
    const int toSend = m_plan.count(PlanEntry::Status::Send);
    m_planLabel->setText(QStringLiteral("%1：待发送%2条，已处理%3条，跳过%4条，待人工确认%5条")
                             .arg(datetime::dateText(y, m, d))
                             .arg(toSend)
                             .arg(m_plan.count(PlanEntry::Status::AlreadySent))
                             .arg(m_plan.count(PlanEntry::Status::OutOfService) + m_plan.count(PlanEntry::Status::NoPhone)
                                 + m_plan.count(PlanEntry::Status::BadPhone))
                             .arg(m_plan.count(PlanEntry::Status::Unresolved)));
    m_run->setEnabled(toSend > 0 && permits(m_state.loginRole, Permission::SendSms));
}

void ReminderWindow::runNow()
{
    if (sending() || planning() || !ui::allowedOrRefused(m_state, Permission::SendSms, m_dialogs))
        return;
    if (m_plan.today != m_today()) {
        // The window was opened on an earlier day: today's plan first, then the question.
        m_runAfterPlan = true;
        refreshPlan();
        return;
    }
    const int toSend = m_plan.count(PlanEntry::Status::Send);
    if (toSend == 0) {
        m_dialogs.message(QStringLiteral("今天没有要发送的提醒。"));
        return;
    }
    if (m_dialogs.ask(QStringLiteral("今天要发送%1条提醒短信，每秒一条。是否现在发送？").arg(toSend), ui::Dialogs::OkCancel)
        != ui::Dialogs::Ok)
        return;
    m_stopFlag = std::make_shared<std::atomic_bool>(false);
    m_sending = true;
    m_run->setEnabled(false);
    m_stop->setEnabled(true);
    m_progress->setText(progressText(0, 0, toSend));
    const std::optional<db::Connection::Options> database = sessionOptions(m_state);
    const SmsAccount account = smsAccountOf(m_state.settings);
    RunOptions options;
    options.paceMs = m_paceMs;
    options.runner = QSysInfo::machineHostName();
    auto stop = m_stopFlag;
    auto plan = std::make_shared<const ReminderPlan>(m_plan);
    // The run's statements go between its requests to the platform, on the SMS lane's thread with
    // a session of that thread's own.
    m_sendJob = startJob(
        JobLane::sms(), this,
        [database, account, options, stop, plan, toSend](JobControl& control) mutable {
            int done = 0;
            RunSummary summary;
            RunClaim claim;
            const db::ConnectionPtr connection = workerSession(database, claim.error);
            // One run at a time for the company: not beside the daily run or another office's.
            if (connection)
                claim = claimRun(connection, options.runner);
            if (claim.outcome == RunClaim::Outcome::Claimed) {
                options.claimToken = claim.token;
                summary = sendPlan(connection, account, *plan, options, stop.get(),
                    [&](const StageOutcome&) { control.progress(++done, toSend); });
                releaseRun(connection, claim.token);
            } else {
                summary.planned = toSend;
                summary.error = claim.outcome == RunClaim::Outcome::Busy
                    ? otherRunText(claim.holder) + QStringLiteral("请稍后再试。")
                    : QStringLiteral("无法登记本次运行：%1").arg(claim.error);
            }
            return std::make_pair(summary, plan);
        },
        [this](std::pair<RunSummary, std::shared_ptr<const ReminderPlan>> result) {
            m_sending = false;
            m_stop->setEnabled(false);
            const RunSummary& s = result.first;
            m_progress->setText(progressText(s.sent, s.failed, s.notReached));
            m_dialogs.message(summaryReport(*result.second, s));
            refreshPlan();
            refreshHistory();
        },
        [this, toSend](qint64 done, qint64) {
            m_progress->setText(QStringLiteral("已处理%1条，剩余%2条").arg(done).arg(toSend - done));
        });
}

void ReminderWindow::stopRun()
{
    m_stopFlag->store(true);
    m_stop->setEnabled(false);
}

void ReminderWindow::done(int result)
{
    if (m_sending
        && m_dialogs.ask(QStringLiteral("提醒短信尚未发送完，确定要停止发送并关闭窗口吗？"), ui::Dialogs::YesNo) != ui::Dialogs::Yes)
        return;
    // Nothing of the window's work reaches it from here on. The message on its way is still sent
    // and its stage given its result by the job; no message follows it.
    m_stopFlag->store(true);
    m_sendJob.cancel();
    m_planJob.cancel();
    m_sending = false;
    m_planning = false;
    m_runAfterPlan = false;
    m_stop->setEnabled(false);
    QDialog::done(result);
}

void ReminderWindow::refreshHistory()
{
    std::vector<HistoryRow> history;
    QString error;
    if (!readHistory(m_state.dbConnection, m_filter->text().trimmed(), 1000, history, &error)) {
        m_dialogs.detailedMessage(QStringLiteral("读取发送记录失败！"), error);
        return;
    }
    std::vector<QStringList> rows;
    for (const HistoryRow& h : history)
        rows.push_back({h.marked, h.plate, h.phone, h.document, h.expiry, h.stage, h.result, h.runner, h.message});
    m_historyModel->setRows(std::move(rows));
}

} // namespace fd::reminders
