#include "accounts/PasswordWindow.h"

#include "accounts/Accounts.h"
#include "accounts/PasswordHash.h"
#include "accounts/Staff.h"
#include "accounts/Widgets.h"
#include "common/AppState.h"
#include "ui/Dialogs.h"
#include "common/Text.h"
#include "db/Database.h"
#include "db/ProgramTables.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>

namespace fd::accounts {

PasswordWindow::PasswordWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("passwordWindow"));
    setFixedSize(380, 348);
    buildControls();
    connectToServer();
}

PasswordWindow::~PasswordWindow()
{
    // The window owns dbConnection while it is open; the next login connects anew.
    db::dbClose(m_state.dbConnection);
}

void PasswordWindow::buildControls()
{
    makeTransparentLabel(this, QStringLiteral("透明标签_用户名"), QStringLiteral("用户名"), QRect(64, 32, 80, 32));
    m_userName = makeEditBox(this, QStringLiteral("编辑框_用户名"), QRect(174, 32, 146, 32), Qt::black);

    makeTransparentLabel(this, QStringLiteral("透明标签_原始密码"), QStringLiteral("原始密码"), QRect(64, 90, 88, 32));
    m_currentPassword = makeEditBox(this, QStringLiteral("编辑框_原始密码"), QRect(174, 91, 146, 32), Qt::black);

    makeTransparentLabel(this, QStringLiteral("透明标签_新密码"), QStringLiteral("新密码"), QRect(64, 152, 80, 32));
    m_newPassword = makeEditBox(this, QStringLiteral("编辑框_新密码"), QRect(174, 150, 146, 32), Qt::black);
    m_newPassword->setEchoMode(QLineEdit::Password);

    makeTransparentLabel(
        this, QStringLiteral("透明标签_新确认密码"), QStringLiteral("新确认密码"), QRect(64, 208, 104, 32));
    m_confirmPassword = makeEditBox(this, QStringLiteral("编辑框_确认新密码"), QRect(174, 210, 146, 32), Qt::black);
    m_confirmPassword->setEchoMode(QLineEdit::Password);

    m_submit = new QPushButton(QStringLiteral("确定"), this);
    m_submit->setObjectName(QStringLiteral("按钮_提交"));
    m_submit->setGeometry(76, 262, 216, 40);
    m_submit->setAutoDefault(false);
    connect(m_submit, &QPushButton::clicked, this, &PasswordWindow::submit);
}

void PasswordWindow::connectToServer()
{
    if (!accounts::isOnline(m_state.settings)) {
        m_dialogs.message(QStringLiteral("联网失败！请检查上网设备。"));
        return;
    }
    setWindowTitle(m_state.appTitle);
    db::ConnectFailure failure = db::ConnectFailure::None;
    m_state.dbConnection = connectForPasswordChange(m_state.settings, &failure);
    if (!m_state.dbConnection) {
        const QString tls = tlsFailureText(failure);
        m_dialogs.message(tls.isEmpty() ? QStringLiteral("连接数据库失败！") : tls);
    }
}

void PasswordWindow::submit()
{
    // Only an exactly empty box is missing: spaces count as content.
    const struct {
        QLineEdit* box;
        QString message;
    } required[] = {
        { m_userName, QStringLiteral("请输入用户名。") },
        { m_currentPassword, QStringLiteral("请输入原始密码。") },
        { m_newPassword, QStringLiteral("请输入新密码。") },
        { m_confirmPassword, QStringLiteral("请输入确认新密码。") },
    };
    for (const auto& r : required) {
        if (r.box->text().isEmpty()) {
            m_dialogs.message(r.message);
            return;
        }
    }
    if (m_newPassword->text() != m_confirmPassword->text()) {
        m_dialogs.message(QStringLiteral("对不起，两次输入的新密码不同。请重新输入"));
        m_newPassword->clear();
        m_confirmPassword->clear();
        return;
    }

    const QString userName = text::trimSpaces(m_userName->text());
    const QString currentPassword = text::trimSpaces(m_currentPassword->text());
    const QString newPassword = text::trimSpaces(m_newPassword->text());
    if (const QString problem = newPasswordProblem(userName, newPassword); !problem.isEmpty()) {
        m_dialogs.message(problem);
        return;
    }
    if (!m_state.dbConnection) {
        m_dialogs.message(QStringLiteral("查找失败"));
        return;
    }
    db::Connection& session = *m_state.dbConnection;
    // The accounts may not have been made yet on this database: the login makes them.
    QString error;
    if (!db::ensureProgramTables(session, &error) || !fillAccountsFromUsersTable(session, &error))
        qWarning("the accounts could not be made: %s", qPrintable(error));
    // The current password is checked as a login checks it: a wrong one counts towards the lock.
    const LoginOutcome outcome = checkPassword(
        session, userName, currentPassword, QSysInfo::machineHostName(), m_state.settings.keepPlainPasswords);
    switch (outcome.kind) {
    case LoginOutcome::Failed:
        m_dialogs.detailedMessage(QStringLiteral("查找失败"), outcome.error);
        return;
    case LoginOutcome::WrongPassword:
        m_dialogs.message(refusalMessage(outcome));
        m_currentPassword->clear();
        m_userName->clear();
        return;
    case LoginOutcome::Locked:
    case LoginOutcome::Disabled:
        m_dialogs.message(refusalMessage(outcome));
        return;
    case LoginOutcome::Passed:
        break;
    }

    if (setPassword(session, userName, newPassword, m_state.settings.keepPlainPasswords, false, &error)) {
        m_dialogs.message(QStringLiteral("新密码更改成功！请妥善保存密码。"));
        accept();
    } else {
        m_dialogs.detailedMessage(QStringLiteral("新密码更改失败！请重新更改。"), error);
    }
}

} // namespace fd::accounts
