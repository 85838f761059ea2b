#pragma once

#include "accounts/RememberedLogin.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace fd {
struct AppState;
class Dialogs;
}

namespace fd::accounts {

// The login, opened modally while the main window is being created. exec() returns Accepted after
// a successful login, Rejected when 取消 was pressed or the window was closed otherwise;
// cancelled() tells the two apart. Closing the window by its close box or Escape counts as 取消:
// the program never goes on without a verified user.
class LoginWindow : public QDialog {
    Q_OBJECT
public:
    // Remembers the login in this platform's per-user store.
    LoginWindow(AppState& state, Dialogs& dialogs, QWidget* parent = nullptr);
    // Remembers the login in the given store.
    LoginWindow(AppState& state, Dialogs& dialogs, RememberedLogin remembered, QWidget* parent = nullptr);
    ~LoginWindow() override;

    bool cancelled() const;

    // Opens the password window modally over this one. The default builds a PasswordWindow and
    // runs it; tests put their own here.
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
    Dialogs& m_dialogs;
    RememberedLogin m_remembered;
    std::function<void()> m_passwordOpener;
    bool m_cancelled = false;

    QLineEdit* m_userName = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_remember = nullptr;
    QLabel* m_changePassword = nullptr;
    QPushButton* m_login = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace fd::accounts
