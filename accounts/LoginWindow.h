#pragma once

#include <QDialog>

namespace fd {
struct AppState;
class Dialogs;
}

namespace fd::accounts {

// The login, opened modally while the main window is being created. exec() returns Accepted after
// a successful login, Rejected when 取消 was pressed or the window was closed otherwise;
// cancelled() tells the two apart (取消 ends the program).
class LoginWindow : public QDialog {
    Q_OBJECT
public:
    LoginWindow(AppState& state, Dialogs& dialogs, QWidget* parent = nullptr);
    ~LoginWindow() override;
    bool cancelled() const;

private:
    bool m_cancelled = false;
};

} // namespace fd::accounts
