#include "app/MainWindow.h"
#include "app/Wiring.h"
#include "common/AppState.h"
#include "common/Jobs.h"
#include "ui/Dialogs.h"
#include "ui/Look.h"
#include "net/Http.h"

#include <QApplication>
#include <QIcon>
#include <mysql.h>

int main(int argc, char* argv[])
{
    // Client libraries are set up once, before any thread starts.
    mysql_library_init(0, nullptr, nullptr);
    fd::net::globalInit();

    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("fleetdesk"));
    // The desktop entry's name, so the window manager ties the windows to the menu entry and its icon.
    app.setDesktopFileName(QStringLiteral("fleetdesk"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/fleetdesk.png").arg(size));
    app.setWindowIcon(icon);
    // Chinese standard buttons and dialogs and a CJK font, whatever the machine's locale.
    fd::applyProgramLook(app);

    fd::AppState state;
    fd::QtDialogs dialogs;
    // A missing file leaves the defaults, and the login says what it cannot reach; a file that is
    // there but cannot be read is said as such, not as the database failure its empty values cause.
    QString settingsError;
    if (!state.settings.load(fd::Settings::defaultPath(), &settingsError) && !settingsError.isEmpty()) {
        dialogs.message(settingsError);
        return 2;
    }

    int rc = 0;
    {
        fd::MainWindow window(state, dialogs, {});
        window.setHooks(fd::app::programHooks(state, dialogs, window));
        window.show();
        if (window.start())
            rc = app.exec();
    }
    // Downloads of closed windows end at once; work still under way (an upload, a message on its
    // way, which is then logged) is given time to finish before the client libraries go.
    fd::waitForAllJobs(30000);
    mysql_library_end();
    return rc;
}
