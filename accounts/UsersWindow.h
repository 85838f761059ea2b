#pragma once

#include "accounts/Staff.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace fd {
namespace ui {
class Dialogs;
}
struct AppState;
}

namespace fd::accounts {

// 用户管理, for administrators: the accounts with their role and state, and below them the login
// log of the chosen user (of all, when none is chosen). Adds a user, gives the chosen one the role
// of the role box, resets a password (to be changed at the next login), disables or enables,
// unlocks, removes. Each action checks the role of the logged-in user again before it writes.
// Works on the window thread's session: a few rows, and a hash of about 100 ms.
class UsersWindow : public QDialog {
    Q_OBJECT
public:
    UsersWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent = nullptr);
    ~UsersWindow() override;

    void refresh();
    // The user whose row is chosen; empty when none is.
    QString chosenUser() const;
    void choose(const QString& userName);

    void addUser();
    void changeRole();
    void resetPassword();
    void setChosenDisabled(bool disabled);
    void unlock();
    void removeUser();

private:
    void buildControls();
    void showLog();
    // Runs the operation when the role allows it and a user is chosen; tells its refusal, or
    // shows the accounts again.
    void onChosen(const std::function<QString(db::Connection&, const QString&)>& operation);

    AppState& m_state;
    ui::Dialogs& m_dialogs;
    QList<StaffAccount> m_accounts;
    QTableWidget* m_users = nullptr;
    QTableWidget* m_log = nullptr;
    QComboBox* m_role = nullptr;
    QLabel* m_plainWarning = nullptr;
    QLabel* m_logTitle = nullptr;
};

} // namespace fd::accounts
