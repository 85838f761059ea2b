#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace fd {
namespace ui {
class Dialogs;
}
struct AppState;
}

namespace fd::accounts {

// Changes a user's password in mimabiao. Opened modally from the login window. Its creation opens
// a connection of its own into dbConnection; its destruction closes dbConnection, however the
// window went away. After a successful change the window is accepted (closed); whoever opened it
// destroys it.
class PasswordWindow : public QDialog {
    Q_OBJECT
public:
    PasswordWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent = nullptr);
    ~PasswordWindow() override;

    // 确定: the checks, the count query and the update.
    void submit();

private:
    void buildControls();
    void connectToServer();

    AppState& m_state;
    ui::Dialogs& m_dialogs;

    QLineEdit* m_userName = nullptr;
    QLineEdit* m_currentPassword = nullptr;
    QLineEdit* m_newPassword = nullptr;
    QLineEdit* m_confirmPassword = nullptr;
    QPushButton* m_submit = nullptr;
};

} // namespace fd::accounts
