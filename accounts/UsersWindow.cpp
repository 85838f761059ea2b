#include "accounts/UsersWindow.h"

#include "accounts/PasswordHash.h"
#include "common/AppState.h"
#include "common/Text.h"
#include "ui/Dialogs.h"
#include "ui/RoleGuard.h"
#include "ui/ScreenFit.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace fd::accounts {
namespace {

    constexpr int kLogRows = 500;

    QString timeText(const QDateTime& time)
    {
        return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
    }

    QString stateText(const StaffAccount& account)
    {
        if (account.disabled)
            return QStringLiteral("停用");
        if (account.lockedUntil.isValid())
            return QStringLiteral("锁定至 %1").arg(account.lockedUntil.toString(QStringLiteral("HH:mm")));
        return QStringLiteral("正常");
    }

    QTableWidget* makeTable(QWidget* parent, const QString& name, const QStringList& headers)
    {
        auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
        table->setObjectName(name);
        table->setHorizontalHeaderLabels(headers);
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        table->setSelectionMode(QAbstractItemView::SingleSelection);
        table->verticalHeader()->hide();
        table->horizontalHeader()->setStretchLastSection(true);
        return table;
    }

    void setRow(QTableWidget* table, int row, const QStringList& texts)
    {
        for (int c = 0; c < texts.size(); ++c)
            table->setItem(row, c, new QTableWidgetItem(texts[c]));
    }

} // namespace

UsersWindow::UsersWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("usersWindow"));
    setWindowTitle(QStringLiteral("用户管理"));
    buildControls();
    resize(760, 620);
    ui::fitToScreen(this);
    refresh();
}

UsersWindow::~UsersWindow() = default;

void UsersWindow::buildControls()
{
    m_plainWarning = new QLabel(
        QStringLiteral("注意：设置 keepPlainPasswords 已开启，旧用户表 mimabiao 中仍保存着明文密码。"
                       "只有仍在使用旧版程序时才应开启，不再使用后请关闭。"),
        this);
    m_plainWarning->setObjectName(QStringLiteral("标签_明文密码警告"));
    m_plainWarning->setWordWrap(true);
    m_plainWarning->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0);"));
    m_plainWarning->setVisible(m_state.settings.keepPlainPasswords);

    m_users = makeTable(this, QStringLiteral("表格_用户"),
        {QStringLiteral("用户名"), QStringLiteral("角色"), QStringLiteral("状态"), QStringLiteral("须改密码"),
            QStringLiteral("最近登录")});
    const int widths[] = {150, 70, 120, 70};
    for (int c = 0; c < static_cast<int>(std::size(widths)); ++c)
        m_users->horizontalHeader()->resizeSection(c, widths[c]);
    connect(m_users, &QTableWidget::itemSelectionChanged, this, &UsersWindow::showLog);

    m_role = new QComboBox(this);
    m_role->setObjectName(QStringLiteral("组合框_角色"));
    for (Role role : {Role::Admin, Role::Clerk, Role::Cashier, Role::Reader})
        m_role->addItem(roleName(role), static_cast<int>(role));
    m_role->setCurrentIndex(1);

    const struct {
        const char16_t* name;
        const char16_t* text;
        std::function<void()> action;
    } buttons[] = {
        {u"按钮_新增用户", u"新增用户", [this] { addUser(); }},
        {u"按钮_修改角色", u"设为此角色", [this] { changeRole(); }},
        {u"按钮_重置密码", u"重置密码", [this] { resetPassword(); }},
        {u"按钮_停用", u"停用", [this] { setChosenDisabled(true); }},
        {u"按钮_启用", u"启用", [this] { setChosenDisabled(false); }},
        {u"按钮_解锁", u"解锁", [this] { unlock(); }},
        {u"按钮_删除用户", u"删除", [this] { removeUser(); }},
        {u"按钮_刷新", u"刷新", [this] { refresh(); }},
    };
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("角色"), this));
    row->addWidget(m_role);
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf16(b.text), this);
        button->setObjectName(QString::fromUtf16(b.name));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, b.action);
        row->addWidget(button);
    }
    row->addStretch(1);

    m_logTitle = new QLabel(this);
    m_logTitle->setObjectName(QStringLiteral("标签_登录记录"));
    m_log = makeTable(this, QStringLiteral("表格_登录记录"),
        {QStringLiteral("时间"), QStringLiteral("用户名"), QStringLiteral("结果"), QStringLiteral("机器")});
    const int logWidths[] = {150, 150, 80};
    for (int c = 0; c < static_cast<int>(std::size(logWidths)); ++c)
        m_log->horizontalHeader()->resizeSection(c, logWidths[c]);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_plainWarning);
    layout->addWidget(m_users, 3);
    layout->addLayout(row);
    layout->addWidget(m_logTitle);
    layout->addWidget(m_log, 2);
}

