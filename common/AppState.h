#pragma once

#include "common/Settings.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace fd::db {
class Connection;
}

namespace fd {

// The state the windows share for the life of the process. One instance is created at start-up
// and handed to every window; a test builds its own. Used from the user-interface thread only,
// except that a worker may copy dbConnection (a shared handle) when it starts.
struct AppState {
    Settings settings;

    // The one open database connection; empty while none is open. Storing a new connection
    // releases the one it replaces, which closes it once no worker still holds it.
    std::shared_ptr<db::Connection> dbConnection;

    QString appTitle;
    double loginDateTime = 0.0; // days since 1899-12-30, whole seconds
    QString currentVehicleId;
    QString editVehicleId;
    qint32 modifyFlag = 0;
    qint32 newFlag = 0;

    QStringList smsPlates;
    QStringList smsPhones;
    QStringList smsExpiryDates;

    // The mass-send window's own state, kept from one opening of the window to the next.
    QStringList smsUrlPieces;   // the SMS URL template split, rebuilt at every opening
    QString smsMessage;         // the message of the test send or of the recipient being processed
    QString smsLogDate;         // the login date as logged: 2016-5-8
    qint32 smsRecipientIndex = 0; // 1-based position in smsPhones of the recipient being processed
    qint32 smsSuccessCount = 0;   // recipients of the current run whose message was accepted
    qint32 smsFailureCount = 0;   // recipients of the current run whose message was refused or lost
};

} // namespace fd
