#pragma once

#include "accounts/LoginWindow.h"

class QWidget;

namespace fd {
namespace ui {
class Dialogs;
}
struct AppState;

// What the program's start (Startup), which shows the login window, takes from the rest of the
// program: the login's checks, the password window, the main window and the client libraries
// beneath them. The program builds these into a module of their own, loaded once the login window
// is on the screen: their libraries (MariaDB Connector/C, libcurl and what it brings, Qt Charts and
// PrintSupport) take longer to load than the login window takes to show. Used from the window
// thread only.
class ProgramModule {
public:
    virtual ~ProgramModule() = default;

    // Sets up the client libraries, once, before any thread of the program uses them.
    virtual void start() = 0;
    // accounts::checkLogin.
    virtual accounts::LoginCheck checkLogin(
        AppState& state, ui::Dialogs& dialogs, const QString& userName, const QString& password)
        = 0;
    // accounts::runPasswordWindow.
    virtual void openPasswordWindow(AppState& state, ui::Dialogs& dialogs) = 0;
    // Creates and shows the main window, wired to the windows it opens, and runs the steps of its
    // creation that come before the login (MainWindow::beforeLogin). The module keeps it.
    virtual QWidget* openMainWindow(AppState& state, ui::Dialogs& dialogs) = 0;
    // After a login that was not cancelled: the rest of the main window's creation
    // (MainWindow::afterLogin).
    virtual void afterLogin() = 0;
    // Before the process ends: the main window goes (and with it the connection), work still under
    // way is given time to finish, then the client libraries go.
    virtual void shutdown() = 0;
};

// The name under which the module exports its one function, extern "C" ProgramModule* (): the
// module's ProgramModule, the same at every call.
inline constexpr char kProgramModuleEntry[] = "fleetdesk_program_module";

} // namespace fd
