#include "app/Startup.h"

#include "accounts/LoginWindow.h"
#include "app/ProgramModule.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QTimer>
#include <QWindow>

namespace fd {

ProgramModule* loadProgramModule(QString* error)
{
    // Beside the program (this build, or a folder holding everything), else where the package
    // installs it, found from the program's own folder.
    const QString folder = QCoreApplication::applicationDirPath();
    const QString name = QStringLiteral(FD_PROGRAM_MODULE_NAME);
    const QStringList candidates = {QDir(folder).filePath(name),
        QDir::cleanPath(QDir(folder).filePath(QStringLiteral(FD_PROGRAM_MODULE_FOLDER "/") + name))};
    for (const QString& path : candidates) {
        if (!QFileInfo::exists(path))
            continue;
        QLibrary library(path); // never unloaded: the windows it made live until the process ends
        using Entry = ProgramModule* (*)();
        const auto entry = reinterpret_cast<Entry>(library.resolve(kProgramModuleEntry));
        ProgramModule* module = entry ? entry() : nullptr;
        if (!module) {
            *error
                = QStringLiteral("程序文件 %1 无法载入：%2").arg(QDir::toNativeSeparators(path), library.errorString());
            return nullptr;
        }
        module->start();
        return module;
    }
    QStringList looked;
    for (const QString& path : candidates)
        looked.append(QDir::toNativeSeparators(path));
    *error = QStringLiteral("找不到程序文件 %1，查找了：\n%2").arg(name, looked.join(QLatin1Char('\n')));
    return nullptr;
}

Startup::Startup(AppState& state, ui::Dialogs& dialogs, accounts::RememberedLogin remembered, ProgramModuleLoader loader)
    : m_state(state)
    , m_dialogs(dialogs)
    , m_loader(std::move(loader))
{
    m_login = std::make_unique<accounts::LoginWindow>(
        state, dialogs, std::move(remembered),
        [this](AppState& s, ui::Dialogs& d, const QString& userName, const QString& password) {
            ProgramModule* module = ensureModule();
            return module ? module->checkLogin(s, d, userName, password) : accounts::LoginCheck::Refused;
        },
        [this] {
            if (ProgramModule* module = ensureModule())
                module->openPasswordWindow(m_state, m_dialogs);
        });
    // The native window now, to see its first exposure.
    m_login->createWinId();
    m_login->windowHandle()->installEventFilter(this);
}

Startup::~Startup() = default;

Startup::Outcome Startup::run()
{
    m_login->exec();
    const bool cancelled = m_login->cancelled();
    m_login.reset();
    if (m_failed)
        return Outcome::Failed;
    if (cancelled)
        return Outcome::Cancelled;
    if (!openMainWindow())
        return Outcome::Failed;
    m_module->afterLogin();
    return Outcome::LoggedIn;
}

bool Startup::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_exposed && event->type() == QEvent::Expose && m_login && watched == m_login->windowHandle()
        && m_login->windowHandle()->isExposed()) {
        m_exposed = true;
        // After this exposure is drawn and on its way to the screen.
        QTimer::singleShot(0, this, &Startup::openMainWindowBehindLogin);
    }
    return QObject::eventFilter(watched, event);
}

void Startup::openMainWindowBehindLogin()
{
    // A window open over the login (a message, the password window) would end up under the main
    // window where no window manager keeps it above: the main window waits for the login then.
    if (!m_login || !m_login->isVisible() || QApplication::activeModalWidget() != m_login.get())
        return;
    if (!openMainWindow())
        return;
    // The login stays above the main window and keeps the keyboard, as when it opened over it.
    m_login->raise();
    m_login->activateWindow();
}

ProgramModule* Startup::ensureModule()
{
    if (m_module || m_failed)
        return m_module;
    QString error;
    m_module = m_loader(&error);
    if (!m_module) {
        m_failed = true;
        m_dialogs.message(error);
        if (m_login && m_login->isVisible())
            m_login->done(QDialog::Rejected);
    }
    return m_module;
}

bool Startup::openMainWindow()
{
    if (m_main)
        return true;
    ProgramModule* module = ensureModule();
    if (!module)
        return false;
    m_main = module->openMainWindow(m_state, m_dialogs);
    return true;
}

} // namespace fd
