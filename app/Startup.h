#pragma once

#include "accounts/RememberedLogin.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QWidget;

namespace fd {
namespace ui {
class Dialogs;
}
struct AppState;
class ProgramModule;
namespace accounts {
    class LoginWindow;
}

// Loads the program module (once) and starts it; null with the reason, for the user, when it
// cannot be loaded.
using ProgramModuleLoader = std::function<ProgramModule*(QString* error)>;

// The module of the installed program or of this build (loadProgramModule names where it looks).
ProgramModule* loadProgramModule(QString* error);

// The program's start, up to the end of the login. The login window comes first and alone: once it
// has been drawn, the program module is loaded and the main window opens behind it (the main
// window's creation up to the login); a login that ends before that opens it afterwards. A press
// of 登录 or of the password label before the module is there loads it at once. After a login that
// was not cancelled, the login window is destroyed and the main window's creation goes on (the
// full list). The main window is created once.
class Startup final : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        LoggedIn, // the main window has its list: run the event loop
        Cancelled, // 取消: the program ends
        Failed, // the module could not be loaded (the user was told): the program ends
    };

    Startup(AppState& state, ui::Dialogs& dialogs, accounts::RememberedLogin remembered, ProgramModuleLoader loader);
    ~Startup() override;

    // Runs the login window modally and what follows it, as above.
    Outcome run();

    // The loaded module, if it was loaded: the program shuts it down before it ends.
    ProgramModule* module() const { return m_module; }
    // The login window until the login has ended; the main window once it was opened.
    accounts::LoginWindow* loginWindow() const { return m_login.get(); }
    QWidget* mainWindow() const { return m_main; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ProgramModule* ensureModule();
    bool openMainWindow();
    void openMainWindowBehindLogin();

    AppState& m_state;
    ui::Dialogs& m_dialogs;
    ProgramModuleLoader m_loader;
    std::unique_ptr<accounts::LoginWindow> m_login;
    ProgramModule* m_module = nullptr;
    QWidget* m_main = nullptr; // the module's
    bool m_exposed = false;
    bool m_failed = false;
};

} // namespace fd
