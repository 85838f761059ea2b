#include "app/Wiring.h"

#include "accounts/LoginWindow.h"
#include "common/AppState.h"
#include "reminders/window/ReminderWindow.h"
#include "smswindow/MassSendWindow.h"
#include "ui/Dialogs.h"
#include "printing/PrintPreview.h"
#include "fleet/ShownList.h"
#include "app/VehicleWindow.h"

#include <QApplication>
#include <QPointer>

namespace fd::app {

MainWindowHooks programHooks(AppState& state, Dialogs& dialogs, MainWindow& window)
{
    QPointer<MainWindow> main(&window);
    MainWindowHooks hooks;
    hooks.openLogin = [&state, &dialogs] {
        accounts::LoginWindow login(state, dialogs);
        login.exec();
        return !login.cancelled();
    };
    hooks.openVehicleWindow = [&state, &dialogs, main] {
        VehicleWindow form(state, dialogs, [main] {
            if (main)
                main->showFullListAfterSave();
        });
        form.exec();
    };
    hooks.openMassSend = [&state, &dialogs, main] {
        smswindow::MassSendWindow window(state, dialogs, main);
        window.exec();
    };
    hooks.openReminders = [&state, &dialogs, main] {
        reminders::ReminderWindow window(state, dialogs, main);
        window.exec();
    };
    hooks.printGrid = [&state, &dialogs, main] {
        if (main)
            printing::printList(fleet::shownList(main->grid(), fleet::listTitle(state.appTitle, state.loginDateTime)),
                dialogs, main);
    };
    hooks.quit = [] { QApplication::exit(0); };
    return hooks;
}

} // namespace fd::app