void UsersWindow::refresh()
{
    const QString chosen = chosenUser();
    QString error;
    m_accounts = m_state.dbConnection ? listAccounts(*m_state.dbConnection, &error) : QList<StaffAccount>();
    if (!error.isEmpty())
        m_dialogs.detailedMessage(QStringLiteral("读取用户失败！"), error);
    const QSignalBlocker quiet(m_users);
    m_users->setRowCount(static_cast<int>(m_accounts.size()));
    for (int r = 0; r < m_accounts.size(); ++r) {
        const StaffAccount& a = m_accounts[r];
        setRow(m_users, r,
            {a.userName, roleName(a.role), stateText(a), a.mustChange ? QStringLiteral("是") : QStringLiteral("否"),
                timeText(a.lastLogin)});
    }
    choose(chosen);
    showLog();
}

QString UsersWindow::chosenUser() const
{
    const int row = m_users->currentRow();
    return row >= 0 && row < m_accounts.size() && m_users->selectionModel()->isRowSelected(row, QModelIndex())
        ? m_accounts[row].userName
        : QString();
}

void UsersWindow::choose(const QString& userName)
{
    for (int r = 0; r < m_accounts.size(); ++r)
        if (!userName.isEmpty() && m_accounts[r].userName == userName) {
            m_users->selectRow(r);
            return;
        }
    m_users->clearSelection();
}

void UsersWindow::showLog()
{
    if (!m_state.dbConnection)
        return;
    const QString user = chosenUser();
    QString error;
    const QList<LoginRecord> records = loginLog(*m_state.dbConnection, user, kLogRows, &error);
    m_logTitle->setText(user.isEmpty() ? QStringLiteral("登录记录（全部用户，最近%1次）").arg(kLogRows)
                                       : QStringLiteral("登录记录：%1").arg(user));
    m_log->setRowCount(static_cast<int>(records.size()));
    for (int r = 0; r < records.size(); ++r)
        setRow(m_log, r, {timeText(records[r].time), records[r].userName, records[r].result, records[r].machine});
}

void UsersWindow::onChosen(const std::function<QString(db::Connection&, const QString&)>& operation)
{
    if (!ui::allowedOrRefused(m_state, Permission::ManageUsers, m_dialogs) || !m_state.dbConnection)
        return;
    const QString user = chosenUser();
    if (user.isEmpty()) {
        m_dialogs.message(QStringLiteral("请先选择一个用户。"));
        return;
    }
    const QString problem = operation(*m_state.dbConnection, user);
    if (!problem.isEmpty())
        m_dialogs.message(problem);
    refresh();
}

void UsersWindow::addUser()
{
    if (!ui::allowedOrRefused(m_state, Permission::ManageUsers, m_dialogs) || !m_state.dbConnection)
        return;
    QString name;
    if (!m_dialogs.inputText(QStringLiteral("新用户的用户名（角色：%1）：").arg(m_role->currentText()), name))
        return;
    name = text::trimSpaces(name);
    QString password;
    if (!m_dialogs.inputPassword(
            QStringLiteral("“%1”的初始密码（至少8个字符，用户第一次登录时须修改）：").arg(name), password))
        return;
    const QString problem = addAccount(*m_state.dbConnection, name,
        static_cast<Role>(m_role->currentData().toInt()), text::trimSpaces(password),
        m_state.settings.keepPlainPasswords);
    if (!problem.isEmpty()) {
        m_dialogs.message(problem);
        return;
    }
    refresh();
    choose(name);
}

void UsersWindow::changeRole()
{
    const Role role = static_cast<Role>(m_role->currentData().toInt());
    onChosen([role](db::Connection& session, const QString& user) { return setRole(session, user, role); });
}

void UsersWindow::resetPassword()
{
    onChosen([this](db::Connection& session, const QString& user) {
        QString password;
        if (!m_dialogs.inputPassword(
                QStringLiteral("“%1”的新密码（至少8个字符，用户下次登录时须修改）：").arg(user), password))
            return QString();
        password = text::trimSpaces(password);
        if (const QString problem = newPasswordProblem(user, password); !problem.isEmpty())
            return problem;
        QString error;
        if (!setPassword(session, user, password, m_state.settings.keepPlainPasswords, true, &error))
            return QStringLiteral("重置密码失败：") + error;
        m_dialogs.message(QStringLiteral("“%1”的密码已重置，下次登录时须修改。").arg(user));
        return QString();
    });
}

void UsersWindow::setChosenDisabled(bool disabled)
{
    onChosen([disabled](db::Connection& session, const QString& user) {
        return accounts::setDisabled(session, user, disabled);
    });
}

void UsersWindow::unlock()
{
    onChosen([](db::Connection& session, const QString& user) { return unlockAccount(session, user); });
}

void UsersWindow::removeUser()
{
    onChosen([this](db::Connection& session, const QString& user) {
        if (user.compare(m_state.loginUser, Qt::CaseInsensitive) == 0)
            return QStringLiteral("不能删除正在使用的用户。");
        if (m_dialogs.ask(QStringLiteral("确定删除用户“%1”吗？其登录记录将保留。").arg(user), ui::Dialogs::YesNo)
            != ui::Dialogs::Yes)
            return QString();
        return removeAccount(session, user);
    });
}

} // namespace fd::accounts
