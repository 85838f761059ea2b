#pragma once

#include "common/Roles.h"
#include "common/Settings.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace fd::db {
class Connection;
}

namespace fd {

// The program's name: the caption of its windows and message boxes.
inline const QString kProgramTitle = QStringLiteral("路衡通挂靠运输公司车辆管理软件");

// The state the windows share for the life of the process. One instance is created at start-up
// and handed to every window; a test builds its own. Used from the user-interface thread only:
// a worker never touches dbConnection, it is handed a copy of its options when it starts and
// opens a session of its own (db/ThreadSession.h).
struct AppState {
    Settings settings;

    // The window thread's database session; empty while none is open. Storing a new one closes
    // the one it replaces (held nowhere else).
    std::shared_ptr<db::Connection> dbConnection;

    QString appTitle;
    // The user name the login accepted (trimmed), written into the history of every change.
    QString loginUser;
    // The role of that user's account: what the windows let them do.
    Role loginRole = Role::None;
    double loginDateTime = 0.0; // days since 1899-12-30, whole seconds
    // The last restore of a backup over the database when the user logged in (db::lastRestore);
    // -1 when not read. A later one ends the session: nothing is written to a database that was
    // replaced under the open windows.
    qint64 restoreAtLogin = -1;
    QString currentVehicleId;
    QString editVehicleId;
    qint32 modifyFlag = 0;
    qint32 newFlag = 0;

    // The recipients the main window hands to the mass-send window: parallel lists, entry k of
    // each from one grid row. A run's own state lives with the run.
    QStringList smsPlates;
    QStringList smsPhones;
    QStringList smsExpiryDates;
};

} // namespace fd
