#include "accounts/LoginWindowCheck.h"

#include "accounts/Accounts.h"
#include "accounts/PasswordWindow.h"
#include "common/AppState.h"
#include "db/Database.h"
#include "db/ProgramTables.h"
#include "ui/Dialogs.h"

namespace fd::accounts {

// The window's convenience constructors live here, with the code they bring in: a program that
// shows the window before that code is loaded builds it with the constructor that takes both.
LoginWindow::LoginWindow(AppState& state, Dialogs& dialogs, QWidget* parent)
    : LoginWindow(state, dialogs, RememberedLogin(), parent)
{
}

LoginWindow::LoginWindow(AppState& state, Dialogs& dialogs, RememberedLogin remembered, QWidget* parent)
    : LoginWindow(
        state, dialogs, std::move(remembered), &checkLogin, [&state, &dialogs] { runPasswordWindow(state, dialogs); },
        parent)
{
}

void runPasswordWindow(AppState& state, Dialogs& dialogs)
{
    PasswordWindow window(state, dialogs);
    window.exec();
}

LoginCheck checkLogin(AppState& state, Dialogs& dialogs, const QString& userName, const QString& password)
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

    const CredentialCount found = countCredentials(state.dbConnection, userName, password);
    switch (found.outcome) {
    case CredentialCount::QueryFailed:
        dialogs.message(QStringLiteral("打开数据库失败！技术支持") + settings.supportContact);
        return LoginCheck::Refused;
    case CredentialCount::ReadFailed:
        dialogs.message(QStringLiteral("读字段值 失败！"));
        return LoginCheck::Refused;
    case CredentialCount::Counted:
        break;
    }
    if (found.count == 0) {
        dialogs.message(QStringLiteral("用户名和密码不正确！请重新输入。"));
        return LoginCheck::WrongCredentials;
    }

    // The program's own tables, once per login: no operation checks for them.
    if (QString error; !db::ensureProgramTables(*state.dbConnection, &error))
        qWarning("the program's own tables could not be created: %s", qPrintable(error));
    return LoginCheck::Passed;
}

} // namespace fd::accounts
