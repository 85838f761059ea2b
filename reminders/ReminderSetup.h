#pragma once

#include "common/Settings.h"
#include "db/Connection.h"
#include "reminders/ReminderRun.h"

// What the reminder run takes from the settings file: the database and the unattended SMS account.
namespace fd::reminders {

// The database of the fleet, with the connection options of the settings (host list, TLS; a
// relative CA file is beside the program).
db::Connection::Options databaseOptions(const Settings& settings);
// The platform of the settings and the deciphered account of the unattended run.
SmsAccount smsAccountOf(const Settings& settings);

} // namespace fd::reminders
