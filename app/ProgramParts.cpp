#include "app/ProgramParts.h"

#include "accounts/LoginWindowCheck.h"
#include "app/MainWindow.h"
#include "app/Wiring.h"
#include "common/Jobs.h"
#include "net/Http.h"

#include <mysql.h>

namespace fd {

ProgramParts::ProgramParts() = default;

ProgramParts::~ProgramParts() = default;

void ProgramParts::start()
{
    if (m_started)
        return;
    m_started = true;
    // No thread of the program has used either library yet: the windows start their work only
    // after the login, and the login's own connection comes later on this thread.
    mysql_library_init(0, nullptr, nullptr);
    net::globalInit();
}

accounts::LoginCheck ProgramParts::checkLogin(
    AppState& state, ui::Dialogs& dialogs, const QString& userName, const QString& password)
{
    return accounts::checkLogin(state, dialogs, userName, password);
}

void ProgramParts::openPasswordWindow(AppState& state, ui::Dialogs& dialogs)
{
    accounts::runPasswordWindow(state, dialogs);
}

QWidget* ProgramParts::openMainWindow(AppState& state, ui::Dialogs& dialogs)
{
    if (!m_main) {
        m_main = std::make_unique<MainWindow>(state, dialogs, MainWindowHooks {});
        m_main->setHooks(app::programHooks(state, dialogs, *m_main));
        m_main->show();
        m_main->beforeLogin();
    }
    return m_main.get();
}

void ProgramParts::afterLogin()
{
    if (m_main)
        m_main->afterLogin();
}

void ProgramParts::shutdown()
{
    m_main.reset();
    // Downloads of closed windows end at once; work still under way (an upload, a message on its
    // way, which is then logged) is given time to finish before the client libraries go.
    waitForAllJobs(30000);
    if (m_started)
        mysql_library_end();
    m_started = false;
}

} // namespace fd
