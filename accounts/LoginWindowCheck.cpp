#include "accounts/LoginWindowCheck.h"

#include "accounts/Accounts.h"
#include "accounts/PasswordHash.h"
#include "accounts/PasswordWindow.h"
#include "accounts/Staff.h"
#include "common/AppState.h"
#include "db/Database.h"
#include "db/ProgramTables.h"
#include "common/Text.h"
#include "ui/Dialogs.h"

#include <QSysInfo>

namespace fd::accounts {

// The window's convenience constructors live here, with the code they bring in: a program that
// shows the window before that code is loaded builds it with the constructor that takes both.
LoginWindow::LoginWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent)
    : LoginWindow(state, dialogs, RememberedLogin(), parent)
{
}

LoginWindow::LoginWindow(AppState& state, ui::Dialogs& dialogs, RememberedLogin remembered, QWidget* parent)
    : LoginWindow(
        state, dialogs, std::move(remembered), &checkLogin, [&state, &dialogs] { runPasswordWindow(state, dialogs); },
        parent)
{
}

void runPasswordWindow(AppState& state, ui::Dialogs& dialogs)
{
    PasswordWindow window(state, dialogs);
    window.exec();
}

LoginCheck checkLogin(AppState& state, ui::Dialogs& dialogs, const QString& userName, const QString& password)
{
    const Settings& settings = state.settings;
    if (!accounts::isOnline(settings)) {
        dialogs.message(QStringLiteral("联网失败！请检查上网设备。"));
        return LoginCheck::Refused;
    }
    state.appTitle = kProgramTitle;

    // A new connection at every attempt; a failed one leaves none.
    db::ConnectFailure failure = db::ConnectFailure::None;
    state.dbConnection = connectForLogin(settings, &failure);
    if (!state.dbConnection) {
        // Encryption refused says so: retrying or calling about the network would not help.
        const QString tls = tlsFailureText(failure);
        dialogs.message((tls.isEmpty() ? QStringLiteral("连接数据库失败！") : tls) + QStringLiteral("技术支持")
            + settings.supportContact);
        return LoginCheck::Refused;
    }
    if (!db::dbExecute(state.dbConnection, QStringLiteral("set names GBK")))
        dialogs.message(QStringLiteral("编码失败！"));

    // The program's own tables and the accounts of the users table, once per login: no operation
    // checks for them.
    QString error;
    if (!db::ensureProgramTables(*state.dbConnection, &error)
        || !fillAccountsFromUsersTable(*state.dbConnection, &error))
        qWarning("the program's own tables could not be made: %s", qPrintable(error));

    const LoginOutcome outcome = checkPassword(
        *state.dbConnection, userName, password, QSysInfo::machineHostName(), settings.keepPlainPasswords);
    switch (outcome.kind) {
    case LoginOutcome::Failed:
        dialogs.detailedMessage(QStringLiteral("打开数据库失败！技术支持") + settings.supportContact, outcome.error);
        return LoginCheck::Refused;
    case LoginOutcome::WrongPassword:
        dialogs.message(refusalMessage(outcome));
        return LoginCheck::WrongCredentials;
    case LoginOutcome::Locked:
    case LoginOutcome::Disabled:
        dialogs.message(refusalMessage(outcome));
        return LoginCheck::Refused;
    case LoginOutcome::Passed:
        break;
    }
    // A reset password must be changed now; a weak one may wait for the next login.
    const bool changed = outcome.mustChange && changePasswordAtLogin(state, dialogs, userName, outcome.changeRequired);
    if (outcome.changeRequired && !changed)
        return LoginCheck::Refused;
    state.loginRole = outcome.role;
    return changed ? LoginCheck::PassedNewPassword : LoginCheck::Passed;
}

bool changePasswordAtLogin(AppState& state, ui::Dialogs& dialogs, const QString& userName, bool required)
{
    const QString caption = QStringLiteral("请修改密码");
    const QString why = required ? QStringLiteral("您的密码是管理员设置的，须改为自己的密码才能登录。")
                                 : QStringLiteral("您的密码少于8个字符或与用户名相同，请改为更安全的密码（取消则下次登录时再提示）。");
    for (;;) {
        QString first;
        if (!dialogs.inputPassword(why + QStringLiteral("\n请输入新密码（至少8个字符，不能与用户名相同）："), first, caption))
            return false;
        first = text::trimSpaces(first);
        if (const QString problem = newPasswordProblem(userName, first); !problem.isEmpty()) {
            dialogs.message(problem);
            continue;
        }
        QString second;
        if (!dialogs.inputPassword(QStringLiteral("请再次输入新密码："), second, caption))
            return false;
        if (text::trimSpaces(second) != first) {
            dialogs.message(QStringLiteral("对不起，两次输入的新密码不同。请重新输入"));
            continue;
        }
        QString error;
        if (!setPassword(*state.dbConnection, userName, first, state.settings.keepPlainPasswords, false, &error)) {
            dialogs.detailedMessage(QStringLiteral("新密码更改失败！请重新更改。"), error);
            continue;
        }
        dialogs.message(QStringLiteral("新密码更改成功！请妥善保存密码。"));
        return true;
    }
}

} // namespace fd::accounts
