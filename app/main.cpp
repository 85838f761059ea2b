#include "app/ProgramModule.h"
#include "app/Startup.h"
#include "common/AppState.h"
#include "ui/Dialogs.h"
#include "ui/Look.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QResource>

namespace {

// The program's icon in every size drawn for it, from the pixels kept in the program at build time
// (app/IconPixels.cpp): the same pictures as the PNGs, without decoding them.
QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QResource pixels(QStringLiteral(":/icons/%1x%1/fleetdesk.argb").arg(size));
        if (pixels.compressionAlgorithm() != QResource::NoCompression || pixels.size() != qint64(size) * size * 4)
            continue;
        // Kept straight, as the window system takes them: no conversion on the way.
        icon.addPixmap(QPixmap::fromImage(
            QImage(pixels.data(), size, size, size * 4, QImage::Format_ARGB32), Qt::NoFormatConversion));
    }
    return icon;
}

} // namespace

// The program shows its login window before it loads the rest of itself (see Startup): this file
// and what it links need Qt's widgets and the login window only.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("fleetdesk"));
    // The desktop entry's name, so the window manager ties the windows to the menu entry and its icon.
    app.setDesktopFileName(QStringLiteral("fleetdesk"));
    app.setWindowIcon(programIcon());
    // Chinese standard buttons and dialogs and a CJK font, whatever the machine's locale.
    fd::ui::applyProgramLook(app);

    fd::AppState state;
    fd::ui::QtDialogs dialogs;
    // A missing file leaves the defaults, and the login says what it cannot reach; a file that is
    // there but cannot be read is said as such, not as the database failure its empty values cause.
    QString settingsError;
    if (!state.settings.load(fd::Settings::defaultPath(), &settingsError) && !settingsError.isEmpty()) {
        dialogs.message(settingsError);
        return 2;
    }

    int rc = 0;
    fd::Startup startup(state, dialogs, fd::accounts::RememberedLogin(), &fd::loadProgramModule);
    switch (startup.run()) {
    case fd::Startup::Outcome::LoggedIn:
        rc = app.exec();
        break;
    case fd::Startup::Outcome::Cancelled:
        break;
    case fd::Startup::Outcome::Failed:
        rc = 2;
        break;
    }
    if (fd::ProgramModule* module = startup.module())
        module->shutdown();
    return rc;
}
