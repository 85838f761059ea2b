#pragma once

#include "accounts/RememberedLogin.h"

#include <QDialog>
#include <QString>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace fd {
namespace ui {
class Dialogs;
}
struct AppState;
}

namespace fd::accounts {

// What the checks of one press of 登录 came to. The checks tell the user what failed themselves.
enum class LoginCheck {
    Refused,          // no network, no connection or no answer to the count: the window stays as it is
    WrongCredentials, // no such user with this password: the window empties both boxes
    Passed,           // the window records the login and closes
    PassedNewPassword, // the same, after the user changed the password: the typed one is not remembered
};

// The part of a press of 登录 that reaches the network and the database, in this order: the
// connectivity test, a new connection into dbConnection (appTitle is set once the network is
// there), "set names GBK", the program's own tables and accounts, the check of the trimmed user
// name and password against the account (its lock, its log, its role into loginRole), and the
// change of a password that is to be changed.
// accounts::checkLogin (LoginWindowCheck.h) is the program's own.
using LoginChecks = std::function<LoginCheck(
    AppState& state, ui::Dialogs& dialogs, const QString& userName, const QString& password)>;

// The login, opened modally at the program's start (app/Startup.h). exec() returns Accepted after
// a successful login, Rejected when 取消 was pressed or the window was closed otherwise;
// cancelled() tells the two apart. Closing the window by its close box or Escape counts as 取消:
// the program never goes on without a verified user.
class LoginWindow : public QDialog {
    Q_OBJECT
public:
    // With the program's own checks and password window (both in LoginWindowCheck.cpp, beside
    // the database code): remembers the login in this platform's per-user store.
    LoginWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent = nullptr);
    // The same, remembering the login in the given store.
    LoginWindow(AppState& state, ui::Dialogs& dialogs, RememberedLogin remembered, QWidget* parent = nullptr);
    // With the given checks and password window: a window that needs none of the database and
    // network code until 登录 or the label is pressed, so that the program can show it before
    // that code is loaded.
    LoginWindow(AppState& state, ui::Dialogs& dialogs, RememberedLogin remembered, LoginChecks checks,
        std::function<void()> passwordOpener, QWidget* parent = nullptr);
    ~LoginWindow() override;

    bool cancelled() const;

    // Opens the password window modally over this one. The program's own builds a PasswordWindow
    // and runs it; tests put their own here.
    void setPasswordOpener(std::function<void()> opener);

    // 登录: every step of the login; on success the window is accepted (closed).
    void login();
    // 取消: ends the program.
    void cancel();

    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void restoreRememberedLogin();
    void enterBox(QLineEdit* box);

    AppState& m_state;
    ui::Dialogs& m_dialogs;
    RememberedLogin m_remembered;
    LoginChecks m_checks;
    std::function<void()> m_passwordOpener;
    bool m_cancelled = false;

    QLineEdit* m_userName = nullptr;
    QLineEdit* m_password = nullptr;
    bool m_passwordEntered = false; // the user has entered the password box (a late keyring answer stays out)
    QCheckBox* m_remember = nullptr;
    QLabel* m_changePassword = nullptr;
    QPushButton* m_login = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace fd::accounts
