#include "app/Wiring.h"

#include "accounts/LoginWindow.h"
#include "accounts/UsersWindow.h"
#include "common/AppState.h"
#include "reminders/window/ReminderWindow.h"
#include "smswindow/MassSendWindow.h"
#include "ui/Dialogs.h"
#include "printing/PrintPreview.h"
#include "fleet/ShownList.h"
#include "app/VehicleWindow.h"
#include "fees/window/DailyWindow.h"
#include "fees/window/PaymentWindow.h"
#include "fees/window/QueryWindow.h"

#include <QApplication>
#include <QPointer>

namespace fd::app {

MainWindowHooks programHooks(AppState& state, ui::Dialogs& dialogs, MainWindow& window)
{
    QPointer<MainWindow> main(&window);
    MainWindowHooks hooks;
    hooks.openVehicleWindow = [&state, &dialogs, main] {
        VehicleWindow form(state, dialogs, [main] {
            if (main)
                main->showFullListAfterSave();
        });
        form.setPaymentOpener([&state, &dialogs, &form](qint64 vehicleId) {
            fees::PaymentWindow window(state, dialogs, vehicleId, &form);
            return window.exec() == QDialog::Accepted;
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
    hooks.openPayment = [&state, &dialogs, main] {
        fees::PaymentWindow window(state, dialogs, state.currentVehicleId.toLongLong(), main);
        if (window.exec() == QDialog::Accepted && main)
            main->showFullListAfterSave();
    };
    hooks.openPaymentQuery = [&state, &dialogs, main] {
        fees::QueryWindow window(state, dialogs, main);
        window.search();
        window.exec();
    };
    hooks.openTakings = [&state, &dialogs, main] {
        fees::DailyWindow window(state, dialogs, main);
        window.exec();
    };
    hooks.switchUser = [&state, &dialogs] {
        // 取消 here keeps the user who was logged in.
        accounts::LoginWindow login(state, dialogs);
        return login.exec() == QDialog::Accepted;
    };
    hooks.openUsers = [&state, &dialogs, main] {
        accounts::UsersWindow window(state, dialogs, main);
        window.exec();
    };
    hooks.quit = [] { QApplication::exit(0); };
    return hooks;
}

} // namespace fd::app
